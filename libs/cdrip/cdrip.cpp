// The C entry points over the drive list, the active drive's table of
// contents and one open ripper.
#include "libs/cdrip/cdrip.h"

#include "libs/cdrip/cdiolog.h"
#include "libs/cdrip/disc.h"
#include "libs/cdrip/ripper.h"
#include "libs/cdrip/settingsfile.h"

#include <cdio/audio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_ll_cmds.h>

#include <cdio/disc.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

using namespace CdRip;

static_assert(sizeof(CR_TocEntry) == 8, "CR_GetTocEntry returns an 8-byte value");
static_assert(sizeof(CR_CdromParameters) == CR_PARAMETERS_SIZE, "callers reserve 364 bytes");

namespace {

constexpr int32_t Version = 200;

// Drive list and the active drive's queries. Any thread; guarded by `mutex`.
struct QueryState
{
    std::mutex mutex;
    std::vector<Drive> drives;
    int32_t active = 0;
    bool paranoia = true;
    int32_t readThrough = 0; // bad sectors a ripper reads past
    CdIoPtr cdio;            // the active drive, reopened for every fresh look at the disc
    Toc toc;                 // of the last CR_ReadToc

    const Drive *activeDrive() const
    {
        return active >= 0 && active < int32_t(drives.size()) ? &drives[size_t(active)] : nullptr;
    }
    CdIo_t *reopen()
    {
        cdio.reset();
        if (const Drive *d = activeDrive())
            cdio = openDrive(*d);
        return cdio.get();
    }
    CdIo_t *current() { return cdio ? cdio.get() : reopen(); }
};

// The open ripper, usually driven by a worker thread. Guarded by `mutex`,
// never held together with QueryState's.
struct RipState
{
    std::mutex mutex;
    std::unique_ptr<Ripper> ripper;
    int32_t errorSector = -1;
    int32_t jitterErrors = 0;
    CR_ReadReport report{};
};

// The drive a sub-channel search reads, opened for it alone. Guarded by
// `mutex`, never held together with the others.
struct SubchannelState
{
    std::mutex mutex;
    CdIoPtr cdio;
};

struct State
{
    QueryState queries;
    RipState rip;
    SubchannelState subchannel;
};

// Made on first use and freed when the library is unloaded, by freeState
// below. Not a C++ static: a program may call CR_DeInit from its own
// exit-time destructors, and those run after this library's statics.
State *g_state = nullptr;

State &state()
{
    static State *const made = g_state = new State;
    return *made;
}

QueryState &queries()
{
    return state().queries;
}

RipState &rip()
{
    return state().rip;
}

SubchannelState &subchannel()
{
    return state().subchannel;
}

// libcdio's malloc()ed answer into text: only digits and capitals, which is
// all the codes hold.
int32_t codeText(char *answer, size_t length, char *text)
{
    const std::unique_ptr<char, void (*)(void *)> owned(answer, std::free);
    std::memset(text, 0, CR_CODE_TEXT_SIZE);
    if (!answer || std::strlen(answer) != length)
        return CR_ERR_FAILED;
    for (size_t i = 0; i < length; ++i) {
        const char c = answer[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
            return CR_ERR_FAILED;
    }
    // A disc without a catalogue number may answer all zeros.
    if (std::strspn(answer, "0") == length)
        return CR_ERR_FAILED;
    std::memcpy(text, answer, length);
    return CR_OK;
}

// Runs at dlclose, or at exit after every exit-time destructor; a library
// loaded again starts from nothing, so nothing of this copy may stay behind.
__attribute__((destructor)) void freeState()
{
    restoreLogHandler();
    delete g_state;
    g_state = nullptr;
}

} // namespace

extern "C" {

int32_t CR_Init(const char *settingsPath)
{
    installLogHandler();
    // An open ripper keeps going: it has its own handles, and every new CD
    // input object initialises the library again, also during a rip.
    Settings settings;
    std::vector<Drive> drives;
    const bool read = drivesFromSettings(settingsPath, settings, drives);

    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.drives = std::move(drives);
    q.active = settings.activeDrive >= 0 && settings.activeDrive < int32_t(q.drives.size())
                   ? settings.activeDrive
                   : 0;
    q.paranoia = settings.paranoia;
    q.cdio.reset();
    q.toc = Toc();
    return read ? CR_OK : CR_ERR_FAILED;
}

void CR_DeInit(void)
{
    CR_CloseSubchannel();
    {
        RipState &r = rip();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.ripper.reset();
        r.errorSector = -1;
        r.jitterErrors = 0;
        r.report = CR_ReadReport{};
    }
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.cdio.reset();
    q.toc = Toc();
    q.drives.clear();
    q.active = 0;
    q.paranoia = true;
    q.readThrough = 0;
    restoreLogHandler();
}

int32_t CR_GetCDRipVersion(void)
{
    return Version;
}

int32_t CR_GetNumCDROM(void)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    return int32_t(q.drives.size());
}

int32_t CR_GetActiveCDROM(void)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.active;
}

