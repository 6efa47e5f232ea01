#include "libs/cdrip/ripper.h"

#include "libs/cdrip/cdiolog.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace CdRip {

namespace {

constexpr lsn_t SectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr long SectorWords = CDIO_CD_FRAMESIZE_RAW / 2; // cdparanoia counts positions in samples
// Enough for a scratch to be re-read from several angles, few enough that an
// unreadable sector of an image is given up in well under a second.
constexpr int MaxRetries = 20;

// What cdparanoia told its callback during one run of reads. The callback has
// no user pointer, and a run never leaves the thread that started it.
struct ParanoiaReport
{
    int readErrors = 0;
    int32_t fixups = 0;
    std::vector<lsn_t> skips;    // given up: its best unverified data, or silence
    std::vector<lsn_t> repaired; // re-read after a failure, or realigned
};
thread_local ParanoiaReport *t_report = nullptr;
// The ripper whose chunk cdparanoia is reading on this thread, and the read
// it would make without us.
thread_local const Ripper *t_reading = nullptr;
using DriveRead = long (*)(cdrom_drive_t *, void *, lsn_t, long);
std::atomic<DriveRead> g_driveRead{nullptr};

class ReportScope
{
public:
    explicit ReportScope(ParanoiaReport &report) { t_report = &report; }
    ~ReportScope() { t_report = nullptr; }
    ReportScope(const ReportScope &) = delete;
    ReportScope &operator=(const ReportScope &) = delete;
};

void paranoiaCallback(long position, paranoia_cb_mode_t mode)
{
    ParanoiaReport *report = t_report;
    if (!report)
        return;
    const auto sector = static_cast<lsn_t>(position / SectorWords);
    switch (mode) {
    case PARANOIA_CB_READERR:
        ++report->readErrors;
        report->repaired.push_back(sector);
        break;
    case PARANOIA_CB_SKIP:
        report->skips.push_back(sector);
        break;
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_DRIFT:
        ++report->fixups;
        report->repaired.push_back(sector);
        break;
    default:
        break;
    }
}

// cdparanoia hands out samples in host order; the interface promises little-endian.
void storeSamples(const int16_t *samples, uint8_t *out)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (long i = 0; i < SectorWords; ++i) {
        const auto u = static_cast<uint16_t>(samples[i]);
        out[2 * i] = static_cast<uint8_t>(u & 0xff);
        out[2 * i + 1] = static_cast<uint8_t>(u >> 8);
    }
#else
    std::memcpy(out, samples, SectorBytes);
#endif
}

void swapSampleBytes(uint8_t *sectors, size_t count)
{
    for (size_t i = 0; i + 1 < count * SectorBytes; i += 2)
        std::swap(sectors[i], sectors[i + 1]);
}

} // namespace

std::unique_ptr<Ripper> Ripper::open(const Drive &drive,
                                     bool paranoia,
                                     int32_t startSector,
                                     int32_t endSector,
                                     int32_t chunkSectors,
                                     int32_t badSectorLimit,
                                     int32_t &error)
{
    std::unique_ptr<Ripper> r(new Ripper);
    r->m_cdio = openDrive(drive);
    if (!r->m_cdio || !readDiscToc(drive, r->m_cdio.get(), r->m_toc)) {
        error = CR_ERR_NO_DISC;
        return {};
    }
    const auto leadOut = static_cast<int64_t>(r->m_toc.entries.back().startSector);
    if (startSector < 0 || endSector < startSector || endSector > leadOut) {
        error = CR_ERR_RANGE;
        return {};
    }
    if (chunkSectors < 1 || badSectorLimit < 0) {
        error = CR_ERR_FAILED;
        return {};
    }
    r->m_image = drive.image;
    r->m_gaps = cuePregaps(drive);
    r->m_bigEndian = audioIsBigEndian(drive);
    r->m_start = startSector;
    r->m_next = startSector;
    r->m_end = endSector;
    r->m_badSectorLimit = badSectorLimit;
    r->m_chunkSectors = chunkSectors;

    bool anyAudio = false;
    for (lsn_t s = startSector; s < endSector && !anyAudio;) {
        bool data = false;
        s = r->runEnd(s, endSector, data);
        anyAudio = !data;
    }
    // cdparanoia knows the image's positions only; an image has no jitter
    // for it to catch anyway.
    if (paranoia && anyAudio && r->m_gaps.empty()) {
        // Without cdparanoia the reads are still checked sector by sector, so
        // a drive it cannot handle is read directly rather than refused.
        r->m_cdda.reset(cdio_cddap_identify_cdio(r->m_cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr));
        if (r->m_cdda) {
            cdio_cddap_verbose_set(r->m_cdda.get(), CDDA_MESSAGE_FORGETIT, CDDA_MESSAGE_FORGETIT);
            // Left unknown, cdparanoia guesses the byte order from the audio
            // it sees, and noise, square waves or a data track fool the
            // guess: it then swaps every sample. The order is known (see
            // audioIsBigEndian), and cdparanoia turns it into host order.
            r->m_cdda->bigendianp = r->m_bigEndian ? 1 : 0;
            if (cdio_cddap_open(r->m_cdda.get()) == 0)
                r->m_paranoia.reset(cdio_paranoia_init(r->m_cdda.get()));
        }
        if (r->m_paranoia) {
            cdio_paranoia_modeset(r->m_paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
            // The same function of libcdio-paranoia for every drive.
            if (r->m_cdda->read_audio != &Ripper::abortableRead)
                g_driveRead = r->m_cdda->read_audio;
            r->m_cdda->read_audio = &Ripper::abortableRead;
        } else {
            r->m_cdda.reset();
        }
    }
    error = CR_OK;
    return r;
}

lsn_t Ripper::runEnd(lsn_t sector, lsn_t limit, bool &data) const
{
    const auto &entries = m_toc.entries;
    // Sectors before the first track (a hidden first pregap) count as audio.
    data = false;
    lsn_t end = limit;
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        const auto start = static_cast<lsn_t>(entries[i].startSector);
        const auto next = static_cast<lsn_t>(entries[i + 1].startSector);
        if (sector < start) {
            end = std::min(limit, start);
            break;
        }
        if (sector < next) {
            data = m_toc.isData(i);
            end = std::min(limit, next);
            break;
        }
    }
    return end;
}

