#include "app/ui/tracklistview.h"

#include "app/discmodel.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Paints the icon a row's image index names: the model stays free of
// anything that needs a screen.
class ImageColumnDelegate : public QStyledItemDelegate
{
public:
    ImageColumnDelegate(const QList<QIcon> &images, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_images(images)
    {}

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant image = index.data(DiscModel::ImageIndexRole);
        if (!image.isValid())
            return;
        option->icon = m_images.value(image.toInt());
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->decorationAlignment = Qt::AlignCenter;
    }

private:
    QList<QIcon> m_images;
};

} // namespace

TrackListView::TrackListView(DiscModel *model, const QList<QIcon> &images, QWidget *parent)
    : QTableView(parent)
{
    setObjectName(QStringLiteral("CDList"));
    setModel(model);
    setItemDelegateForColumn(DiscModel::ImageColumn, new ImageColumnDelegate(images, this));
    QHeaderView *header = horizontalHeader();
    header->setMinimumSectionSize(16);
    for (int c = 0; c < DiscModel::ColumnCount; ++c)
        setColumnWidth(c, ColumnWidths[c]);
    // "00:00:02" needs far less than the hundred pixels the grid once gave
    // it; what is spared goes to the title.
    const int timeWidth = fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) + 16;
    for (int c : {DiscModel::StartColumn, DiscModel::LengthColumn})
        setColumnWidth(c, std::min(ColumnWidths[c], timeWidth));
    for (int c : {DiscModel::ImageColumn, DiscModel::TickColumn, DiscModel::NumberColumn})
        header->setSectionResizeMode(c, QHeaderView::Fixed);
    header->setStretchLastSection(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    // The viewport, not the view: it narrows when the vertical scroll bar
    // appears.
    viewport()->installEventFilter(this);
}

void TrackListView::fitColumns()
{
    int others = 0;
    for (int c = 0; c < DiscModel::ColumnCount; ++c) {
        if (c != DiscModel::TitleColumn)
            others += columnWidth(c);
    }
    setColumnWidth(DiscModel::TitleColumn,
                   std::max(ColumnWidths[DiscModel::TitleColumn], viewport()->width() - others));
}

bool TrackListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QTableView::eventFilter(watched, event);
}

void TrackListView::keyPressEvent(QKeyEvent *event)
{
    if (event->text() == QLatin1String(" ")) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}
