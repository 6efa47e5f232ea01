#include "libs/audioconvert/formatwriters.h"

#include <lame/lame.h>

#include <cstdio>

namespace AudioConvertLib {

namespace {

struct LameCloser
{
    void operator()(lame_global_flags *flags) const { lame_close(flags); }
};
using LameHandle = std::unique_ptr<lame_global_flags, LameCloser>;

void quiet(const char *, va_list) {}

LameHandle newLame()
{
    LameHandle lame(lame_init());
    if (!lame)
        throw Detail::ConvertFailure{acErrEncoderFailed};
    lame_set_errorf(lame.get(), quiet);
    lame_set_debugf(lame.get(), quiet);
    lame_set_msgf(lame.get(), quiet);
    return lame;
}

vbr_mode lameVbrMode(int32_t method)
{
    switch (method) {
    case vbrOld:
        return vbr_rh;
    case vbrNew:
    case vbrMtrh:
        return vbr_mtrh; // LAME 3.100 has one "new" VBR method: mtrh
    case vbrAbr:
        return vbr_abr;
    case vbrDefault:
        return vbr_default;
    default:
        return vbr_off;
    }
}

// LAME's number for one of its own presets.
int lamePresetOf(int32_t preset)
{
    switch (preset) {
    case mpR3Mix:
        return R3MIX;
    case mpFastStandard:
        return STANDARD_FAST;
    case mpStandard:
        return STANDARD;
    case mpFastExtreme:
        return EXTREME_FAST;
    case mpExtreme:
        return EXTREME;
    default:
        return INSANE;
    }
}

// Every setting a conversion hands to LAME; false when LAME refuses one.
bool configure(lame_global_flags *lame, const TMp3Format &format, const TLameSettings &s)
{
    bool ok = lame_set_in_samplerate(lame, format.SampleRate) == 0
              && lame_set_out_samplerate(lame, format.SampleRate) == 0
              && lame_set_num_channels(lame, format.Channels) == 0;
    MPEG_mode mode = JOINT_STEREO;
    if (format.Channels == 1)
        mode = MONO;
    else if (s.ChannelMode == cmStereo || s.ChannelMode == cmDualChannels)
        mode = STEREO; // LAME cannot code dual channels; separate stereo is the nearest
    ok = ok && lame_set_mode(lame, mode) == 0
         && lame_set_force_ms(lame, s.ChannelMode == cmForcedJointStereo ? 1 : 0) == 0
         && lame_set_quality(lame, s.EncoderQuality) == 0
         && lame_set_bWriteVbrTag(lame, s.WriteVbrHeader ? 1 : 0) == 0;
    const vbr_mode vbr = lameVbrMode(s.VbrMethod);
    ok = ok && lame_set_VBR(lame, vbr) == 0;
    if (vbr == vbr_off) {
        ok = ok && lame_set_brate(lame, format.Bitrate) == 0;
    } else {
        if (vbr == vbr_abr)
            ok = ok && lame_set_VBR_mean_bitrate_kbps(lame, s.AbrBitrate) == 0;
        else
            ok = ok && lame_set_VBR_quality(lame, float(s.VbrQuality)) == 0;
        if (s.StrictMinBitrate)
            ok = ok && lame_set_VBR_min_bitrate_kbps(lame, s.VbrBitrate) == 0
                 && lame_set_VBR_hard_min(lame, 1) == 0;
    }
    // lame_set_preset answers with the preset it applied (V3 for R3MIX).
    if (s.LamePreset != 0)
        ok = ok && lame_set_preset(lame, lamePresetOf(s.LamePreset)) > 0;
    if (s.LowPassFrequency > 0)
        ok = ok && lame_set_lowpassfreq(lame, s.LowPassFrequency) == 0;
    if (s.LowPassWidth > 0)
        ok = ok && lame_set_lowpasswidth(lame, s.LowPassWidth) == 0;
    if (s.HighPassFrequency > 0)
        ok = ok && lame_set_highpassfreq(lame, s.HighPassFrequency) == 0;
    if (s.HighPassWidth > 0)
        ok = ok && lame_set_highpasswidth(lame, s.HighPassWidth) == 0;
    return ok && lame_init_params(lame) >= 0;
}

// MPEG-1 Layer III, the only layer at 32 kHz and above, has no bitrate under
// 32 kbit/s: at 44.1 kHz LAME raises 8 kbit/s to 32 and the file is four
// times the size asked for. For such a bitrate the rate is LAME's own choice
// among the MPEG-2 and MPEG-2.5 rates (8 kHz for 8 to 24 kbit/s stereo).
TMp3Format asEncoded(TMp3Format format, const TLameSettings &s)
{
    constexpr int32_t LowestMpeg1Bitrate = 32;
    if (lameVbrMode(s.VbrMethod) != vbr_off || s.LamePreset != 0
        || format.Bitrate >= LowestMpeg1Bitrate || format.SampleRate < 32000)
        return format;
    LameHandle lame = newLame();
    if (lame_set_in_samplerate(lame.get(), format.SampleRate) == 0
        && lame_set_num_channels(lame.get(), format.Channels) == 0
        && lame_set_VBR(lame.get(), vbr_off) == 0 && lame_set_brate(lame.get(), format.Bitrate) == 0
        && lame_init_params(lame.get()) >= 0)
        format.SampleRate = lame_get_out_samplerate(lame.get());
    return format;
}

// LAME's compatibility names for the old presets: ABR bitrate and mono.
struct OldPreset
{
    int16_t abrBitrate;
    bool mono;
};
constexpr OldPreset OldPresets[10] = {
    {16, true},   // Phone
    {24, true},   // SW (short wave)
    {40, true},   // AM (medium wave)
    {112, false}, // FM
    {56, true},   // Voice
    {112, false}, // Radio
    {112, false}, // Tape
    {160, false}, // HiFi
    {192, false}, // CD
    {256, false}, // Studio
};

class Mp3Writer final : public Detail::FormatWriter
{
public:
    // format: as asEncoded() gives it, the rate the frames come at.
    Mp3Writer(const QString &path, const TMp3Format &format, const TLameSettings &settings)
        : FormatWriter(format.SampleRate, format.Channels)
        , m_lame(newLame())
    {
        if (format.Channels < 1 || format.Channels > 2 || !configure(m_lame.get(), format, settings))
            throw Detail::ConvertFailure{acErrSettingsRefused};
        m_file = Detail::createOutputFile(path);
    }

