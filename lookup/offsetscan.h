#pragma once

#include "lookup/accuraterip.h"
#include "pipeline/pcmtap.h"
#include "pipeline/trackchecksums.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Finding a drive's read offset from one uncorrected read of a few tracks of
// a disc that the AccurateRip database knows: every shift of each track is
// summed from that one read, and the shift at which the database's most
// trusted checksums come out is the offset.
namespace OffsetScan {

// The read covers this many sectors more on each side of its tracks, which
// bounds the shifts a scan can try: +-2940 samples, more than any drive has.
inline constexpr int MarginSectors = 5;
inline constexpr int MaxShift = MarginSectors * 588;

// The offsets drives are known to have, the most common first: the
// candidates whose v2 sums are worked out besides every shift's v1 sum.
const std::vector<int> &commonOffsets();

// One track of the read, placed in the stream of stereo samples the read
// delivers: at offset 0 its first sample is the stream's sample `begin`.
// The stream must hold MaxShift samples on each side of every track.
struct TrackSpan
{
    int64_t begin = 0;
    uint32_t length = 0; // samples
    TTrackPlace place;
};

// Sums the tracks at every shift while the read streams past, keeping only a
// few thousand values per track, whatever the tracks' length: the v1 sum of
// every shift from -MaxShift to +MaxShift (v1 is linear in the samples, so
// two running sums at each end of the track give it), and both sums at the
// candidate shifts. Fed on the reading worker, read after the read ended.
class Scanner final : public TPcmTap
{
public:
    Scanner(std::vector<TrackSpan> tracks, std::vector<int> candidates);

    void PcmDelivered(const uint8_t *data, int32_t size) override;
    // Every sample up to the end of the last track's margin has been seen.
    bool Complete() const;
    int64_t SeenSamples() const { return m_seen; }

    size_t TrackCount() const { return m_tracks.size(); }
    // A track's v1 sum at `shift` (-MaxShift .. MaxShift), once complete.
    uint32_t V1(size_t track, int shift) const;
    // Both sums at a candidate shift; empty for any other shift.
    std::optional<TTrackChecksums> SumsAt(size_t track, int shift) const;
    const std::vector<int> &Candidates() const { return m_candidates; }

private:
    struct Window
    {
        int64_t first = 0;              // stream position of the first running sum kept
        std::vector<uint32_t> weighted; // sum of j * w[j] over j before each position
        std::vector<uint32_t> plain;    // sum of w[j]
    };
    struct Track
    {
        TrackSpan span;
        int64_t lo = 0; // first summed sample at shift 0
        int64_t hi = 0; // one past the last
        Window low;
        Window high;
        std::vector<TTrackChecksums> atCandidates;
    };

    void addWords(const uint8_t *bytes, int64_t count);
    void keep(Window &window, int64_t position);

    std::vector<Track> m_tracks;
    std::vector<int> m_candidates;
    int64_t m_end = 0; // the stream's length the tracks need
    int64_t m_seen = 0;
    uint32_t m_weighted = 0;
    uint32_t m_plain = 0;
    uint8_t m_pending[4] = {};
    int m_pendingBytes = 0;
};

// What a scan says about the offset, judged against the disc's records.
struct Finding
{
    enum Kind {
        Found,       // `offset` makes at least two tracks match
        NoAgreement, // no shift does, or two shifts do alike
    };
    Kind kind = NoAgreement;
    int offset = 0;
    int matched = 0;    // tracks matching at the offset
    int usable = 0;     // tracks the database holds a checksum of
    int confidence = 0; // the least confidence among the matched tracks' top records
};

// `audioIndexes` gives each scanned track's place among the disc's audio
// tracks (0-based), as the records count them. A shift counts when the
// track's v1 or v2 sum equals the checksum of the record most rips agreed on
// for that track; it is found once two tracks agree on it, no other shift
// gets as many, and it matches the records again when every scanned track's
// sums at it are compared with all of them.
Finding judge(const Scanner &scan,
              const std::vector<AccurateRip::Record> &records,
              const AccurateRip::DiscIds &ids,
              const std::vector<int> &audioIndexes);

// "+6", "0", "-472".
QString signedSamples(int offset);

} // namespace OffsetScan
