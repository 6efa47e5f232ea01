#include "libs/audioconvert/formatwriters.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cstring>

namespace AudioConvertLib::Detail {

std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

FileHandle createOutputFile(const QString &path)
{
    FileHandle file(std::fopen(nativePath(path).c_str(), "wb"));
    if (!file)
        throw ConvertFailure{acErrOutputNotCreatable};
    return file;
}

void writeBytes(std::FILE *file, const void *data, std::size_t bytes)
{
    if (bytes > 0 && std::fwrite(data, 1, bytes, file) != bytes)
        throw ConvertFailure{acErrWriteFailed};
}

void seekToStart(std::FILE *file)
{
    if (std::fseek(file, 0, SEEK_SET) != 0)
        throw ConvertFailure{acErrWriteFailed};
}

void closeOutputFile(FileHandle &file)
{
    if (std::fclose(file.release()) != 0)
        throw ConvertFailure{acErrWriteFailed};
}

namespace {

struct SndfileCloser
{
    void operator()(SNDFILE *file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

// Rates outside these bounds come from no real recording; a 1 Hz "source"
// would only make the resampler size buffers of gigabytes.
constexpr int MinSourceRate = 1000;
constexpr int MaxSourceRate = 768000;

// The bytes of one frame of a PCM WAV libsndfile opened.
int frameBytes(const SF_INFO &info)
{
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
        return info.channels;
    case SF_FORMAT_PCM_16:
        return 2 * info.channels;
    case SF_FORMAT_PCM_24:
        return 3 * info.channels;
    default:
        return 4 * info.channels;
    }
}

uint32_t le32(const unsigned char *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

constexpr int64_t UnknownLength = -1;
constexpr int64_t CutInsideHeader = -2;

// The length the "data" chunk's header gives; UnknownLength when there is
// none or it says nothing (0 or 0xffffffff, as streaming writers leave it),
// CutInsideHeader when the file ends inside that header. libsndfile quietly
// cuts the length down to what the file holds.
int64_t declaredDataBytes(const QString &path)
{
    const FileHandle file(std::fopen(nativePath(path).c_str(), "rb"));
    unsigned char header[12];
    if (!file || std::fread(header, 1, 12, file.get()) != 12 || std::memcmp(header, "RIFF", 4) != 0
        || std::memcmp(header + 8, "WAVE", 4) != 0)
        return UnknownLength;
    for (;;) {
        unsigned char chunk[8];
        const size_t got = std::fread(chunk, 1, 8, file.get());
        if (got >= 4 && std::memcmp(chunk, "data", 4) == 0) {
            if (got < 8)
                return CutInsideHeader;
            const uint32_t length = le32(chunk + 4);
            return length == 0 || length == 0xffffffffu ? UnknownLength : int64_t(length);
        }
        // Chunks are padded to an even length.
        if (got < 8 || fseeko(file.get(), off_t(le32(chunk + 4)) + (chunk[4] & 1), SEEK_CUR) != 0)
            return UnknownLength;
    }
}

bool isPcmWave(const SF_INFO &info)
{
    const int container = info.format & SF_FORMAT_TYPEMASK;
    const int encoding = info.format & SF_FORMAT_SUBMASK;
    if (container != SF_FORMAT_WAV && container != SF_FORMAT_WAVEX)
        return false;
    switch (encoding) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return true;
    default:
        return false;
    }
}

} // namespace

struct WaveSource::Handle
{
    SndfileHandle file;
};

WaveSource::WaveSource(const QString &path)
    : m_handle(std::make_unique<Handle>())
{
    if (!QFileInfo(path).isFile())
        throw ConvertFailure{acErrInputMissing};
    SF_INFO info{};
    m_handle->file.reset(sf_open(nativePath(path).c_str(), SFM_READ, &info));
    if (!m_handle->file || !isPcmWave(info) || info.channels < 1 || info.channels > 2
        || info.samplerate < MinSourceRate || info.samplerate > MaxSourceRate)
        throw ConvertFailure{acErrInputNotPcmWave};
    m_rate = info.samplerate;
    m_channels = info.channels;
    m_frames = info.frames;
    // A file shorter than its header says lost its end: converting what is
    // left would pass a cut track off as a whole one.
    const int64_t declared = declaredDataBytes(path);
    if (declared == CutInsideHeader || declared / frameBytes(info) > m_frames)
        throw ConvertFailure{acErrReadFailed};
}

WaveSource::~WaveSource() = default;

std::size_t WaveSource::read(int16_t *buffer, std::size_t frames)
{
    const sf_count_t got = sf_readf_short(m_handle->file.get(), buffer, sf_count_t(frames));
    if (got < 0 || sf_error(m_handle->file.get()) != SF_ERR_NO_ERROR)
        throw ConvertFailure{acErrReadFailed};
    m_read += got;
    // The file lost its end while it was being read.
    if (got == 0 && m_read < m_frames)
        throw ConvertFailure{acErrReadFailed};
    return std::size_t(got);
}

struct PcmConverter::Resampler
{
    soxr_t handle = nullptr;
    int32_t channels = 0;
    double ratio = 1.0;
    ~Resampler() { soxr_delete(handle); }
};

PcmConverter::PcmConverter(int32_t inRate, int32_t inChannels, int32_t outRate, int32_t outChannels)
    : m_inChannels(inChannels)
    , m_outChannels(outChannels)
{
    if (inRate <= 0 || outRate <= 0 || outChannels < 1 || outChannels > 2)
        throw ConvertFailure{acErrSettingsRefused};
    if (inRate == outRate)
        return;
    m_resampler = std::make_unique<Resampler>();
    m_resampler->channels = outChannels;
    m_resampler->ratio = double(outRate) / double(inRate);
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_resampler->handle
        = soxr_create(inRate, outRate, unsigned(outChannels), &error, &io, &quality, nullptr);
    if (error || !m_resampler->handle)
        throw ConvertFailure{acErrSettingsRefused};
}

PcmConverter::~PcmConverter() = default;

void PcmConverter::remix(const int16_t *input, std::size_t frames)
{
    m_remixed.resize(frames * std::size_t(m_outChannels));
    if (m_inChannels == 2 && m_outChannels == 1) {
        for (std::size_t i = 0; i < frames; ++i)
            m_remixed[i] = int16_t((int32_t(input[2 * i]) + int32_t(input[2 * i + 1])) >> 1);
    } else if (m_inChannels == 1 && m_outChannels == 2) {
        for (std::size_t i = 0; i < frames; ++i)
            m_remixed[2 * i] = m_remixed[2 * i + 1] = input[i];
    } else {
        std::copy(input, input + frames * std::size_t(m_outChannels), m_remixed.begin());
    }
}

void PcmConverter::process(const int16_t *input, std::size_t frames, std::vector<int16_t> &out)
{
    const int16_t *samples = input;
    if (m_inChannels != m_outChannels) {
        remix(input, frames);
        samples = m_remixed.data();
    }
    const auto channels = std::size_t(m_outChannels);
    if (!m_resampler) {
        out.insert(out.end(), samples, samples + frames * channels);
        return;
    }
    std::size_t consumed = 0;
    while (consumed < frames) {
        const std::size_t room = std::size_t(double(frames - consumed) * m_resampler->ratio) + 64;
        const std::size_t start = out.size();
        out.resize(start + room * channels);
        std::size_t used = 0;
        std::size_t made = 0;
        const soxr_error_t error = soxr_process(m_resampler->handle,
                                                samples + consumed * channels,
                                                frames - consumed,
                                                &used,
                                                out.data() + start,
                                                room,
                                                &made);
        if (error)
            throw ConvertFailure{acErrEncoderFailed};
        out.resize(start + made * channels);
        consumed += used;
        if (used == 0 && made == 0)
            break;
    }
}

void PcmConverter::flush(std::vector<int16_t> &out)
{
    if (!m_resampler)
        return;
    const auto channels = std::size_t(m_outChannels);
    for (;;) {
        constexpr std::size_t room = 4096;
        const std::size_t start = out.size();
        out.resize(start + room * channels);
        std::size_t made = 0;
        const soxr_error_t error = soxr_process(m_resampler->handle,
                                                nullptr,
                                                0,
                                                nullptr,
                                                out.data() + start,
                                                room,
                                                &made);
        if (error)
            throw ConvertFailure{acErrEncoderFailed};
        out.resize(start + made * channels);
        if (made == 0)
            return;
    }
}

namespace {

class WaveWriter final : public FormatWriter
{
public:
    WaveWriter(const QString &path, const TWaveFormat &format)
        : FormatWriter(format.SampleRate, format.Channels)
    {
        if (format.BitsPerSample != 8 && format.BitsPerSample != 16)
            throw ConvertFailure{acErrSettingsRefused};
        SF_INFO info{};
        info.samplerate = format.SampleRate;
        info.channels = format.Channels;
        // WAV keeps 8-bit samples unsigned.
        info.format = SF_FORMAT_WAV
                      | (format.BitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        if (format.SampleRate <= 0 || format.Channels < 1 || format.Channels > 2
            || !sf_format_check(&info))
            throw ConvertFailure{acErrSettingsRefused};
        m_file.reset(sf_open(nativePath(path).c_str(), SFM_WRITE, &info));
        if (!m_file)
            throw ConvertFailure{acErrOutputNotCreatable};
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        if (sf_writef_short(m_file.get(), frames, sf_count_t(count)) != sf_count_t(count))
            throw ConvertFailure{acErrWriteFailed};
    }

    void finish() override
    {
        sf_write_sync(m_file.get());
        if (sf_error(m_file.get()) != SF_ERR_NO_ERROR || sf_close(m_file.release()) != 0)
            throw ConvertFailure{acErrWriteFailed};
    }

private:
    SndfileHandle m_file;
};

} // namespace

std::unique_ptr<FormatWriter> createWaveWriter(const QString &path, const TWaveFormat &format)
{
    return std::make_unique<WaveWriter>(path, format);
}

} // namespace AudioConvertLib::Detail
