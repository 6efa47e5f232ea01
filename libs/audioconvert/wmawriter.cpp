#include "libs/audioconvert/formatwriters.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace AudioConvertLib {

namespace {

struct ProfileSetting
{
    int32_t sampleRate;
    int32_t channels;
    int32_t bitrate; // kbit/s
};

// Profiles 1 ... 51: the sample rate, channels and bitrate their quality
// texts name ("WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps" for 24). Profile
// 41's "44,000 Hz" is a rounding of 44,100: no player expects 44,000 Hz, and
// reaching it took a needless resampling of CD audio.
constexpr ProfileSetting Profiles[51] = {
    {8000, 1, 8},    {32000, 2, 32}, {8000, 1, 8},    {8000, 1, 4},    {8000, 1, 8},
    {8000, 1, 8},    {11025, 1, 10}, {11025, 1, 10},  {16000, 1, 16},  {32000, 2, 32},
    {32000, 2, 32},  {44100, 2, 64}, {44100, 2, 128}, {44100, 2, 128}, {44100, 2, 128},
    {44100, 2, 128}, {8000, 1, 6},   {22050, 1, 20},  {22050, 2, 20},  {32000, 2, 32},
    {32000, 2, 48},  {44100, 2, 64}, {44100, 2, 96},  {44100, 2, 128}, {22050, 2, 32},
    {22050, 2, 32},  {22050, 2, 32}, {22050, 2, 32},  {8000, 1, 8},    {32000, 2, 32},
    {8000, 1, 8},    {8000, 1, 5},   {11025, 1, 10},  {16000, 1, 16},  {32000, 2, 40},
    {32000, 2, 48},  {44100, 2, 64}, {44100, 2, 64},  {44100, 2, 128}, {32000, 2, 48},
    {44100, 2, 64},  {22050, 1, 20}, {22050, 2, 20},  {32000, 2, 32},  {44100, 2, 48},
    {44100, 2, 64},  {44100, 2, 96}, {44100, 2, 128}, {44100, 2, 64},  {44100, 2, 64},
    {44100, 2, 64},
};

// FFmpeg 5.1's wmav2 encoder refuses anything under 24 kbit/s ("bitrate too
// low") and sample rates over 48 kHz; the low-rate profiles get 24 kbit/s,
// the nearest it accepts. No profile asks for more than 44.1 kHz.
constexpr int32_t MinimumWmaBitrate = 24;

struct CodecContextFree
{
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct FormatContextFree
{
    void operator()(AVFormatContext *context) const
    {
        if (context->pb)
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct FrameFree
{
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct PacketFree
{
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};

class WmaWriter final : public Detail::FormatWriter
{
public:
    WmaWriter(const QString &path, const TWmaProfile &profile)
        : FormatWriter(profile.SampleRate, profile.Channels)
    {
        const AVCodec *codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
        if (!codec)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_codec.reset(avcodec_alloc_context3(codec));
        m_frame.reset(av_frame_alloc());
        m_packet.reset(av_packet_alloc());
        if (!m_codec || !m_frame || !m_packet)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        m_codec->sample_rate = profile.SampleRate;
        m_codec->bit_rate = int64_t(profile.EncoderBitrate) * 1000;
        av_channel_layout_default(&m_codec->ch_layout, profile.Channels);
        m_codec->time_base = AVRational{1, profile.SampleRate};

        AVFormatContext *format = nullptr;
        if (avformat_alloc_output_context2(&format, nullptr, "asf", nullptr) < 0 || !format)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_format.reset(format);
        if (m_format->oformat->flags & AVFMT_GLOBALHEADER)
            m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(m_codec.get(), codec, nullptr) < 0)
            throw Detail::ConvertFailure{acErrSettingsRefused};

        m_stream = avformat_new_stream(m_format.get(), nullptr);
        if (!m_stream || avcodec_parameters_from_context(m_stream->codecpar, m_codec.get()) < 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        m_stream->time_base = m_codec->time_base;

        if (avio_open(&m_format->pb, Detail::nativePath(path).c_str(), AVIO_FLAG_WRITE) < 0)
            throw Detail::ConvertFailure{acErrOutputNotCreatable};
        if (avformat_write_header(m_format.get(), nullptr) < 0)
            throw Detail::ConvertFailure{acErrWriteFailed};

        m_frame->format = AV_SAMPLE_FMT_FLTP;
        m_frame->sample_rate = profile.SampleRate;
        m_frame->nb_samples = m_codec->frame_size;
        if (av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout) < 0
            || av_frame_get_buffer(m_frame.get(), 0) < 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        const auto channels = std::size_t(this->channels());
        const auto frameSize = std::size_t(m_codec->frame_size);
        while (count > 0) {
            if (m_filled == 0 && av_frame_make_writable(m_frame.get()) < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            const std::size_t n = std::min(count, frameSize - m_filled);
            for (std::size_t c = 0; c < channels; ++c) {
                auto *plane = reinterpret_cast<float *>(m_frame->data[c]) + m_filled;
                for (std::size_t i = 0; i < n; ++i)
                    plane[i] = float(frames[i * channels + c]) / 32768.0f;
            }
            m_filled += n;
            frames += n * channels;
            count -= n;
            if (m_filled == frameSize)
                sendFrame();
        }
    }

    void finish() override
    {
        if (m_filled > 0)
            sendFrame(); // a short last frame: libavcodec pads it with silence
        encode(nullptr);
        if (av_write_trailer(m_format.get()) < 0)
            throw Detail::ConvertFailure{acErrWriteFailed};
        if (avio_closep(&m_format->pb) < 0)
            throw Detail::ConvertFailure{acErrWriteFailed};
    }

private:
    void sendFrame()
    {
        m_frame->nb_samples = int(m_filled);
        m_frame->pts = m_pts;
        m_pts += int64_t(m_filled);
        m_filled = 0;
        encode(m_frame.get());
    }

    void encode(AVFrame *frame)
    {
        if (avcodec_send_frame(m_codec.get(), frame) < 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        for (;;) {
            const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            if (result < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            av_packet_rescale_ts(m_packet.get(), m_codec->time_base, m_stream->time_base);
            m_packet->stream_index = m_stream->index;
            if (av_interleaved_write_frame(m_format.get(), m_packet.get()) < 0)
                throw Detail::ConvertFailure{acErrWriteFailed};
        }
    }

    std::unique_ptr<AVCodecContext, CodecContextFree> m_codec;
    std::unique_ptr<AVFormatContext, FormatContextFree> m_format;
    std::unique_ptr<AVFrame, FrameFree> m_frame;
    std::unique_ptr<AVPacket, PacketFree> m_packet;
    AVStream *m_stream = nullptr; // owned by m_format
    std::size_t m_filled = 0;
    int64_t m_pts = 0;
};

} // namespace

TWmaProfile wmaProfile(int32_t profile)
{
    if (profile < 1 || profile > 51)
        throw EAudioConvert("The WMA profile must be a number from 1 to 51");
    const ProfileSetting &p = Profiles[profile - 1];
    TWmaProfile result;
    result.SampleRate = p.sampleRate;
    result.Channels = p.channels;
    result.Bitrate = p.bitrate;
    result.EncoderBitrate = std::max(p.bitrate, MinimumWmaBitrate);
    const QString channels = p.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
    result.Description = QStringLiteral("WMA version 2, %1 Hz, %2, %3 kbit/s")
                             .arg(p.sampleRate)
                             .arg(channels)
                             .arg(result.EncoderBitrate);
    if (result.EncoderBitrate != p.bitrate)
        result.Description += QStringLiteral(" (the profile's %1 kbit/s is below what the "
                                             "encoder accepts)")
                                  .arg(p.bitrate);
    return result;
}

namespace Detail {

std::unique_ptr<FormatWriter> createWmaWriter(const QString &path, const TWmaProfile &profile)
{
    return std::make_unique<WmaWriter>(path, profile);
}

} // namespace Detail

} // namespace AudioConvertLib
