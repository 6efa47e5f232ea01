#include "libs/audioconvert/formatwriters.h"

#include <taglib/asffile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <mutex>

namespace AudioConvertLib::Detail {

namespace {

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

// The fields in TagLib's common names; what stays out of a tag is left out.
TagLib::PropertyMap propertiesOf(const IAudioConvertInformation &tags)
{
    TagLib::PropertyMap map;
    const auto put = [&map](const char *key, const QString &value) {
        if (!value.isEmpty())
            map.replace(key, TagLib::StringList(text(value)));
    };
    put("TITLE", tags.TagTitle());
    put("ARTIST", tags.TagArtist());
    put("ALBUM", tags.TagAlbum());
    if (tags.TagYear() > 0)
        put("DATE", QString::number(tags.TagYear()));
    if (tags.TagTrack() > 0)
        put("TRACKNUMBER", QString::number(tags.TagTrack()));
    put("GENRE", genreName(tags.TagGenre()));
    put("COMMENT", tags.TagComment());
    put("COPYRIGHT", tags.TagCopyright());
    put("ENCODEDBY", tags.TagEncodedBy());
    put("URL", tags.TagUrl());
    return map;
}

bool writeId3v2(const std::string &path, const TagLib::PropertyMap &map)
{
    TagLib::MPEG::File file(path.c_str(), false);
    if (!file.isValid())
        return false;
    if (!file.ID3v2Tag(true)->setProperties(map).isEmpty())
        return false;
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
}

bool writeXiph(const std::string &path, const TagLib::PropertyMap &map)
{
    TagLib::Ogg::Vorbis::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag())
        return false;
    if (!file.tag()->setProperties(map).isEmpty())
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

bool writeRiffInfo(const std::string &path, const TagLib::PropertyMap &map)
{
    TagLib::RIFF::WAV::File file(path.c_str(), false);
    if (!file.isValid())
        return false;
    TagLib::RIFF::Info::Tag *info = file.InfoTag();
    for (const auto &field : map) {
        const char *id = infoIdOf(field.first);
        if (!id)
            return false;
        info->setFieldText(id, field.second.front());
    }
    return file.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripOthers);
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
    };
    for (const auto &name : names)
        if (key == name.first)
            return name.second;
    return nullptr;
}

bool writeAsf(const std::string &path, const TagLib::PropertyMap &map)
{
    TagLib::ASF::File file(path.c_str(), false);
    if (!file.isValid() || !file.tag())
        return false;
    TagLib::ASF::Tag *tag = file.tag();
    for (const auto &field : map) {
        const TagLib::String &value = field.second.front();
        if (field.first == "TITLE")
            tag->setTitle(value);
        else if (field.first == "ARTIST")
            tag->setArtist(value);
        else if (field.first == "COMMENT")
            tag->setComment(value);
        else if (field.first == "COPYRIGHT")
            tag->setCopyright(value);
        else if (const char *name = asfNameOf(field.first))
            tag->setAttribute(name, TagLib::ASF::Attribute(value));
        else
            return false;
    }
    return file.save();
}

} // namespace

bool writeTags(const QString &path, TagKind kind, const IAudioConvertInformation &tags)
{
    useUnicodeEverywhere();
    const TagLib::PropertyMap map = propertiesOf(tags);
    const std::string native = nativePath(path);
    switch (kind) {
    case TagKind::Id3v2:
        return writeId3v2(native, map);
    case TagKind::Xiph:
        return writeXiph(native, map);
    case TagKind::RiffInfo:
        return writeRiffInfo(native, map);
    case TagKind::Asf:
        return writeAsf(native, map);
    }
    return false;
}

} // namespace AudioConvertLib::Detail
