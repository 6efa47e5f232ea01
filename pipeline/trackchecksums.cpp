#include "pipeline/trackchecksums.h"

#include <zlib.h>

TTrackChecksummer::TTrackChecksummer(uint32_t totalSamples, TTrackPlace place)
    : m_totalSamples(totalSamples)
    , m_place(place)
    , m_crc(uint32_t(crc32(0L, Z_NULL, 0)))
{}

void TTrackChecksummer::PcmDelivered(const uint8_t *data, int32_t size)
{
    if (size <= 0)
        return;
    m_crc = uint32_t(crc32(m_crc, data, uInt(size)));
    int32_t at = 0;
    // A piece may end inside a sample: its bytes wait for the next piece.
    while (m_pendingBytes > 0 && at < size) {
        m_pending[m_pendingBytes++] = data[at++];
        if (m_pendingBytes == 4) {
            addSample(uint32_t(m_pending[0]) | uint32_t(m_pending[1]) << 8
                      | uint32_t(m_pending[2]) << 16 | uint32_t(m_pending[3]) << 24);
            m_pendingBytes = 0;
        }
    }
    for (; at + 4 <= size; at += 4) {
        addSample(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16
                  | uint32_t(data[at + 3]) << 24);
    }
    while (at < size)
        m_pending[m_pendingBytes++] = data[at++];
}

void TTrackChecksummer::addSample(uint32_t word)
{
    const uint32_t position = ++m_seenSamples;
    if (m_place.First && position < EdgeSamples)
        return;
    // A track shorter than the skipped edge has nothing summed at its end.
    if (m_place.Last && uint64_t(position) + EdgeSamples > m_totalSamples)
        return;
    const uint64_t product = uint64_t(word) * position;
    m_v1 += uint32_t(product);
    m_v2 += uint32_t(product) + uint32_t(product >> 32);
}

TTrackChecksums TTrackChecksummer::Result() const
{
    return TTrackChecksums{m_crc, m_v1, m_v2};
}
