#include "tests/support/pcmsignals.h"

#include <algorithm>
#include <cmath>

namespace TestSupport {

namespace {

// A linear congruential generator: the same numbers on every machine.
uint32_t nextRandom(uint32_t &state)
{
    state = state * 1103515245u + 12345u;
    return state >> 8;
}

void putSample(uint8_t *&p, int32_t value, int bits)
{
    if (bits == 8)
        value = std::clamp(value + 128, 0, 255);
    for (int b = 0; b < bits / 8; ++b)
        *p++ = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * b));
}

} // namespace

QByteArray tones(int frames, int channels, int bits, uint32_t seed)
{
    QByteArray pcm(frames * channels * (bits / 8), Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(pcm.data());
    uint32_t state = seed;
    const double full = std::ldexp(1.0, bits - 1) - 1;
    const int spread = bits == 8 ? 4 : 64;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double tone = 0.45 * std::sin(i * 0.031) + 0.3 * std::sin(i * 0.0023)
                                + 0.1 * std::sin(i * (0.005 + 0.017 * c));
            const auto jitter = static_cast<int32_t>(nextRandom(state) % uint32_t(spread));
            putSample(p, static_cast<int32_t>(tone * full) + jitter - spread / 2, bits);
        }
    }
    return pcm;
}

QByteArray noise(int frames, int channels, int bits, uint32_t seed)
{
    QByteArray pcm(frames * channels * (bits / 8), Qt::Uninitialized);
    auto *p = reinterpret_cast<uint8_t *>(pcm.data());
    uint32_t state = seed;
    const auto levels = static_cast<uint32_t>(1) << bits;
    const auto lowest = -static_cast<int32_t>(levels / 2);
    for (int i = 0; i < frames * channels; ++i) {
        // Two draws: one gives only 24 random bits.
        const uint32_t r = nextRandom(state) ^ (nextRandom(state) << 16);
        putSample(p, lowest + static_cast<int32_t>(r % levels), bits);
    }
    return pcm;
}

uint32_t le16At(const QByteArray &bytes, int at)
{
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData() + at);
    return p[0] | p[1] << 8;
}

uint32_t le32At(const QByteArray &bytes, int at)
{
    return le16At(bytes, at) | le16At(bytes, at + 2) << 16;
}

void putLe32(QByteArray &bytes, int at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

} // namespace TestSupport
