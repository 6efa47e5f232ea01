#include "libs/audioconvert/formatwriters.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>
#include <random>

namespace AudioConvertLib {

namespace {

long bitsPerSecond(int32_t kbits)
{
    return kbits > 0 ? long(kbits) * 1000 : -1;
}

// vorbis_info with the settings applied; 0 when libvorbisenc accepts them.
int setUp(vorbis_info *info, const TOggVorbisFormat &f)
{
    if (f.Channels < 1 || f.Channels > 2 || f.SampleRate <= 0)
        return OV_EINVAL;
    int result;
    if (f.Quality >= 0) {
        if (f.Quality > 1000)
            return OV_EINVAL;
        result = vorbis_encode_setup_vbr(info, f.Channels, f.SampleRate, float(f.Quality) / 1000.0f);
    } else {
        result = vorbis_encode_setup_managed(info,
                                             f.Channels,
                                             f.SampleRate,
                                             bitsPerSecond(f.MaxBitrate),
                                             bitsPerSecond(f.NominalBitrate),
                                             bitsPerSecond(f.MinBitrate));
    }
    return result == 0 ? vorbis_encode_setup_init(info) : result;
}

struct VorbisInfo
{
    vorbis_info info;
    VorbisInfo() { vorbis_info_init(&info); }
    ~VorbisInfo() { vorbis_info_clear(&info); }
    VorbisInfo(const VorbisInfo &) = delete;
    VorbisInfo &operator=(const VorbisInfo &) = delete;
};

class OggVorbisWriter final : public Detail::FormatWriter
{
public:
    OggVorbisWriter(const QString &path, const TOggVorbisFormat &format)
        : FormatWriter(format.SampleRate, format.Channels)
    {
        if (setUp(&m_info.info, format) != 0)
            throw Detail::ConvertFailure{acErrSettingsRefused};
        vorbis_comment_init(&m_comment);
        m_haveComment = true;
        if (vorbis_analysis_init(&m_dsp, &m_info.info) != 0)
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_haveDsp = true;
        if (vorbis_block_init(&m_dsp, &m_block) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_haveBlock = true;
        std::random_device seed;
        if (ogg_stream_init(&m_stream, int(seed() & 0x7fffffff)) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_haveStream = true;

        m_file = Detail::createOutputFile(path);

        ogg_packet header, comments, codebooks;
        if (vorbis_analysis_headerout(&m_dsp, &m_comment, &header, &comments, &codebooks) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        if (ogg_stream_packetin(&m_stream, &header) != 0
            || ogg_stream_packetin(&m_stream, &comments) != 0
            || ogg_stream_packetin(&m_stream, &codebooks) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        // The audio starts on a page of its own.
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page) != 0)
            putPage(page);
    }

    ~OggVorbisWriter() override
    {
        if (m_haveStream)
            ogg_stream_clear(&m_stream);
        if (m_haveBlock)
            vorbis_block_clear(&m_block);
        if (m_haveDsp)
            vorbis_dsp_clear(&m_dsp);
        if (m_haveComment)
            vorbis_comment_clear(&m_comment);
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        constexpr std::size_t Chunk = 4096;
        while (count > 0) {
            const std::size_t n = std::min(count, Chunk);
            float **buffer = vorbis_analysis_buffer(&m_dsp, int(n));
            const auto channels = std::size_t(this->channels());
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t c = 0; c < channels; ++c)
                    buffer[c][i] = float(frames[i * channels + c]) / 32768.0f;
            if (vorbis_analysis_wrote(&m_dsp, int(n)) != 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            drain();
            frames += n * channels;
            count -= n;
        }
    }

    void finish() override
    {
        if (vorbis_analysis_wrote(&m_dsp, 0) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        drain();
        Detail::closeOutputFile(m_file);
    }

private:
    void drain()
    {
        for (;;) {
            const int ready = vorbis_analysis_blockout(&m_dsp, &m_block);
            if (ready < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            if (ready == 0)
                return;
            if (vorbis_analysis(&m_block, nullptr) != 0 || vorbis_bitrate_addblock(&m_block) != 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            ogg_packet packet;
            int got;
            while ((got = vorbis_bitrate_flushpacket(&m_dsp, &packet)) == 1) {
                if (ogg_stream_packetin(&m_stream, &packet) != 0)
                    throw Detail::ConvertFailure{acErrEncoderFailed};
                ogg_page page;
                while (ogg_stream_pageout(&m_stream, &page) != 0)
                    putPage(page);
            }
            if (got < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
        }
    }

    void putPage(const ogg_page &page)
    {
        Detail::writeBytes(m_file.get(), page.header, std::size_t(page.header_len));
        Detail::writeBytes(m_file.get(), page.body, std::size_t(page.body_len));
    }

    VorbisInfo m_info;
    vorbis_comment m_comment{};
    vorbis_dsp_state m_dsp{};
    vorbis_block m_block{};
    ogg_stream_state m_stream{};
    bool m_haveComment = false;
    bool m_haveDsp = false;
    bool m_haveBlock = false;
    bool m_haveStream = false;
    Detail::FileHandle m_file;
};

} // namespace

bool IAudioConvert::IsOggVorbisFormatSupported(int32_t sampleRate,
                                               int32_t channels,
                                               int32_t nominalBitrate,
                                               int32_t minBitrate,
                                               int32_t maxBitrate) const
{
    VorbisInfo info;
    return setUp(&info.info, {sampleRate, channels, nominalBitrate, minBitrate, maxBitrate, -1})
           == 0;
}

QString IAudioConvert::OggVorbisFormatDescription() const
{
    const TOggVorbisFormat &f = m_ogg;
    const QString channels = f.Channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
    if (f.Quality >= 0)
        return QStringLiteral("Ogg Vorbis, %1 Hz, %2, quality %3 (VBR)")
            .arg(f.SampleRate)
            .arg(channels)
            .arg(double(f.Quality) / 100.0, 0, 'f', 2);
    QString text = QStringLiteral("Ogg Vorbis, %1 Hz, %2").arg(f.SampleRate).arg(channels);
    if (f.NominalBitrate > 0)
        text += QStringLiteral(", nominal %1 kbit/s").arg(f.NominalBitrate);
    if (f.MinBitrate > 0)
        text += QStringLiteral(", min %1 kbit/s").arg(f.MinBitrate);
    if (f.MaxBitrate > 0)
        text += QStringLiteral(", max %1 kbit/s").arg(f.MaxBitrate);
    return text;
}

namespace Detail {

std::unique_ptr<FormatWriter> createOggVorbisWriter(const QString &path,
                                                    const TOggVorbisFormat &format)
{
    return std::make_unique<OggVorbisWriter>(path, format);
}

} // namespace Detail

} // namespace AudioConvertLib