int32_t CR_SetActiveCDROM(int32_t index)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (index < 0 || index >= int32_t(q.drives.size()))
        return CR_ERR_FAILED;
    if (index != q.active) {
        q.active = index;
        q.cdio.reset();
        q.toc = Toc();
    }
    return CR_OK;
}

int32_t CR_GetCDROMParameters(CR_CdromParameters *parameters)
{
    if (!parameters)
        return CR_ERR_FAILED;
    std::memset(parameters, 0, sizeof *parameters);
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    const Drive *d = q.activeDrive();
    if (!d)
        return CR_ERR_FAILED;
    const size_t length = std::min(d->name.size(), size_t(CR_ID_TEXT_SIZE - 1));
    std::memcpy(parameters->id, d->name.data(), length);
    std::snprintf(parameters->vendor, sizeof parameters->vendor, "%s", d->vendor.c_str());
    std::snprintf(parameters->model, sizeof parameters->model, "%s", d->model.c_str());
    return CR_OK;
}

int32_t CR_ReadToc(void)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    CdIo_t *cdio = q.reopen();
    if (!cdio || !readDiscToc(*q.activeDrive(), cdio, q.toc)) {
        q.toc = Toc();
        return CR_ERR_NO_DISC;
    }
    return CR_OK;
}

int32_t CR_GetCDText(uint8_t *buffer, int32_t *size, int32_t *kind)
{
    if (!buffer || !size || !kind || *size < 0)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    const Drive *d = q.activeDrive();
    if (!d)
        return CR_ERR_FAILED;
    std::string bytes;
    *kind = CR_CDTEXT_NONE;
    if (d->image) {
        std::string lower = d->source;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
            return char(std::tolower(c));
        });
        if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".cue") == 0) {
            std::ifstream sheet(d->source, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(sheet), std::istreambuf_iterator<char>());
            if (sheet.bad() || bytes.size() > size_t(CR_CDTEXT_MAX_SIZE))
                bytes.clear();
            else
                *kind = CR_CDTEXT_CUE_SHEET;
        }
    } else if (CdIo_t *cdio = q.current()) {
        // The reply with its header, whose length counts the bytes after itself.
        uint8_t *raw = cdio_get_cdtext_raw(cdio);
        if (raw) {
            const size_t length = size_t((raw[0] << 8) | raw[1]);
            if (length > 2 && length + 2 <= size_t(CR_CDTEXT_MAX_SIZE)) {
                bytes.assign(reinterpret_cast<const char *>(raw) + 4, length - 2);
                *kind = CR_CDTEXT_PACKS;
            }
            cdio_free(raw);
        }
    }
    if (bytes.size() > size_t(*size)) {
        *size = int32_t(bytes.size());
        *kind = CR_CDTEXT_NONE;
        return CR_ERR_FAILED;
    }
    std::copy(bytes.begin(), bytes.end(), buffer);
    *size = int32_t(bytes.size());
    return CR_OK;
}

