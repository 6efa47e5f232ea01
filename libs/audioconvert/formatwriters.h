#pragma once

// Inside the component: the stages a conversion is built from. Everything
// here runs on the conversion's own thread.

#include "libs/audioconvert/audioconvert.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace AudioConvertLib::Detail {

// Ends a conversion with one of the TAudioConvertErrorCode values.
struct ConvertFailure
{
    int32_t code;
};

// The input PCM WAV, read as interleaved 16-bit frames.
class WaveSource
{
public:
    // Throws ConvertFailure acErrInputMissing, acErrInputNotPcmWave, or
    // acErrReadFailed for a file shorter than its header says.
    explicit WaveSource(const QString &path);
    ~WaveSource();
    WaveSource(const WaveSource &) = delete;
    WaveSource &operator=(const WaveSource &) = delete;

    int32_t sampleRate() const { return m_rate; }
    int32_t channels() const { return m_channels; }
    int64_t frames() const { return m_frames; }
    // Up to `frames` frames into buffer; 0 at the end. Throws acErrReadFailed,
    // also when the file ends before frames() were read.
    std::size_t read(int16_t *buffer, std::size_t frames);

private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    int32_t m_rate = 0;
    int32_t m_channels = 0;
    int64_t m_frames = 0;
    int64_t m_read = 0;
};

// Mixes down or up and resamples interleaved 16-bit frames (soxr). Frames
// pass unchanged when rate and channels already match.
class PcmConverter
{
public:
    // Throws ConvertFailure acErrSettingsRefused for rates soxr cannot take.
    PcmConverter(int32_t inRate, int32_t inChannels, int32_t outRate, int32_t outChannels);
    ~PcmConverter();
    PcmConverter(const PcmConverter &) = delete;
    PcmConverter &operator=(const PcmConverter &) = delete;

    // Appends the converted frames of `frames` input frames to out.
    void process(const int16_t *input, std::size_t frames, std::vector<int16_t> &out);
    // Appends what the resampler still holds.
    void flush(std::vector<int16_t> &out);

private:
    void remix(const int16_t *input, std::size_t frames);
    struct Resampler;
    std::unique_ptr<Resampler> m_resampler;
    std::vector<int16_t> m_remixed;
    int32_t m_inChannels;
    int32_t m_outChannels;
};

// An encoder writing one output file. The constructor checks the settings
// before it creates the file (acErrSettingsRefused leaves an existing file
// alone), then creates it (acErrOutputNotCreatable). write takes interleaved
// 16-bit frames at the writer's rate and channel count. finish completes and
// closes the file; destroying an unfinished writer just closes it.
class FormatWriter
{
public:
    FormatWriter(int32_t sampleRate, int32_t channels)
        : m_sampleRate(sampleRate)
        , m_channels(channels)
    {}
    virtual ~FormatWriter() = default;
    int32_t sampleRate() const { return m_sampleRate; }
    int32_t channels() const { return m_channels; }
    virtual void write(const int16_t *frames, std::size_t count) = 0;
    virtual void finish() = 0;

private:
    int32_t m_sampleRate;
    int32_t m_channels;
};

// An output file of stdio, for the writers that write their own bytes.
struct FileCloser
{
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
// Throws ConvertFailure acErrOutputNotCreatable.
FileHandle createOutputFile(const QString &path);
// Throw ConvertFailure acErrWriteFailed.
void writeBytes(std::FILE *file, const void *data, std::size_t bytes);
void seekToStart(std::FILE *file);
void closeOutputFile(FileHandle &file);

std::unique_ptr<FormatWriter> createWaveWriter(const QString &path, const TWaveFormat &format);
std::unique_ptr<FormatWriter> createAdpcmWriter(const QString &path, const TAdpcmFormat &format);
std::unique_ptr<FormatWriter> createMp3Writer(const QString &path,
                                              const TMp3Format &format,
                                              const TLameSettings &settings);
// The stream's serial number is `serial` (31 bits).
std::unique_ptr<FormatWriter> createOggVorbisWriter(const QString &path,
                                                    const TOggVorbisFormat &format,
                                                    int serial);
std::unique_ptr<FormatWriter> createWmaWriter(const QString &path, const TWmaProfile &profile);
// Throws ConvertFailure acErrEncoderMissing, before anything else, when
// libopusenc cannot be loaded. inputRate: the rate the frames come at;
// serial: the stream's serial number, as for Ogg Vorbis.
std::unique_ptr<FormatWriter> createOpusWriter(const QString &path,
                                               const TOpusFormat &format,
                                               int32_t inputRate,
                                               int serial);

enum class TagKind { Id3v2, Xiph, Opus, RiffInfo, Asf, Flac, Ape };
// Writes the fields into the closed file; false when TagLib could not, or when
// a write failed part-way (a full disk).
bool writeTags(const QString &path, TagKind kind, const IAudioConvertInformation &tags);

// The local 8-bit form of a path for the C libraries.
std::string nativePath(const QString &path);

} // namespace AudioConvertLib::Detail
