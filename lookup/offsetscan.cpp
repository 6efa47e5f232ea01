#include "lookup/offsetscan.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace OffsetScan {

const std::vector<int> &commonOffsets()
{
    // By how many drives of the AccurateRip drive list have them; 0 last, as
    // a drive that needs no correction is rare.
    static const std::vector<int> offsets{6,   667, 48,   102,  30,   12,   103,  618,  96,
                                          738, 594, 98,   -472, 733,  696,  116,  120,  691,
                                          685, 99,  702,  97,   600,  676,  690,  1292, 686,
                                          697, 138, 1364, 1336, 1262, 1161, 1127, 0};
    return offsets;
}

Scanner::Scanner(std::vector<TrackSpan> tracks, std::vector<int> candidates)
{
    for (int k : candidates) {
        if (k >= -MaxShift && k <= MaxShift
            && std::find(m_candidates.begin(), m_candidates.end(), k) == m_candidates.end())
            m_candidates.push_back(k);
    }
    for (const TrackSpan &span : tracks) {
        Track t;
        t.span = span;
        const int64_t front = span.place.First ? TTrackChecksummer::EdgeSamples - 1 : 0;
        const int64_t back = span.place.Last ? TTrackChecksummer::EdgeSamples : 0;
        t.lo = span.begin + std::min<int64_t>(front, span.length);
        t.hi = std::max(t.lo, span.begin + int64_t(span.length) - back);
        if (t.lo - MaxShift < 0)
            throw std::invalid_argument("a scanned track needs the margin before it");
        for (Window *w : {&t.low, &t.high}) {
            w->first = (w == &t.low ? t.lo : t.hi) - MaxShift;
            w->weighted.assign(2 * MaxShift + 1, 0);
            w->plain.assign(2 * MaxShift + 1, 0);
        }
        t.atCandidates.assign(m_candidates.size(), TTrackChecksums{});
        m_end = std::max(m_end, t.hi + MaxShift);
        m_tracks.push_back(std::move(t));
    }
}

bool Scanner::Complete() const
{
    return m_seen >= m_end;
}

void Scanner::keep(Window &window, int64_t position)
{
    const int64_t at = position - window.first;
    if (at >= 0 && at < int64_t(window.plain.size())) {
        window.weighted[size_t(at)] = m_weighted;
        window.plain[size_t(at)] = m_plain;
    }
}

void Scanner::PcmDelivered(const uint8_t *data, int32_t size)
{
    if (size <= 0)
        return;
    int32_t at = 0;
    while (m_pendingBytes > 0 && at < size) {
        m_pending[m_pendingBytes++] = data[at++];
        if (m_pendingBytes == 4) {
            m_pendingBytes = 0;
            addWords(m_pending, 1);
        }
    }
    const int32_t whole = (size - at) / 4;
    addWords(data + at, whole);
    at += whole * 4;
    while (at < size)
        m_pending[m_pendingBytes++] = data[at++];
}

void Scanner::addWords(const uint8_t *bytes, int64_t count)
{
    if (count <= 0)
        return;
    std::vector<uint32_t> words(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i) {
        const uint8_t *b = bytes + 4 * i;
        words[size_t(i)] = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16
                           | uint32_t(b[3]) << 24;
    }
    const int64_t from = m_seen;
    const int64_t to = m_seen + count;

    // Both sums at each candidate shift, straight from their definition.
    for (Track &t : m_tracks) {
        for (size_t c = 0; c < m_candidates.size(); ++c) {
            const int64_t k = m_candidates[c];
            const int64_t lo = std::max(from, t.lo + k);
            const int64_t hi = std::min(to, t.hi + k);
            TTrackChecksums &sums = t.atCandidates[c];
            uint32_t v1 = sums.AccurateRipV1;
            uint32_t v2 = sums.AccurateRipV2;
            for (int64_t j = lo; j < hi; ++j) {
                const uint64_t product = uint64_t(words[size_t(j - from)])
                                         * uint32_t(j - t.span.begin - k + 1);
                v1 += uint32_t(product);
                v2 += uint32_t(product) + uint32_t(product >> 32);
            }
            sums.AccurateRipV1 = v1;
            sums.AccurateRipV2 = v2;
        }
    }

    // The running sums, kept where a window wants them (before each sample
    // is added, and after the last one).
    for (int64_t j = from; j < to; ++j) {
        for (Track &t : m_tracks) {
            keep(t.low, j);
            keep(t.high, j);
        }
        const uint32_t w = words[size_t(j - from)];
        m_weighted += uint32_t(j) * w;
        m_plain += w;
    }
    m_seen = to;
    for (Track &t : m_tracks) {
        keep(t.low, m_seen);
        keep(t.high, m_seen);
    }
}