int32_t CR_GetNumTocEntries(void)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.toc.trackCount();
}

CR_TocEntry CR_GetTocEntry(int32_t index)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (index < 0 || index >= int32_t(q.toc.entries.size()))
        return CR_TocEntry{};
    return q.toc.entries[size_t(index)];
}

int32_t CR_GetTrackEnd(int32_t index)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    if (index < 0 || index >= int32_t(q.toc.ends.size()))
        return -1;
    return static_cast<int32_t>(q.toc.ends[size_t(index)]);
}

int32_t CR_IsMediaLoaded(int32_t *status)
{
    if (!status)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    CdIo_t *cdio = q.reopen();
    Toc toc;
    *status = cdio && readToc(cdio, toc) ? 0 : 1;
    return CR_OK;
}

int32_t CR_IsAudioPlaying(void)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    const Drive *d = q.activeDrive();
    if (!d || d->image)
        return 0;
    CdIo_t *cdio = q.current();
    cdio_subchannel_t sub{};
    if (!cdio || cdio_audio_read_subchannel(cdio, &sub) != DRIVER_OP_SUCCESS)
        return 0;
    return sub.audio_status == CDIO_MMC_READ_SUB_ST_PLAY ? 1 : 0;
}

int32_t CR_EjectCD(int32_t open)
{
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    const Drive *d = q.activeDrive();
    if (!d)
        return CR_ERR_FAILED;
    if (d->image)
        return CR_OK;
    // The disc is about to go: nothing of it may stay cached.
    q.cdio.reset();
    q.toc = Toc();
    driver_id_t driver = DRIVER_DEVICE;
    const driver_return_code_t rc = open ? cdio_eject_media_drive(d->source.c_str())
                                         : cdio_close_tray(d->source.c_str(), &driver);
    return rc == DRIVER_OP_SUCCESS ? CR_OK : CR_ERR_FAILED;
}

int32_t CR_SetReadSpeed(int32_t speed)
{
    // MMC counts in kB/s, 176 to a speed unit; 0xFFFF asks for the fastest.
    constexpr int KbsPerUnit = 176;
    constexpr int Fastest = 0xFFFF;
    if (speed < 0 || speed > Fastest / KbsPerUnit)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    const Drive *d = q.activeDrive();
    if (!d)
        return CR_ERR_FAILED;
    if (d->image)
        return CR_OK;
    CdIo_t *cdio = q.current();
    if (!cdio)
        return CR_ERR_FAILED;
    const int kbs = speed == 0 ? Fastest : speed * KbsPerUnit;
    return mmc_set_speed(cdio, kbs, 0) == DRIVER_OP_SUCCESS ? CR_OK : CR_ERR_FAILED;
}

int32_t CR_ReadOutside(uint8_t *buffer, int32_t startSector, int32_t sectors)
{
    constexpr int32_t Reach = 150;
    if (!buffer || sectors < 1 || sectors > Reach)
        return CR_ERR_FAILED;
    Drive drive;
    {
        QueryState &q = queries();
        std::lock_guard<std::mutex> lock(q.mutex);
        const Drive *d = q.activeDrive();
        if (!d)
            return CR_ERR_FAILED;
        drive = *d;
    }
    // A handle of its own, as for a rip: an open ripper's stays untouched.
    const CdIoPtr cdio = openDrive(drive);
    Toc toc;
    if (!cdio || !readToc(cdio.get(), toc))
        return CR_ERR_NO_DISC;
    const auto leadOut = int64_t(toc.entries.back().startSector);
    const int64_t first = startSector;
    const int64_t end = first + sectors;
    const bool before = first >= -Reach && end <= 0;
    const bool after = first >= leadOut && end <= leadOut + Reach;
    if (!before && !after)
        return CR_ERR_RANGE;
    if (drive.image)
        return CR_ERR_READ;
    const LogErrorWatch watch;
    const bool read = cdio_read_audio_sectors(cdio.get(), buffer, startSector, uint32_t(sectors))
                          == DRIVER_OP_SUCCESS
                      && !watch.failed();
    return read ? CR_OK : CR_ERR_READ;
}

