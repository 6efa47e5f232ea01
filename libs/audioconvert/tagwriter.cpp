#include "libs/audioconvert/formatwriters.h"

#include <QFile>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <mutex>
#include <tuple>
#include <vector>

namespace AudioConvertLib::Detail {

namespace {

// TagLib's own file stream drops the result of every write, so a disk that
// fills while a tag goes in would leave a cut file that looks tagged. This
// one checks each write and remembers that one failed.
class CheckedFileStream : public TagLib::IOStream
{
public:
    explicit CheckedFileStream(const QString &path)
        : m_name(nativePath(path))
        , m_file(path)
    {
        // Unbuffered: a write that does not fit fails at once, not at a later flush.
        m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::ExistingOnly);
    }

    bool failed() const { return m_failed; }

    TagLib::FileName name() const override { return m_name.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override
    {
        const QByteArray bytes = m_file.read(qint64(length));
        return TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()));
    }
    void writeBlock(const TagLib::ByteVector &data) override
    {
        put(QByteArray::fromRawData(data.data(), qsizetype(data.size())));
    }
    void insert(const TagLib::ByteVector &data, unsigned long start, unsigned long replace) override
    {
        if (data.size() != replace)
            moveTail(long(start + replace), long(start + data.size()));
        seek(long(start), Beginning);
        writeBlock(data);
    }
    void removeBlock(unsigned long start, unsigned long length) override
    {
        moveTail(long(start + length), long(start));
    }
    bool readOnly() const override { return !m_file.isOpen(); }
    bool isOpen() const override { return m_file.isOpen(); }
    void seek(long offset, Position p) override
    {
        const qint64 base = p == Beginning ? 0 : p == Current ? m_file.pos() : m_file.size();
        m_file.seek(base + offset);
    }
    long tell() const override { return long(m_file.pos()); }
    long length() override { return long(m_file.size()); }
    void truncate(long length) override
    {
        if (!m_file.resize(length))
            m_failed = true;
    }

private:
    void put(const QByteArray &bytes)
    {
        if (m_file.write(bytes) != bytes.size())
            m_failed = true;
    }

    // Moves the bytes from `from` to the end so that they start at `to`,
    // in pieces taken from the side that is not overwritten first.
    void moveTail(long from, long to)
    {
        constexpr long Piece = 1 << 16;
        const long end = length();
        const auto copy = [this](long at, long bytes, long shift) {
            m_file.seek(at);
            const QByteArray piece = m_file.read(bytes);
            if (piece.size() != bytes) {
                m_failed = true;
                return;
            }
            m_file.seek(at + shift);
            put(piece);
        };
        if (to > from) {
            for (long at = end; at > from && !m_failed;) {
                const long bytes = std::min(Piece, at - from);
                at -= bytes;
                copy(at, bytes, to - from);
            }
        } else {
            for (long at = from; at < end && !m_failed; at += Piece)
                copy(at, std::min(Piece, end - at), to - from);
            truncate(end - (from - to));
        }
    }

    const std::string m_name;
    QFile m_file;
    bool m_failed = false;
};

TagLib::String text(const QString &value)
{
    return TagLib::String(value.toStdString(), TagLib::String::UTF8);
}

// TagLib reads and writes RIFF INFO texts as Latin-1 unless told otherwise,
// which would turn every other letter into '?'.
class Utf8InfoStrings : public TagLib::RIFF::Info::StringHandler
{
public:
    TagLib::String parse(const TagLib::ByteVector &data) const override
    {
        // Fields are NUL-terminated and padded; keep what comes before.
        const int end = data.find('\0');
        return TagLib::String(end < 0 ? data : data.mid(0, unsigned(end)), TagLib::String::UTF8);
    }
    TagLib::ByteVector render(const TagLib::String &s) const override
    {
        return s.data(TagLib::String::UTF8);
    }
};

void useUnicodeEverywhere()
{
    static std::once_flag once;
    static Utf8InfoStrings infoStrings;
    std::call_once(once, [] {
        TagLib::RIFF::Info::Tag::setStringHandler(&infoStrings);
        TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8);
    });
}

