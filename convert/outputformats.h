#pragma once

#include <QString>
#include <QStringList>

// The output formats the program writes, in the order of the window's format
// list. A format's index is its meaning: it is stored, it selects the quality
// list, the file name extension and the way the job produces the file.
namespace OutputFormats {

enum Index : int {
    Mp3 = 0,
    Wma = 1,
    OggVorbis = 2,
    Wave = 3,
    Adpcm = 4,
    Flac = 5,
    Ape = 6,
    Opus = 7, // after the others, so that every stored index keeps its meaning
};
constexpr int Count = 8;

// How a rip produces the file: read into a temporary WAV and then converted
// by the conversion component, or written straight from the disc by one of
// the pipeline's writers.
enum class Route { Converter, Writer };
enum class Writer { None, Flac, Ape };

struct Format
{
    Index index;
    const char *caption;   // the format list's text, exactly as shown
    const char *extension; // with its dot: ".mp3"
    Route route;
    Writer writer; // Writer::None on the converter's route
};

// The format of an index; null for an index that names none.
const Format *find(int index);
// Every format's caption, in index order.
QStringList captions();
// The extension of a format index (".mp3"); empty for no format.
QString extensionOf(int index);
// True for the formats converted from a temporary WAV.
bool isConverted(int index);

} // namespace OutputFormats
