#include "convert/outputformats.h"

#include <iterator>

namespace OutputFormats {

namespace {

constexpr Format Table[] = {
    {Mp3, "Mp3 (Mpeg Layer-3)", ".mp3", Route::Converter, Writer::None},
    {Wma, "WMA (Windows Media Audio 9)", ".wma", Route::Converter, Writer::None},
    {OggVorbis, "Ogg (Ogg Vorbis 1.1)", ".ogg", Route::Converter, Writer::None},
    {Wave, "Wav(Standard)", ".wav", Route::Converter, Writer::None},
    {Adpcm, "WAV (ADPCM) ", ".wav", Route::Converter, Writer::None},
    {Flac, "FLAC(Free Lossless Audio Codec)", ".flac", Route::Writer, Writer::Flac},
    {Ape, "APE(Monkey's Audio)", ".ape", Route::Writer, Writer::Ape},
    {Opus, "Opus (Ogg Opus)", ".opus", Route::Converter, Writer::None},
};
static_assert(std::size(Table) == Count, "one row per format index");

} // namespace

const Format *find(int index)
{
    if (index < 0 || index >= Count)
        return nullptr;
    return &Table[index];
}

QStringList captions()
{
    QStringList list;
    for (const Format &format : Table)
        list << QString::fromLatin1(format.caption);
    return list;
}

QString extensionOf(int index)
{
    const Format *format = find(index);
    return format ? QString::fromLatin1(format->extension) : QString();
}

bool isConverted(int index)
{
    const Format *format = find(index);
    return format && format->route == Route::Converter;
}

} // namespace OutputFormats
