#include "libs/macdll/frameencoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace Ape {

namespace {

constexpr uint32_t FlagMonoSilence = 1;
constexpr uint32_t FlagStereoSilence = 3;
constexpr uint32_t FlagPseudoStereo = 4;
constexpr uint32_t FlagsFollow = 0x80000000u;

int32_t wrap32(int64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int32_t sign(int32_t value)
{
    return (value > 0) - (value < 0);
}

// Stage 1: a fixed first-order filter.
void preFilter(std::vector<int32_t> &signal, uint32_t blocks)
{
    int32_t previous = 0;
    for (uint32_t t = 0; t < blocks; ++t) {
        const int32_t current = signal[t];
        signal[t] = wrap32(int64_t(current) - (wrap32(int64_t(previous) * 31) >> 5));
        previous = current;
    }
}

// Stage 2: the adaptive predictor of one channel. The "B" part feeds on the
// other channel's stage-1 signal and is left out for mono.
class Predictor
{
public:
    int32_t step(int32_t value, int32_t crossInput, bool stereo)
    {
        const std::array<int32_t, 4> a = {m_lastA,
                                          wrap32(int64_t(m_lastA) - m_lastA2),
                                          m_a1[0],
                                          m_a1[1]};
        int64_t sumA = 0;
        for (int i = 0; i < 4; ++i)
            sumA += int64_t(m_coefA[i]) * a[i];

        std::array<int32_t, 5> b{};
        int32_t prediction = 0;
        if (stereo) {
            b = {crossInput, wrap32(int64_t(crossInput) - m_lastB), m_b1[0], m_b1[1], m_b1[2]};
            int64_t sumB = 0;
            for (int i = 0; i < 5; ++i)
                sumB += int64_t(m_coefB[i]) * b[i];
            prediction = wrap32(int64_t(wrap32(sumA)) + (wrap32(sumB) >> 1)) >> 10;
        } else {
            prediction = wrap32(sumA) >> 10;
        }
        const int32_t residual = wrap32(int64_t(value) - prediction);

        const int32_t s = sign(residual);
        for (int i = 0; i < 4; ++i)
            m_coefA[i] += s * sign(a[i]);
        m_a1[1] = m_a1[0];
        m_a1[0] = a[1];
        m_lastA2 = m_lastA;
        m_lastA = value;
        if (stereo) {
            for (int i = 0; i < 5; ++i)
                m_coefB[i] += s * sign(b[i]);
            m_b1[2] = m_b1[1];
            m_b1[1] = m_b1[0];
            m_b1[0] = b[1];
            m_lastB = crossInput;
        }
        return residual;
    }

private:
    std::array<int32_t, 4> m_coefA = {360, 317, -109, 98};
    std::array<int32_t, 5> m_coefB = {0, 0, 0, 0, 0};
    int32_t m_lastA = 0;           // A(t-1)
    int32_t m_lastA2 = 0;          // A(t-2)
    std::array<int32_t, 2> m_a1{}; // the first difference one and two blocks back
    int32_t m_lastB = 0;
    std::array<int32_t, 3> m_b1{};
};

std::vector<NNFilter> filtersOf(int level)
{
    std::vector<NNFilter> filters;
    switch (level) {
    case 2000:
        filters.emplace_back(16, 11);
        break;
    case 3000:
        filters.emplace_back(64, 11);
        break;
    case 4000:
        filters.emplace_back(256, 13);
        filters.emplace_back(32, 10);
        break;
    default:
        break;
    }
    return filters;
}

void putBigEndian(std::vector<uint8_t> &out, uint32_t word)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(word >> shift));
}

const std::array<uint32_t, 256> &crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

} // namespace

