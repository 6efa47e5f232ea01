#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace AudioConvertLib {

// What is known of the release beyond the design's fields, written under the
// names MusicBrainz's tagger uses. Empty texts and lists, and numbers of 0,
// write nothing.
struct TReleaseTags
{
    QString albumArtist;
    int discNumber = 0;
    int discTotal = 0;
    int trackTotal = 0;
    QString isrc;    // the track's
    QString barcode; // UPC/EAN; the disc's MCN when no database gives one
    QString label;
    QString catalogNumber;
    QString releaseCountry;
    QString media; // "CD"
    // MusicBrainz identifiers.
    QString releaseId;
    QString releaseGroupId;
    QString recordingId;    // the track's recording (MUSICBRAINZ_TRACKID)
    QString releaseTrackId; // the track on this release
    QString discId;
    QStringList artistIds;      // the track's credited artists
    QStringList albumArtistIds; // the release's credited artists

    bool operator==(const TReleaseTags &o) const
    {
        return albumArtist == o.albumArtist && discNumber == o.discNumber
               && discTotal == o.discTotal && trackTotal == o.trackTotal && isrc == o.isrc
               && barcode == o.barcode && label == o.label && catalogNumber == o.catalogNumber
               && releaseCountry == o.releaseCountry && media == o.media && releaseId == o.releaseId
               && releaseGroupId == o.releaseGroupId && recordingId == o.recordingId
               && releaseTrackId == o.releaseTrackId && discId == o.discId
               && artistIds == o.artistIds && albumArtistIds == o.albumArtistIds;
    }
};

// The tag fields the next conversion writes when the converter's WriteTags is
// true. Empty texts, year 0, track 0 and genres outside 0 ... 147 write nothing.
// Used on the converter's thread only; a conversion takes a copy when it starts.
class IAudioConvertInformation
{
public:
    QString TagTitle() const { return m_title; }
    void SetTagTitle(const QString &value) { m_title = value; }
    int32_t TagYear() const { return m_year; }
    void SetTagYear(int32_t value) { m_year = value; }
    QString TagArtist() const { return m_artist; }
    void SetTagArtist(const QString &value) { m_artist = value; }
    QString TagAlbum() const { return m_album; }
    void SetTagAlbum(const QString &value) { m_album = value; }
    QString TagUrl() const { return m_url; }
    void SetTagUrl(const QString &value) { m_url = value; }
    int16_t TagTrack() const { return m_track; }
    void SetTagTrack(int16_t value) { m_track = value; }
    QString TagEncodedBy() const { return m_encodedBy; }
    void SetTagEncodedBy(const QString &value) { m_encodedBy = value; }
    QString TagComment() const { return m_comment; }
    void SetTagComment(const QString &value) { m_comment = value; }
    QString TagCopyright() const { return m_copyright; }
    void SetTagCopyright(const QString &value) { m_copyright = value; }
    // Position in the genre list, "00 - Blues" being 0; -1 for none.
    int32_t TagGenre() const { return m_genre; }
    void SetTagGenre(int32_t value) { m_genre = value; }
    // A genre by its name, for one the list does not hold; written only when
    // TagGenre names none.
    QString TagGenreText() const { return m_genreText; }
    void SetTagGenreText(const QString &value) { m_genreText = value; }
    // Album artist, disc of a set, identifiers.
    const TReleaseTags &TagRelease() const { return m_release; }
    void SetTagRelease(const TReleaseTags &value) { m_release = value; }

private:
    TReleaseTags m_release;
    QString m_title;
    QString m_artist;
    QString m_album;
    QString m_url;
    QString m_encodedBy;
    QString m_comment;
    QString m_copyright;
    QString m_genreText;
    int32_t m_year = 0;
    int32_t m_genre = -1;
    int16_t m_track = 0;
};

// The genre's name for a genre number ("Blues" for 0), empty outside 0 ... 147.
QString genreName(int32_t number);

} // namespace AudioConvertLib
