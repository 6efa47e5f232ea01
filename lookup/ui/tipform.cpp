#include "lookup/ui/tipform.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

Tfrmtip::Tfrmtip(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmtip"));
    setWindowTitle(QStringLiteral("Tips"));
    setFixedSize(243, 45);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setLineWidth(2);
    Bevel1->setGeometry(rect());

    Image1 = new QLabel(Bevel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(18, 18);
    Image1->setPixmap(QPixmap(QStringLiteral(":/lookup/orvanel-sondrel.png"))
                          .scaled(18, 18, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    Label1 = new QLabel(QStringLiteral("Get Freedb info. Please wait... ..."), Bevel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);

    auto row = new QHBoxLayout(Bevel1);
    const int margin = 8;
    const int spacing = 6;
    row->setContentsMargins(margin, 0, margin, 0);
    row->setSpacing(spacing);
    row->addWidget(Image1);
    row->addWidget(Label1, 1);

    // The form keeps its size: a face too wide for it gets smaller until the
    // whole text fits.
    const int room = width() - 2 * Bevel1->frameWidth() - 2 * margin - spacing - Image1->width();
    while (QFontMetrics(bold).horizontalAdvance(Label1->text()) > room && bold.pointSizeF() > 6)
        bold.setPointSizeF(bold.pointSizeF() - 0.5);
    Label1->setFont(bold);
}

FreedbWait::FreedbWait(QWidget *owner)
    : m_owner(owner)
    , m_form(new Tfrmtip(owner))
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != m_form && window->isEnabled()) {
            window->setEnabled(false);
            m_disabled << window;
        }
    }
    // A window of its own stays enabled although its owner is not.
    m_form->setEnabled(true);
    QRect frame = m_form->frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    m_form->move(frame.topLeft());
    m_form->show();
    // Painted before the lookup starts, so it is seen even when the lookup
    // keeps the window's thread busy.
    m_form->repaint();
}

FreedbWait::~FreedbWait()
{
    for (const QPointer<QWidget> &window : std::as_const(m_disabled))
        if (window)
            window->setEnabled(true);
    delete m_form;
    // Queued: the owner ends the wait from inside its own handlers, which
    // finish first; an owner destroyed meanwhile drops the call.
    if (m_closeOwner && m_owner)
        QMetaObject::invokeMethod(m_owner, &QWidget::close, Qt::QueuedConnection);
}
