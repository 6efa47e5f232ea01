#include "pipeline/cdinput.h"

#include "pipeline/pcmexception.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t SectorBytes = 2352;
// Positions a track's result names; a count says how many more there were.
constexpr qsizetype MaxListedPositions = 10;

const char *const BusyMessage = "The component is buisy";

// The sectors of the disc that hold audio: from the start of the disc (or of
// the first audio track after a leading data track) to the end of the last
// audio track, which a trailing data track would otherwise extend (and which
// lies before the session gap of an Enhanced CD).
struct AudioSpan
{
    int64_t first = 0;
    int64_t end = 0;
};

AudioSpan audioSpanOf(const std::vector<TTocEntry> &toc)
{
    AudioSpan span;
    if (toc.size() < 2)
        return span;
    size_t firstAudio = 0;
    while (firstAudio + 1 < toc.size() && CDRip::IsDataFlag(toc[firstAudio].Flag))
        ++firstAudio;
    size_t lastAudio = toc.size() - 2;
    while (lastAudio > firstAudio && CDRip::IsDataFlag(toc[lastAudio].Flag))
        --lastAudio;
    span.first = firstAudio == 0 ? 0 : toc[firstAudio].StartSector;
    span.end = toc[lastAudio].EndSector;
    return span;
}

} // namespace

QString TTrackReadResult::Text() const
{
    const auto plural = [](int32_t n) { return n == 1 ? "" : "s"; };
    if (Uncorrectable > 0) {
        QString text = QStringLiteral("read with %1 uncorrectable error%2 at %3")
                           .arg(Uncorrectable)
                           .arg(plural(Uncorrectable))
                           .arg(Positions.join(QStringLiteral(", ")));
        if (Positions.size() < Uncorrectable)
            text += QStringLiteral(" and %1 more").arg(Uncorrectable - Positions.size());
        return text;
    }
    QString text
        = !Verified ? QStringLiteral("read without cdparanoia's checks")
          : Corrected > 0
              ? QStringLiteral("read, %1 position%2 re-read").arg(Corrected).arg(plural(Corrected))
              : QStringLiteral("read cleanly");
    if (SilencedSamples > 0)
        text += QStringLiteral(", %1 sample%2 beyond the disc's edge silent (the drive does "
                               "not read there)")
                    .arg(SilencedSamples)
                    .arg(plural(SilencedSamples));
    return text;
}

QString TTrackReadResult::Line() const
{
    return QStringLiteral("Track %1: %2").arg(Track).arg(Text());
}

TTrackKind TrackKindOfFlag(uint8_t flag)
{
    return CDRip::IsDataFlag(flag) ? ctData : ctAudio;
}

// AcquireDrive .. ReleaseDrive around one operation, also when it raises.
class TCDIn::DriveHold
{
public:
    explicit DriveHold(TCDIn &input)
        : m_input(input)
    {
        m_input.AcquireDrive();
    }
    ~DriveHold() { m_input.ReleaseDrive(); }
    DriveHold(const DriveHold &) = delete;
    DriveHold &operator=(const DriveHold &) = delete;

private:
    TCDIn &m_input;
};

TCDIn::TCDIn(QObject *owner, const QString &name)
    : TPcmInput(owner, name)
{
    LoadCDRipLibrary(SettingsFolder());
    if (!CDRipLoaded())
        throw EPcmException(CDRipMissingMessage);
}

TCDIn::~TCDIn()
{
    // A sink may be inside ReadData on its worker: detach it before the
    // buffer goes.
    releaseListeners();
}

