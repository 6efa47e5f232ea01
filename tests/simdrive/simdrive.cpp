// The simulated CD drive: an LD_PRELOAD interposer over the libcdio calls
// libcdrip and libcdio-paranoia make. It lists one more drive among the
// machine's, backed by a CUE/BIN image, and gives it the manners of a real
// drive as its configuration file says (see README.md beside this file).
// Every call on any other handle goes to libcdio unchanged.
#include "simdrivecounters.h"

#include <cdio/cdio.h>
#include <cdio/disc.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#define SIMDRIVE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int SectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr int SampleBytes = 4;
// The audio session's lead-out, the next session's lead-in and the data
// track's pregap lie between the two sessions of an Enhanced CD.
constexpr lsn_t SessionGap = 11400;
constexpr int BytesPerSecondAt1x = 176400;
constexpr int QBytes = 16;
constexpr int RawSubchannelBytes = 96;
// How far beyond the disc's ends a drive that reads there goes: back to
// 00:00:00, and the lead-out's 90 seconds.
constexpr lsn_t LeadInReach = 150;
constexpr lsn_t LeadOutReach = 6750;

// ---------------------------------------------------------------------------
// The real libcdio.

// The program loads libcdio with the library that uses it, dlopen()ed with
// its own scope, where RTLD_NEXT does not look; the loaded copy is asked by
// name instead.
void *libcdio()
{
    static void *const handle = dlopen(SIMDRIVE_LIBCDIO, RTLD_LAZY);
    return handle;
}

template<typename F>
F real(const char *name)
{
    void *symbol = libcdio() ? dlsym(libcdio(), name) : nullptr;
    if (!symbol) {
        std::fprintf(stderr, "simdrive: %s not found in %s\n", name, SIMDRIVE_LIBCDIO);
        std::abort();
    }
    return reinterpret_cast<F>(symbol);
}

// libcdio calls its own exported functions through the PLT, so they come
// back here: inside a call to the real library every entry point passes
// straight through, or a position would be mapped twice.
thread_local int t_depth = 0;

class Inside
{
public:
    Inside() { ++t_depth; }
    ~Inside() { --t_depth; }
    Inside(const Inside &) = delete;
    Inside &operator=(const Inside &) = delete;
};