bool Ripper::aborted() const
{
    // Written by another thread while the chunk is read.
    return m_abort && __atomic_load_n(m_abort, __ATOMIC_RELAXED) != 0;
}

long Ripper::abortableRead(cdrom_drive_t *drive, void *buffer, lsn_t begin, long sectors)
{
    const Ripper *r = t_reading;
    if (r && r->aborted()) {
        if (buffer) // null: cdparanoia only moves the drive's head
            std::memset(buffer, 0, size_t(sectors) * SectorBytes);
        return sectors;
    }
    return g_driveRead.load()(drive, buffer, begin, sectors);
}

int32_t Ripper::ripChunk(uint8_t *buffer, int32_t *numBytes, const int32_t *abort)
{
    *numBytes = 0;
    if (m_errorSector >= 0)
        return CR_ERR_READ;
    m_abort = abort;
    struct AbortScope
    {
        const int32_t *&abort;
        ~AbortScope() { abort = nullptr; }
    } scope{m_abort};
    const lsn_t to = std::min<lsn_t>(m_end, m_next + m_chunkSectors);
    lsn_t s = m_next;
    while (s < to) {
        bool data = false;
        const lsn_t e = runEnd(s, to, data);
        uint8_t *out = buffer + size_t(s - m_next) * SectorBytes;
        const bool ok = (data || !m_paranoia) ? readDirect(s, e, out, !data)
                                              : readParanoia(s, e, out);
        if (aborted()) {
            // What cdparanoia holds now is no use: the next chunk seeks.
            m_paranoiaCursor = -1;
            m_pendingSkips.clear();
            m_errorSector = -1;
            return CR_OK;
        }
        if (!ok)
            return CR_ERR_READ;
        s = e;
    }
    *numBytes = static_cast<int32_t>((to - m_next) * SectorBytes);
    m_next = to;
    return CR_OK;
}

bool Ripper::readDirect(lsn_t from, lsn_t to, uint8_t *out, bool audio)
{
    if (from >= to)
        return true;
    // A drive fails a multi-sector read as a whole; the image drivers report
    // a read cut short by the end of the file as success. So images are read
    // sector by sector, and a failed drive read is repeated that way to find
    // the sector at fault.
    bool whole = false;
    if (!m_image) {
        const LogErrorWatch watch;
        whole = cdio_read_audio_sectors(m_cdio.get(), out, from, static_cast<uint32_t>(to - from))
                    == DRIVER_OP_SUCCESS
                && !watch.failed();
    }
    for (lsn_t s = from; s < to && !whole; ++s) {
        uint8_t *sector = out + size_t(s - from) * SectorBytes;
        if (!readSector(s, sector)) {
            std::memset(sector, 0, SectorBytes);
            if (!markBad(s))
                return false;
        }
    }
    if (audio && m_bigEndian)
        swapSampleBytes(out, size_t(to - from));
    return true;
}