QString TCDIn::SettingsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    // A missing folder only means no settings file: the library then lists
    // the real drives alone.
    QDir().mkpath(folder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void TCDIn::AcquireDrive()
{
    std::lock_guard<std::mutex> lock(m_driveMutex);
    if (m_openCount == 0)
        m_heldDrive = m_currentDrive;
    // The library's active drive is shared by every CD input object (and
    // reset by each one's construction): while this one holds its drive,
    // each acquire selects that drive again.
    CDRip::SetActiveCDROM(m_heldDrive);
    ++m_openCount;
}

void TCDIn::ReleaseDrive()
{
    std::lock_guard<std::mutex> lock(m_driveMutex);
    if (m_openCount > 0)
        --m_openCount;
}

int32_t TCDIn::GetDriveCount()
{
    DriveHold hold(*this);
    return CDRip::GetNumCDROM();
}

QString TCDIn::GetDriveName()
{
    DriveHold hold(*this);
    return CDRip::GetCDROMName();
}

TCDIn::TDriveInquiry TCDIn::GetDriveInquiry()
{
    DriveHold hold(*this);
    TDriveInquiry inquiry;
    CDRip::GetCDROMInquiry(inquiry.Vendor, inquiry.Model);
    return inquiry;
}

CDRip::CdTextBytes TCDIn::GetCDText()
{
    DriveHold hold(*this);
    return CDRip::GetCDText();
}

TDriveStatus TCDIn::GetDriveStatus()
{
    int32_t status = 0;
    int32_t playing = 0;
    {
        DriveHold hold(*this);
        CDRip::IsMediaLoaded(&status);
        playing = CDRip::IsAudioPlaying();
    }
    if (status != 0)
        return dsNotReady;
    return playing ? dsPlaying : dsReady;
}

int32_t TCDIn::GetTrackCount()
{
    DriveHold hold(*this);
    if (CDRip::ReadToc() != 0)
        return -1;
    return CDRip::GetNumTocEntries();
}

TTrackEntryInfo TCDIn::GetTrackInfo(int32_t track)
{
    if (track < 1 || track > GetTrackCount())
        throw EPcmException("Track out of range.");
    DriveHold hold(*this);
    const TTocEntry a = CDRip::GetTocEntry(track - 1);
    TTrackEntryInfo info;
    info.TrackKind = TrackKindOfFlag(a.Flag);
    info.Length = FramesToMSF(a.EndSector >= a.StartSector ? a.EndSector - a.StartSector : 0);
    return info;
}

std::vector<TTocEntry> TCDIn::GetToc()
{
    DriveHold hold(*this);
    std::vector<TTocEntry> toc;
    if (CDRip::ReadToc() != 0)
        return toc;
    const int32_t entries = CDRip::GetNumTocEntries();
    for (int32_t i = 0; i <= entries; ++i)
        toc.push_back(CDRip::GetTocEntry(i));
    return toc;
}

QString TCDIn::GetCatalog()
{
    DriveHold hold(*this);
    return CDRip::GetCatalog();
}

QString TCDIn::GetTrackIsrc(int32_t track)
{
    DriveHold hold(*this);
    return CDRip::GetTrackIsrc(track);
}

void TCDIn::EjectDisc()
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    DriveHold hold(*this);
    CDRip::EjectCD(-1);
}

void TCDIn::CloseDiscTray()
{
    DriveHold hold(*this);
    CDRip::EjectCD(0);
}

bool TCDIn::SetReadSpeed(int32_t speed)
{
    DriveHold hold(*this);
    return CDRip::SetReadSpeed(speed) == 0;
}

void TCDIn::SetCurrentDrive(int32_t value)
{
    DriveHold hold(*this);
    if (value >= 0 && value < CDRip::GetNumCDROM())
        m_currentDrive = value;
}

void TCDIn::SetStartTrack(int32_t value)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    m_rangeSet = false;
    m_startTrack = value;
    m_startPosition = TTrackPosition{value, TTrackTime()};
}

void TCDIn::SetEndTrack(int32_t value)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    m_rangeSet = false;
    m_endTrack = value;
    m_endPosition = TTrackPosition{value + 1, TTrackTime()};
}

void TCDIn::SetSectorRange(int64_t first, int64_t end, int64_t tapFirst, int64_t tapEnd)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    m_rangeSet = true;
    m_rangeFirst = first;
    m_rangeEnd = end;
    m_tapFirst = tapFirst;
    m_tapEnd = tapEnd;
}

void TCDIn::SetReadOffset(int32_t value)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    if (value >= MinReadOffset && value <= MaxReadOffset)
        m_readOffset = value;
}

void TCDIn::SetReadMargin(int32_t sectors)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    if (sectors >= 0 && sectors <= 75)
        m_readMargin = sectors;
}

void TCDIn::SetTap(TPcmTap *tap)
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    m_tap = tap;
}