uint32_t crc32(const uint8_t *data, std::size_t size)
{
    const auto &table = crcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

FrameEncoder::FrameEncoder(int level, int channels, int bitsPerSample)
    : m_channels(channels)
    , m_bitsPerSample(bitsPerSample)
{
    m_y.filters = filtersOf(level);
    m_x.filters = filtersOf(level);
}

void FrameEncoder::readSamples(const uint8_t *pcm, uint32_t blocks)
{
    m_left.resize(blocks);
    m_right.resize(m_channels == 2 ? blocks : 0);
    const int bytes = m_bitsPerSample / 8;
    const uint8_t *p = pcm;
    for (uint32_t t = 0; t < blocks; ++t) {
        for (int c = 0; c < m_channels; ++c, p += bytes) {
            int32_t v = 0;
            switch (bytes) {
            case 1: // unsigned in WAV files
                v = int32_t(p[0]) - 128;
                break;
            case 2:
                v = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
                break;
            default: {
                const uint32_t u = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
                v = static_cast<int32_t>(u ^ 0x800000u) - 0x800000;
                break;
            }
            }
            (c == 0 ? m_left : m_right)[t] = v;
        }
    }
}

void FrameEncoder::whiten(Channel &channel, uint32_t blocks)
{
    for (NNFilter &filter : channel.filters) {
        filter.reset();
        for (uint32_t t = 0; t < blocks; ++t)
            channel.samples[t] = filter.compress(channel.samples[t]);
    }
}

void FrameEncoder::encode(const uint8_t *pcm, uint32_t blocks, std::vector<uint8_t> &out)
{
    const size_t start = out.size();
    const size_t pcmBytes = size_t(blocks) * size_t(m_channels) * size_t(m_bitsPerSample / 8);
    const uint32_t crc = crc32(pcm, pcmBytes) >> 1;
    readSamples(pcm, blocks);

    const auto isZero = [](int32_t v) { return v == 0; };
    const bool silent = std::all_of(m_left.begin(), m_left.end(), isZero)
                        && std::all_of(m_right.begin(), m_right.end(), isZero);
    // A mono recording on a stereo disc costs no more than a mono file.
    const bool pseudoStereo = m_channels == 2 && !silent && m_left == m_right;
    uint32_t flags = 0;
    if (silent)
        flags = m_channels == 2 ? FlagStereoSilence : FlagMonoSilence;
    else if (pseudoStereo)
        flags = FlagPseudoStereo;

    putBigEndian(out, flags ? crc | FlagsFollow : crc);
    if (flags)
        putBigEndian(out, flags);

    RangeEncoder coder(out);
    if (!silent) {
        m_y.coder.reset();
        m_x.coder.reset();
        if (m_channels == 1 || pseudoStereo) {
            m_y.samples.assign(m_left.begin(), m_left.end());
            preFilter(m_y.samples, blocks);
            Predictor predictor;
            for (uint32_t t = 0; t < blocks; ++t)
                m_y.samples[t] = predictor.step(m_y.samples[t], 0, false);
            whiten(m_y, blocks);
            for (uint32_t t = 0; t < blocks; ++t)
                m_y.coder.encode(coder, m_y.samples[t]);
        } else {
            m_y.samples.resize(blocks);
            m_x.samples.resize(blocks);
            for (uint32_t t = 0; t < blocks; ++t) {
                const int32_t side = wrap32(int64_t(m_right[t]) - m_left[t]);
                m_y.samples[t] = side;
                m_x.samples[t] = wrap32(int64_t(m_left[t]) + side / 2);
            }
            preFilter(m_y.samples, blocks);
            preFilter(m_x.samples, blocks);
            Predictor predictY;
            Predictor predictX;
            int32_t previousX = 0;
            for (uint32_t t = 0; t < blocks; ++t) {
                const int32_t y = m_y.samples[t];
                const int32_t x = m_x.samples[t];
                // Y goes first and sees X of the block before; X sees this Y.
                m_y.samples[t] = predictY.step(y, previousX, true);
                m_x.samples[t] = predictX.step(x, y, true);
                previousX = x;
            }
            whiten(m_y, blocks);
            whiten(m_x, blocks);
            for (uint32_t t = 0; t < blocks; ++t) {
                m_y.coder.encode(coder, m_y.samples[t]);
                m_x.coder.encode(coder, m_x.samples[t]);
            }
        }
    }
    coder.finish();

    while ((out.size() - start) % 4)
        out.push_back(0);
    for (size_t i = start; i < out.size(); i += 4) {
        std::swap(out[i], out[i + 3]);
        std::swap(out[i + 1], out[i + 2]);
    }
}

} // namespace Ape