TagLib::StringList texts(const QStringList &values)
{
    TagLib::StringList list;
    for (const QString &value : values) {
        if (!value.isEmpty())
            list.append(text(value));
    }
    return list;
}

// The fields in TagLib's common names, as Vorbis comments carry them (both
// spellings of the totals); what stays out of a tag is left out.
TagLib::PropertyMap propertiesOf(const IAudioConvertInformation &tags)
{
    TagLib::PropertyMap map;
    const auto put = [&map](const char *key, const QString &value) {
        if (!value.isEmpty())
            map.replace(key, TagLib::StringList(text(value)));
    };
    const auto number = [&put](const char *key, int value) {
        if (value > 0)
            put(key, QString::number(value));
    };
    put("TITLE", tags.TagTitle());
    put("ARTIST", tags.TagArtist());
    put("ALBUM", tags.TagAlbum());
    if (tags.TagYear() > 0)
        put("DATE", QString::number(tags.TagYear()));
    if (tags.TagTrack() > 0)
        put("TRACKNUMBER", QString::number(tags.TagTrack()));
    const QString listed = genreName(tags.TagGenre());
    put("GENRE", listed.isEmpty() ? tags.TagGenreText() : listed);
    put("COMMENT", tags.TagComment());
    put("COPYRIGHT", tags.TagCopyright());
    put("ENCODEDBY", tags.TagEncodedBy());
    put("URL", tags.TagUrl());

    const TReleaseTags &r = tags.TagRelease();
    put("ALBUMARTIST", r.albumArtist);
    number("DISCNUMBER", r.discNumber);
    // A total without its number says nothing.
    const std::tuple<bool, int, const char *, const char *> totals[] = {
        {tags.TagTrack() > 0, r.trackTotal, "TRACKTOTAL", "TOTALTRACKS"},
        {r.discNumber > 0, r.discTotal, "DISCTOTAL", "TOTALDISCS"},
    };
    for (const auto &[numbered, total, key, otherKey] : totals) {
        if (numbered) {
            number(key, total);
            number(otherKey, total);
        }
    }
    put("ISRC", r.isrc);
    put("BARCODE", r.barcode);
    put("LABEL", r.label);
    put("CATALOGNUMBER", r.catalogNumber);
    put("RELEASECOUNTRY", r.releaseCountry);
    put("MEDIA", r.media);
    put("MUSICBRAINZ_ALBUMID", r.releaseId);
    put("MUSICBRAINZ_RELEASEGROUPID", r.releaseGroupId);
    put("MUSICBRAINZ_TRACKID", r.recordingId);
    put("MUSICBRAINZ_RELEASETRACKID", r.releaseTrackId);
    put("MUSICBRAINZ_DISCID", r.discId);
    if (const TagLib::StringList ids = texts(r.artistIds); !ids.isEmpty())
        map.replace("MUSICBRAINZ_ARTISTID", ids);
    if (const TagLib::StringList ids = texts(r.albumArtistIds); !ids.isEmpty())
        map.replace("MUSICBRAINZ_ALBUMARTISTID", ids);
    return map;
}

// Formats other than Vorbis comments keep a total in the number's field:
// "3/12", "1/2".
TagLib::PropertyMap withTotalsInNumbers(TagLib::PropertyMap map)
{
    const auto fold = [&map](const char *numberKey, const char *totalKey, const char *other) {
        if (map.contains(numberKey) && map.contains(totalKey))
            map.replace(numberKey, map[numberKey].front() + "/" + map[totalKey].front());
        map.erase(totalKey);
        map.erase(other);
    };
    fold("TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS");
    fold("DISCNUMBER", "DISCTOTAL", "TOTALDISCS");
    return map;
}