// The real entry point `name`, looked up once, called with its arguments.
#define CALL_REAL(name, ...) \
    ([&] { \
        static const auto function = real<decltype(&name)>(#name); \
        const Inside inside; \
        return function(__VA_ARGS__); \
    }())

// ---------------------------------------------------------------------------
// Configuration.

struct Range
{
    lsn_t first = 0;
    lsn_t last = 0; // inclusive
};

bool inRanges(const std::vector<Range> &ranges, lsn_t sector)
{
    for (const Range &r : ranges) {
        if (sector >= r.first && sector <= r.last)
            return true;
    }
    return false;
}

struct Config
{
    std::string image;
    std::string device = "/dev/sondrel-simcd";
    std::string vendor = "SONDREL";
    std::string model = "SIMULATED DRIVE";
    std::string revision = "1.0";
    int offset = 0;      // samples
    int jitter = 0;      // the most samples a re-read starts off
    int jitterRate = 25; // percent of the re-reads that do
    std::vector<Range> damaged;
    int damagedCount = 0; // sectors damaged besides, picked at random (seeded)
    bool damageRepeats = false;
    int damageRate = 25; // percent of the reads of a damaged sector that come back damaged
    std::vector<Range> unreadable;
    int speed = 0; // 0: as fast as the image reads
    int secondSession = 0;
    uint32_t seed = 1;
    bool qBinary = false;
    std::vector<Range> qCrcErrors;
    // Sectors beyond the disc's ends the drive will not read.
    bool refuseLeadIn = false;
    bool refuseLeadOut = false;
    std::vector<Range> qUnreadable;
    std::vector<Range> qPreEmphasis; // tracks
    std::vector<Range> qWrongSector;
    std::string cdText; // a file of raw CD-Text packs the lead-in holds
    std::string mcn;    // the catalogue number the Q sub-channel carries
};

std::string trimmed(const std::string &s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// "12 40-45 100": sectors and inclusive ranges.
std::vector<Range> parseRanges(const std::string &text)
{
    std::vector<Range> ranges;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        const auto dash = word.find('-', 1);
        Range r;
        r.first = std::stoi(word.substr(0, dash));
        r.last = dash == std::string::npos ? r.first : std::stoi(word.substr(dash + 1));
        ranges.push_back(r);
    }
    return ranges;
}

bool yes(const std::string &value)
{
    return value == "yes" || value == "on" || value == "1" || value == "true";
}

// Read afresh at every listing and every open, so that a test may change the
// drive between two uses. Null without a configuration or with a broken one
// (which is reported, as a test would otherwise look for a missing drive).
std::shared_ptr<const Config> loadConfig()
{
    const char *path = std::getenv("SONDREL_SIMDRIVE");
    if (!path || !*path)
        return {};
    std::ifstream in(path);
    if (!in)
        return {};
    auto config = std::make_shared<Config>();
    std::string line;
    int number = 0;
    try {
        while (std::getline(in, line)) {
            ++number;
            line = trimmed(line.substr(0, line.find('#')));
            if (line.empty())
                continue;
            const auto eq = line.find('=');
            if (eq == std::string::npos)
                throw std::invalid_argument("no '='");
            const std::string key = trimmed(line.substr(0, eq));
            const std::string value = trimmed(line.substr(eq + 1));
            Config &c = *config;
            if (key == "image")
                c.image = value;
            else if (key == "device")
                c.device = value;
            else if (key == "vendor")
                c.vendor = value;
            else if (key == "model")
                c.model = value;
            else if (key == "revision")
                c.revision = value;
            else if (key == "offset")
                c.offset = std::stoi(value);
            else if (key == "jitter")
                c.jitter = std::abs(std::stoi(value));
            else if (key == "jitter-rate")
                c.jitterRate = std::clamp(std::stoi(value), 0, 100);
            else if (key == "damaged")
                c.damaged = parseRanges(value);
            else if (key == "damage")
                c.damageRepeats = value == "repeat";
            else if (key == "damaged-count")
                c.damagedCount = std::max(0, std::stoi(value));
            else if (key == "damage-rate")
                c.damageRate = std::clamp(std::stoi(value), 0, 100);
            else if (key == "unreadable")
                c.unreadable = parseRanges(value);
            else if (key == "speed")
                c.speed = std::max(0, std::stoi(value));
            else if (key == "second-session")
                c.secondSession = std::stoi(value);
            else if (key == "seed")
                c.seed = uint32_t(std::stoul(value));
            else if (key == "q-binary")
                c.qBinary = yes(value);
            else if (key == "q-crc-errors")
                c.qCrcErrors = parseRanges(value);
            else if (key == "refuse-overread") {
                std::istringstream words(value);
                for (std::string word; words >> word;) {
                    if (word == "lead-in")
                        c.refuseLeadIn = true;
                    else if (word == "lead-out")
                        c.refuseLeadOut = true;
                    else if (word != "none")
                        throw std::invalid_argument("refuse-overread: " + word);
                }
            } else if (key == "q-unreadable")
                c.qUnreadable = parseRanges(value);
            else if (key == "q-pre-emphasis")
                c.qPreEmphasis = parseRanges(value);
            else if (key == "q-wrong-sector")
                c.qWrongSector = parseRanges(value);
            else if (key == "cdtext")
                c.cdText = value;
            else if (key == "mcn")
                c.mcn = value;
            else
                throw std::invalid_argument("unknown key " + key);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "simdrive: %s line %d: %s\n", path, number, e.what());
        return {};
    }
    if (config->image.empty()) {
        std::fprintf(stderr, "simdrive: %s names no image\n", path);
        return {};
    }
    return config;
}

// ---------------------------------------------------------------------------
// What the CUE sheet says about indexes and flags, for the Q sub-channel
// (libcdio keeps neither INDEX 02 and up nor every flag).

struct CueTrack
{
    int number = 0;
    uint8_t control = 0;
    std::map<int, lsn_t> indexes; // index number -> image sector
};

uint32_t parseMsf(const std::string &text)
{
    unsigned m = 0, s = 0, f = 0;
    if (std::sscanf(text.c_str(), "%u:%u:%u", &m, &s, &f) != 3)
        throw std::invalid_argument("bad time " + text);
    return (m * 60 + s) * 75 + f;
}

std::vector<CueTrack> readCue(const std::string &path)
{
    std::vector<CueTrack> tracks;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword;
        words >> keyword;
        if (keyword == "TRACK") {
            CueTrack t;
            std::string type;
            words >> t.number >> type;
            if (type != "AUDIO")
                t.control |= 0x04;
            tracks.push_back(t);
        } else if (keyword == "INDEX" && !tracks.empty()) {
            int index = 0;
            std::string time;
            words >> index >> time;
            tracks.back().indexes[index] = lsn_t(parseMsf(time));
        } else if (keyword == "FLAGS" && !tracks.empty()) {
            std::string flag;
            while (words >> flag) {
                if (flag == "PRE")
                    tracks.back().control |= 0x01;
                else if (flag == "DCP")
                    tracks.back().control |= 0x02;
                else if (flag == "4CH")
                    tracks.back().control |= 0x08;
            }
        }
    }
    return tracks;
}

// ---------------------------------------------------------------------------
// The drive's state shared by all its handles: the medium's bandwidth and
// what the tests count.

using Counters = SondrelSimDriveCounters;

struct DriveState
{
    std::mutex mutex;
    Counters counters;
    std::chrono::steady_clock::time_point busyUntil{};
    int requestedSpeed = 0; // set by the program; 0: the fastest
};

// Never freed: libcdio may be called from exit-time destructors.
DriveState &drive()
{
    static DriveState *const state = new DriveState;
    return *state;
}

template<typename F>
void count(F change)
{
    DriveState &d = drive();
    std::lock_guard<std::mutex> lock(d.mutex);
    change(d.counters);
}

