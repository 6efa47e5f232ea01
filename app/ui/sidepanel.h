#pragma once

#include <QWidget>

// A panel at the window's right edge behind a thin bar. A click on the bar's
// hot spot (the grip in its middle) hides the panel or shows it again, giving
// the track list the whole width.
class SidePanel : public QWidget
{
    Q_OBJECT

public:
    static constexpr int BarWidth = 5;
    static constexpr int PanelWidth = 303;
    static constexpr int HotSpotHeight = 80;

    explicit SidePanel(QWidget *content, QWidget *parent = nullptr);

    bool isPanelShown() const;
    void setPanelShown(bool shown);
    // The hot spot in the bar's coordinates.
    QRect hotSpot() const;
    QWidget *bar() const { return m_bar; }

Q_SIGNALS:
    void panelShownChanged(bool shown);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_bar;
    QWidget *m_content;
};

// The images of the toolbar and the track list, by index.
class ImageList : public QObject
{
    Q_OBJECT

public:
    explicit ImageList(QObject *parent = nullptr);
    QList<QIcon> images;
};
