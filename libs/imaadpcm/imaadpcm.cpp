#include "libs/imaadpcm/imaadpcm.h"

namespace ImaAdpcm {

namespace {

constexpr int16_t StepTable[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,
                                   17,    19,    21,    23,    25,    28,    31,    34,    37,
                                   41,    45,    50,    55,    60,    66,    73,    80,    88,
                                   97,    107,   118,   130,   143,   157,   173,   190,   209,
                                   230,   253,   279,   307,   337,   371,   408,   449,   494,
                                   544,   598,   658,   724,   796,   876,   963,   1060,  1166,
                                   1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,
                                   3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,
                                   7132,  7845,  8630,  9493,  10442, 11487, 12635, 13899, 15289,
                                   16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr int8_t IndexTable[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

void writeChannelHeader(uint8_t *at, int16_t first, uint8_t stepIndex)
{
    const auto bits = static_cast<uint16_t>(first);
    at[0] = static_cast<uint8_t>(bits & 0xff);
    at[1] = static_cast<uint8_t>(bits >> 8);
    at[2] = stepIndex;
    at[3] = 0;
}

void putCode(uint8_t *byte, int i, uint8_t code)
{
    *byte |= (i & 1) ? static_cast<uint8_t>(code << 4) : code;
}

} // namespace

uint8_t encodeSample(int16_t sample, TIMAChannelState &state)
{
    int diff = sample - state.Predictor;
    uint8_t code = 0;
    if (diff < 0) {
        code = 8;
        diff = -diff;
    }
    const int step = StepTable[state.StepIndex];
    if (diff >= step) {
        code |= 4;
        diff -= step;
    }
    if (diff >= (step >> 1)) {
        code |= 2;
        diff -= step >> 1;
    }
    if (diff >= (step >> 2))
        code |= 1;

    int delta = step >> 3;
    if (code & 4)
        delta += step;
    if (code & 2)
        delta += step >> 1;
    if (code & 1)
        delta += step >> 2;
    int predictor = (code & 8) ? state.Predictor - delta : state.Predictor + delta;
    // -32767, not -32768: the decoders this format grew up with clamp there.
    if (predictor > 32767)
        predictor = 32767;
    else if (predictor < -32767)
        predictor = -32767;
    state.Predictor = static_cast<int16_t>(predictor);

    int index = state.StepIndex + IndexTable[code];
    if (index < 0)
        index = 0;
    else if (index > 88)
        index = 88;
    state.StepIndex = static_cast<uint8_t>(index);
    return code;
}

bool blockSizeFits(int blockSize, int channels)
{
    if (channels == 1)
        return blockSize > 4;
    if (channels == 2)
        return blockSize > 8 && blockSize % 8 == 0;
    return false;
}

int samplesPerBlock(int blockSize, int channels)
{
    return (2 / channels) * (blockSize - 4 * channels) + 1;
}

int inputBytesPerBlock(int blockSize, int channels)
{
    return (blockSize - 4 * channels) * 4 + 2 * channels;
}

void EncodeIMABlockMono(const int16_t *samples,
                        uint8_t *block,
                        int blockSize,
                        TIMAChannelState &state)
{
    state.Predictor = samples[0];
    writeChannelHeader(block, samples[0], state.StepIndex);
    const int codes = (blockSize - 4) * 2;
    for (int i = 0; i < codes; ++i)
        putCode(block + 4 + i / 2, i, encodeSample(samples[i + 1], state));
}

void EncodeIMABlockStereo(const int16_t *frames,
                          uint8_t *block,
                          int blockSize,
                          TIMAEncoderState &state)
{
    state.Left.Predictor = frames[0];
    state.Right.Predictor = frames[1];
    writeChannelHeader(block, frames[0], state.Left.StepIndex);
    writeChannelHeader(block + 4, frames[1], state.Right.StepIndex);
    const int codes = blockSize - 8;
    for (int i = 0; i < codes; ++i) {
        const int j = i / 2;
        const int offset = (j / 4) * 8 + (j % 4);
        putCode(block + offset + 8, i, encodeSample(frames[2 * (i + 1)], state.Left));
        putCode(block + offset + 12, i, encodeSample(frames[2 * (i + 1) + 1], state.Right));
    }
}

} // namespace ImaAdpcm