// One open handle of the simulated drive: the image's own libcdio handle,
// which the caller holds, and the layout the drive shows.
struct SimDisc
{
    std::shared_ptr<const Config> config;
    CdIo_t *image = nullptr;
    track_t first = 0;
    track_t count = 0;
    std::vector<lsn_t> imageStarts; // per track, then the lead-out
    lsn_t audioEnd = 0;             // the audio session's lead-out, on the drive
    lsn_t shift = 0;                // what the later session moved by
    lsn_t dataStart = 0;            // first sector of the later session, on the drive
    std::vector<CueTrack> cue;
    std::mutex rngMutex;
    std::mt19937 rng;
    std::vector<bool> delivered; // per sector: read before through this handle
    std::vector<Range> damaged;  // the configuration's and the picked ones

    bool multisession() const { return config->secondSession > 0 && shift > 0; }
    bool laterSession(track_t track) const
    {
        return multisession() && track >= track_t(config->secondSession);
    }
    lsn_t leadOut() const { return imageStarts.back() + (multisession() ? shift : 0); }
    lsn_t start(track_t track) const
    {
        if (track == CDIO_CDROM_LEADOUT_TRACK || track == first + count)
            return leadOut();
        if (track < first || track >= first + count)
            return CDIO_INVALID_LSN;
        return imageStarts[size_t(track - first)] + (laterSession(track) ? shift : 0);
    }
    bool inGap(lsn_t sector) const
    {
        return multisession() && sector >= audioEnd && sector < dataStart;
    }
    // The image sector holding drive sector `sector`, -1 for none.
    lsn_t imageSector(lsn_t sector) const
    {
        if (sector < 0 || sector >= leadOut() || inGap(sector))
            return -1;
        return multisession() && sector >= dataStart ? sector - shift : sector;
    }
    track_t trackAt(lsn_t sector) const
    {
        for (track_t t = first + count - 1; t >= first; --t) {
            if (sector >= start(t))
                return t;
        }
        return CDIO_INVALID_TRACK;
    }
};

struct Registry
{
    std::mutex mutex;
    std::map<const CdIo_t *, std::shared_ptr<SimDisc>> discs;
};

Registry &registry()
{
    static Registry *const r = new Registry;
    return *r;
}

// The simulated disc behind a handle, or null for every other handle and
// inside a call to the real libcdio.
std::shared_ptr<SimDisc> simOf(const CdIo_t *cdio)
{
    if (t_depth > 0 || !cdio)
        return {};
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto it = r.discs.find(cdio);
    return it == r.discs.end() ? nullptr : it->second;
}

bool isSimDevice(const char *source, std::shared_ptr<const Config> &config)
{
    if (t_depth > 0 || !source)
        return false;
    config = loadConfig();
    return config && config->device == source;
}

CdIo_t *openSim(std::shared_ptr<const Config> config)
{
    auto disc = std::make_shared<SimDisc>();
    disc->config = config;
    disc->image = CALL_REAL(cdio_open, config->image.c_str(), DRIVER_BINCUE);
    if (!disc->image)
        return nullptr;
    CdIo_t *cdio = disc->image;
    disc->first = CALL_REAL(cdio_get_first_track_num, cdio);
    disc->count = CALL_REAL(cdio_get_num_tracks, cdio);
    if (disc->first == CDIO_INVALID_TRACK || disc->count == CDIO_INVALID_TRACK) {
        CALL_REAL(cdio_destroy, cdio);
        return nullptr;
    }
    for (track_t t = disc->first; t < disc->first + disc->count; ++t)
        disc->imageStarts.push_back(CALL_REAL(cdio_get_track_lsn, cdio, t));
    disc->imageStarts.push_back(
        CALL_REAL(cdio_get_track_lsn, cdio, track_t(CDIO_CDROM_LEADOUT_TRACK)));
    const int second = config->secondSession;
    if (second > disc->first && second < disc->first + disc->count) {
        // The later session starts 11,400 sectors after the audio session's
        // end, which is where the image's data track (or its pregap) begins.
        const lsn_t imageStart = disc->imageStarts[size_t(second - disc->first)];
        lsn_t imageEnd = CALL_REAL(cdio_get_track_pregap_lsn, cdio, track_t(second));
        if (imageEnd == CDIO_INVALID_LSN || imageEnd > imageStart)
            imageEnd = imageStart;
        disc->audioEnd = imageEnd;
        disc->dataStart = imageEnd + SessionGap;
        disc->shift = disc->dataStart - imageStart;
    }
    disc->cue = readCue(config->image);
    disc->delivered.assign(size_t(std::max(disc->leadOut(), 0)), false);
    // The same picks at every open: the scratches are on the disc.
    disc->damaged = config->damaged;
    std::mt19937 picks(config->seed);
    const lsn_t audible = disc->multisession() ? disc->audioEnd : disc->leadOut();
    for (int i = 0; i < config->damagedCount && audible > 0; ++i) {
        const auto sector = lsn_t(picks() % uint32_t(audible));
        disc->damaged.push_back({sector, sector});
    }
    disc->rng.seed(config->seed);
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.discs[cdio] = disc;
    }
    DriveState &d = drive();
    std::lock_guard<std::mutex> lock(d.mutex);
    ++d.counters.opens;
    return cdio;
}

