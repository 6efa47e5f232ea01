#include "libs/macdll/compressor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace Ape {

namespace {

constexpr uint16_t FileVersion = 3990;
constexpr uint32_t DescriptorBytes = 52;
constexpr uint32_t HeaderBytes = 24;
constexpr uint16_t FlagCreateWavHeader = 32;
// With the length unknown, the seek table is reserved for the longest CD
// (80 minutes); a longer input moves the frame data once at the end.
constexpr uint64_t ReservedSeconds = 80 * 60;

void putLittle(std::vector<uint8_t> &out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t framesFor(uint64_t blocks, uint32_t blocksPerFrame)
{
    const uint64_t frames = (blocks + blocksPerFrame - 1) / blocksPerFrame;
    return static_cast<uint32_t>(std::max<uint64_t>(frames, 1));
}

} // namespace

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int32_t OutputFile::create(const std::string &fileName)
{
    m_fileName = fileName;
    m_fd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return MAC_ERROR_INVALID_OUTPUT_FILE;
    struct stat info
    {};
    m_regular = ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
    return MAC_ERROR_SUCCESS;
}

int32_t OutputFile::writeAt(uint64_t offset, const void *data, size_t size)
{
    const auto *p = static_cast<const uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return MAC_ERROR_IO_WRITE;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return MAC_ERROR_SUCCESS;
}

int32_t OutputFile::readAt(uint64_t offset, void *data, size_t size)
{
    auto *p = static_cast<uint8_t *>(data);
    while (size > 0) {
        const ssize_t n = ::pread(m_fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return MAC_ERROR_IO_READ;
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return MAC_ERROR_SUCCESS;
}

int32_t OutputFile::close()
{
    if (m_fd < 0)
        return MAC_ERROR_SUCCESS;
    // close() is where a network or quota file system reports a lost write.
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0 ? MAC_ERROR_SUCCESS : MAC_ERROR_IO_WRITE;
}

void OutputFile::discard()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    // A device or pipe given as the target is not ours to remove.
    if (m_regular)
        ::unlink(m_fileName.c_str());
}

Compressor::~Compressor()
{
    if (m_state != State::Finished)
        m_file.discard();
}

int32_t Compressor::fail(int32_t error)
{
    m_state = State::Failed;
    m_error = error;
    m_file.discard();
    m_input = {};
    return error;
}

uint64_t Compressor::dataStart() const
{
    return uint64_t(DescriptorBytes) + HeaderBytes + 4ull * m_seekEntries + m_wavHeader.size();
}

int32_t Compressor::start(const char *fileName,
                          const MACWaveFormat *format,
                          int32_t maxAudioBytes,
                          int32_t level,
                          const void *headerData,
                          int32_t headerBytes)
{
    if (m_state != State::Idle || !fileName || !format)
        return MAC_ERROR_BAD_PARAMETER;
    if (format->wFormatTag != 1)
        return MAC_ERROR_UNSUPPORTED_FILE_TYPE;
    const int bits = format->wBitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24)
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_BIT_DEPTH;
    if (format->nChannels != 1 && format->nChannels != 2)
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_CHANNEL_COUNT;
    if (format->nSamplesPerSec == 0)
        return MAC_ERROR_INPUT_FILE_UNSUPPORTED_SAMPLE_RATE;
    if (format->nBlockAlign != format->nChannels * bits / 8)
        return MAC_ERROR_INVALID_INPUT_FILE;
    if (level != 1000 && level != 2000 && level != 3000 && level != 4000)
        return MAC_ERROR_BAD_PARAMETER;
    if (maxAudioBytes < MAC_MAX_AUDIO_BYTES_UNKNOWN)
        return MAC_ERROR_BAD_PARAMETER;
    if (headerBytes < MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION || (headerBytes > 0 && !headerData))
        return MAC_ERROR_BAD_PARAMETER;

    m_level = level;
    m_channels = format->nChannels;
    m_bitsPerSample = bits;
    m_sampleRate = format->nSamplesPerSec;
    m_blockAlign = format->nBlockAlign;
    // 73728 blocks, four times as many at the level whose long filter
    // needs time to settle.
    m_blocksPerFrame = level == 4000 ? 73728 * 4 : 73728;
    m_maxAudioBytes = maxAudioBytes;
    m_storesHeader = headerBytes != MAC_CREATE_WAV_HEADER_ON_DECOMPRESSION;
    if (headerBytes > 0) {
        const auto *h = static_cast<const uint8_t *>(headerData);
        m_wavHeader.assign(h, h + headerBytes);
    }
    const uint64_t expectedBlocks = maxAudioBytes >= 0 ? uint64_t(maxAudioBytes) / m_blockAlign
                                                       : uint64_t(m_sampleRate) * ReservedSeconds;
    m_seekEntries = framesFor(expectedBlocks, m_blocksPerFrame);

    try {
        m_encoder = std::make_unique<FrameEncoder>(level, m_channels, bits);
        m_input.resize(size_t(m_blocksPerFrame) * m_blockAlign);
    } catch (const std::bad_alloc &) {
        return MAC_ERROR_INSUFFICIENT_MEMORY;
    }
    if (const int32_t error = m_file.create(fileName))
        return error;
    m_state = State::Running;
    return MAC_ERROR_SUCCESS;
}

uint8_t *Compressor::lockBuffer(int32_t *bytesAvailable)
{
    if (m_state != State::Running) {
        if (bytesAvailable)
            *bytesAvailable = 0;
        return nullptr;
    }
    if (bytesAvailable)
        *bytesAvailable = static_cast<int32_t>(m_input.size() - m_filled);
    return m_input.data() + m_filled;
}

int32_t Compressor::unlockBuffer(int32_t bytesAdded)
{
    if (m_state == State::Failed)
        return m_error;
    if (m_state != State::Running || bytesAdded < 0
        || size_t(bytesAdded) > m_input.size() - m_filled)
        return MAC_ERROR_BAD_PARAMETER;
    if (m_maxAudioBytes >= 0 && m_totalBytes + bytesAdded > m_maxAudioBytes)
        return fail(MAC_ERROR_APE_COMPRESS_TOO_MUCH_DATA);
    m_filled += size_t(bytesAdded);
    m_totalBytes += bytesAdded;
    if (m_filled == m_input.size())
        return compressBuffer();
    return MAC_ERROR_SUCCESS;
}

int32_t Compressor::compressBuffer()
{
    // A block cut short by the end of the input cannot be coded; it is dropped.
    const auto blocks = static_cast<uint32_t>(m_filled / m_blockAlign);
    m_filled = 0;
    if (blocks == 0)
        return MAC_ERROR_SUCCESS;
    try {
        m_frame.clear();
        m_encoder->encode(m_input.data(), blocks, m_frame);
    } catch (const std::bad_alloc &) {
        return fail(MAC_ERROR_INSUFFICIENT_MEMORY);
    }
    // Seek entries are 32-bit offsets into the file.
    if (dataStart() + m_dataBytes + m_frame.size() > std::numeric_limits<uint32_t>::max())
        return fail(MAC_ERROR_INPUT_FILE_TOO_LARGE);
    if (m_frameOffsets.size() == m_seekEntries) {
        if (const int32_t error = growSeekTable(2ull * m_seekEntries))
            return fail(error);
    }
    if (const int32_t error = m_file.writeAt(dataStart() + m_dataBytes,
                                             m_frame.data(),
                                             m_frame.size()))
        return fail(error);
    m_frameOffsets.push_back(m_dataBytes);
    m_dataBytes += m_frame.size();
    m_lastFrameBlocks = blocks;
    return MAC_ERROR_SUCCESS;
}

int32_t Compressor::growSeekTable(uint64_t entries)
{
    if (dataStart() + 4 * (entries - m_seekEntries) + m_dataBytes
        > std::numeric_limits<uint32_t>::max())
        return MAC_ERROR_INPUT_FILE_TOO_LARGE;
    // Doubling keeps the copying to a small multiple of the file's size; it
    // only happens for inputs longer than a whole CD.
    const uint64_t oldStart = dataStart();
    const uint64_t shift = 4 * (entries - m_seekEntries);
    std::vector<uint8_t> chunk(std::min<uint64_t>(m_dataBytes, 1 << 20));
    uint64_t remaining = m_dataBytes;
    while (remaining > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(remaining, chunk.size()));
        remaining -= n;
        if (const int32_t error = m_file.readAt(oldStart + remaining, chunk.data(), n))
            return error;
        if (const int32_t error = m_file.writeAt(oldStart + shift + remaining, chunk.data(), n))
            return error;
    }
    m_seekEntries = static_cast<uint32_t>(entries);
    return MAC_ERROR_SUCCESS;
}

