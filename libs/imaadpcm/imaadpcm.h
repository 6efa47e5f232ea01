#pragma once

#include <cstdint>

// IMA (DVI) ADPCM encoding, 4 bits per sample, in the block layout of WAVE
// format tag 0x0011. Plain functions over buffers, usable outside the
// pipeline (the conversion component encodes with them too).
namespace ImaAdpcm {

struct TIMAChannelState
{
    int16_t Predictor = 0;
    uint8_t StepIndex = 0; // 0 ... 88
};

// Left (or mono) first. Step indexes carry from block to block; predictors
// restart from each block's first sample.
struct TIMAEncoderState
{
    TIMAChannelState Left;
    TIMAChannelState Right;
};

// One 4-bit code; updates predictor and step index.
uint8_t encodeSample(int16_t sample, TIMAChannelState &state);

// Only mono and stereo are encoded, and a stereo block's codes come in
// groups of 8 bytes: block sizes that do not fit would overrun the block.
bool blockSizeFits(int blockSize, int channels);
// Sample frames per block (1017 mono, 505 stereo at 512 bytes).
int samplesPerBlock(int blockSize, int channels);
// Bytes of 16-bit PCM that one block encodes (2034 mono, 2020 stereo at 512).
int inputBytesPerBlock(int blockSize, int channels);

// Encodes samplesPerBlock(blockSize, 1) samples into a zeroed block of blockSize bytes.
void EncodeIMABlockMono(const int16_t *samples,
                        uint8_t *block,
                        int blockSize,
                        TIMAChannelState &state);
// Encodes samplesPerBlock(blockSize, 2) interleaved frames into a zeroed block.
void EncodeIMABlockStereo(const int16_t *frames,
                          uint8_t *block,
                          int blockSize,
                          TIMAEncoderState &state);

} // namespace ImaAdpcm