bool Ripper::readSector(lsn_t sector, uint8_t *out)
{
    if (!m_gaps.empty()) {
        sector = imageSectorOf(m_toc, m_gaps, sector);
        if (sector < 0) {
            std::memset(out, 0, SectorBytes);
            return true;
        }
    }
    const LogErrorWatch watch;
    auto read = [&] {
        return cdio_read_audio_sector(m_cdio.get(), out, sector) == DRIVER_OP_SUCCESS
               && !watch.failed();
    };
    if (!m_image)
        return read();
    // The image drivers call a sector cut short by the end of the file a
    // success. Such a read leaves the last byte as it was: preset it, and
    // when it still holds the preset, read again over another preset.
    uint8_t &last = out[SectorBytes - 1];
    last = 0xa5;
    if (!read())
        return false;
    if (last != 0xa5)
        return true;
    last = 0x5a;
    return read() && last != 0x5a;
}

bool Ripper::readParanoia(lsn_t from, lsn_t to, uint8_t *out)
{
    if (m_paranoiaCursor != from) {
        if (cdio_paranoia_seek(m_paranoia.get(), from, SEEK_SET) == -1) {
            m_paranoiaCursor = -1;
            return readDirect(from, to, out, true);
        }
        m_paranoiaCursor = from;
    }
    ParanoiaReport report;
    const LogErrorWatch watch;
    {
        ReportScope scope(report);
        const Ripper *const outer = t_reading;
        t_reading = this;
        struct ReadingScope
        {
            const Ripper *outer;
            ~ReadingScope() { t_reading = outer; }
        } reading{outer};
        for (lsn_t s = from; s < to && !aborted(); ++s) {
            const int16_t *samples = cdio_paranoia_read_limited(m_paranoia.get(),
                                                                paranoiaCallback,
                                                                MaxRetries);
            if (!samples) {
                m_paranoiaCursor = -1;
                return failAt(s);
            }
            storeSamples(samples, out + size_t(s - from) * SectorBytes);
        }
    }
    if (aborted()) {
        m_paranoiaCursor = -1;
        return false;
    }
    m_paranoiaCursor = to;
    m_jitterErrors += report.fixups;
    for (lsn_t sector : report.repaired) {
        if (sector >= m_start && sector < m_end)
            m_correctedSectors.insert(sector);
    }

    std::vector<lsn_t> skips = std::exchange(m_pendingSkips, {});
    skips.insert(skips.end(), report.skips.begin(), report.skips.end());
    // An error libcdio only logged is a read error cdparanoia did not see.
    if (watch.failed())
        ++report.readErrors;
    // An image cut short reads as success past its end, the same stale bytes
    // every time, so cdparanoia sees nothing wrong: a run whose last sector
    // is missing is checked, as is every run after a bad sector.
    std::vector<uint8_t> probe(SectorBytes);
    const bool cut = m_image && !readSector(to - 1, probe.data());
    if (report.readErrors == 0 && skips.empty() && m_badSectors.empty() && !cut)
        return true;

    // cdparanoia reads ahead and reports in its own blocks, so its errors do
    // not say which of our sectors is bad. Read this run again plainly: a
    // sector the drive cannot give is bad; otherwise a sector cdparanoia
    // could not verify is.
    for (lsn_t s = from; s < to; ++s) {
        if (!readSector(s, probe.data()) && !markBad(s))
            return false;
    }
    for (lsn_t skip : skips) {
        if (skip >= to) {
            m_pendingSkips.push_back(skip);
            continue;
        }
        // Without read-through nothing of this run is delivered, so the
        // error belongs to it; read through, the sector itself is listed.
        const lsn_t at = std::max(skip, m_badSectorLimit > 0 ? m_start : from);
        if (!markBad(at))
            return false;
    }
    return true;
}

bool Ripper::failAt(lsn_t sector)
{
    m_errorSector = static_cast<int32_t>(sector);
    return false;
}

bool Ripper::markBad(lsn_t sector)
{
    m_badSectors.insert(sector);
    if (int32_t(m_badSectors.size()) > m_badSectorLimit)
        return failAt(*m_badSectors.begin());
    return true;
}

void Ripper::report(CR_ReadReport &report) const
{
    report = CR_ReadReport{};
    report.verified = m_paranoia ? 1 : 0;
    for (lsn_t sector : m_correctedSectors)
        report.correctedSectors += m_badSectors.count(sector) ? 0 : 1;
    report.badSectors = int32_t(m_badSectors.size());
    for (lsn_t sector : m_badSectors) {
        if (report.listed == CR_REPORT_SECTORS)
            break;
        report.sectors[report.listed++] = static_cast<int32_t>(sector);
    }
}

} // namespace CdRip