int32_t Compressor::writeHeaders(uint64_t dataBytes, int32_t wavTailBytes)
{
    const uint32_t frames = static_cast<uint32_t>(m_frameOffsets.size());
    std::vector<uint8_t> head;
    head.reserve(dataStart());
    head.insert(head.end(), {'M', 'A', 'C', ' '});
    putLittle(head, FileVersion, 2);
    putLittle(head, 0, 2);
    putLittle(head, DescriptorBytes, 4);
    putLittle(head, HeaderBytes, 4);
    putLittle(head, 4ull * m_seekEntries, 4);
    putLittle(head, m_wavHeader.size(), 4);
    putLittle(head, dataBytes & 0xFFFFFFFFu, 4);
    putLittle(head, dataBytes >> 32, 4);
    putLittle(head, uint32_t(wavTailBytes), 4);
    // The MD5 is left zero: decoders do not check it, and a wrong one would
    // be worse than none.
    head.insert(head.end(), 16, 0);

    putLittle(head, uint16_t(m_level), 2);
    putLittle(head, m_storesHeader ? 0 : FlagCreateWavHeader, 2);
    putLittle(head, m_blocksPerFrame, 4);
    putLittle(head, m_lastFrameBlocks, 4);
    putLittle(head, frames, 4);
    putLittle(head, uint16_t(m_bitsPerSample), 2);
    putLittle(head, uint16_t(m_channels), 2);
    putLittle(head, m_sampleRate, 4);

    const uint64_t start = dataStart();
    for (uint32_t i = 0; i < m_seekEntries; ++i)
        putLittle(head, i < frames ? start + m_frameOffsets[i] : 0, 4);
    head.insert(head.end(), m_wavHeader.begin(), m_wavHeader.end());
    return m_file.writeAt(0, head.data(), head.size());
}

int32_t Compressor::finish(const uint8_t *terminatingData,
                           int32_t terminatingBytes,
                           int32_t wavTerminatingBytes)
{
    if (m_state == State::Failed)
        return m_error;
    if (m_state != State::Running || terminatingBytes < 0
        || (terminatingBytes > 0 && !terminatingData) || wavTerminatingBytes < 0
        || wavTerminatingBytes > terminatingBytes)
        return MAC_ERROR_BAD_PARAMETER;
    if (const int32_t error = compressBuffer())
        return error;
    if (m_frameOffsets.empty())
        return fail(MAC_ERROR_INPUT_FILE_TOO_SMALL);
    if (terminatingBytes > 0) {
        if (const int32_t error = m_file.writeAt(dataStart() + m_dataBytes,
                                                 terminatingData,
                                                 size_t(terminatingBytes)))
            return fail(error);
    }
    if (const int32_t error = writeHeaders(m_dataBytes, wavTerminatingBytes))
        return fail(error);
    if (const int32_t error = m_file.close())
        return fail(error);
    m_state = State::Finished;
    m_input = {};
    return MAC_ERROR_SUCCESS;
}

} // namespace Ape