// Keys whose TXXX description TagLib's setProperties() would spell otherwise
// than MusicBrainz's tagger reads it (case matters to that reader).
const std::pair<const char *, const char *> Id3UserTexts[] = {
    {"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id"},
    {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz Release Group Id"},
    {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz Release Track Id"},
    {"MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id"},
    {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id"},
    {"MUSICBRAINZ_DISCID", "MusicBrainz Disc Id"},
    {"RELEASECOUNTRY", "MusicBrainz Album Release Country"},
};

bool fillId3v2(TagLib::ID3v2::Tag *tag, const TagLib::PropertyMap &all)
{
    TagLib::PropertyMap map = withTotalsInNumbers(all);
    std::vector<std::pair<TagLib::String, TagLib::StringList>> userTexts;
    for (const auto &[key, description] : Id3UserTexts) {
        if (map.contains(key)) {
            userTexts.emplace_back(description, map[key]);
            map.erase(key);
        }
    }
    if (!tag->setProperties(map).isEmpty())
        return false;
    for (const auto &[description, values] : userTexts) {
        // TagLib finds these frames by exact description but reads them
        // without case: drop every spelling before adding ours.
        const TagLib::ID3v2::FrameList frames = tag->frameList("TXXX");
        for (TagLib::ID3v2::Frame *frame : frames) {
            auto *user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
            if (user && user->description().upper() == description.upper())
                tag->removeFrame(frame);
        }
        tag->addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(description,
                                                                     values,
                                                                     TagLib::String::UTF8));
    }
    return true;
}

bool writeId3v2(TagLib::IOStream *stream, const TagLib::PropertyMap &map)
{
    TagLib::MPEG::File file(stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return false;
    if (!fillId3v2(file.ID3v2Tag(true), map))
        return false;
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
}

// Ogg Vorbis and Ogg Opus: a Vorbis comment packet after the stream's first.
template<typename OggFile>
bool writeXiph(TagLib::IOStream *stream, const TagLib::PropertyMap &map)
{
    OggFile file(stream, false);
    if (!file.isValid() || !file.tag())
        return false;
    if (!file.tag()->setProperties(map).isEmpty())
        return false;
    return file.save();
}

bool writeFlac(TagLib::IOStream *stream, const TagLib::PropertyMap &map)
{
    TagLib::FLAC::File file(stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isValid())
        return false;
    if (!file.xiphComment(true)->setProperties(map).isEmpty())
        return false;
    return file.save();
}

bool writeApe(TagLib::IOStream *stream, const TagLib::PropertyMap &map)
{
    TagLib::APE::File file(stream, false);
    if (!file.isValid())
        return false;
    if (!file.APETag(true)->setProperties(withTotalsInNumbers(map)).isEmpty())
        return false;
    return file.save();
}

// The field ids of RIFF INFO for our fields; INFO has none for a web
// address, IBSU ("base URL") is the one in use for it.
const char *infoIdOf(const TagLib::String &key)
{
    static const std::pair<const char *, const char *> ids[] = {
        {"TITLE", "INAM"},
        {"ARTIST", "IART"},
        {"ALBUM", "IPRD"},
        {"DATE", "ICRD"},
        {"TRACKNUMBER", "IPRT"},
        {"GENRE", "IGNR"},
        {"COMMENT", "ICMT"},
        {"COPYRIGHT", "ICOP"},
        {"ENCODEDBY", "IENC"},
        {"URL", "IBSU"},
    };
    for (const auto &id : ids)
        if (key == id.first)
            return id.second;
    return nullptr;
}

// RIFF INFO holds the design's fields; anything beyond them goes into an
// ID3v2 chunk as well, which carries every field.
bool writeRiffInfo(TagLib::IOStream *stream, const TagLib::PropertyMap &map)
{
    TagLib::RIFF::WAV::File file(stream, false);
    if (!file.isValid())
        return false;
    TagLib::RIFF::Info::Tag *info = file.InfoTag();
    bool beyondInfo = false;
    for (const auto &field : map) {
        if (const char *id = infoIdOf(field.first))
            info->setFieldText(id, field.second.front());
        else
            beyondInfo = true;
    }
    if (beyondInfo && !fillId3v2(file.ID3v2Tag(), map))
        return false;
    return file.save(beyondInfo ? TagLib::RIFF::WAV::File::AllTags : TagLib::RIFF::WAV::File::Info,
                     TagLib::File::StripOthers,
                     TagLib::ID3v2::v4);
}

const char *asfNameOf(const TagLib::String &key)
{
    static const std::pair<const char *, const char *> names[] = {
        {"ALBUM", "WM/AlbumTitle"},
        {"DATE", "WM/Year"},
        {"TRACKNUMBER", "WM/TrackNumber"},
        {"GENRE", "WM/Genre"},
        {"ENCODEDBY", "WM/EncodedBy"},
        {"URL", "WM/AuthorURL"},
        {"ALBUMARTIST", "WM/AlbumArtist"},
        {"DISCNUMBER", "WM/PartOfSet"},
        {"ISRC", "WM/ISRC"},
        {"BARCODE", "WM/Barcode"},
        {"CATALOGNUMBER", "WM/CatalogNo"},
        {"LABEL", "WM/Publisher"},
        {"MEDIA", "WM/Media"},
        {"RELEASECOUNTRY", "MusicBrainz/Album Release Country"},
        {"MUSICBRAINZ_ALBUMID", "MusicBrainz/Album Id"},
        {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz/Release Group Id"},
        {"MUSICBRAINZ_TRACKID", "MusicBrainz/Track Id"},
        {"MUSICBRAINZ_RELEASETRACKID", "MusicBrainz/Release Track Id"},
        {"MUSICBRAINZ_ARTISTID", "MusicBrainz/Artist Id"},
        {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz/Album Artist Id"},
        {"MUSICBRAINZ_DISCID", "MusicBrainz/Disc Id"},
    };
    for (const auto &name : names)
        if (key == name.first)
            return name.second;
    return nullptr;
}

// Attributes by name: setProperties() refuses some of these names.
bool writeAsf(TagLib::IOStream *stream, const TagLib::PropertyMap &all)
{
    TagLib::ASF::File file(stream, false);
    if (!file.isValid() || !file.tag())
        return false;
    // WM/TrackNumber has no total; WM/PartOfSet reads "1/2".
    TagLib::PropertyMap map = all;
    map.erase("TRACKTOTAL");
    map.erase("TOTALTRACKS");
    map = withTotalsInNumbers(map);
    TagLib::ASF::Tag *tag = file.tag();
    for (const auto &field : map) {
        const TagLib::String &value = field.second.front();
        if (field.first == "TITLE") {
            tag->setTitle(value);
        } else if (field.first == "ARTIST") {
            tag->setArtist(value);
        } else if (field.first == "COMMENT") {
            tag->setComment(value);
        } else if (field.first == "COPYRIGHT") {
            tag->setCopyright(value);
        } else if (const char *name = asfNameOf(field.first)) {
            TagLib::ASF::AttributeList values;
            for (const TagLib::String &v : field.second)
                values.append(TagLib::ASF::Attribute(v));
            tag->setAttribute(name, values);
        } else {
            return false;
        }
    }
    return file.save();
}

} // namespace

bool writeTags(const QString &path, TagKind kind, const IAudioConvertInformation &tags)
{
    useUnicodeEverywhere();
    const TagLib::PropertyMap map = propertiesOf(tags);
    CheckedFileStream stream(path);
    bool saved = false;
    switch (kind) {
    case TagKind::Id3v2:
        saved = writeId3v2(&stream, map);
        break;
    case TagKind::Xiph:
        saved = writeXiph<TagLib::Ogg::Vorbis::File>(&stream, map);
        break;
    case TagKind::Opus:
        saved = writeXiph<TagLib::Ogg::Opus::File>(&stream, map);
        break;
    case TagKind::RiffInfo:
        saved = writeRiffInfo(&stream, map);
        break;
    case TagKind::Asf:
        saved = writeAsf(&stream, map);
        break;
    case TagKind::Flac:
        saved = writeFlac(&stream, map);
        break;
    case TagKind::Ape:
        saved = writeApe(&stream, map);
        break;
    }
    return saved && !stream.failed();
}

} // namespace AudioConvertLib::Detail

namespace AudioConvertLib {

void WriteLosslessTags(const QString &path,
                       TLosslessFormat format,
                       const IAudioConvertInformation &tags)
{
    const Detail::TagKind kind = format == TLosslessFormat::Flac ? Detail::TagKind::Flac
                                                                 : Detail::TagKind::Ape;
    if (!Detail::writeTags(path, kind, tags))
        throw EAudioConvert(
            QStringLiteral("The tags could not be written into \"%1\".").arg(path).toStdString());
}

} // namespace AudioConvertLib
