#pragma once

#include "lookup/accuraterip.h"
#include "pipeline/trackchecksums.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// How the rip job reads each track, all off by default: a test read before
// the copy, re-reads of a copy that AccurateRip or the test read does not
// confirm, and going on to the next track after one that failed.
struct TReadOptions
{
    bool testAndCopy = false;
    bool reread = false; // only with AccurateRip asked
    int rereadLimit = DefaultRereadLimit;
    bool goOn = false;

    static constexpr int DefaultRereadLimit = 3;
    static constexpr int MaxRereadLimit = 10;
};

// The reads of the track under way and what they decide: which read comes
// next, whether the copy just made is kept or read again, and the lines that
// say so. A read is known by its CRC32 (none when it did not deliver the
// whole track). Pure logic, window thread.
class TTrackReads
{
public:
    enum class Read { Test, Copy };
    enum class Step { Reread, Keep };
    // What AccurateRip says about a copy, as far as re-reading goes.
    enum class Check { Unknown, Matches, DoesNotMatch };

    // Re-reads need AccurateRip asked (verify).
    TTrackReads(const TReadOptions &options, bool verify);

    void Begin(int track);
    Read FirstRead() const { return m_options.testAndCopy ? Read::Test : Read::Copy; }
    // Only with re-reads does keeping a copy wait for AccurateRip's answer.
    bool NeedsCheck() const { return m_options.reread; }

    // A read ended with these sums (none when incomplete).
    void TestRead(const std::optional<TTrackChecksums> &sums);
    // A copy read ended, into the output, with AccurateRip's verdict on it
    // (none before the answer); `lines` gets what the job shows.
    Step CopyRead(const std::optional<TTrackChecksums> &sums,
                  const std::optional<AccurateRip::TrackVerdict> &verdict,
                  QStringList &lines);
    // No copy has been read yet.
    bool FirstCopy() const { return Reads() == (m_options.testAndCopy ? 1 : 0); }

    int Reads() const { return int(m_crcs.size()); }
    std::optional<uint32_t> TestCrc() const { return m_testCrc; }
    // With a test read: the copy kept agrees with another read.
    bool Confirmed() const { return m_confirmed; }

private:
    bool lastAgrees() const;

    TReadOptions m_options;
    int m_track = 0;
    std::vector<std::optional<uint32_t>> m_crcs; // every read so far, the test read first
    std::optional<uint32_t> m_testCrc;
    bool m_confirmed = false;
};
