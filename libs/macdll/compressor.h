#pragma once

#include "libs/macdll/frameencoder.h"
#include "libs/macdll/macdll.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Ape {

// The output file: a descriptor owned by this object, every failure an error
// code. Writes go to explicit offsets, so nothing reaches the disk before the
// first frame is complete.
class OutputFile
{
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // MAC_ERROR_INVALID_OUTPUT_FILE when it cannot be created.
    int32_t create(const std::string &fileName);
    int32_t writeAt(uint64_t offset, const void *data, size_t size);
    int32_t readAt(uint64_t offset, void *data, size_t size);
    int32_t close();
    // Closes and removes the file when it is a regular one of ours.
    void discard();

private:
    std::string m_fileName;
    int m_fd = -1;
    bool m_regular = false;
};

// One compressor behind an APE_COMPRESS_HANDLE; the C entry points map one
// to one onto these members.
class Compressor
{
public:
    Compressor() = default;
    ~Compressor();
    Compressor(const Compressor &) = delete;
    Compressor &operator=(const Compressor &) = delete;

    int32_t start(const char *fileName,
                  const MACWaveFormat *format,
                  int32_t maxAudioBytes,
                  int32_t level,
                  const void *headerData,
                  int32_t headerBytes);
    uint8_t *lockBuffer(int32_t *bytesAvailable);
    int32_t unlockBuffer(int32_t bytesAdded);
    int32_t finish(const uint8_t *terminatingData,
                   int32_t terminatingBytes,
                   int32_t wavTerminatingBytes);

private:
    enum class State { Idle, Running, Failed, Finished };

    int32_t compressBuffer();
    int32_t writeHeaders(uint64_t dataBytes, int32_t wavTailBytes);
    int32_t growSeekTable(uint64_t dataBytes);
    // Ends the run: every later call returns `error`.
    int32_t fail(int32_t error);
    uint64_t dataStart() const;

    State m_state = State::Idle;
    int32_t m_error = MAC_ERROR_SUCCESS;
    OutputFile m_file;
    std::unique_ptr<FrameEncoder> m_encoder;

    int32_t m_level = 0;
    int m_channels = 0;
    int m_bitsPerSample = 0;
    uint32_t m_sampleRate = 0;
    uint32_t m_blockAlign = 0;
    uint32_t m_blocksPerFrame = 0;
    int64_t m_maxAudioBytes = MAC_MAX_AUDIO_BYTES_UNKNOWN;
    bool m_storesHeader = false;
    std::vector<uint8_t> m_wavHeader;

    std::vector<uint8_t> m_input; // one frame of PCM
    size_t m_filled = 0;
    int64_t m_totalBytes = 0;
    uint32_t m_seekEntries = 0;           // reserved in the file
    std::vector<uint64_t> m_frameOffsets; // from the start of the frame data
    uint64_t m_dataBytes = 0;
    uint32_t m_lastFrameBlocks = 0;
    std::vector<uint8_t> m_frame;
};

} // namespace Ape
