#include "discimage.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace DiscGen {

namespace {

constexpr uint32_t MaxTracks = 99;
constexpr int SineBits = 12;

// A sine table makes every sample computable from its index alone (random
// access, no accumulated rounding), and identical on every run.
const std::array<int16_t, 1u << SineBits> &sineTable()
{
    static const auto table = [] {
        std::array<int16_t, 1u << SineBits> t{};
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<int16_t>(
                std::lround(32767.0 * std::sin(2.0 * M_PI * double(i) / double(t.size()))));
        return t;
    }();
    return table;
}

int sine(uint64_t sampleIndex, double hz)
{
    const auto step = static_cast<uint32_t>(hz * 4294967296.0 / 44100.0);
    const auto phase = static_cast<uint32_t>(sampleIndex * step);
    return sineTable()[phase >> (32 - SineBits)];
}

uint64_t mix(uint64_t x)
{
    // splitmix64 finaliser
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

void putLe16(uint8_t *p, int16_t v)
{
    const auto u = static_cast<uint16_t>(v);
    p[0] = static_cast<uint8_t>(u & 0xff);
    p[1] = static_cast<uint8_t>(u >> 8);
}

uint8_t bcd(uint32_t v)
{
    return static_cast<uint8_t>(((v / 10) << 4) | (v % 10));
}

struct FileCloser
{
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File openForWriting(const std::string &path)
{
    File f(std::fopen(path.c_str(), "wb"));
    if (!f)
        throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    return f;
}

void writeAll(FILE *f, const void *data, size_t size, const std::string &path)
{
    if (std::fwrite(data, 1, size, f) != size)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

void closeChecked(File &f, const std::string &path)
{
    FILE *raw = f.release();
    if (std::fclose(raw) != 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

// A MOTOROLA file stores each 16-bit sample high byte first.
void swapSampleBytes(uint8_t *sector)
{
    for (int i = 0; i < SectorBytes; i += 2)
        std::swap(sector[i], sector[i + 1]);
}

void fillAudio(AudioContent content, int track, uint32_t sectorInTrack, uint8_t *out)
{
    constexpr int FramesPerSector = SectorBytes / 4;
    const uint64_t first = uint64_t(sectorInTrack) * FramesPerSector;
    switch (content) {
    case AudioContent::Tones:
        for (int i = 0; i < FramesPerSector; ++i) {
            int16_t l = 0;
            int16_t r = 0;
            audioSample(track, first + uint64_t(i), l, r);
            putLe16(out + 4 * i, l);
            putLe16(out + 4 * i + 2, r);
        }
        break;
    case AudioContent::Random:
        for (int i = 0; i < SectorBytes / 8; ++i) {
            uint64_t v = mix((uint64_t(track) << 40) ^ (uint64_t(sectorInTrack) << 9) ^ uint64_t(i));
            for (int b = 0; b < 8; ++b, v >>= 8)
                out[8 * i + b] = static_cast<uint8_t>(v);
        }
        break;
    case AudioContent::Square: {
        // A period of 2 * (40 + track) samples: 540 Hz for track 1.
        const uint64_t half = 40 + uint64_t(track);
        for (int i = 0; i < FramesPerSector; ++i) {
            const int16_t v = ((first + uint64_t(i)) / half) % 2 ? int16_t(-32768) : int16_t(32767);
            putLe16(out + 4 * i, v);
            putLe16(out + 4 * i + 2, v);
        }
        break;
    }
    case AudioContent::Silence:
        std::memset(out, 0, SectorBytes);
        break;
    }
}

std::string twoDigits(uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u", v);
    return buf;
}

} // namespace

void audioSample(int track, uint64_t sampleIndex, int16_t &left, int16_t &right)
{
    // Each track has its own pair of pitches per channel; the noise is seeded
    // by the track and the position, so a shifted or swapped track never matches.
    const double base = 110.0 * std::pow(2.0, double(track % 36) / 12.0);
    const uint64_t n = mix((uint64_t(track) << 40) ^ sampleIndex);
    const int noiseL = int(n & 0x7f) - 64;
    const int noiseR = int((n >> 8) & 0x7f) - 64;
    const int l = (sine(sampleIndex, base) * 9) / 32 + (sine(sampleIndex, base * 3.01) * 5) / 32
                  + noiseL;
    const int r = (sine(sampleIndex, base * 1.5) * 8) / 32
                  + (sine(sampleIndex, base * 2.02 + track) * 6) / 32 + noiseR;
    left = static_cast<int16_t>(l);
    right = static_cast<int16_t>(r);
}

DiscLayout layoutOf(const DiscSpec &plan)
{
    if (plan.tracks.empty() || plan.tracks.size() > MaxTracks)
        throw std::invalid_argument("a disc has 1 to 99 tracks");
    DiscLayout layout;
    uint32_t cursor = 0;
    for (const TrackSpec &t : plan.tracks) {
        if (t.frames == 0)
            throw std::invalid_argument("a track needs at least one sector");
        uint32_t previous = 0;
        for (const uint32_t index : t.subIndexes) {
            if (index <= previous || index >= t.frames)
                throw std::invalid_argument("sub-indexes lie inside their track, ascending");
            previous = index;
        }
        TrackLayout l;
        l.pregapStart = cursor;
        l.start = cursor + t.pregapFrames;
        cursor = l.start + t.frames;
        layout.tracks.push_back(l);
    }
    layout.totalFrames = cursor;
    for (size_t i = 0; i < layout.tracks.size(); ++i) {
        layout.tracks[i].readEnd = i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start
                                                                : layout.totalFrames;
    }
    return layout;
}

std::string formatMsf(uint32_t frames)
{
    const uint32_t seconds = frames / FramesPerSecond;
    return twoDigits(seconds / 60) + ":" + twoDigits(seconds % 60) + ":"
           + twoDigits(frames % FramesPerSecond);
}

std::string cueSheet(const DiscSpec &plan, const std::string &binFileName)
{
    const DiscLayout layout = layoutOf(plan);
    std::ostringstream cue;
    if (!plan.catalog.empty())
        cue << "CATALOG " << plan.catalog << "\r\n";
    cue << "FILE \"" << binFileName << "\" " << (plan.motorola ? "MOTOROLA" : "BINARY") << "\r\n";
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        const TrackSpec &t = plan.tracks[i];
        const TrackLayout &l = layout.tracks[i];
        cue << "  TRACK " << twoDigits(uint32_t(i + 1)) << (t.data ? " MODE1/2352" : " AUDIO")
            << "\r\n";
        if (!t.flags.empty()) {
            cue << "    FLAGS";
            for (const std::string &f : t.flags)
                cue << ' ' << f;
            cue << "\r\n";
        }
        if (!t.isrc.empty())
            cue << "    ISRC " << t.isrc << "\r\n";
        if (t.pregapFrames > 0)
            cue << "    INDEX 00 " << formatMsf(l.pregapStart) << "\r\n";
        cue << "    INDEX 01 " << formatMsf(l.start) << "\r\n";
        for (size_t k = 0; k < t.subIndexes.size(); ++k)
            cue << "    INDEX " << twoDigits(uint32_t(k + 2)) << ' '
                << formatMsf(l.start + t.subIndexes[k]) << "\r\n";
    }
    return cue.str();
}

void fillSector(
    const DiscSpec &plan, int track, uint32_t sectorInTrack, uint32_t absoluteSector, uint8_t *out)
{
    const TrackSpec &t = plan.tracks.at(size_t(track - 1));
    if (!t.data) {
        if (t.silentPregap && sectorInTrack < t.pregapFrames)
            std::memset(out, 0, SectorBytes);
        else
            fillAudio(t.content, track, sectorInTrack, out);
        return;
    }
    // MODE1/2352: sync pattern, BCD address (with the 2-second lead-in), mode,
    // 2048 bytes of user data; EDC/ECC left zero as nothing here checks them.
    std::memset(out, 0, SectorBytes);
    std::memset(out + 1, 0xff, 10);
    const uint32_t msf = absoluteSector + 150;
    out[12] = bcd(msf / (75 * 60));
    out[13] = bcd((msf / 75) % 60);
    out[14] = bcd(msf % 75);
    out[15] = 1;
    for (int i = 0; i < 2048; ++i)
        out[16 + i] = static_cast<uint8_t>(
            mix((uint64_t(track) << 48) ^ (uint64_t(sectorInTrack) << 12) ^ uint64_t(i)));
}

WrittenDisc writeDisc(const DiscSpec &plan,
                      const std::string &dir,
                      const std::string &baseName,
                      bool withTrackFiles)
{
    WrittenDisc written;
    written.layout = layoutOf(plan);
    written.cuePath = dir + "/" + baseName + ".cue";
    written.binPath = dir + "/" + baseName + ".bin";

    {
        File cue = openForWriting(written.cuePath);
        const std::string text = cueSheet(plan, baseName + ".bin");
        writeAll(cue.get(), text.data(), text.size(), written.cuePath);
        closeChecked(cue, written.cuePath);
    }

    File bin = openForWriting(written.binPath);
    std::vector<File> trackFiles(plan.tracks.size());
    if (withTrackFiles) {
        for (size_t i = 0; i < plan.tracks.size(); ++i) {
            written.trackFiles.push_back(dir + "/" + baseName + "-" + twoDigits(uint32_t(i + 1))
                                         + ".pcm");
            trackFiles[i] = openForWriting(written.trackFiles.back());
        }
    }

    // Sectors go out in batches: one fwrite per sector would dominate the time
    // of a 74-minute disc.
    constexpr uint32_t Batch = 75;
    std::vector<uint8_t> buffer(size_t(Batch) * SectorBytes);
    uint32_t sector = 0;
    for (size_t i = 0; i < plan.tracks.size(); ++i) {
        const TrackLayout &l = written.layout.tracks[i];
        const uint32_t end = l.start + plan.tracks[i].frames;
        while (sector < end) {
            const uint32_t count = std::min(Batch, end - sector);
            for (uint32_t k = 0; k < count; ++k) {
                fillSector(plan,
                           int(i + 1),
                           sector + k - l.pregapStart,
                           sector + k,
                           buffer.data() + size_t(k) * SectorBytes);
            }
            const size_t bytes = size_t(count) * SectorBytes;
            if (withTrackFiles) {
                // A reader of track j gets [start_j, readEnd_j): the pregap of
                // track j+1 belongs to track j there.
                for (size_t j = 0; j < plan.tracks.size(); ++j) {
                    const TrackLayout &r = written.layout.tracks[j];
                    const uint32_t from = std::max(sector, r.start);
                    const uint32_t to = std::min(sector + count, r.readEnd);
                    if (from < to) {
                        writeAll(trackFiles[j].get(),
                                 buffer.data() + size_t(from - sector) * SectorBytes,
                                 size_t(to - from) * SectorBytes,
                                 written.trackFiles[j]);
                    }
                }
            }
            if (plan.motorola && !plan.tracks[i].data) {
                for (uint32_t k = 0; k < count; ++k)
                    swapSampleBytes(buffer.data() + size_t(k) * SectorBytes);
            }
            writeAll(bin.get(), buffer.data(), bytes, written.binPath);
            sector += count;
        }
    }
    closeChecked(bin, written.binPath);
    for (size_t j = 0; j < trackFiles.size(); ++j) {
        if (trackFiles[j])
            closeChecked(trackFiles[j], written.trackFiles[j]);
    }
    return written;
}

uint32_t parseLength(const std::string &text)
{
    unsigned m = 0;
    unsigned s = 0;
    unsigned f = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u%c", &m, &s, &f, &tail) == 3) {
        if (s >= 60 || f >= FramesPerSecond)
            throw std::invalid_argument("bad length " + text + ": seconds < 60, frames < 75");
        return (m * 60 + s) * FramesPerSecond + f;
    }
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
        return static_cast<uint32_t>(std::stoul(text));
    throw std::invalid_argument("bad length " + text + ": give mm:ss:ff or a sector count");
}

AudioContent parseContent(const std::string &text)
{
    if (text == "tones")
        return AudioContent::Tones;
    if (text == "random")
        return AudioContent::Random;
    if (text == "square")
        return AudioContent::Square;
    if (text == "silence")
        return AudioContent::Silence;
    throw std::invalid_argument("unknown content " + text
                                + ": give tones, random, square or silence");
}

} // namespace DiscGen
