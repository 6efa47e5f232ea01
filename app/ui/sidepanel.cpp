#include "sidepanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

SidePanel::SidePanel(QWidget *content, QWidget *parent)
    : QWidget(parent)
    , m_bar(new QWidget(this))
    , m_content(content)
{
    m_bar->setObjectName(QStringLiteral("SideBar"));
    m_bar->setFixedWidth(BarWidth);
    m_bar->setMouseTracking(true);
    m_bar->setToolTip(tr("Hide or show the options"));
    m_bar->installEventFilter(this);
    m_content->setParent(this);
    m_content->setFixedWidth(PanelWidth);

    auto layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_bar);
    layout->addWidget(m_content);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

bool SidePanel::isPanelShown() const
{
    return !m_content->isHidden();
}

void SidePanel::setPanelShown(bool shown)
{
    if (shown == isPanelShown())
        return;
    m_content->setVisible(shown);
    m_bar->update();
    Q_EMIT panelShownChanged(shown);
}

QRect SidePanel::hotSpot() const
{
    const int h = std::min(HotSpotHeight, m_bar->height());
    return QRect(0, (m_bar->height() - h) / 2, BarWidth, h);
}

bool SidePanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_bar)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter p(m_bar);
        const QPalette &pal = m_bar->palette();
        p.fillRect(m_bar->rect(), pal.color(QPalette::Mid));
        const QRect spot = hotSpot();
        p.fillRect(spot, pal.color(QPalette::Highlight));
        // Arrow-like dots pointing where the panel will go.
        p.setPen(pal.color(QPalette::HighlightedText));
        const int x = isPanelShown() ? 3 : 1;
        for (int y = spot.top() + 10; y < spot.bottom() - 10; y += 6) {
            p.drawPoint(x, y);
            p.drawPoint(isPanelShown() ? 1 : 3, y + 3);
        }
        return true;
    }
    case QEvent::MouseMove: {
        const auto *me = static_cast<QMouseEvent *>(event);
        m_bar->setCursor(hotSpot().contains(me->position().toPoint()) ? Qt::PointingHandCursor
                                                                      : Qt::ArrowCursor);
        return false;
    }
    case QEvent::MouseButtonRelease: {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && hotSpot().contains(me->position().toPoint())) {
            setPanelShown(!isPanelShown());
            return true;
        }
        return false;
    }
    default:
        return QWidget::eventFilter(watched, event);
    }
}

ImageList::ImageList(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("imgList"));
    QStyle *style = QApplication::style();
    // Index 0 is the track image of the list, the last one a data track's; the
    // rest serve the player's toolbar.
    images << style->standardIcon(QStyle::SP_DriveCDIcon)
           << style->standardIcon(QStyle::SP_MediaPlay)
           << style->standardIcon(QStyle::SP_MediaSkipBackward)
           << style->standardIcon(QStyle::SP_MediaSeekBackward)
           << style->standardIcon(QStyle::SP_MediaSeekForward)
           << style->standardIcon(QStyle::SP_MediaSkipForward)
           << style->standardIcon(QStyle::SP_MediaStop)
           << style->standardIcon(QStyle::SP_MediaPause) << style->standardIcon(QStyle::SP_ArrowUp)
           << style->standardIcon(QStyle::SP_ArrowDown)
           << style->standardIcon(QStyle::SP_MediaVolume)
           // The image of a data track's row.
           << style->standardIcon(QStyle::SP_DriveHDIcon);
}
