#pragma once

#include <cstdint>
#include <vector>

namespace Ape {

// The range encoder of file version 3.99: 32-bit low with a carry bit,
// byte-wise output with deferred 0xFF runs. Appends to `out` (logical byte
// order, before the file's word swap).
class RangeEncoder
{
public:
    explicit RangeEncoder(std::vector<uint8_t> &out)
        : m_out(out)
    {}

    // Symbol [cum, cum + width) of a model whose total is 2^bits.
    void encodeShift(uint32_t cum, uint32_t width, int bits);
    // Symbol [cum, cum + width) of a model whose total is `total` (<= 65536).
    void encodeDivide(uint32_t cum, uint32_t width, uint32_t total);
    // Ends the frame: the decoder reads exactly through the last byte written.
    void finish();

private:
    void normalize();
    void flushPending(bool carry);

    std::vector<uint8_t> &m_out;
    uint32_t m_low = 0;
    uint32_t m_range = 1u << 31;
    // The first pending byte is the one the decoder skips at a frame's start.
    uint32_t m_pending = 0;
    uint32_t m_run = 0;
};

// The adaptive model of one channel: codes signed residuals.
class ValueCoder
{
public:
    void reset() { m_ksum = 16384; }
    void encode(RangeEncoder &coder, int32_t value);

private:
    uint32_t m_ksum = 16384;
};

} // namespace Ape
