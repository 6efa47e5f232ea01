#include "app/ui/tippane.h"

#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTime>
#include <QVBoxLayout>

namespace {

// A whole session of messages, yet bounded: the track count alone is told
// at every tick of the list.
constexpr qsizetype HistoryLimit = 1000;

} // namespace

TipPane::TipPane(QWidget *parent)
    : QLabel(parent)
{
    // Messages carry file names and "<tags>", never markup.
    setTextFormat(Qt::PlainText);
}

void TipPane::setText(const QString &text)
{
    QLabel::setText(text);
    // Rich text lets a long tooltip wrap instead of running off the screen.
    setToolTip(text.isEmpty() ? QString() : QStringLiteral("<qt>%1</qt>").arg(text.toHtmlEscaped()));
    if (text.isEmpty() || text == m_last)
        return;
    m_last = text;
    const QString line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss  ")) + text;
    m_history << line;
    if (m_history.size() > HistoryLimit)
        m_history.removeFirst();
    if (m_historyView)
        m_historyView->appendPlainText(line);
}

QDialog *TipPane::showHistory()
{
    if (m_historyView) {
        m_historyView->window()->activateWindow();
        return qobject_cast<QDialog *>(m_historyView->window());
    }
    auto dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("frmTipHistory"));
    dialog->setWindowTitle(QStringLiteral("Messages"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto view = new QPlainTextEdit(dialog);
    view->setObjectName(QStringLiteral("memoTipHistory"));
    view->setReadOnly(true);
    view->setPlainText(m_history.join(QLatin1Char('\n')));
    auto buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto column = new QVBoxLayout(dialog);
    column->addWidget(view);
    column->addWidget(buttons);
    dialog->resize(560, 300);
    m_historyView = view;
    dialog->show();
    return dialog;
}

void TipPane::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter,
                          room,
                          int(alignment()),
                          palette(),
                          isEnabled(),
                          shown,
                          foregroundRole());
}

void TipPane::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Message history..."), this, &TipPane::showHistory);
    menu.exec(event->globalPos());
}

void TipPane::mouseDoubleClickEvent(QMouseEvent *)
{
    showHistory();
}