int32_t CR_OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector)
{
    Drive drive;
    bool paranoia = true;
    int32_t readThrough = 0;
    {
        QueryState &q = queries();
        std::lock_guard<std::mutex> lock(q.mutex);
        const Drive *d = q.activeDrive();
        if (!d)
            return CR_ERR_FAILED;
        drive = *d;
        paranoia = q.paranoia;
        readThrough = q.readThrough;
    }
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.ripper.reset();
    r.errorSector = -1;
    r.jitterErrors = 0;
    r.report = CR_ReadReport{};
    if (!bufferSize || *bufferSize < CDIO_CD_FRAMESIZE_RAW)
        return CR_ERR_FAILED;
    const int32_t sectors = *bufferSize / CDIO_CD_FRAMESIZE_RAW;
    int32_t error = CR_OK;
    r.ripper = Ripper::open(drive, paranoia, startSector, endSector, sectors, readThrough, error);
    if (r.ripper) {
        *bufferSize = sectors * CDIO_CD_FRAMESIZE_RAW;
        r.ripper->report(r.report);
    }
    return error;
}

int32_t CR_RipChunk(uint8_t *buffer, int32_t *numBytes, int32_t *abort)
{
    if (!numBytes)
        return CR_ERR_FAILED;
    *numBytes = 0;
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.ripper)
        return CR_ERR_NOT_OPEN;
    if (!buffer)
        return CR_ERR_FAILED;
    if (abort && __atomic_load_n(abort, __ATOMIC_RELAXED))
        return CR_OK;
    const int32_t rc = r.ripper->ripChunk(buffer, numBytes, abort);
    r.errorSector = r.ripper->errorSector();
    r.jitterErrors = r.ripper->jitterErrors();
    r.ripper->report(r.report);
    return rc;
}

int32_t CR_CloseRipper(void)
{
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!r.ripper)
        return CR_ERR_NOT_OPEN;
    r.ripper.reset();
    return CR_OK;
}

int32_t CR_GetReadErrorSector(void)
{
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.errorSector;
}

int32_t CR_SetReadThrough(int32_t maxBadSectors)
{
    if (maxBadSectors < 0)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.readThrough = maxBadSectors;
    return CR_OK;
}

int32_t CR_GetReadReport(CR_ReadReport *report)
{
    if (!report)
        return CR_ERR_FAILED;
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    *report = r.report;
    return CR_OK;
}

int32_t CR_GetNumberOfJitterErrors(void)
{
    RipState &r = rip();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.jitterErrors;
}

int32_t CR_OpenSubchannel(int32_t index)
{
    Drive drive;
    {
        QueryState &q = queries();
        std::lock_guard<std::mutex> lock(q.mutex);
        if (index < 0 || index >= int32_t(q.drives.size()))
            return CR_ERR_FAILED;
        drive = q.drives[size_t(index)];
    }
    SubchannelState &s = subchannel();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.cdio.reset();
    if (drive.image)
        return CR_ERR_FAILED;
    s.cdio = openDrive(drive);
    return s.cdio ? CR_OK : CR_ERR_NO_DISC;
}

