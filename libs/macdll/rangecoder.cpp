#include "libs/macdll/rangecoder.h"

namespace Ape {

namespace {

constexpr uint32_t Top = 1u << 31;
constexpr uint32_t Bottom = 1u << 23;
constexpr int ShiftBits = 23;

// The fixed model of the overflow (quotient) symbols 0..20, over 2^16;
// symbols 21..62 have width 1 at 65472 + s, and 63 escapes.
constexpr uint16_t OverflowCum[21] = {0,     19578, 36160, 48417, 56323, 60899, 63265,
                                      64435, 64971, 65232, 65351, 65416, 65447, 65466,
                                      65476, 65482, 65485, 65488, 65490, 65491, 65492};
constexpr uint16_t OverflowWidth[21] = {19578, 16582, 12257, 7906, 4576, 2366, 1170,
                                        536,   261,   119,   65,   31,   19,   10,
                                        6,     3,     3,     2,    1,    1,    1};
constexpr uint32_t EscapeSymbol = 63;

} // namespace

void RangeEncoder::flushPending(bool carry)
{
    m_out.push_back(static_cast<uint8_t>(m_pending + (carry ? 1 : 0)));
    const uint8_t filler = carry ? 0x00 : 0xFF;
    m_out.insert(m_out.end(), m_run, filler);
    m_run = 0;
}

void RangeEncoder::normalize()
{
    while (m_range <= Bottom) {
        if (m_low < (0xFFu << ShiftBits)) {
            flushPending(false);
            m_pending = m_low >> ShiftBits;
        } else if (m_low >= Top) {
            flushPending(true);
            m_pending = (m_low >> ShiftBits) & 0xFF;
        } else {
            // Bits 30..23 are all ones: a later carry would still reach them.
            ++m_run;
        }
        m_range <<= 8;
        m_low = (m_low << 8) & (Top - 1);
    }
}

void RangeEncoder::encodeShift(uint32_t cum, uint32_t width, int bits)
{
    normalize();
    const uint32_t r = m_range >> bits;
    m_low += r * cum;
    m_range = r * width;
}

void RangeEncoder::encodeDivide(uint32_t cum, uint32_t width, uint32_t total)
{
    normalize();
    const uint32_t r = m_range / total;
    m_low += r * cum;
    m_range = r * width;
}

void RangeEncoder::finish()
{
    // The code value is low itself, which lies in [low, low + range).
    const uint32_t code = m_low;
    flushPending(code >= Top);
    m_out.push_back(static_cast<uint8_t>(code >> 23));
    m_out.push_back(static_cast<uint8_t>(code >> 15));
    m_out.push_back(static_cast<uint8_t>(code >> 7));
    m_out.push_back(static_cast<uint8_t>(code << 1));
}

void ValueCoder::encode(RangeEncoder &coder, int32_t value)
{
    // 0, 1, -1, 2, -2 ... become 0, 1, 2, 3, 4 ...
    const uint32_t v = static_cast<uint32_t>(value);
    const uint32_t x = value > 0 ? 2u * v - 1u : 0u - 2u * v;

    const uint32_t pivot = m_ksum >> 5 ? m_ksum >> 5 : 1u;
    const uint32_t overflow = x / pivot;
    const uint32_t base = x - overflow * pivot;

    if (overflow < 21) {
        coder.encodeShift(OverflowCum[overflow], OverflowWidth[overflow], 16);
    } else if (overflow < EscapeSymbol) {
        coder.encodeShift(65472u + overflow, 1, 16);
    } else {
        coder.encodeShift(65472u + EscapeSymbol, 1, 16);
        coder.encodeShift(overflow >> 16, 1, 16);
        coder.encodeShift(overflow & 0xFFFF, 1, 16);
    }

    if (pivot < 65536) {
        coder.encodeDivide(base, 1, pivot);
    } else {
        int bits = 0;
        while ((pivot >> bits) > 65535)
            ++bits;
        coder.encodeDivide(base >> bits, 1, (pivot >> bits) + 1);
        coder.encodeDivide(base & ((1u << bits) - 1), 1, 1u << bits);
    }

    m_ksum += (x + 1) / 2 - (m_ksum + 16) / 32;
}

} // namespace Ape
