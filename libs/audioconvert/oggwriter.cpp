#include "libs/audioconvert/formatwriters.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>

namespace AudioConvertLib {

namespace {

long bitsPerSecond(int32_t kbits)
{
    return kbits > 0 ? long(kbits) * 1000 : -1;
}

// libvorbisenc ignores a maximum below the nominal bitrate (and a minimum
// above it): a 96 kbit/s range with nominal 128 came out near 119 kbit/s and
// its header claimed 128. Within a range the nominal is kept inside it.
TOggVorbisFormat effective(TOggVorbisFormat f)
{
    if (f.Quality < 0 && f.NominalBitrate > 0 && f.MinBitrate > 0 && f.MaxBitrate >= f.MinBitrate)
        f.NominalBitrate = std::clamp(f.NominalBitrate, f.MinBitrate, f.MaxBitrate);
    return f;
}

// vorbis_info with the settings applied; 0 when libvorbisenc accepts them.
int setUp(vorbis_info *info, const TOggVorbisFormat &asked)
{
    const TOggVorbisFormat f = effective(asked);
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

// Each piece of libvorbis and libogg state with its own clean-up, so that a
// writer whose constructor fails part-way frees what it had set up.
struct VorbisInfo
{
    vorbis_info info;
    VorbisInfo() { vorbis_info_init(&info); }
    ~VorbisInfo() { vorbis_info_clear(&info); }
    VorbisInfo(const VorbisInfo &) = delete;
    VorbisInfo &operator=(const VorbisInfo &) = delete;
};

struct VorbisComment
{
    vorbis_comment comment;
    VorbisComment() { vorbis_comment_init(&comment); }
    ~VorbisComment() { vorbis_comment_clear(&comment); }
    VorbisComment(const VorbisComment &) = delete;
    VorbisComment &operator=(const VorbisComment &) = delete;
};

// State that its init call set up when `live`, freed by Clear (which cannot fail).
template<typename State, auto Clear>
struct LiveState
{
    State state{};
    bool live = false;
    LiveState() = default;
    LiveState(const LiveState &) = delete;
    LiveState &operator=(const LiveState &) = delete;
    ~LiveState()
    {
        if (live)
            Clear(&state);
    }
};

using VorbisDsp = LiveState<vorbis_dsp_state, vorbis_dsp_clear>;
using VorbisBlock = LiveState<vorbis_block, vorbis_block_clear>;
using OggStream = LiveState<ogg_stream_state, ogg_stream_clear>;

class OggVorbisWriter final : public Detail::FormatWriter
{
public:
    OggVorbisWriter(const QString &path, const TOggVorbisFormat &format, int serial)
        : FormatWriter(format.SampleRate, format.Channels)
    {
        if (setUp(&m_info.info, format) != 0)
            throw Detail::ConvertFailure{acErrSettingsRefused};
        if (vorbis_analysis_init(&m_dsp.state, &m_info.info) != 0)
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_dsp.live = true;
        if (vorbis_block_init(&m_dsp.state, &m_block.state) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_block.live = true;
        if (ogg_stream_init(&m_stream.state, serial & 0x7fffffff) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_stream.live = true;

        m_file = Detail::createOutputFile(path);

        ogg_packet header, comments, codebooks;
        if (vorbis_analysis_headerout(&m_dsp.state, &m_comment.comment, &header, &comments, &codebooks)
            != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        if (ogg_stream_packetin(&m_stream.state, &header) != 0
            || ogg_stream_packetin(&m_stream.state, &comments) != 0
            || ogg_stream_packetin(&m_stream.state, &codebooks) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        // The audio starts on a page of its own.
        ogg_page page;
        while (ogg_stream_flush(&m_stream.state, &page) != 0)
            putPage(page);
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        constexpr std::size_t Chunk = 4096;
        while (count > 0) {
            const std::size_t n = std::min(count, Chunk);
            float **buffer = vorbis_analysis_buffer(&m_dsp.state, int(n));
            const auto channels = std::size_t(this->channels());
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t c = 0; c < channels; ++c)
                    buffer[c][i] = float(frames[i * channels + c]) / 32768.0f;
            if (vorbis_analysis_wrote(&m_dsp.state, int(n)) != 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            drain();
            frames += n * channels;
            count -= n;
        }
    }

    void finish() override
    {
        if (vorbis_analysis_wrote(&m_dsp.state, 0) != 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        drain();
        Detail::closeOutputFile(m_file);
    }

private:
    void drain()
    {
        for (;;) {
            const int ready = vorbis_analysis_blockout(&m_dsp.state, &m_block.state);
            if (ready < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            if (ready == 0)
                return;
            if (vorbis_analysis(&m_block.state, nullptr) != 0
                || vorbis_bitrate_addblock(&m_block.state) != 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            ogg_packet packet;
            int got;
            while ((got = vorbis_bitrate_flushpacket(&m_dsp.state, &packet)) == 1) {
                if (ogg_stream_packetin(&m_stream.state, &packet) != 0)
                    throw Detail::ConvertFailure{acErrEncoderFailed};
                ogg_page page;
                while (ogg_stream_pageout(&m_stream.state, &page) != 0)
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

    // Declared in the order they are set up; they are freed in reverse.
    VorbisInfo m_info;
    VorbisComment m_comment;
    VorbisDsp m_dsp;
    VorbisBlock m_block;
    OggStream m_stream;
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
    const TOggVorbisFormat f = effective(m_ogg);
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
                                                    const TOggVorbisFormat &format,
                                                    int serial)
{
    return std::make_unique<OggVorbisWriter>(path, format, serial);
}

} // namespace Detail

} // namespace AudioConvertLib
