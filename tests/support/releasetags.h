#pragma once

// The release tags (album artist, disc of a set, MusicBrainz identifiers,
// ISRC, label ...) of a tagged file, read back under the exact names
// MusicBrainz's tagger reads: by the tool people use on that kind of file
// (mid3v2, metaflac, vorbiscomment, ffprobe) and by TagLib. Header-only: the
// suites that use it link TagLib.

#include "libs/audioconvert/information.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QStringList>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

namespace ReleaseTagCheck {

enum class Kind { Mp3, Vorbis, Opus, Wma, Wav, Flac, Ape };

// Track 7 of 12 on disc 2 of 3 of a various-artists release.
inline AudioConvertLib::TReleaseTags sample()
{
    AudioConvertLib::TReleaseTags t;
    t.albumArtist = QStringLiteral("Various Artists");
    t.discNumber = 2;
    t.discTotal = 3;
    t.trackTotal = 12;
    t.isrc = QStringLiteral("GBAYE9912345");
    t.barcode = QStringLiteral("0727361379704");
    t.label = QStringLiteral("Ørn Records");
    t.catalogNumber = QStringLiteral("ORN 001");
    t.releaseCountry = QStringLiteral("GB");
    t.media = QStringLiteral("CD");
    t.releaseId = QStringLiteral("5f8a3c1e-1111-4a2b-9c3d-000000000001");
    t.releaseGroupId = QStringLiteral("5f8a3c1e-2222-4a2b-9c3d-000000000002");
    t.recordingId = QStringLiteral("5f8a3c1e-3333-4a2b-9c3d-000000000003");
    t.releaseTrackId = QStringLiteral("5f8a3c1e-4444-4a2b-9c3d-000000000004");
    t.discId = QStringLiteral("0.91l7XZ5_Ngj_nzNID57SN6nzk-");
    t.artistIds = {QStringLiteral("5f8a3c1e-5555-4a2b-9c3d-000000000005"),
                   QStringLiteral("5f8a3c1e-6666-4a2b-9c3d-000000000006")};
    t.albumArtistIds = {QStringLiteral("89ad4ac3-39f7-470e-963a-56509c546377")};
    return t;
}

namespace Detail {

inline QString q(const TagLib::String &s)
{
    return QString::fromStdString(s.to8Bit(true));
}

inline QString valueText(const TagLib::String &s)
{
    return q(s);
}

inline QString valueText(const TagLib::ASF::Attribute &a)
{
    return q(a.toString());
}

// "name=value" for each value of each field of an ASF or Xiph tag's map.
template<typename Map>
QStringList fieldLines(const Map &fields)
{
    QStringList lines;
    for (const auto &[name, values] : fields)
        for (const auto &v : values)
            lines << q(name) + '=' + valueText(v);
    return lines;
}

// "name=value" lines as the tool of the kind shows them.
inline QStringList dump(const QString &path, Kind kind)
{
    using TestSupport::run;
    QByteArray out;
    switch (kind) {
    case Kind::Mp3:
        out = run("mid3v2", {"--list", path}).out;
        break;
    case Kind::Wav:
        // ffmpeg drops a WAV's ID3v2 chunk when the file has INFO as well;
        // mutagen, as mid3v2 would if it read WAV, lists its frames.
        out = run("/usr/bin/python3",
                  {"-c",
                   "import sys, mutagen.wave\n"
                   "for frame in mutagen.wave.WAVE(sys.argv[1]).tags.values():\n"
                   "    print(frame.pprint())\n",
                   path})
                  .out;
        break;
    case Kind::Flac:
        out = run("metaflac", {"--export-tags-to=-", path}).out;
        break;
    case Kind::Vorbis:
        out = run("vorbiscomment", {"-l", path}).out;
        break;
    case Kind::Ape:
        out = run("ffprobe",
                  {"-v",
                   "error",
                   "-show_entries",
                   "format_tags:stream_tags",
                   "-of",
                   "default=noprint_wrappers=1",
                   path})
                  .out;
        break;
    case Kind::Wma:
        // ffprobe renames ASF attributes: TagLib lists them as stored.
        {
            TagLib::ASF::File asf(QFile::encodeName(path).constData());
            return asf.tag() ? fieldLines(asf.tag()->attributeListMap()) : QStringList();
        }
    case Kind::Opus:
        // ffprobe renames some comments (album_artist, disc): TagLib lists them as stored.
        {
            TagLib::Ogg::Opus::File opus(QFile::encodeName(path).constData());
            return opus.tag() ? fieldLines(opus.tag()->fieldListMap()) : QStringList();
        }
    }
    QStringList lines = QString::fromUtf8(out).split(u'\n');
    for (QString &line : lines) {
        if (line.startsWith(QLatin1String("TAG:")))
            line.remove(0, 4);
    }
    return lines;
}

// The lines each kind must show for sample(), in its own names.
inline QStringList expected(Kind kind)
{
    const AudioConvertLib::TReleaseTags t = sample();
    const QString artists = t.artistIds.join(QLatin1String(" / "));
    switch (kind) {
    case Kind::Mp3:
    case Kind::Wav:
        return {"TPE2=" + t.albumArtist,
                "TPOS=2/3",
                "TRCK=7/12",
                "TSRC=" + t.isrc,
                "TPUB=" + t.label,
                "TMED=" + t.media,
                "TXXX=BARCODE=" + t.barcode,
                "TXXX=CATALOGNUMBER=" + t.catalogNumber,
                "TXXX=MusicBrainz Album Release Country=" + t.releaseCountry,
                "TXXX=MusicBrainz Album Id=" + t.releaseId,
                "TXXX=MusicBrainz Release Group Id=" + t.releaseGroupId,
                "TXXX=MusicBrainz Release Track Id=" + t.releaseTrackId,
                "TXXX=MusicBrainz Disc Id=" + t.discId,
                "TXXX=MusicBrainz Artist Id=" + artists,
                "TXXX=MusicBrainz Album Artist Id=" + t.albumArtistIds.front(),
                "UFID=http://musicbrainz.org=b'" + t.recordingId + "'"};
    case Kind::Wma:
        return {"WM/AlbumArtist=" + t.albumArtist,
                "WM/PartOfSet=2/3",
                "WM/TrackNumber=7",
                "WM/ISRC=" + t.isrc,
                "WM/Barcode=" + t.barcode,
                "WM/CatalogNo=" + t.catalogNumber,
                "WM/Publisher=" + t.label,
                "WM/Media=" + t.media,
                "MusicBrainz/Album Release Country=" + t.releaseCountry,
                "MusicBrainz/Album Id=" + t.releaseId,
                "MusicBrainz/Release Group Id=" + t.releaseGroupId,
                "MusicBrainz/Track Id=" + t.recordingId,
                "MusicBrainz/Release Track Id=" + t.releaseTrackId,
                "MusicBrainz/Disc Id=" + t.discId,
                "MusicBrainz/Artist Id=" + t.artistIds.at(0),
                "MusicBrainz/Artist Id=" + t.artistIds.at(1),
                "MusicBrainz/Album Artist Id=" + t.albumArtistIds.front()};
    case Kind::Ape:
        // APE keys are case-insensitive; compared so.
        return {"Album Artist=" + t.albumArtist,
                "Disc=2/3",
                "Track=7/12",
                "ISRC=" + t.isrc,
                "Barcode=" + t.barcode,
                "CatalogNumber=" + t.catalogNumber,
                "Label=" + t.label,
                "Media=" + t.media,
                "RELEASECOUNTRY=" + t.releaseCountry,
                "MUSICBRAINZ_ALBUMID=" + t.releaseId,
                "MUSICBRAINZ_RELEASEGROUPID=" + t.releaseGroupId,
                "MUSICBRAINZ_TRACKID=" + t.recordingId,
                "MUSICBRAINZ_RELEASETRACKID=" + t.releaseTrackId,
                "MUSICBRAINZ_DISCID=" + t.discId,
                "MUSICBRAINZ_ALBUMARTISTID=" + t.albumArtistIds.front()};
    case Kind::Vorbis:
    case Kind::Opus:
    case Kind::Flac:
        break;
    }
    QStringList lines = {"ALBUMARTIST=" + t.albumArtist,
                         "DISCNUMBER=2",
                         "DISCTOTAL=3",
                         "TOTALDISCS=3",
                         "TRACKNUMBER=7",
                         "TRACKTOTAL=12",
                         "TOTALTRACKS=12",
                         "ISRC=" + t.isrc,
                         "BARCODE=" + t.barcode,
                         "CATALOGNUMBER=" + t.catalogNumber,
                         "LABEL=" + t.label,
                         "MEDIA=" + t.media,
                         "RELEASECOUNTRY=" + t.releaseCountry,
                         "MUSICBRAINZ_ALBUMID=" + t.releaseId,
                         "MUSICBRAINZ_RELEASEGROUPID=" + t.releaseGroupId,
                         "MUSICBRAINZ_TRACKID=" + t.recordingId,
                         "MUSICBRAINZ_RELEASETRACKID=" + t.releaseTrackId,
                         "MUSICBRAINZ_DISCID=" + t.discId,
                         "MUSICBRAINZ_ALBUMARTISTID=" + t.albumArtistIds.front()};
    for (const QString &id : t.artistIds)
        lines << "MUSICBRAINZ_ARTISTID=" + id;
    return lines;
}

// TagLib's own reading of the file, in its common names.
inline TagLib::PropertyMap properties(const QString &path, Kind kind)
{
    const QByteArray native = QFile::encodeName(path);
    if (kind == Kind::Wav) {
        TagLib::RIFF::WAV::File wav(native.constData());
        return wav.hasID3v2Tag() ? wav.ID3v2Tag()->properties() : TagLib::PropertyMap();
    }
    TagLib::FileRef ref(native.constData());
    return ref.isNull() ? TagLib::PropertyMap() : ref.file()->properties();
}

} // namespace Detail

// What of sample() the file written with it lacks, one line each; empty
// when every name is there with its value.
inline QStringList missing(const QString &path, Kind kind)
{
    QStringList lacking;
    const QStringList shown = Detail::dump(path, kind);
    const Qt::CaseSensitivity cs = kind == Kind::Ape ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (const QString &line : Detail::expected(kind)) {
        if (!shown.contains(line, cs))
            lacking << "not shown: " + line;
    }
    const AudioConvertLib::TReleaseTags t = sample();
    const TagLib::PropertyMap p = Detail::properties(path, kind);
    // ASF keeps the ids of several artists, not their order.
    const auto value = [&p, kind](const char *key) {
        if (!p.contains(key))
            return QString();
        QStringList values;
        for (const TagLib::String &v : p[key])
            values << Detail::q(v);
        if (kind == Kind::Wma)
            values.sort();
        return values.join(u'/');
    };
    const std::pair<const char *, QString> read[] = {
        {"ALBUMARTIST", t.albumArtist},
        {"ISRC", t.isrc},
        {"BARCODE", t.barcode},
        {"CATALOGNUMBER", t.catalogNumber},
        {"LABEL", t.label},
        {"MEDIA", t.media},
        {"RELEASECOUNTRY", t.releaseCountry},
        {"MUSICBRAINZ_ALBUMID", t.releaseId},
        {"MUSICBRAINZ_RELEASEGROUPID", t.releaseGroupId},
        {"MUSICBRAINZ_TRACKID", t.recordingId},
        {"MUSICBRAINZ_RELEASETRACKID", t.releaseTrackId},
        {"MUSICBRAINZ_ARTISTID", t.artistIds.join(u'/')},
        {"MUSICBRAINZ_ALBUMARTISTID", t.albumArtistIds.join(u'/')},
    };
    for (const auto &[key, v] : read) {
        if (value(key) != v)
            lacking << QStringLiteral("TagLib reads %1 as \"%2\"").arg(key, value(key));
    }
    if (lacking.isEmpty())
        return lacking;
    return lacking << "shown: " + shown.join(QLatin1String(" | "));
}

} // namespace ReleaseTagCheck