void TCDIn::rangeSectors(int64_t &start, int64_t &end) const
{
    if (m_rangeSet) {
        start = std::min(m_rangeFirst, m_tapFirst);
        end = std::max(m_rangeEnd, m_tapEnd);
        return;
    }
    start = int64_t(CDRip::GetTocEntry(m_startPosition.Track - 1).StartSector)
            + MSFToFrames(m_startPosition.Time);
    // A read up to a track's start ends where the track before it does,
    // short of an Enhanced CD's session gap.
    const bool trackStart = MSFToFrames(m_endPosition.Time) == 0 && m_endPosition.Track >= 2;
    end = trackStart ? int64_t(CDRip::GetTocEntry(m_endPosition.Track - 2).EndSector)
                     : int64_t(CDRip::GetTocEntry(m_endPosition.Track - 1).StartSector)
                           + MSFToFrames(m_endPosition.Time);
}

void TCDIn::BeginRead()
{
    if (IsBusy())
        throw EPcmException(BusyMessage);
    if (GetDriveStatus() == dsNotReady)
        throw EPcmException("The drive is not ready");
    const int32_t n = GetTrackCount();
    if (m_rangeSet) {
        if (n < 1 || m_rangeFirst < 0 || m_rangeEnd <= m_rangeFirst || m_tapFirst < 0
            || m_tapEnd < m_tapFirst
            || std::max(m_rangeEnd, m_tapEnd) > int64_t(CDRip::GetTocEntry(n).StartSector))
            throw EPcmException("The sectors to read are not on the disc");
    } else {
        if (m_startPosition.Track < 1 || m_startPosition.Track > n)
            throw EPcmException("The start track out of range");
        if (m_endPosition.Track < 1 || m_endPosition.Track > n + 1)
            throw EPcmException("The end track out of range");
    }

    int64_t s = 0;
    int64_t e = 0;
    {
        DriveHold hold(*this);
        CDRip::ReadToc();
        rangeSectors(s, e);
    }
    // An end before the start would make a negative size and a range the
    // library refuses; a table of contents larger than any disc would
    // overflow the byte counters.
    if (e < s)
        throw EPcmException("The end track out of range");
    if ((e - s + 2 * m_readMargin) * SectorBytes > std::numeric_limits<int32_t>::max())
        throw EPcmException("The tracks are too long to read at once");

    std::vector<TTocEntry> toc;
    const int32_t entries = CDRip::GetNumTocEntries();
    for (int32_t i = 0; i <= entries; ++i)
        toc.push_back(CDRip::GetTocEntry(i));

    // What of the stream is delivered and what the tap sees, in bytes; the
    // stream starts m_readMargin sectors before s.
    const int64_t margin = m_readMargin;
    m_deliverFrom = m_rangeSet ? (m_rangeFirst - s + margin) * SectorBytes : 0;
    m_deliverTo = m_rangeSet ? (m_rangeEnd - s + margin) * SectorBytes
                             : (e - s + 2 * margin) * SectorBytes;
    m_tapFrom = m_rangeSet ? (m_tapFirst - s + margin) * SectorBytes : m_deliverFrom;
    m_tapTo = m_rangeSet ? (m_tapEnd - s + margin) * SectorBytes : m_deliverTo;
    m_streamPos = 0;
    m_size = static_cast<int32_t>(m_deliverTo - m_deliverFrom);
    m_isBusy = true;
    m_chunkPos = 1;
    m_chunkEnd = 0;
    m_position = 0;
    AcquireDrive();
    rangeSectors(s, e);

    // The bytes the drive is asked for, moved by the offset and kept on the
    // disc's audio (and the tracks asked for); what falls outside is silence.
    const AudioSpan span = audioSpanOf(toc);
    const int64_t lowest = std::min(s, span.first) * SectorBytes;
    const int64_t highest = std::max(e, span.end) * SectorBytes;
    s -= m_readMargin;
    e += m_readMargin;
    m_ripSize = static_cast<int32_t>((e - s) * SectorBytes);
    const int64_t wantedFrom = s * SectorBytes + int64_t(m_readOffset) * 4;
    const int64_t wantedTo = e * SectorBytes + int64_t(m_readOffset) * 4;
    const int64_t rawFrom = std::clamp(wantedFrom, lowest, highest);
    const int64_t rawTo = std::clamp(wantedTo, rawFrom, highest);
    m_leadSilence = rawFrom - wantedFrom;
    m_rawLeft = rawTo - rawFrom;
    m_tailSilence = wantedTo - rawTo;
    const int64_t firstSector = rawFrom / SectorBytes;
    const int64_t endSector = (rawTo + SectorBytes - 1) / SectorBytes;
    m_skipBytes = rawFrom - firstSector * SectorBytes;
    // Beyond the disc's very ends (not a data track's) the drive may read.
    const int64_t leadOut = int64_t(toc.back().StartSector) * SectorBytes;
    m_leadBytes.clear();
    m_tailBytes.clear();
    int32_t silenced = 0;
    if (m_leadSilence > 0 && rawFrom == 0) {
        m_leadBytes = readOutside(wantedFrom, rawFrom);
        silenced += m_leadBytes.empty() ? int32_t(m_leadSilence / 4) : 0;
    }
    if (m_tailSilence > 0 && rawTo == leadOut) {
        m_tailBytes = readOutside(rawTo, wantedTo);
        silenced += m_tailBytes.empty() ? int32_t(m_tailSilence / 4) : 0;
    }

    m_ripStartSector = firstSector;
    __atomic_store_n(&m_abort, 0, __ATOMIC_RELAXED);
    m_toc = std::move(toc);
    m_bufferSize = RipBufferSize;
    {
        std::lock_guard<std::mutex> lock(m_resultMutex);
        m_result = TTrackReadResult();
        int32_t track = m_startPosition.Track;
        if (m_rangeSet)
            positionOf(m_rangeFirst, track);
        m_result.Track = track;
        m_result.SilencedSamples = silenced;
    }
    CDRip::SetReadThrough(ReadThroughSectors);
    CDRip::OpenRipper(&m_bufferSize,
                      static_cast<int32_t>(firstSector),
                      static_cast<int32_t>(std::max(endSector, firstSector)));
}

