#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Test discs of known content: a CUE sheet with one BIN file of raw 2352-byte
// sectors (audio as 16-bit stereo at 44.1 kHz, little-endian or, for a
// MOTOROLA file, big-endian; data tracks as MODE1/2352), plus, for
// comparison, the bytes a reader gets for each track (audio little-endian).
namespace DiscGen {

constexpr int SectorBytes = 2352;
constexpr int FramesPerSecond = 75;

// What an audio track holds.
enum class AudioContent {
    Tones,   // two tones per channel and a little noise (see audioSample)
    Random,  // random bytes: white noise at full scale
    Square,  // a full-scale square wave, +32767 and -32768
    Silence, // all zero
};

struct TrackSpec
{
    uint32_t frames = 0;            // sectors from INDEX 01 up to the next track's INDEX 00
    uint32_t pregapFrames = 0;      // sectors of INDEX 00 before INDEX 01 (0: no INDEX 00 line)
    bool data = false;              // a MODE1/2352 data track instead of audio
    std::vector<std::string> flags; // CUE FLAGS: "DCP", "PRE", "4CH", "SCMS"
    AudioContent content = AudioContent::Tones;
    std::vector<uint32_t> subIndexes{}; // INDEX 02, 03 ...: sectors after INDEX 01, ascending
    bool silentPregap = false;          // INDEX 00 .. INDEX 01 holds digital silence
    std::string isrc{};                 // the sheet's ISRC line, none when empty
};

struct DiscSpec
{
    std::vector<TrackSpec> tracks; // 1 to 99 tracks
    bool motorola = false;         // the BIN holds big-endian samples (FILE ... MOTOROLA)
    std::string catalog{};         // the sheet's CATALOG line, none when empty
};

// Where each track lies in the BIN file, in sectors from the file's start.
struct TrackLayout
{
    uint32_t pregapStart = 0; // first sector of INDEX 00 (== start without a pregap)
    uint32_t start = 0;       // first sector of INDEX 01
    uint32_t readEnd = 0;     // a table-of-contents reader reads [start, readEnd)
};

struct DiscLayout
{
    std::vector<TrackLayout> tracks;
    uint32_t totalFrames = 0;
};

// Throws std::invalid_argument for a plan that cannot be written.
DiscLayout layoutOf(const DiscSpec &plan);

// The CUE sheet text for a BIN of the given file name.
std::string cueSheet(const DiscSpec &plan, const std::string &binFileName);

// The 2352 bytes of one sector as a reader gets them (audio little-endian).
// `track` is 1-based; `sectorInTrack` counts from the first pregap sector of
// that track. Tones change with the track and carry a few bits of noise, so
// that they compress partly and every position of every track differs from
// every other; random bytes and square waves change with the track too.
void fillSector(
    const DiscSpec &plan, int track, uint32_t sectorInTrack, uint32_t absoluteSector, uint8_t *out);

// One stereo sample pair of an audio track at the given sample index counted
// from the track's first pregap sample.
void audioSample(int track, uint64_t sampleIndex, int16_t &left, int16_t &right);

struct WrittenDisc
{
    std::string cuePath;
    std::string binPath;
    std::vector<std::string> trackFiles; // per track: the bytes [start, readEnd) of the BIN
    DiscLayout layout;
};

// Writes <dir>/<baseName>.cue and .bin, and when withTrackFiles is true the
// per-track files <dir>/<baseName>-NN.pcm. Throws std::runtime_error with the
// path when a file cannot be written.
WrittenDisc writeDisc(const DiscSpec &plan,
                      const std::string &dir,
                      const std::string &baseName,
                      bool withTrackFiles);

// "mm:ss:ff" or a plain sector count.
uint32_t parseLength(const std::string &text);
// "tones", "random", "square" or "silence".
AudioContent parseContent(const std::string &text);
std::string formatMsf(uint32_t frames);

} // namespace DiscGen
