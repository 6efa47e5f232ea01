#pragma once

#include <QIcon>
#include <QList>
#include <QTableView>

class DiscModel;

// The grid of the disc's tracks: a view of the core's DiscModel with the
// fixed widths and the image, tick and number columns of the track list.
// The window adds the context menu and its key handling.
class TrackListView : public QTableView
{
    Q_OBJECT

public:
    // The column widths, in DiscModel's column order.
    static constexpr int ColumnWidths[] = {18, 20, 30, 90, 120, 100, 100};

    // `images` are the window's image list; a row's image column shows the
    // one its image index names.
    TrackListView(DiscModel *model, const QList<QIcon> &images, QWidget *parent = nullptr);
};
