#include "app/discmodel.h"

#include "app/trackformat.h"

DiscModel::DiscModel(QObject *parent)
    : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("DiscModel"));
}

int DiscModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_tracks.size());
}

int DiscModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DiscModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const DiscTrack &t = m_tracks.at(index.row());
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == ArtistColumn || column == TitleColumn ? QVariant()
                                                               : QVariant(Qt::AlignCenter);
    if (column == ImageColumn && role == ImageIndexRole)
        return t.kind == ctData ? DataImage : TrackImage;
    if (role == Qt::ToolTipRole)
        return t.kind == ctData ? QString::fromLatin1(DataTrackTip) : QVariant();
    if (column == TickColumn && role == Qt::CheckStateRole)
        return t.ticked ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case NumberColumn:
        return TrackFormat::trackNumberText(t.number);
    case ArtistColumn:
        return t.artist;
    case TitleColumn:
        return t.title;
    case StartColumn:
        return TrackFormat::FormatDuration(t.startSeconds);
    case LengthColumn:
        return TrackFormat::FormatDuration(t.lengthSeconds);
    default:
        return QString();
    }
}

bool DiscModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int row = index.row();
    if (index.column() == TickColumn && role == Qt::CheckStateRole) {
        setTicked(row, value.value<Qt::CheckState>() == Qt::Checked);
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    if (index.column() == ArtistColumn) {
        setTrackArtist(row, value.toString());
        return true;
    }
    if (index.column() == TitleColumn) {
        setTrackTitle(row, value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags DiscModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == TickColumn)
        f |= Qt::ItemIsUserCheckable;
    else if (index.column() == ArtistColumn || index.column() == TitleColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant DiscModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const headers[ColumnCount]
        = {"", "", "#", "Artist", "Title", "Start", "Length"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(headers[section])
                                                 : QString();
}

void DiscModel::setDrives(const QStringList &names)
{
    m_drives = names;
    Q_EMIT drivesChanged();
}

void DiscModel::setTracks(const QList<DiscTrack> &tracks)
{
    beginResetModel();
    m_tracks = tracks;
    endResetModel();
    Q_EMIT tracksReplaced(rowCount());
    Q_EMIT ticksChanged(tickedCount());
}

void DiscModel::trackChanged(int row, int column, const QList<int> &roles)
{
    const QModelIndex at = index(row, column);
    Q_EMIT dataChanged(at, at, roles);
}

void DiscModel::setTrackArtist(int row, const QString &artist)
{
    if (m_tracks.at(row).artist == artist)
        return;
    m_tracks[row].artist = artist;
    trackChanged(row, ArtistColumn, {Qt::DisplayRole, Qt::EditRole});
}

void DiscModel::setTrackTitle(int row, const QString &title)
{
    if (m_tracks.at(row).title == title)
        return;
    m_tracks[row].title = title;
    trackChanged(row, TitleColumn, {Qt::DisplayRole, Qt::EditRole});
}

void DiscModel::setTicked(int row, bool ticked)
{
    if (m_tracks.at(row).ticked == ticked)
        return;
    m_tracks[row].ticked = ticked;
    trackChanged(row, TickColumn, {Qt::CheckStateRole});
    Q_EMIT ticksChanged(tickedCount());
}

void DiscModel::setAllTicks(const std::function<bool(bool)> &tick)
{
    if (m_tracks.isEmpty())
        return;
    // Data tracks would come out as full-scale noise.
    for (DiscTrack &t : m_tracks)
        t.ticked = t.kind != ctData && tick(t.ticked);
    Q_EMIT dataChanged(index(0, TickColumn),
                       index(rowCount() - 1, TickColumn),
                       {Qt::CheckStateRole});
    Q_EMIT ticksChanged(tickedCount());
}

int DiscModel::tickedCount() const
{
    return int(std::count_if(m_tracks.cbegin(), m_tracks.cend(), [](const DiscTrack &t) {
        return t.ticked;
    }));
}

QList<int> DiscModel::tickedRows() const
{
    QList<int> rows;
    for (int row = 0; row < m_tracks.size(); ++row) {
        if (m_tracks.at(row).ticked)
            rows << row;
    }
    return rows;
}

void DiscModel::setField(QString &field, const QString &text)
{
    if (field == text)
        return;
    field = text;
    Q_EMIT discFieldsChanged();
}

void DiscModel::setArtist(const QString &text)
{
    setField(m_artist, text);
}

void DiscModel::setAlbum(const QString &text)
{
    setField(m_album, text);
}

void DiscModel::setGenre(const QString &text)
{
    setField(m_genre, text);
}

void DiscModel::setYear(const QString &text)
{
    setField(m_year, text);
}

void DiscModel::clearDiscFields()
{
    setArtist(QString());
    setGenre(QString());
    setAlbum(QString());
    setYear(QString());
    setAlbumArtist(QString());
    setDiscNumber(QString());
    setDiscTotal(QString());
    setRelease({});
}

void DiscModel::setAlbumArtist(const QString &text)
{
    setField(m_albumArtist, text);
}

void DiscModel::setDiscNumber(const QString &text)
{
    setField(m_discNumber, text);
}

void DiscModel::setDiscTotal(const QString &text)
{
    setField(m_discTotal, text);
}

void DiscModel::setRelease(const AudioConvertLib::TReleaseTags &release)
{
    if (m_release == release)
        return;
    m_release = release;
    Q_EMIT discFieldsChanged();
}

void DiscModel::setTrackIds(int row,
                            const QString &isrc,
                            const QString &recordingId,
                            const QString &releaseTrackId,
                            const QStringList &artistIds)
{
    DiscTrack &t = m_tracks[row];
    t.isrc = isrc;
    t.recordingId = recordingId;
    t.releaseTrackId = releaseTrackId;
    t.artistIds = artistIds;
}

AudioConvertLib::TReleaseTags DiscModel::releaseTagsOf(int row) const
{
    AudioConvertLib::TReleaseTags tags = m_release;
    const DiscTrack &t = m_tracks.at(row);
    tags.albumArtist = m_albumArtist;
    tags.discNumber = m_discNumber.toInt();
    tags.discTotal = tags.discNumber > 0 ? m_discTotal.toInt() : 0;
    // A data session after the audio is no track of the album.
    tags.trackTotal = int(m_tracks.size())
                      - (m_tracks.size() > 1 && m_tracks.constLast().kind == ctData ? 1 : 0);
    tags.isrc = t.isrc;
    tags.recordingId = t.recordingId;
    tags.releaseTrackId = t.releaseTrackId;
    tags.artistIds = t.artistIds;
    if (tags.barcode.isEmpty())
        tags.barcode = m_mcn;
    return tags;
}