// ---------------------------------------------------------------------------
// Reading.

int effectiveSpeed(const SimDisc &disc)
{
    const int max = disc.config->speed;
    const int asked = drive().requestedSpeed;
    return asked > 0 && (max == 0 || asked < max) ? asked : max;
}

// The medium turns at its speed whatever the reader does: a read of n
// sectors ends no sooner than n / (75 x speed) seconds after the last one.
void throttle(uint32_t sectors, int speed)
{
    if (speed <= 0)
        return;
    using namespace std::chrono;
    DriveState &d = drive();
    steady_clock::time_point until;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        const auto now = steady_clock::now();
        const auto begin = std::max(now, d.busyUntil);
        const double seconds = double(sectors) * SectorBytes / (double(speed) * BytesPerSecondAt1x);
        until = begin + duration_cast<steady_clock::duration>(duration<double>(seconds));
        d.busyUntil = until;
    }
    std::this_thread::sleep_until(until);
}

// The bytes a damaged sector gives: the same ones at every read, or new
// ones each time.
bool damage(SimDisc &disc, lsn_t sector, uint8_t *bytes)
{
    if (disc.config->damageRepeats) {
        std::mt19937 fixed(disc.config->seed * 2654435761u + uint32_t(sector));
        for (int i = 0; i < SectorBytes; ++i)
            bytes[i] = uint8_t(fixed());
        return true;
    }
    std::lock_guard<std::mutex> lock(disc.rngMutex);
    if (int(disc.rng() % 100) >= disc.config->damageRate)
        return false;
    for (int i = 0; i < SectorBytes; ++i)
        bytes[i] = uint8_t(disc.rng());
    return true;
}

// cdparanoia places every read relative to the ones before it, so nothing
// but the drive's first look at the audio fixes where the disc's samples
// lie. The model: a read into ground the drive has not delivered yet
// streams exactly (where the read offset alone puts it); a re-read, most of
// whose sectors this open drive has delivered before, lands up to `jitter`
// samples off, differently each time, in `jitter-rate` percent of them
// (cdparanoia settles what most reads agree on: every re-read off defeats it
// as it would on a real drive).
int jitterOf(SimDisc &disc, lsn_t lsn, uint32_t blocks)
{
    std::lock_guard<std::mutex> lock(disc.rngMutex);
    uint32_t seen = 0;
    for (lsn_t s = lsn; s < lsn + lsn_t(blocks); ++s) {
        if (s >= 0 && size_t(s) < disc.delivered.size()) {
            seen += disc.delivered[size_t(s)] ? 1 : 0;
            disc.delivered[size_t(s)] = true;
        }
    }
    const int j = disc.config->jitter;
    if (j == 0 || 2 * seen <= blocks)
        return 0;
    if (int(disc.rng() % 100) >= disc.config->jitterRate)
        return 0;
    return int(disc.rng() % uint32_t(2 * j)) - j; // never 0: each counted one lands off
}

// One read command of `blocks` sectors from `lsn`. A drive fails it as a
// whole when any of them cannot be read; otherwise it delivers the disc's
// audio moved by its read offset and this read's jitter.
driver_return_code_t readSim(SimDisc &disc, uint8_t *out, lsn_t lsn, uint32_t blocks)
{
    const Config &c = *disc.config;
    bool gap = false;
    bool outside = false;
    bool unreadable = false;
    for (lsn_t s = lsn; s < lsn + lsn_t(blocks); ++s) {
        gap = gap || disc.inGap(s);
        const bool leadIn = s < 0;
        const bool leadOut = s >= disc.leadOut();
        outside = outside || leadIn || leadOut;
        unreadable = unreadable || (leadIn && (c.refuseLeadIn || s < -LeadInReach))
                     || (leadOut && (c.refuseLeadOut || s >= disc.leadOut() + LeadOutReach))
                     || disc.inGap(s) || inRanges(c.unreadable, s);
    }
    {
        DriveState &d = drive();
        std::lock_guard<std::mutex> lock(d.mutex);
        ++d.counters.reads;
        d.counters.sectors += blocks;
        d.counters.gapReads += gap ? 1 : 0;
        d.counters.outsideReads += outside ? 1 : 0;
        d.counters.failedReads += unreadable ? 1 : 0;
    }
    throttle(std::max<uint32_t>(blocks, 1), effectiveSpeed(disc));
    if (unreadable)
        return DRIVER_OP_ERROR;

    // Raw sample j of the read is sample j - shift of the disc.
    const int64_t length = int64_t(blocks) * SectorBytes;
    const int64_t exact = int64_t(lsn) * SectorBytes - int64_t(c.offset) * SampleBytes;
    int64_t from = exact - int64_t(jitterOf(disc, lsn, blocks)) * SampleBytes;
    // The drive finds the disc's edges: a read of its first or last sector
    // lands exactly, as nothing before or after could set it right.
    if (lsn <= 0 || lsn + lsn_t(blocks) >= disc.leadOut())
        from = exact;
    if (from != exact)
        count([](Counters &n) { ++n.jitteredReads; });
    const int64_t to = from + length;
    std::vector<uint8_t> sector(SectorBytes);
    for (int64_t s = from >= 0 ? from / SectorBytes : -((-from + SectorBytes - 1) / SectorBytes);
         s * SectorBytes < to;
         ++s) {
        const lsn_t image = disc.imageSector(lsn_t(s));
        bool ok = image >= 0
                  && CALL_REAL(cdio_read_audio_sector, disc.image, sector.data(), image)
                         == DRIVER_OP_SUCCESS;
        if (!ok)
            std::fill(sector.begin(), sector.end(), uint8_t(0));
        else if (inRanges(disc.damaged, lsn_t(s)) && damage(disc, lsn_t(s), sector.data()))
            count([](Counters &n) { ++n.damagedSectors; });
        const int64_t lo = std::max(from, s * SectorBytes);
        const int64_t hi = std::min(to, (s + 1) * SectorBytes);
        std::memcpy(out + (lo - from), sector.data() + (lo - s * SectorBytes), size_t(hi - lo));
    }
    return DRIVER_OP_SUCCESS;
}