    void write(const int16_t *frames, std::size_t count) override
    {
        constexpr std::size_t Chunk = 4096;
        while (count > 0) {
            const std::size_t n = std::min(count, Chunk);
            m_out.resize(n * 5 / 4 + 7200);
            int made;
            if (channels() == 2) {
                made = lame_encode_buffer_interleaved(m_lame.get(),
                                                      const_cast<short *>(frames),
                                                      int(n),
                                                      m_out.data(),
                                                      int(m_out.size()));
            } else {
                made = lame_encode_buffer(m_lame.get(),
                                          frames,
                                          frames,
                                          int(n),
                                          m_out.data(),
                                          int(m_out.size()));
            }
            if (made < 0)
                throw Detail::ConvertFailure{acErrEncoderFailed};
            Detail::writeBytes(m_file.get(), m_out.data(), std::size_t(made));
            frames += n * std::size_t(channels());
            count -= n;
        }
    }

    void finish() override
    {
        m_out.resize(7200);
        const int made = lame_encode_flush(m_lame.get(), m_out.data(), int(m_out.size()));
        if (made < 0)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        Detail::writeBytes(m_file.get(), m_out.data(), std::size_t(made));
        // LAME left an empty first frame for the Xing/Info header.
        unsigned char tag[2880];
        const std::size_t tagBytes = lame_get_lametag_frame(m_lame.get(), tag, sizeof tag);
        if (tagBytes > sizeof tag)
            throw Detail::ConvertFailure{acErrEncoderFailed};
        if (tagBytes > 0) {
            Detail::seekToStart(m_file.get());
            Detail::writeBytes(m_file.get(), tag, tagBytes);
        }
        Detail::closeOutputFile(m_file);
    }

private:
    LameHandle m_lame;
    Detail::FileHandle m_file;
    std::vector<unsigned char> m_out;
};

} // namespace

void IAudioConvertLameMp3Encoder::SetPreset(int32_t preset)
{
    // lame_set_preset takes any number without complaint, so check first.
    if (preset < mpPhone || preset > mpInsane)
        throw EAudioConvert("The MP3 preset must be a number from 1 to 16");
    if (preset >= mpR3Mix) {
        // LAME's own presets: the properties say what each stands for, and the
        // conversion applies the preset itself on top of them.
        switch (preset) {
        case mpR3Mix:
            m_settings.VbrMethod = vbrMtrh;
            m_settings.VbrQuality = 3;
            break;
        case mpFastStandard:
        case mpStandard:
            m_settings.VbrMethod = vbrMtrh;
            m_settings.VbrQuality = 2;
            break;
        case mpFastExtreme:
        case mpExtreme:
            m_settings.VbrMethod = vbrMtrh;
            m_settings.VbrQuality = 0;
            break;
        default:
            m_settings.VbrMethod = vbrNone;
            m_settings.Mp3Bitrate = 320;
            break;
        }
        m_settings.LamePreset = preset;
        return;
    }
    const OldPreset &old = OldPresets[preset - 1];
    m_settings.LamePreset = 0;
    m_settings.VbrMethod = vbrAbr;
    m_settings.AbrBitrate = old.abrBitrate;
    m_settings.Mp3Bitrate = old.abrBitrate;
    m_settings.Mp3Channels = old.mono ? 1 : 2;
    // The sample rate LAME itself picks for this bitrate (16 kHz for Phone).
    LameHandle lame = newLame();
    if (lame_set_in_samplerate(lame.get(), 44100) == 0
        && lame_set_num_channels(lame.get(), m_settings.Mp3Channels) == 0
        && lame_set_mode(lame.get(), old.mono ? MONO : JOINT_STEREO) == 0
        && lame_set_VBR(lame.get(), vbr_abr) == 0
        && lame_set_VBR_mean_bitrate_kbps(lame.get(), old.abrBitrate) == 0
        && lame_init_params(lame.get()) >= 0)
        m_settings.Mp3SampleRate = lame_get_out_samplerate(lame.get());
}

// A value that a LAME preset stands for, once changed, ends the preset: the
// preset would override it. Writing the same value back keeps the preset.
void IAudioConvertLameMp3Encoder::SetVbrQuality(int16_t value)
{
    if (value < 0 || value > 9)
        throw EAudioConvert("The VBR quality must be from 0 to 9");
    if (value != m_settings.VbrQuality)
        m_settings.LamePreset = 0;
    m_settings.VbrQuality = value;
}

void IAudioConvertLameMp3Encoder::SetVbrMethod(int32_t value)
{
    if (value < vbrNone || value > vbrAbr)
        throw EAudioConvert("The VBR method must be from -1 to 4");
    if (value != m_settings.VbrMethod)
        m_settings.LamePreset = 0;
    m_settings.VbrMethod = value;
}

void IAudioConvertLameMp3Encoder::SetMp3Bitrate(int32_t value)
{
    if (value != m_settings.Mp3Bitrate)
        m_settings.LamePreset = 0;
    m_settings.Mp3Bitrate = value;
}

void IAudioConvertLameMp3Encoder::SetChannelMode(int32_t value)
{
    if (value < cmStereo || value > cmDualChannels)
        throw EAudioConvert("The channel mode must be from 1 to 4");
    m_settings.ChannelMode = value;
}

void IAudioConvertLameMp3Encoder::SetEncoderQuality(int16_t value)
{
    if (value < 0 || value > 9)
        throw EAudioConvert("The encoder quality must be from 0 to 9");
    m_settings.EncoderQuality = value;
}

QString IAudioConvert::Mp3FormatDescription() const
{
    // What LAME makes of the settings, read back after it has checked them.
    LameHandle lame = newLame();
    const TLameSettings &s = m_encoder->settings();
    if (m_mp3.Channels < 1 || m_mp3.Channels > 2 || !configure(lame.get(), asEncoded(m_mp3, s), s))
        return QStringLiteral("MP3: these settings are not accepted by LAME");
    static const char *const modes[] = {"Stereo", "Joint Stereo", "Dual Channels", "Mono"};
    const int mode = lame_get_mode(lame.get());
    QString rate;
    switch (lame_get_VBR(lame.get())) {
    case vbr_off:
        rate = QStringLiteral("CBR %1 kbit/s").arg(lame_get_brate(lame.get()));
        break;
    case vbr_abr:
        rate = QStringLiteral("ABR %1 kbit/s").arg(lame_get_VBR_mean_bitrate_kbps(lame.get()));
        break;
    default:
        rate = QStringLiteral("VBR quality %1").arg(lame_get_VBR_q(lame.get()));
        break;
    }
    // LAME says 0 for MPEG-2 and for MPEG-2.5 alike; the rate tells them apart.
    const int outRate = lame_get_out_samplerate(lame.get());
    const char *version = lame_get_version(lame.get()) == 1 ? "1" : outRate < 16000 ? "2.5" : "2";
    return QStringLiteral("MPEG-%1 Layer III, %2 Hz, %3, %4")
        .arg(QString::fromLatin1(version))
        .arg(outRate)
        .arg(QString::fromLatin1(mode >= 0 && mode < 4 ? modes[mode] : "Stereo"))
        .arg(rate);
}

namespace Detail {

std::unique_ptr<FormatWriter> createMp3Writer(const QString &path,
                                              const TMp3Format &format,
                                              const TLameSettings &settings)
{
    return std::make_unique<Mp3Writer>(path, asEncoded(format, settings), settings);
}

} // namespace Detail

} // namespace AudioConvertLib
