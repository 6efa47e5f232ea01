#include "job/ui/progresswindow.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>

namespace {

template<typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QProgressBar *bar(const char *name, QWidget *parent, int top)
{
    auto b = named(new QProgressBar(parent), name);
    b->setRange(0, 100);
    b->setValue(0);
    b->setGeometry(8, top, 480, 17);
    return b;
}

QLabel *label(const QString &text, QWidget *parent, int top)
{
    auto l = new QLabel(text, parent);
    l->setGeometry(8, top, 480, 15);
    return l;
}

} // namespace

TfrmProgress::TfrmProgress(QWidget *parent)
    : QWidget(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Progress"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(513, 306);

    GroupBox = named(new QGroupBox(this), "GroupBox");
    GroupBox->setGeometry(8, 4, 497, 156);
    label(QStringLiteral("Extracting CD  Progress"), GroupBox, 20);
    pbRip = bar("pbRip", GroupBox, 37);
    label(QStringLiteral("Convert Progress"), GroupBox, 62);
    pbConvert = bar("pbConvert", GroupBox, 79);
    label(QStringLiteral("Total Progress"), GroupBox, 104);
    pbTotal = bar("pbTotal", GroupBox, 121);

    MemoInfo = named(new QPlainTextEdit(this), "MemoInfo");
    MemoInfo->setGeometry(8, 166, 497, 89);
    MemoInfo->setReadOnly(true);
    QPalette tooltip = MemoInfo->palette();
    tooltip.setColor(QPalette::Base, QToolTip::palette().color(QPalette::ToolTipBase));
    tooltip.setColor(QPalette::Text, QToolTip::palette().color(QPalette::ToolTipText));
    MemoInfo->setPalette(tooltip);

    auto line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 262, 497, 2);

    btnCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "btnCancel");
    btnCancel->setGeometry(344, 272, 75, 25);
    btnExit = named(new QPushButton(QStringLiteral("&Exit"), this), "btnExit");
    btnExit->setGeometry(430, 272, 75, 25);
    btnExit->setEnabled(false);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmProgress::btnCancelClick);
    connect(btnExit, &QPushButton::clicked, this, &TfrmProgress::btnExitClick);
}

void TfrmProgress::centreOn(const QWidget &over)
{
    QRect frame = frameGeometry();
    frame.moveCenter(over.frameGeometry().center());
    move(frame.topLeft());
}

void TfrmProgress::setCaption(const QString &caption)
{
    GroupBox->setTitle(caption);
}

void TfrmProgress::addLine(const QString &line)
{
    MemoInfo->appendPlainText(line);
    MemoInfo->verticalScrollBar()->setValue(MemoInfo->verticalScrollBar()->maximum());
}

void TfrmProgress::setRipPercent(int percent)
{
    pbRip->setValue(percent);
}

void TfrmProgress::setConvertPercent(int percent)
{
    pbConvert->setValue(percent);
}

void TfrmProgress::setTotalPercent(int percent)
{
    pbTotal->setValue(percent);
}

void TfrmProgress::setCancelEnabled(bool enabled)
{
    btnCancel->setEnabled(enabled);
}

void TfrmProgress::setExitEnabled(bool enabled)
{
    btnExit->setEnabled(enabled);
}

void TfrmProgress::btnCancelClick()
{
    Q_EMIT cancelRequested();
}

void TfrmProgress::btnExitClick()
{
    close();
}

bool TfrmProgress::FormCloseQuery()
{
    // Only an ended job's window goes: closed during the job, it would give
    // the main window back while the job still runs.
    if (!btnExit->isEnabled())
        return false;
    Q_EMIT closing();
    return true;
}

void TfrmProgress::closeEvent(QCloseEvent *event)
{
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}
