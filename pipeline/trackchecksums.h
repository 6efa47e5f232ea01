#pragma once

#include "pipeline/pcmtap.h"

#include <cstdint>

// The checksums of one ripped track: the CRC-32 of its PCM bytes (zlib's, over
// every sample) and its AccurateRip v1 and v2 sums.
struct TTrackChecksums
{
    uint32_t Crc32 = 0;
    uint32_t AccurateRipV1 = 0;
    uint32_t AccurateRipV2 = 0;
};

// Where a track lies among the disc's audio tracks: AccurateRip leaves out
// about five sectors at the start of the first track and at the end of the
// last, where drives disagree most.
struct TTrackPlace
{
    bool First = false;
    bool Last = false;
};

// Sums one track's 16-bit stereo PCM as it streams past, in pieces of any
// size (a piece may end inside a sample). Owned by whoever rips the track;
// fed on the reading worker, read on the window thread after the read ended.
class TTrackChecksummer : public TPcmTap
{
public:
    // totalSamples: the track's length in stereo samples, needed for the
    // last-track rule.
    TTrackChecksummer(uint32_t totalSamples, TTrackPlace place);

    void PcmDelivered(const uint8_t *data, int32_t size) override;
    // Every sample of the track has been seen, and no more.
    bool Complete() const { return m_seenSamples == m_totalSamples && m_pendingBytes == 0; }
    uint32_t SeenSamples() const { return m_seenSamples; }
    TTrackChecksums Result() const;

    // Positions count from 1: the first track sums from this one on, the last
    // up to its length less this.
    static constexpr uint32_t EdgeSamples = 5 * 588;

private:
    void addSample(uint32_t word);

    uint32_t m_totalSamples;
    TTrackPlace m_place;
    uint32_t m_crc = 0;
    uint32_t m_v1 = 0;
    uint32_t m_v2 = 0;
    uint32_t m_seenSamples = 0;
    uint8_t m_pending[4] = {};
    int m_pendingBytes = 0;
};
