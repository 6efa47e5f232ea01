#pragma once

#include "libs/macdll/nnfilter.h"
#include "libs/macdll/rangecoder.h"

#include <cstdint>
#include <vector>

namespace Ape {

// Compresses whole frames of interleaved little-endian PCM (as in a WAV data
// chunk) into version 3.99 frame data. Frames are independent; the encoder
// only keeps its scratch buffers between them. One thread at a time.
class FrameEncoder
{
public:
    // level: 1000, 2000, 3000 or 4000; channels 1 or 2; bits 8, 16 or 24.
    FrameEncoder(int level, int channels, int bitsPerSample);

    // Appends the frame holding `blocks` blocks of `pcm` to `out`, as stored
    // in the file: padded to a multiple of 4 bytes and word-swapped.
    void encode(const uint8_t *pcm, uint32_t blocks, std::vector<uint8_t> &out);

private:
    struct Channel
    {
        std::vector<int32_t> samples;
        std::vector<NNFilter> filters; // in the order the encoder applies them
        ValueCoder coder;
    };

    void readSamples(const uint8_t *pcm, uint32_t blocks);
    void whiten(Channel &channel, uint32_t blocks);

    int m_channels;
    int m_bitsPerSample;
    Channel m_y; // the side signal in stereo, the only channel in mono
    Channel m_x;
    std::vector<int32_t> m_left;
    std::vector<int32_t> m_right;
};

// CRC-32 (the zlib polynomial) of `size` bytes.
uint32_t crc32(const uint8_t *data, std::size_t size);

} // namespace Ape