int32_t TCDIn::ReadData(void *buffer, int32_t size)
{
    if (!IsBusy())
        throw EPcmException("The Stream is not opened");
    // The stream's bytes outside the delivered ones go to the tap alone.
    for (;;) {
        if (m_chunkPos > m_chunkEnd) {
            m_chunkPos = 1;
            nextChunk();
        }
        const int32_t available = m_chunkEnd - m_chunkPos + 1;
        if (available <= 0)
            return 0;
        const uint8_t *from = RipBuffer.data() + (m_chunkPos - 1);
        const bool delivered = m_streamPos >= m_deliverFrom && m_streamPos < m_deliverTo;
        const int64_t edge = m_streamPos < m_deliverFrom ? m_deliverFrom
                             : delivered                 ? m_deliverTo
                                                         : std::numeric_limits<int64_t>::max();
        int32_t n = int32_t(std::min<int64_t>(available, edge - m_streamPos));
        if (delivered)
            n = std::min(n, std::max(size, 0));
        if (n <= 0)
            return 0;
        if (delivered)
            std::memcpy(buffer, from, size_t(n));
        if (TPcmTap *tap = m_tap) {
            const int64_t lo = std::max(m_streamPos, m_tapFrom);
            const int64_t hi = std::min(m_streamPos + n, m_tapTo);
            if (lo < hi)
                tap->PcmDelivered(from + (lo - m_streamPos), int32_t(hi - lo));
        }
        m_chunkPos += n;
        m_streamPos += n;
        if (delivered) {
            m_position += n;
            return n;
        }
    }
}

