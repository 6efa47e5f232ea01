#include "libs/audioconvert/formatwriters.h"

#include "libs/imaadpcm/imaadpcm.h"

#include <cstdio>

namespace AudioConvertLib {

namespace {

constexpr int HeaderBytes = 60;

void put16(uint8_t *at, uint32_t value)
{
    at[0] = uint8_t(value & 0xff);
    at[1] = uint8_t((value >> 8) & 0xff);
}

void put32(uint8_t *at, uint32_t value)
{
    put16(at, value & 0xffff);
    put16(at + 2, value >> 16);
}

// The block sizes Microsoft's IMA ADPCM codec uses for a sample rate.
int blockSizeFor(int32_t sampleRate, int32_t channels)
{
    const int perChannel = sampleRate <= 11025 ? 256 : sampleRate <= 22050 ? 512 : 1024;
    return perChannel * channels;
}

// RIFF WAVE of IMA ADPCM (format tag 0x0011) with a fact chunk holding the
// true frame count, so that the padding of the last block is not played.
class AdpcmWriter final : public Detail::FormatWriter
{
public:
    AdpcmWriter(const QString &path, const TAdpcmFormat &format)
        : FormatWriter(format.SampleRate, format.Channels)
        , m_blockSize(blockSizeFor(format.SampleRate, format.Channels))
    {
        if (format.SampleRate <= 0 || format.Channels < 1 || format.Channels > 2
            || !ImaAdpcm::blockSizeFits(m_blockSize, format.Channels))
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_framesPerBlock = ImaAdpcm::samplesPerBlock(m_blockSize, format.Channels);
        m_file = Detail::createOutputFile(path);
        writeHeader(); // sizes filled in by finish
        m_pending.reserve(std::size_t(m_framesPerBlock) * std::size_t(format.Channels));
        m_block.resize(std::size_t(m_blockSize));
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        const auto channels = std::size_t(this->channels());
        const std::size_t blockSamples = std::size_t(m_framesPerBlock) * channels;
        const int16_t *end = frames + count * channels;
        while (frames < end) {
            const std::size_t n = std::min(std::size_t(end - frames),
                                           blockSamples - m_pending.size());
            m_pending.insert(m_pending.end(), frames, frames + n);
            frames += n;
            if (m_pending.size() == blockSamples)
                encodeBlock();
        }
        m_frames += count;
    }

    void finish() override
    {
        if (!m_pending.empty()) {
            m_pending.resize(std::size_t(m_framesPerBlock) * std::size_t(channels()), 0);
            encodeBlock();
        }
        Detail::seekToStart(m_file.get());
        writeHeader();
        Detail::closeOutputFile(m_file);
    }

private:
    void encodeBlock()
    {
        std::fill(m_block.begin(), m_block.end(), uint8_t(0));
        if (channels() == 1)
            ImaAdpcm::EncodeIMABlockMono(m_pending.data(),
                                         m_block.data(),
                                         m_blockSize,
                                         m_state.Left);
        else
            ImaAdpcm::EncodeIMABlockStereo(m_pending.data(), m_block.data(), m_blockSize, m_state);
        put(m_block.data(), m_block.size());
        m_pending.clear();
        ++m_blocks;
    }

    void writeHeader()
    {
        uint8_t h[HeaderBytes] = {};
        const uint32_t dataBytes = uint32_t(m_blocks * uint64_t(m_blockSize));
        const auto blockAlign = uint32_t(m_blockSize);
        std::copy_n("RIFF", 4, h);
        put32(h + 4, HeaderBytes - 8 + dataBytes);
        std::copy_n("WAVEfmt ", 8, h + 8);
        put32(h + 16, 20);
        put16(h + 20, 0x0011);
        put16(h + 22, uint32_t(channels()));
        put32(h + 24, uint32_t(sampleRate()));
        put32(h + 28, uint32_t(uint64_t(sampleRate()) * blockAlign / uint32_t(m_framesPerBlock)));
        put16(h + 32, blockAlign);
        put16(h + 34, 4);
        put16(h + 36, 2);
        put16(h + 38, uint32_t(m_framesPerBlock));
        std::copy_n("fact", 4, h + 40);
        put32(h + 44, 4);
        put32(h + 48, uint32_t(m_frames));
        std::copy_n("data", 4, h + 52);
        put32(h + 56, dataBytes);
        put(h, sizeof h);
    }

    void put(const uint8_t *data, std::size_t bytes)
    {
        Detail::writeBytes(m_file.get(), data, bytes);
    }

    int m_blockSize;
    int m_framesPerBlock = 0;
    Detail::FileHandle m_file;
    std::vector<int16_t> m_pending;
    std::vector<uint8_t> m_block;
    ImaAdpcm::TIMAEncoderState m_state;
    uint64_t m_frames = 0;
    uint64_t m_blocks = 0;
};

} // namespace

QString IAudioConvert::AdpcmFormatDescription() const
{
    return QStringLiteral("IMA ADPCM WAV, 4 bits, %1 Hz, %2")
        .arg(m_adpcm.SampleRate)
        .arg(m_adpcm.Channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
}

QString IAudioConvert::WaveFormatDescription() const
{
    return QStringLiteral("PCM WAV, %1 bits, %2 Hz, %3")
        .arg(m_wave.BitsPerSample)
        .arg(m_wave.SampleRate)
        .arg(m_wave.Channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
}

namespace Detail {

std::unique_ptr<FormatWriter> createAdpcmWriter(const QString &path, const TAdpcmFormat &format)
{
    return std::make_unique<AdpcmWriter>(path, format);
}

} // namespace Detail

} // namespace AudioConvertLib