int32_t CR_ReadSubchannelQ(int32_t sector, int32_t count, uint8_t *q)
{
    // Audio and formatted Q: 2352 + 16 bytes a sector.
    constexpr uint16_t BlockBytes = CDIO_CD_FRAMESIZE_RAW + CR_Q_BYTES;
    constexpr uint8_t FormattedQ = 2;
    constexpr int32_t MaxSectors = 75;
    if (!q || count < 1 || count > MaxSectors || sector < 0)
        return CR_ERR_FAILED;
    SubchannelState &s = subchannel();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.cdio)
        return CR_ERR_NOT_OPEN;
    std::vector<uint8_t> blocks(size_t(count) * BlockBytes);
    const driver_return_code_t rc = mmc_read_cd(s.cdio.get(),
                                                blocks.data(),
                                                sector,
                                                CDIO_MMC_READ_TYPE_CDDA,
                                                false,
                                                false,
                                                0,
                                                true,
                                                false,
                                                0,
                                                FormattedQ,
                                                BlockBytes,
                                                uint32_t(count));
    if (rc != DRIVER_OP_SUCCESS)
        return CR_ERR_READ;
    for (int32_t i = 0; i < count; ++i)
        std::memcpy(q + size_t(i) * CR_Q_BYTES,
                    blocks.data() + size_t(i) * BlockBytes + CDIO_CD_FRAMESIZE_RAW,
                    CR_Q_BYTES);
    return CR_OK;
}

int32_t CR_GetImageIndexes(int32_t index, int32_t track, int32_t *positions, int32_t max)
{
    if (!positions || max < 2)
        return -1;
    Drive drive;
    {
        QueryState &q = queries();
        std::lock_guard<std::mutex> lock(q.mutex);
        if (index < 0 || index >= int32_t(q.drives.size()) || !q.drives[size_t(index)].image)
            return -1;
        drive = q.drives[size_t(index)];
    }
    const CdIoPtr cdio = openDrive(drive);
    if (!cdio || track < 1 || track > 99)
        return -1;
    const lsn_t start = cdio_get_track_lsn(cdio.get(), track_t(track));
    Toc toc;
    if (start == CDIO_INVALID_LSN || !readDiscToc(drive, cdio.get(), toc))
        return -1;
    // The image's positions, moved on by the generated gaps before them.
    lsn_t shift = -1;
    for (size_t i = 0; i + 1 < toc.entries.size(); ++i) {
        if (toc.entries[i].trackNumber == track)
            shift = lsn_t(toc.entries[i].startSector) - start;
    }
    if (shift < 0)
        return -1;
    const GeneratedGaps gaps = cuePregaps(drive);
    const auto generated = gaps.find(track);
    const lsn_t pregap = cdio_get_track_pregap_lsn(cdio.get(), track_t(track));
    if (generated != gaps.end())
        positions[0] = start + shift - lsn_t(generated->second);
    else
        positions[0] = pregap == CDIO_INVALID_LSN || pregap >= start ? -1 : pregap + shift;
    positions[1] = start + shift;
    int32_t written = 2;
    for (const uint32_t at : cueSubIndexes(drive, track)) {
        if (written == max)
            break;
        positions[written++] = int32_t(at) + shift;
    }
    return written;
}

int32_t CR_GetCatalog(char *text)
{
    constexpr size_t Digits = 13;
    if (!text)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    CdIo_t *cdio = q.current();
    const LogErrorWatch watch;
    return codeText(cdio ? cdio_get_mcn(cdio) : nullptr, Digits, text);
}

int32_t CR_GetTrackIsrc(int32_t track, char *text)
{
    constexpr size_t Characters = 12;
    if (!text || track < 1 || track > 99)
        return CR_ERR_FAILED;
    QueryState &q = queries();
    std::lock_guard<std::mutex> lock(q.mutex);
    CdIo_t *cdio = q.current();
    const LogErrorWatch watch;
    return codeText(cdio ? cdio_get_track_isrc(cdio, track_t(track)) : nullptr, Characters, text);
}

int32_t CR_CloseSubchannel(void)
{
    SubchannelState &s = subchannel();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.cdio.reset();
    return CR_OK;
}

} // extern "C"