// ---------------------------------------------------------------------------
// The Q sub-channel.

uint8_t bcd(int value, bool binary)
{
    return binary ? uint8_t(value) : uint8_t((value / 10) << 4 | value % 10);
}

void putMsf(uint8_t *at, lsn_t frames, bool binary)
{
    at[0] = bcd(int(frames / (60 * 75)), binary);
    at[1] = bcd(int(frames / 75 % 60), binary);
    at[2] = bcd(int(frames % 75), binary);
}

uint16_t qCrc(const uint8_t *q)
{
    uint16_t crc = 0;
    for (int i = 0; i < 10; ++i) {
        crc ^= uint16_t(q[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return uint16_t(~crc);
}

// The formatted Q of drive sector `sector`, and whether the P channel is on
// (in pauses). False outside the disc's tracks.
bool positionQ(const SimDisc &disc, lsn_t sector, uint8_t *q, bool &pause)
{
    std::memset(q, 0, QBytes);
    pause = false;
    if (sector < 0 || disc.inGap(sector))
        return false;
    const bool binary = disc.config->qBinary;
    int track = CDIO_CDROM_LEADOUT_TRACK;
    int index = 1;
    uint8_t control = 0;
    lsn_t relative = sector - disc.leadOut();
    if (sector < disc.leadOut()) {
        // The cue's last index at or before the sector, in drive positions.
        bool found = false;
        for (const CueTrack &t : disc.cue) {
            const lsn_t move = disc.laterSession(track_t(t.number)) ? disc.shift : 0;
            const auto one = t.indexes.find(1);
            for (const auto &[number, position] : t.indexes) {
                if (position + move > sector)
                    continue;
                found = true;
                track = t.number;
                index = number;
                control = t.control;
                const lsn_t start = (one == t.indexes.end() ? position : one->second) + move;
                relative = number == 0 ? start - sector - 1 : sector - start;
            }
        }
        if (!found)
            return false;
    }
    if (track != CDIO_CDROM_LEADOUT_TRACK && inRanges(disc.config->qPreEmphasis, track))
        control |= 0x01;
    pause = index == 0;
    // The disc's Q is BCD, its CRC too; a drive that gives the numbers in
    // binary passes that CRC on unchanged.
    const auto fill = [&](bool inBinary) {
        q[0] = uint8_t(control << 4 | 0x01);
        q[1] = track == CDIO_CDROM_LEADOUT_TRACK ? uint8_t(track) : bcd(track, inBinary);
        q[2] = bcd(index, inBinary);
        putMsf(q + 3, relative, inBinary);
        putMsf(q + 7, sector + CDIO_PREGAP_SECTORS, inBinary);
    };
    fill(false);
    uint16_t crc = qCrc(q);
    if (binary)
        fill(true);
    if (inRanges(disc.config->qCrcErrors, sector))
        crc ^= 0x5a5a;
    q[10] = uint8_t(crc >> 8);
    q[11] = uint8_t(crc & 0xff);
    if (pause)
        q[15] = 0x80;
    return true;
}

// P in bit 7 and Q in bit 6 of each of the 96 bytes, R to W left clear.
void rawSubchannel(const uint8_t *q, bool pause, uint8_t *out)
{
    for (int i = 0; i < RawSubchannelBytes; ++i) {
        const bool qBit = (q[i / 8] >> (7 - i % 8) & 1) != 0;
        out[i] = uint8_t((pause ? 0x80 : 0) | (qBit ? 0x40 : 0));
    }
}

// The preloaded copy drops itself from the environment, so that the tools a
// test starts (decoders, and their sanitizer runtime) do not inherit it. A
// child that wants the drive too gets SONDREL_SIMDRIVE_PRELOAD back as its
// LD_PRELOAD.
__attribute__((constructor)) void leaveChildrenAlone()
{
    if (const char *preload = std::getenv("LD_PRELOAD")) {
        setenv("SONDREL_SIMDRIVE_PRELOAD", preload, 1);
        unsetenv("LD_PRELOAD");
    }
}

} // namespace

// ---------------------------------------------------------------------------
// The interposed entry points.

SIMDRIVE_EXPORT char **cdio_get_devices(driver_id_t driver)
{
    char **list = CALL_REAL(cdio_get_devices, driver);
    std::shared_ptr<const Config> config;
    if (t_depth > 0 || (driver != DRIVER_DEVICE && driver != DRIVER_LINUX)
        || !(config = loadConfig()))
        return list;
    size_t n = 0;
    while (list && list[n])
        ++n;
    auto **grown = static_cast<char **>(std::calloc(n + 2, sizeof(char *)));
    if (!grown)
        return list;
    for (size_t i = 0; i < n; ++i)
        grown[i] = list[i];
    grown[n] = strdup(config->device.c_str());
    std::free(list);
    return grown;
}

SIMDRIVE_EXPORT CdIo_t *cdio_open(const char *source, driver_id_t driver)
{
    std::shared_ptr<const Config> config;
    if (isSimDevice(source, config))
        return openSim(config);
    return CALL_REAL(cdio_open, source, driver);
}

SIMDRIVE_EXPORT CdIo_t *cdio_open_am(const char *source, driver_id_t driver, const char *mode)
{
    std::shared_ptr<const Config> config;
    if (isSimDevice(source, config))
        return openSim(config);
    return CALL_REAL(cdio_open_am, source, driver, mode);
}

SIMDRIVE_EXPORT void cdio_destroy(CdIo_t *cdio)
{
    if (simOf(cdio)) {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.discs.erase(cdio);
    }
    CALL_REAL(cdio_destroy, cdio);
}

SIMDRIVE_EXPORT driver_id_t cdio_get_driver_id(const CdIo_t *cdio)
{
    if (simOf(cdio))
        return DRIVER_LINUX;
    return CALL_REAL(cdio_get_driver_id, cdio);
}

SIMDRIVE_EXPORT const char *cdio_get_arg(const CdIo_t *cdio, const char key[])
{
    if (auto disc = simOf(cdio); disc && key && std::strcmp(key, "source") == 0)
        return disc->config->device.c_str();
    return CALL_REAL(cdio_get_arg, cdio, key);
}

// READ TOC/PMA/ATIP format 5: the packs behind the reply's 4-byte header,
// whose length counts the bytes after itself; NULL without CD-Text.
SIMDRIVE_EXPORT uint8_t *cdio_get_cdtext_raw(CdIo_t *cdio)
{
    auto disc = simOf(cdio);
    if (!disc)
        return CALL_REAL(cdio_get_cdtext_raw, cdio);
    if (disc->config->cdText.empty())
        return nullptr;
    std::ifstream file(disc->config->cdText, std::ios::binary);
    const std::string packs((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    if (packs.empty() || packs.size() > 0xffff - 2)
        return nullptr;
    auto *reply = static_cast<uint8_t *>(std::malloc(packs.size() + 4));
    if (!reply)
        return nullptr;
    reply[0] = uint8_t((packs.size() + 2) >> 8);
    reply[1] = uint8_t((packs.size() + 2) & 0xff);
    reply[2] = reply[3] = 0;
    std::memcpy(reply + 4, packs.data(), packs.size());
    return reply;
}

// CDROM_GET_MCN: a malloc'd text, NULL when the disc has none; without an
// `mcn` the image's own CATALOG line.
SIMDRIVE_EXPORT char *cdio_get_mcn(const CdIo_t *cdio)
{
    auto disc = simOf(cdio);
    if (!disc || disc->config->mcn.empty())
        return CALL_REAL(cdio_get_mcn, cdio);
    return strdup(disc->config->mcn.c_str());
}

SIMDRIVE_EXPORT bool cdio_get_hwinfo(const CdIo_t *cdio, cdio_hwinfo_t *info)
{
    auto disc = simOf(cdio);
    if (!disc)
        return CALL_REAL(cdio_get_hwinfo, cdio, info);
    if (!info)
        return false;
    std::memset(info, 0, sizeof *info);
    std::snprintf(info->psz_vendor, sizeof info->psz_vendor, "%s", disc->config->vendor.c_str());
    std::snprintf(info->psz_model, sizeof info->psz_model, "%s", disc->config->model.c_str());
    std::snprintf(info->psz_revision,
                  sizeof info->psz_revision,
                  "%s",
                  disc->config->revision.c_str());
    return true;
}

SIMDRIVE_EXPORT bool mmc_get_hwinfo(const CdIo_t *cdio, cdio_hwinfo_t *info)
{
    if (simOf(cdio))
        return cdio_get_hwinfo(cdio, info);
    return CALL_REAL(mmc_get_hwinfo, cdio, info);
}

SIMDRIVE_EXPORT lsn_t cdio_get_track_lsn(const CdIo_t *cdio, track_t track)
{
    if (auto disc = simOf(cdio))
        return disc->start(track);
    return CALL_REAL(cdio_get_track_lsn, cdio, track);
}

SIMDRIVE_EXPORT lba_t cdio_get_track_lba(const CdIo_t *cdio, track_t track)
{
    if (auto disc = simOf(cdio)) {
        const lsn_t lsn = disc->start(track);
        return lsn == CDIO_INVALID_LSN ? CDIO_INVALID_LBA : lsn + CDIO_PREGAP_SECTORS;
    }
    return CALL_REAL(cdio_get_track_lba, cdio, track);
}

SIMDRIVE_EXPORT bool cdio_get_track_msf(const CdIo_t *cdio, track_t track, msf_t *msf)
{
    if (auto disc = simOf(cdio)) {
        const lsn_t lsn = disc->start(track);
        if (lsn == CDIO_INVALID_LSN || !msf)
            return false;
        cdio_lsn_to_msf(lsn, msf);
        return true;
    }
    return CALL_REAL(cdio_get_track_msf, cdio, track, msf);
}

// As a drive's driver answers: up to the next track, a session gap included.
SIMDRIVE_EXPORT lsn_t cdio_get_track_last_lsn(const CdIo_t *cdio, track_t track)
{
    if (auto disc = simOf(cdio)) {
        const lsn_t here = disc->start(track);
        if (here == CDIO_INVALID_LSN || track == CDIO_CDROM_LEADOUT_TRACK)
            return CDIO_INVALID_LSN;
        return disc->start(track_t(track + 1)) - 1;
    }
    return CALL_REAL(cdio_get_track_last_lsn, cdio, track);
}

SIMDRIVE_EXPORT unsigned int cdio_get_track_sec_count(const CdIo_t *cdio, track_t track)
{
    if (auto disc = simOf(cdio)) {
        const lsn_t here = disc->start(track);
        if (here == CDIO_INVALID_LSN || track == CDIO_CDROM_LEADOUT_TRACK)
            return 0;
        return unsigned(disc->start(track_t(track + 1)) - here);
    }
    return CALL_REAL(cdio_get_track_sec_count, cdio, track);
}

// A drive's driver knows no pregaps; they are found in the Q sub-channel.
SIMDRIVE_EXPORT lsn_t cdio_get_track_pregap_lsn(const CdIo_t *cdio, track_t track)
{
    if (simOf(cdio))
        return CDIO_INVALID_LSN;
    return CALL_REAL(cdio_get_track_pregap_lsn, cdio, track);
}

SIMDRIVE_EXPORT lsn_t cdio_get_disc_last_lsn(const CdIo_t *cdio)
{
    if (auto disc = simOf(cdio))
        return disc->leadOut();
    return CALL_REAL(cdio_get_disc_last_lsn, cdio);
}

SIMDRIVE_EXPORT track_t cdio_get_track(const CdIo_t *cdio, lsn_t lsn)
{
    if (auto disc = simOf(cdio)) {
        if (lsn >= disc->leadOut())
            return lsn == disc->leadOut() ? track_t(CDIO_CDROM_LEADOUT_TRACK)
                                          : track_t(CDIO_INVALID_TRACK);
        return disc->trackAt(lsn);
    }
    return CALL_REAL(cdio_get_track, cdio, lsn);
}

// The start of the last session's first track; 0 for a single session, as
// the Linux driver answers.
SIMDRIVE_EXPORT driver_return_code_t cdio_get_last_session(CdIo_t *cdio, lsn_t *lsn)
{
    if (auto disc = simOf(cdio)) {
        if (!lsn)
            return DRIVER_OP_BAD_POINTER;
        *lsn = disc->multisession() ? disc->dataStart : 0;
        return DRIVER_OP_SUCCESS;
    }
    return CALL_REAL(cdio_get_last_session, cdio, lsn);
}

SIMDRIVE_EXPORT driver_return_code_t cdio_read_audio_sectors(const CdIo_t *cdio,
                                                             void *buffer,
                                                             lsn_t lsn,
                                                             uint32_t blocks)
{
    if (auto disc = simOf(cdio)) {
        if (!buffer)
            return DRIVER_OP_BAD_POINTER;
        return readSim(*disc, static_cast<uint8_t *>(buffer), lsn, blocks);
    }
    return CALL_REAL(cdio_read_audio_sectors, cdio, buffer, lsn, blocks);
}

SIMDRIVE_EXPORT driver_return_code_t cdio_read_audio_sector(const CdIo_t *cdio,
                                                            void *buffer,
                                                            lsn_t lsn)
{
    if (auto disc = simOf(cdio)) {
        if (!buffer)
            return DRIVER_OP_BAD_POINTER;
        return readSim(*disc, static_cast<uint8_t *>(buffer), lsn, 1);
    }
    return CALL_REAL(cdio_read_audio_sector, cdio, buffer, lsn);
}

// READ CD of audio sectors, with or without their formatted Q (16 bytes) or
// raw P-W sub-channel (96 bytes) after each sector's 2352 bytes.
SIMDRIVE_EXPORT driver_return_code_t mmc_read_cd(const CdIo_t *cdio,
                                                 void *buffer,
                                                 lsn_t lsn,
                                                 int sectorType,
                                                 bool digitalAudioPlay,
                                                 bool sync,
                                                 uint8_t headerCodes,
                                                 bool userData,
                                                 bool edcEcc,
                                                 uint8_t c2,
                                                 uint8_t subchannel,
                                                 uint16_t blockSize,
                                                 uint32_t blocks)
{
    auto disc = simOf(cdio);
    if (!disc)
        return CALL_REAL(mmc_read_cd,
                         cdio,
                         buffer,
                         lsn,
                         sectorType,
                         digitalAudioPlay,
                         sync,
                         headerCodes,
                         userData,
                         edcEcc,
                         c2,
                         subchannel,
                         blockSize,
                         blocks);
    const int subBytes = subchannel == 2 ? QBytes : subchannel == 1 ? RawSubchannelBytes : 0;
    const int audioBytes = userData ? SectorBytes : 0;
    if (!buffer || (subchannel != 0 && subBytes == 0) || sync || headerCodes != 0 || edcEcc
        || c2 != 0 || blockSize != audioBytes + subBytes)
        return DRIVER_OP_UNSUPPORTED;
    auto *out = static_cast<uint8_t *>(buffer);
    std::vector<uint8_t> audio(size_t(blocks) * SectorBytes);
    if (userData) {
        const driver_return_code_t rc = readSim(*disc, audio.data(), lsn, blocks);
        if (rc != DRIVER_OP_SUCCESS)
            return rc;
    } else {
        throttle(blocks, effectiveSpeed(*disc));
    }
    {
        DriveState &d = drive();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.counters.subchannelReads += subBytes ? 1 : 0;
    }
    for (uint32_t b = 0; b < blocks; ++b) {
        uint8_t *block = out + size_t(b) * blockSize;
        if (userData)
            std::memcpy(block, audio.data() + size_t(b) * SectorBytes, SectorBytes);
        if (subBytes == 0)
            continue;
        uint8_t q[QBytes];
        bool pause = false;
        // A drive that gives a good Q of the next sector instead.
        const lsn_t qSector = lsn + lsn_t(b)
                              + (inRanges(disc->config->qWrongSector, lsn + lsn_t(b)) ? 1 : 0);
        if (!positionQ(*disc, qSector, q, pause)
            || inRanges(disc->config->qUnreadable, lsn + lsn_t(b)))
            return DRIVER_OP_ERROR;
        if (subchannel == 2)
            std::memcpy(block + audioBytes, q, QBytes);
        else
            rawSubchannel(q, pause, block + audioBytes);
    }
    return DRIVER_OP_SUCCESS;
}

SIMDRIVE_EXPORT driver_return_code_t cdio_set_speed(const CdIo_t *cdio, int speed)
{
    if (simOf(cdio)) {
        DriveState &d = drive();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.requestedSpeed = speed > 0 ? speed : 0;
        return DRIVER_OP_SUCCESS;
    }
    return CALL_REAL(cdio_set_speed, cdio, speed);
}

// MMC counts in kB/s, 176 to a speed unit; 0xFFFF asks for the fastest.
SIMDRIVE_EXPORT driver_return_code_t mmc_set_speed(const CdIo_t *cdio,
                                                   int kbs,
                                                   unsigned int timeoutMs)
{
    if (simOf(cdio)) {
        DriveState &d = drive();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.requestedSpeed = kbs <= 0 || kbs >= 0xFFFF ? 0 : std::max(1, kbs / 176);
        return DRIVER_OP_SUCCESS;
    }
    return CALL_REAL(mmc_set_speed, cdio, kbs, timeoutMs);
}

SIMDRIVE_EXPORT driver_return_code_t cdio_eject_media_drive(const char *name)
{
    std::shared_ptr<const Config> config;
    if (isSimDevice(name, config))
        return DRIVER_OP_SUCCESS;
    return CALL_REAL(cdio_eject_media_drive, name);
}

SIMDRIVE_EXPORT driver_return_code_t cdio_close_tray(const char *name, driver_id_t *driver)
{
    std::shared_ptr<const Config> config;
    if (isSimDevice(name, config))
        return DRIVER_OP_SUCCESS;
    return CALL_REAL(cdio_close_tray, name, driver);
}

// ---------------------------------------------------------------------------
// For the tests: what the drive was asked to do.

SIMDRIVE_EXPORT void sondrel_simdrive_counters(SondrelSimDriveCounters *out, int reset)
{
    DriveState &d = drive();
    std::lock_guard<std::mutex> lock(d.mutex);
    if (out) {
        *out = d.counters;
    }
    if (reset) {
        d.counters = Counters();
        d.requestedSpeed = 0;
        d.busyUntil = {};
    }
}