void TCDIn::nextChunk()
{
    // The drive's bytes beyond the disc where it gave them, else zeros.
    const auto silence = [this](int64_t &left, const std::vector<uint8_t> &bytes) {
        const int32_t n = int32_t(std::min<int64_t>(left, RipBufferSize));
        if (bytes.empty())
            std::memset(RipBuffer.data(), 0, size_t(n));
        else
            std::memcpy(RipBuffer.data(), bytes.data() + (int64_t(bytes.size()) - left), size_t(n));
        left -= n;
        m_chunkEnd = n;
    };
    if (m_leadSilence > 0)
        return silence(m_leadSilence, m_leadBytes);
    while (m_rawLeft > 0) {
        int32_t chunkEnd = 0;
        const int32_t rc = CDRip::RipChunk(RipBuffer.data(), &chunkEnd, &m_abort);
        updateResult();
        // A failed read must not reach the file as a short or damaged chunk,
        // and a length beyond the buffer cannot be copied from it.
        if (rc != 0 || chunkEnd < 0 || chunkEnd > RipBufferSize) {
            m_chunkEnd = 0;
            throwReadError();
        }
        // Bad sectors read through: the last chunk is held back, so that
        // the file they went into is never finished.
        if (chunkEnd == 0 || chunkEnd - std::min<int64_t>(m_skipBytes, chunkEnd) >= m_rawLeft) {
            const TTrackReadResult result = LastReadResult();
            if (result.Uncorrectable > 0) {
                m_chunkEnd = 0;
                throw EPcmException(result.Line());
            }
        }
        if (chunkEnd == 0) {
            // The library ended early: so does the data, with no silence
            // passed off as audio.
            m_rawLeft = 0;
            m_tailSilence = 0;
            break;
        }
        const int32_t skip = int32_t(std::min<int64_t>(m_skipBytes, chunkEnd));
        const int32_t usable = int32_t(std::min<int64_t>(chunkEnd - skip, m_rawLeft));
        m_skipBytes -= skip;
        m_rawLeft -= usable;
        if (usable > 0) {
            m_chunkPos = 1 + skip;
            m_chunkEnd = skip + usable;
            return;
        }
    }
    if (m_tailSilence > 0)
        return silence(m_tailSilence, m_tailBytes);
    m_chunkEnd = 0;
}

std::vector<uint8_t> TCDIn::readOutside(int64_t from, int64_t to)
{
    const auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    const int64_t first = floorDiv(from, SectorBytes);
    const int64_t end = floorDiv(to + SectorBytes - 1, SectorBytes);
    std::vector<uint8_t> sectors(size_t(end - first) * SectorBytes);
    DriveHold hold(*this);
    if (!CDRip::ReadOutside(sectors.data(), int32_t(first), int32_t(end - first)))
        return {};
    const auto skip = size_t(from - first * SectorBytes);
    return std::vector<uint8_t>(sectors.begin() + std::ptrdiff_t(skip),
                                sectors.begin() + std::ptrdiff_t(skip + size_t(to - from)));
}

QString TCDIn::positionOf(int64_t sector, int32_t &track) const
{
    // The track holding the sector; before the first track counts as track 1.
    track = m_toc.empty() ? 0 : m_toc.front().TrackNumber;
    int64_t trackStart = m_toc.empty() ? 0 : m_toc.front().StartSector;
    for (size_t i = 0; i + 1 < m_toc.size(); ++i) {
        if (int64_t(m_toc[i].StartSector) <= sector) {
            track = m_toc[i].TrackNumber;
            trackStart = m_toc[i].StartSector;
        }
    }
    const int64_t offset = std::max<int64_t>(0, sector - trackStart);
    return FormatMSF(FramesToMSF(static_cast<uint32_t>(offset)));
}

void TCDIn::throwReadError()
{
    int64_t sector = CDRip::GetReadErrorSector();
    if (sector < 0)
        sector = m_ripStartSector + m_streamPos / SectorBytes;
    int32_t track = 0;
    const QString at = positionOf(sector, track);
    throw EPcmException(QStringLiteral("Read error in track %1 at %2").arg(track).arg(at));
}

void TCDIn::updateResult()
{
    const TReadReport report = CDRip::GetReadReport();
    std::lock_guard<std::mutex> lock(m_resultMutex);
    m_result.Verified = report.verified;
    m_result.Corrected = report.correctedSectors;
    m_result.Uncorrectable = report.badSectors;
    m_result.Positions.clear();
    for (int32_t sector : report.sectors) {
        if (m_result.Positions.size() == MaxListedPositions)
            break;
        int32_t track = 0;
        m_result.Positions << positionOf(sector, track);
    }
}

TTrackReadResult TCDIn::LastReadResult() const
{
    std::lock_guard<std::mutex> lock(m_resultMutex);
    return m_result;
}

void TCDIn::AbortRead()
{
    __atomic_store_n(&m_abort, 1, __ATOMIC_RELAXED);
}

void TCDIn::EndRead()
{
    CDRip::CloseRipper();
    ReleaseDrive();
    m_isBusy = false;
    m_size = 0;
}
