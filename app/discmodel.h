#pragma once

#include "libs/audioconvert/information.h"
#include "pipeline/cdinput.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One track of the disc as the track list shows it and the rip job, the
// output naming, the playlist and the lookup read and write it.
struct DiscTrack
{
    int number = 0;       // 1-based; the row is number - 1
    QString artist;       // empty until typed or looked up
    QString title;        // empty until typed or looked up
    int startSeconds = 0; // shown start: 2 s plus the rounded lengths before
    int lengthSeconds = 0;
    TTrackTime length; // as the table of contents gives it
    TTrackKind kind = ctAudio;
    bool ticked = false; // selected for ripping
    // Beyond the design's cells: what a lookup or the drive knows of the track.
    QString isrc;
    QString recordingId;
    QString releaseTrackId;
    QStringList artistIds;
};

// The disc in the selected drive: the drive list, the table of contents as
// track rows, and the disc's artist, album, genre and year. The rows are
// the seven columns of the track list. Window thread only.
class DiscModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        ImageColumn,  // an image index into the window's image list: TrackImage or DataImage
        TickColumn,   // the tick, as a check state
        NumberColumn, // "01", "02", ...
        ArtistColumn, // editable
        TitleColumn,  // editable
        StartColumn,  // "00:00:02"
        LengthColumn, // "00:03:20"
        ColumnCount
    };
    // The image index of a row, in ImageColumn.
    static constexpr int ImageIndexRole = Qt::UserRole;
    // The images of an audio track and of a data track in the window's list.
    static constexpr int TrackImage = 0;
    static constexpr int DataImage = 11;
    // The tooltip of every cell of a data track's row.
    static constexpr const char *DataTrackTip = "Data track: not ripped";

    explicit DiscModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The drive names in drive-index order.
    const QStringList &drives() const { return m_drives; }
    void setDrives(const QStringList &names);

    // Replaces every row (a refill, or none after a removal).
    void setTracks(const QList<DiscTrack> &tracks);
    void clearTracks() { setTracks({}); }
    const QList<DiscTrack> &tracks() const { return m_tracks; }
    // row from 0 to rowCount() - 1.
    const DiscTrack &track(int row) const { return m_tracks.at(row); }
    void setTrackArtist(int row, const QString &artist);
    void setTrackTitle(int row, const QString &title);

    bool isTicked(int row) const { return m_tracks.at(row).ticked; }
    void setTicked(int row, bool ticked);
    // Sets every row's tick to what `tick` makes of it, in row order; a data
    // track is left unticked (it is only ripped when ticked by hand, and
    // then skipped).
    void setAllTicks(const std::function<bool(bool)> &tick);
    int tickedCount() const;
    // The ticked rows in row order.
    QList<int> tickedRows() const;

    QString artist() const { return m_artist; }
    void setArtist(const QString &text);
    QString album() const { return m_album; }
    void setAlbum(const QString &text);
    // The genre box's text, such as "17 - Rock", or any typed text.
    QString genre() const { return m_genre; }
    void setGenre(const QString &text);
    QString year() const { return m_year; }
    void setYear(const QString &text);
    // Empties artist, genre, album and year, in that order, and the fields
    // beyond them.
    void clearDiscFields();

    // Beyond the design's fields: the album artist, the disc of a set (as
    // typed: digits, or empty), and what the lookup or the drive knows of the
    // release (identifiers, label, barcode; the per-track and the set's
    // fields of `release` are not used). Each change raises discFieldsChanged().
    QString albumArtist() const { return m_albumArtist; }
    void setAlbumArtist(const QString &text);
    QString discNumber() const { return m_discNumber; }
    void setDiscNumber(const QString &text);
    QString discTotal() const { return m_discTotal; }
    void setDiscTotal(const QString &text);
    const AudioConvertLib::TReleaseTags &release() const { return m_release; }
    void setRelease(const AudioConvertLib::TReleaseTags &release);
    // The disc's catalogue number from the drive (13 digits), empty when none.
    QString mcn() const { return m_mcn; }
    void setMcn(const QString &mcn) { m_mcn = mcn; }
    // One track's identifiers and ISRC; row from 0 to rowCount() - 1.
    void setTrackIds(int row,
                     const QString &isrc,
                     const QString &recordingId,
                     const QString &releaseTrackId,
                     const QStringList &artistIds);
    // The tags of one row beyond the design's: the disc's release facts with
    // the row's own, the album artist, the disc and track numbers of a set.
    AudioConvertLib::TReleaseTags releaseTagsOf(int row) const;

Q_SIGNALS:
    void drivesChanged();
    // The rows were replaced; also raised by clearTracks().
    void tracksReplaced(int rowCount);
    // A tick changed, or the rows were replaced.
    void ticksChanged(int tickedCount);
    // One of artist, album, genre and year changed.
    void discFieldsChanged();

private:
    void setField(QString &field, const QString &text);
    void trackChanged(int row, int column, const QList<int> &roles);

    QStringList m_drives;
    QList<DiscTrack> m_tracks;
    QString m_artist;
    QString m_album;
    QString m_genre;
    QString m_year;
    QString m_albumArtist;
    QString m_discNumber;
    QString m_discTotal;
    AudioConvertLib::TReleaseTags m_release;
    QString m_mcn;
};
