#pragma once

#include "pipeline/cdripbinding.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// Where a track's pregap (INDEX 00) and sub-indexes (INDEX 02 and up) lie,
// which the table of contents does not say, and whether it is pre-emphasised.
struct TTrackIndexes
{
    enum TPregap {
        pgNotSearched, // a data track, or one next to a data track
        pgNone,        // INDEX 01 follows the track before directly
        pgFound,       // INDEX 00 at PregapStart
        pgNotDetected, // the sub-channel could not tell: no position is guessed
    };

    int32_t Track = 0;
    TPregap Pregap = pgNotSearched;
    uint32_t PregapStart = 0;           // with pgFound; 0 for track 1 when it starts after 0
    uint32_t Start = 0;                 // INDEX 01, as the table of contents gives it
    std::vector<uint32_t> SubIndexes{}; // INDEX 02, 03 ..., a sector each
    bool PreEmphasis = false;           // in the table of contents or the Q CONTROL field
    bool CopyPermitted = false;         // the table of contents' DCP flag

    uint32_t PregapFrames() const { return Pregap == pgFound ? Start - PregapStart : 0; }
    // "pregap 00:02:00", "no pregap", "no pregap detected"; empty when not searched.
    QString PregapText() const;
};

// What a search found for every track of a table of contents, in its order.
struct TDiscIndexes
{
    std::vector<TTrackIndexes> Tracks;
    bool Searched = false; // the drive's sub-channel (or the image) was asked
    int32_t FailedReads = 0;
    bool GaveUp = false; // too many failed reads: later tracks were not searched

    // The entry of a track number, null when there is none.
    const TTrackIndexes *find(int32_t track) const;
};

// The formatted Q (16 bytes) of one sector; false when the read fails.
using TQReader = std::function<bool(int32_t sector, uint8_t *q)>;

namespace GapSearch {
// A failed read of a sector is tried again up to this many times ...
inline constexpr int MaxRetries = 5;
// ... and the whole search ends after this many failed reads, so that a
// damaged disc cannot stall the rip.
inline constexpr int MaxFailedReads = 100;
} // namespace GapSearch

// Finds the pregaps and sub-indexes of the audio tracks of `toc` (tracks,
// then the lead-out) in the Q frames `read` gives: only CRC-checked position
// frames of the sector asked for count (a drive that gives the numbers in
// binary instead of BCD is recognised by its CRC), a boundary needs two
// sectors that agree, and where only unreadable sectors remain around one
// the track's pregap is "not detected". `cancel`, when set, ends the search
// between two reads. Any thread.
TDiscIndexes SearchIndexes(const std::vector<TTocEntry> &toc,
                           const TQReader &read,
                           const std::atomic<bool> *cancel = nullptr);

// The search on drive `drive` of the library's list, whose table is `toc`.
// An image gives what it says (CDRip::GetImageIndexes); a drive whose
// sub-channel cannot be opened every track as not searched, with only the
// table's flags. Any thread.
TDiscIndexes FindDiscIndexes(int32_t drive,
                             const std::vector<TTocEntry> &toc,
                             const std::atomic<bool> *cancel = nullptr);
