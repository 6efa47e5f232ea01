#pragma once

#include <QIcon>
#include <QList>
#include <QTableView>

class DiscModel;

// The grid of the disc's tracks: a view of the core's DiscModel with the
// fixed widths and the image, tick and number columns of the track list.
// Every column stays in sight: the title column takes whatever width the
// others leave, down to its own minimum, below which the grid scrolls.
// The window adds the context menu and its key handling.
class TrackListView : public QTableView
{
    Q_OBJECT

public:
    // The column widths, in DiscModel's column order; the start and length
    // columns are as wide as a time needs, the title's is its minimum.
    static constexpr int ColumnWidths[] = {18, 20, 30, 90, 120, 100, 100};

    // `images` are the window's image list; a row's image column shows the
    // one its image index names.
    TrackListView(DiscModel *model, const QList<QIcon> &images, QWidget *parent = nullptr);

    // Gives the title column the width the other columns leave visible.
    void fitColumns();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A blank neither ticks nor starts editing a cell; in a cell's own
    // editor it stays a blank.
    void keyPressEvent(QKeyEvent *event) override;
};
