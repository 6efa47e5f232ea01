#pragma once

#include "convert/outputformats.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// The quality lists of the output formats: fixed tables whose texts,
// order and values users see and choose from. An entry's position in its list
// is what the window's quality list selects.
namespace QualityLists {

// The output format index: the position in the window's format list.
using Format = OutputFormats::Index;
using OutputFormats::Adpcm;
using OutputFormats::Ape;
using OutputFormats::Flac;
using OutputFormats::Mp3;
using OutputFormats::OggVorbis;
using OutputFormats::Opus;
using OutputFormats::Wave;
using OutputFormats::Wma;
constexpr int FormatCount = OutputFormats::Count;

enum class Mp3Kind {
    Bitrate, // value: Mp3Bitrate in kbit/s (a constant bitrate)
    Vbr,     // value: VbrQuality 0 to 9, with VbrMethod New and VbrBitrate 128
    Preset,  // value: the encoder's preset number 1 to 11
};

struct Mp3Entry
{
    const char *text;
    Mp3Kind kind;
    int32_t value;
};

// Entry n selects WMA profile n + 1.
struct WmaEntry
{
    const char *text;
    const char *profileText; // what the hint label shows for it
};

struct OggEntry
{
    const char *text;
    bool range;      // a bitrate range (minimum = maximum = bitrate), else a fixed bitrate
    int32_t bitrate; // kbit/s
    // Where the quality dialog's "ogg" page shows it: the entry of its minimum
    // and maximum lists (range), or the position of its bitrate track bar.
    int dialogEntry;
};

struct WaveEntry
{
    const char *text;
    int32_t sampleRate;
    int32_t channels;
    int32_t bitsPerSample;
};

struct AdpcmEntry
{
    const char *text;
    int32_t sampleRate;
    int32_t channels;
};

// An Opus entry: unconstrained VBR around a bitrate, stereo.
struct OpusEntry
{
    const char *text;
    int32_t bitrate; // kbit/s
};

struct ApeEntry
{
    const char *text;
    int32_t compressionLevel;
};

constexpr int Mp3Count = 40;
constexpr int WmaCount = 51;
constexpr int OggCount = 22;
constexpr int WaveCount = 36;
constexpr int AdpcmCount = 18;
constexpr int FlacCount = 9; // entry n is the FLAC writer's CompressionLevel n
constexpr int ApeCount = 4;
constexpr int OpusCount = 6;

// The entries of each list; n must lie within the list.
const Mp3Entry &mp3(int n);
const WmaEntry &wma(int n);
const OggEntry &ogg(int n);
const WaveEntry &wave(int n);
const AdpcmEntry &adpcm(int n);
const ApeEntry &ape(int n);
const OpusEntry &opus(int n);

// The texts of a format's quality list in list order; empty for an unknown format.
QStringList texts(int format);
// The entry a format starts on when it is chosen; -1 for an unknown format.
int defaultEntry(int format);
// Whether the "..." button opens the quality dialog for the format (MP3, Ogg Vorbis).
bool hasQualityDialog(int format);

} // namespace QualityLists