uint32_t Scanner::V1(size_t track, int shift) const
{
    const Track &t = m_tracks.at(track);
    const auto at = static_cast<size_t>(int64_t(shift) + MaxShift);
    const uint32_t weighted = t.high.weighted.at(at) - t.low.weighted.at(at);
    const uint32_t plain = t.high.plain.at(at) - t.low.plain.at(at);
    // Sample j of the stream is position j - begin - shift + 1 of the track.
    return weighted - uint32_t(t.span.begin + shift - 1) * plain;
}

std::optional<TTrackChecksums> Scanner::SumsAt(size_t track, int shift) const
{
    const auto c = std::find(m_candidates.begin(), m_candidates.end(), shift);
    if (c == m_candidates.end())
        return std::nullopt;
    return m_tracks.at(track).atCandidates[size_t(c - m_candidates.begin())];
}

Finding judge(const Scanner &scan,
              const std::vector<AccurateRip::Record> &records,
              const AccurateRip::DiscIds &ids,
              const std::vector<int> &audioIndexes)
{
    // Each track's most trusted entry, among the records of this very disc.
    struct Top
    {
        size_t track = 0;
        int index = 0;
        AccurateRip::TrackEntry entry;
    };
    std::vector<Top> tops;
    for (size_t t = 0; t < scan.TrackCount() && t < audioIndexes.size(); ++t) {
        const int index = audioIndexes[t];
        std::optional<AccurateRip::TrackEntry> best;
        for (const AccurateRip::Record &r : records) {
            if (r.ids.audioTracks != ids.audioTracks || r.ids.id1 != ids.id1 || r.ids.id2 != ids.id2
                || r.ids.cddb != ids.cddb || index < 0 || index >= int(r.tracks.size()))
                continue;
            const AccurateRip::TrackEntry &e = r.tracks[size_t(index)];
            // A zero checksum is no checksum (silence, or a record without one).
            if (e.checksum != 0 && (!best || e.confidence > best->confidence))
                best = e;
        }
        if (best)
            tops.push_back(Top{t, index, *best});
    }

    Finding finding;
    finding.usable = int(tops.size());
    std::map<int, int> hits;
    for (int k = -MaxShift; k <= MaxShift; ++k) {
        for (const Top &top : tops) {
            const std::optional<TTrackChecksums> sums = scan.SumsAt(top.track, k);
            if (scan.V1(top.track, k) == top.entry.checksum
                || (sums && sums->AccurateRipV2 == top.entry.checksum))
                ++hits[k];
        }
    }
    int most = 0;
    int alike = 0;
    for (const auto &[k, n] : hits) {
        if (n > most) {
            most = n;
            alike = 1;
            finding.offset = k;
        } else if (n == most) {
            ++alike;
        }
    }
    // Two shifts that match alike (audio that repeats itself) say nothing.
    if (most < 2 || alike > 1)
        return finding;

    // Confirmed against every record: the same verdict a rip at that offset
    // would get. A shift outside the candidates has its v1 sums alone.
    int matched = 0;
    int confidence = 0;
    for (const Top &top : tops) {
        TTrackChecksums sums;
        sums.AccurateRipV1 = scan.V1(top.track, finding.offset);
        sums.AccurateRipV2 = sums.AccurateRipV1;
        if (const auto direct = scan.SumsAt(top.track, finding.offset))
            sums = *direct;
        const AccurateRip::TrackVerdict verdict = AccurateRip::verdictFor(records,
                                                                          ids,
                                                                          top.index,
                                                                          sums);
        if (verdict.kind == AccurateRip::TrackVerdict::Accurate) {
            confidence = matched == 0 ? verdict.confidence
                                      : std::min(confidence, verdict.confidence);
            ++matched;
        }
    }
    if (matched < 2)
        return finding;
    finding.kind = Finding::Found;
    finding.matched = matched;
    finding.confidence = confidence;
    return finding;
}

QString signedSamples(int offset)
{
    return offset > 0 ? QStringLiteral("+%1").arg(offset) : QString::number(offset);
}

} // namespace OffsetScan
