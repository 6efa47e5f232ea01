#include "pipeline/gapsearch.h"

#include "pipeline/cdtime.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

constexpr int QBytes = 16;
constexpr int LeadIn = 150;       // the absolute time counts from the lead-in's start
constexpr int32_t StepBack = 150; // sectors stepped back to find a pregap's left bound
constexpr uint8_t PreEmphasisBit = 0x01;

uint16_t qCrc(const uint8_t *q)
{
    uint16_t crc = 0;
    for (int i = 0; i < 10; ++i) {
        crc ^= uint16_t(q[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return uint16_t(~crc);
}

// Values 0xA0 and up (the lead-out's track number) pass either way.
int fromBcd(uint8_t v)
{
    return v >= 0xA0 ? v : (v >> 4) * 10 + (v & 0x0F);
}

uint8_t toBcd(uint8_t v)
{
    return v >= 100 ? v : uint8_t((v / 10) << 4 | v % 10);
}

struct QFrame
{
    int track = 0;
    int index = 0;
    int32_t relative = 0; // frames
    int32_t sector = 0;   // the absolute time as a sector
    uint8_t control = 0;
};

enum class Side { Low, High, Unknown };

class Searcher
{
public:
    Searcher(const TQReader &read, const std::atomic<bool> *cancel)
        : m_read(read)
        , m_cancel(cancel)
    {}

    bool stopped() const
    {
        return m_gaveUp || (m_cancel && m_cancel->load(std::memory_order_relaxed));
    }
    bool gaveUp() const { return m_gaveUp; }
    int32_t failedReads() const { return m_failed; }
    uint8_t controlSeen(int track) const
    {
        const auto it = m_control.find(track);
        return it == m_control.end() ? 0 : it->second;
    }

    // The position frame of `sector`, read up to 1 + MaxRetries times; none
    // when it cannot be had. Each sector is read in one search only once.
    const std::optional<QFrame> &frame(int32_t sector)
    {
        const auto known = m_frames.find(sector);
        if (known != m_frames.end())
            return known->second;
        std::optional<QFrame> found;
        for (int attempt = 0; attempt <= GapSearch::MaxRetries && !stopped(); ++attempt) {
            uint8_t q[QBytes] = {};
            if (m_read(sector, q)) {
                // Catalogue and ISRC frames carry no position: no read of
                // this sector will.
                if ((q[0] & 0x0F) != 1)
                    break;
                found = decode(q);
                // A drive may give a good frame of another sector.
                if (found && found->sector == sector)
                    break;
                found.reset();
            }
            if (++m_failed >= GapSearch::MaxFailedReads)
                m_gaveUp = true;
        }
        if (found)
            m_control[found->track] |= found->control;
        // Cut short by a cancel or by giving up: not known either way.
        if (!found && stopped())
            return m_none;
        return m_frames[sector] = found;
    }

    // The first High sector in (low, high], low being Low and high High:
    // a sector takes a side only when its neighbour towards the bound it
    // would move agrees; none when the sectors left between cannot tell.
    std::optional<int32_t> boundary(int32_t low,
                                    int32_t high,
                                    const std::function<Side(int32_t)> &side)
    {
        std::map<int32_t, bool> useless;
        while (high - low > 1) {
            if (stopped())
                return std::nullopt;
            const int32_t middle = low + (high - low) / 2;
            bool moved = false;
            // The usable sector nearest the middle.
            for (int32_t d = 0; !moved && (middle - d > low || middle + d < high); ++d) {
                for (const int32_t x : {middle + d, middle - d}) {
                    if (moved || x <= low || x >= high || useless.count(x) > 0)
                        continue;
                    if (stopped())
                        return std::nullopt;
                    const Side s = side(x);
                    if (s == Side::Low && (x - 1 == low || side(x - 1) == Side::Low)) {
                        low = x;
                        moved = true;
                    } else if (s == Side::High && (x + 1 == high || side(x + 1) == Side::High)) {
                        high = x;
                        moved = true;
                    } else {
                        useless[x] = true;
                    }
                }
            }
            if (!moved)
                return std::nullopt;
        }
        return high;
    }

private:
    std::optional<QFrame> decode(const uint8_t *q)
    {
        const uint16_t stored = uint16_t(q[10] << 8 | q[11]);
        uint8_t bcd[QBytes];
        for (int i = 0; i < QBytes; ++i)
            bcd[i] = i >= 1 && i <= 9 && i != 6 ? toBcd(q[i]) : q[i];
        const bool asBcd = m_mode != Mode::Binary && qCrc(q) == stored;
        const bool asBinary = !asBcd && m_mode != Mode::Bcd && qCrc(bcd) == stored;
        if (!asBcd && !asBinary)
            return std::nullopt;
        // Numbers below 10 read alike both ways; the first that does not
        // fixes the drive's manner for the rest of the search.
        if (asBinary)
            m_mode = Mode::Binary;
        else if (m_mode == Mode::Unknown) {
            for (int i = 1; i <= 9; ++i) {
                if (i != 6 && q[i] >= 0x10 && q[i] < 0xA0)
                    m_mode = Mode::Bcd;
            }
        }
        const auto number = [&](int i) { return asBinary ? int(q[i]) : fromBcd(q[i]); };
        const auto frames = [&](int i) {
            return int32_t((number(i) * 60 + number(i + 1)) * 75 + number(i + 2));
        };
        QFrame f;
        f.control = uint8_t(q[0] >> 4);
        f.track = number(1);
        f.index = number(2);
        f.relative = frames(3);
        f.sector = frames(7) - LeadIn;
        return f;
    }

    enum class Mode { Unknown, Bcd, Binary };

    const TQReader &m_read;
    const std::atomic<bool> *m_cancel;
    Mode m_mode = Mode::Unknown;
    int32_t m_failed = 0;
    bool m_gaveUp = false;
    std::map<int32_t, std::optional<QFrame>> m_frames;
    std::map<int, uint8_t> m_control;
    const std::optional<QFrame> m_none;
};

// Track `track` (table entry i, not the first) from its INDEX 01 `start`
// back to the previous track's `previousStart`.
void searchPregap(Searcher &s, TTrackIndexes &t, int previousTrack, uint32_t previousStart)
{
    const auto start = int32_t(t.Start);
    const auto side = [&](int32_t x) {
        const std::optional<QFrame> &f = s.frame(x);
        if (!f)
            return Side::Unknown;
        if (f->track == previousTrack)
            return Side::Low;
        // A pregap's relative time counts down to 0 at its last sector: it
        // must point at the table's INDEX 01.
        if (f->track == t.Track && f->index == 0 && x + f->relative + 1 == start)
            return Side::High;
        return Side::Unknown;
    };
    // The left bound: a sector of the track before, confirmed by the one
    // below it; the track's own first sector is one by the table.
    auto left = int32_t(previousStart);
    for (int32_t probe = start - 1; probe > int32_t(previousStart); probe -= StepBack) {
        if (s.stopped())
            break;
        if (side(probe) == Side::Low && side(probe - 1) == Side::Low) {
            left = probe;
            break;
        }
        if (probe == start - 1)
            probe = start; // then on in whole steps from INDEX 01
    }
    const std::optional<int32_t> first = s.stopped() ? std::nullopt : s.boundary(left, start, side);
    if (!first) {
        t.Pregap = TTrackIndexes::pgNotDetected;
    } else if (*first == start) {
        t.Pregap = TTrackIndexes::pgNone;
    } else {
        t.Pregap = TTrackIndexes::pgFound;
        t.PregapStart = uint32_t(*first);
    }
}

// INDEX 02 and up of a track whose audio runs up to `end` (the next pregap
// or track): the last sectors say how many there are.
void searchSubIndexes(Searcher &s, TTrackIndexes &t, uint32_t end)
{
    constexpr int32_t LastSectorsTried = 8;
    const auto start = int32_t(t.Start);
    int last = 0;
    int32_t lastAt = 0;
    for (int32_t x = int32_t(end) - 1; x > start && x >= int32_t(end) - LastSectorsTried; --x) {
        const std::optional<QFrame> &f = s.frame(x);
        if (f && f->track == t.Track && f->index >= 1) {
            last = f->index;
            lastAt = x;
            break;
        }
        if (s.stopped())
            return;
    }
    int32_t low = start;
    for (int k = 2; k <= last; ++k) {
        const auto side = [&](int32_t x) {
            const std::optional<QFrame> &f = s.frame(x);
            if (!f || f->track != t.Track || f->index < 1)
                return Side::Unknown;
            return f->index >= k ? Side::High : Side::Low;
        };
        const std::optional<int32_t> at = s.boundary(low, lastAt, side);
        // An index that cannot be placed leaves the later ones unknown too.
        if (!at || *at > lastAt)
            return;
        t.SubIndexes.push_back(uint32_t(*at));
        low = *at;
    }
}

} // namespace

QString TTrackIndexes::PregapText() const
{
    switch (Pregap) {
    case pgNotSearched:
        return QString();
    case pgNone:
        return QStringLiteral("no pregap");
    case pgFound:
        return QStringLiteral("pregap ") + FormatMSF(FramesToMSF(PregapFrames()));
    case pgNotDetected:
        return QStringLiteral("no pregap detected");
    }
    return QString();
}

const TTrackIndexes *TDiscIndexes::find(int32_t track) const
{
    for (const TTrackIndexes &t : Tracks) {
        if (t.Track == track)
            return &t;
    }
    return nullptr;
}

namespace {

TDiscIndexes fromTable(const std::vector<TTocEntry> &toc)
{
    TDiscIndexes disc;
    for (size_t i = 0; i + 1 < toc.size(); ++i) {
        TTrackIndexes t;
        t.Track = toc[i].TrackNumber;
        t.Start = toc[i].StartSector;
        t.PreEmphasis = (toc[i].Flag & PreEmphasisBit) != 0;
        t.CopyPermitted = (toc[i].Flag & 0x02) != 0;
        disc.Tracks.push_back(t);
    }
    return disc;
}

// What an image says; every track not searched when it says nothing.
TDiscIndexes imageIndexes(int32_t drive, const std::vector<TTocEntry> &toc)
{
    TDiscIndexes disc = fromTable(toc);
    for (size_t i = 0; i < disc.Tracks.size(); ++i) {
        TTrackIndexes &t = disc.Tracks[i];
        const std::vector<int32_t> positions = CDRip::GetImageIndexes(drive, t.Track);
        if (positions.size() < 2 || CDRip::IsDataFlag(toc[i].Flag))
            continue;
        disc.Searched = true;
        const int32_t pregap = i == 0 ? (t.Start > 0 ? 0 : -1) : positions[0];
        t.Pregap = pregap >= 0 ? TTrackIndexes::pgFound : TTrackIndexes::pgNone;
        t.PregapStart = pregap >= 0 ? uint32_t(pregap) : 0;
        for (size_t k = 2; k < positions.size(); ++k) {
            if (positions[k] > int32_t(t.Start))
                t.SubIndexes.push_back(uint32_t(positions[k]));
        }
    }
    return disc;
}

} // namespace

TDiscIndexes SearchIndexes(const std::vector<TTocEntry> &toc,
                           const TQReader &read,
                           const std::atomic<bool> *cancel)
{
    TDiscIndexes disc = fromTable(toc);
    disc.Searched = true;
    Searcher s(read, cancel);
    for (size_t i = 0; i < disc.Tracks.size(); ++i) {
        TTrackIndexes &t = disc.Tracks[i];
        if (CDRip::IsDataFlag(toc[i].Flag))
            continue;
        // Before track 1 lie its own INDEX 00 sectors.
        if (i == 0) {
            t.Pregap = t.Start > 0 ? TTrackIndexes::pgFound : TTrackIndexes::pgNone;
            continue;
        }
        if (CDRip::IsDataFlag(toc[i - 1].Flag))
            continue;
        if (s.stopped()) {
            t.Pregap = TTrackIndexes::pgNotDetected;
            continue;
        }
        if (t.Start - toc[i - 1].StartSector <= 1)
            t.Pregap = TTrackIndexes::pgNone;
        else
            searchPregap(s, t, toc[i - 1].TrackNumber, toc[i - 1].StartSector);
    }
    for (size_t i = 0; i < disc.Tracks.size() && !s.stopped(); ++i) {
        TTrackIndexes &t = disc.Tracks[i];
        if (CDRip::IsDataFlag(toc[i].Flag))
            continue;
        uint32_t end = toc[i].EndSector;
        if (i + 1 < disc.Tracks.size() && disc.Tracks[i + 1].Pregap == TTrackIndexes::pgFound)
            end = std::min(end, disc.Tracks[i + 1].PregapStart);
        searchSubIndexes(s, t, end);
    }
    for (TTrackIndexes &t : disc.Tracks)
        t.PreEmphasis = t.PreEmphasis || (s.controlSeen(t.Track) & PreEmphasisBit) != 0;
    disc.FailedReads = s.failedReads();
    disc.GaveUp = s.gaveUp();
    return disc;
}

TDiscIndexes FindDiscIndexes(int32_t drive,
                             const std::vector<TTocEntry> &toc,
                             const std::atomic<bool> *cancel)
{
    if (!CDRip::OpenSubchannel(drive))
        return imageIndexes(drive, toc);
    struct Close
    {
        ~Close() { CDRip::CloseSubchannel(); }
    } close;
    return SearchIndexes(
        toc, [](int32_t sector, uint8_t *q) { return CDRip::ReadSubchannelQ(sector, q); }, cancel);
}
