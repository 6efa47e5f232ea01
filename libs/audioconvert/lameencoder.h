#pragma once

#include <cstdint>

namespace AudioConvertLib {

// VbrMethod values; the quality dialog lists them in this order, from -1.
enum TVbrMethod : int32_t {
    vbrNone = -1, // constant bitrate
    vbrDefault = 0,
    vbrOld = 1,
    vbrNew = 2,
    vbrMtrh = 3,
    vbrAbr = 4,
};

// Preset numbers of IAudioConvertLameMp3Encoder::SetPreset. 1 to 11 are the
// old names; 12 to 16 are LAME's own presets (its "Alt-Presets"), where the
// fast variants have been the same as the plain ones since LAME 3.97.
enum TMp3Preset : int32_t {
    mpPhone = 1,
    mpSW = 2,
    mpAM = 3,
    mpFM = 4,
    mpVoice = 5,
    mpRadio = 6,
    mpTape = 7,
    mpHiFi = 8,
    mpCD = 9,
    mpStudio = 10,
    mpR3Mix = 11,
    mpFastStandard = 12, // VBR (mtrh) quality 2
    mpStandard = 13,
    mpFastExtreme = 14, // VBR (mtrh) quality 0
    mpExtreme = 15,
    mpInsane = 16, // CBR 320 kbit/s
};

enum TChannelMode : int32_t {
    cmStereo = 1,
    cmJointStereo = 2,
    cmForcedJointStereo = 3,
    cmDualChannels = 4,
};

// The MP3 encoder's settings, as LAME is given them when a conversion starts.
// Frequencies in Hz, 0 = LAME chooses; bitrates in kbit/s.
struct TLameSettings
{
    int32_t VbrBitrate = 128; // VBR and ABR minimum, in force when StrictMinBitrate
    int16_t VbrQuality = 4;
    int32_t VbrMethod = vbrNone;
    int16_t AbrBitrate = 128;
    int32_t ChannelMode = cmJointStereo; // with two channels
    int16_t EncoderQuality = 5;          // 0 best ... 9 fastest
    bool WriteVbrHeader = true;          // the Xing/Info frame, so players know the length
    bool StrictMinBitrate = false;
    int32_t LowPassFrequency = 0;
    int32_t HighPassFrequency = 0;
    int32_t LowPassWidth = 0;
    int32_t HighPassWidth = 0;
    int32_t Mp3SampleRate = 44100;
    int32_t Mp3Channels = 2;
    int32_t Mp3Bitrate = 128;
    // One of LAME's own presets (mpR3Mix, mpFastStandard ... mpInsane) that the
    // conversion applies last, on top of the values above; 0 for none.
    int32_t LamePreset = 0;
};

// The MP3 encoder object. Its Mp3SampleRate, Mp3Channels and Mp3Bitrate reach
// a conversion only through the converter's SetMp3Format; every other property
// is read when a conversion starts. Used on the converter's thread only.
class IAudioConvertLameMp3Encoder
{
public:
    // A TMp3Preset. 1 Phone, 2 SW, 3 AM, 4 FM, 5 Voice, 6 Radio, 7 Tape,
    // 8 HiFi, 9 CD and 10 Studio are written out as the settings LAME's
    // command line uses for those old names (Phone: mono ABR 16 kbit/s; CD:
    // ABR 192), the sample rate becoming the one LAME picks for that bitrate.
    // 11 R3Mix and 12 to 16 (standard, extreme, insane) are LAME's own presets,
    // which the conversion asks LAME for by name; the properties show what
    // they stand for (VbrMethod, VbrQuality, Mp3Bitrate) until one of those
    // is changed, which leaves the preset. Throws EAudioConvert for any other
    // number.
    void SetPreset(int32_t preset);

    int32_t VbrBitrate() const { return m_settings.VbrBitrate; }
    void SetVbrBitrate(int32_t value) { m_settings.VbrBitrate = value; }
    int16_t VbrQuality() const { return m_settings.VbrQuality; }
    void SetVbrQuality(int16_t value);
    int32_t VbrMethod() const { return m_settings.VbrMethod; }
    void SetVbrMethod(int32_t value);
    int16_t AbrBitrate() const { return m_settings.AbrBitrate; }
    void SetAbrBitrate(int16_t value) { m_settings.AbrBitrate = value; }
    int32_t ChannelMode() const { return m_settings.ChannelMode; }
    void SetChannelMode(int32_t value);
    int16_t EncoderQuality() const { return m_settings.EncoderQuality; }
    void SetEncoderQuality(int16_t value);
    bool WriteVbrHeader() const { return m_settings.WriteVbrHeader; }
    void SetWriteVbrHeader(bool value) { m_settings.WriteVbrHeader = value; }
    bool StrictMinBitrate() const { return m_settings.StrictMinBitrate; }
    void SetStrictMinBitrate(bool value) { m_settings.StrictMinBitrate = value; }
    int32_t LowPassFrequency() const { return m_settings.LowPassFrequency; }
    void SetLowPassFrequency(int32_t value) { m_settings.LowPassFrequency = value; }
    int32_t HighPassFrequency() const { return m_settings.HighPassFrequency; }
    void SetHighPassFrequency(int32_t value) { m_settings.HighPassFrequency = value; }
    int32_t LowPassWidth() const { return m_settings.LowPassWidth; }
    void SetLowPassWidth(int32_t value) { m_settings.LowPassWidth = value; }
    int32_t HighPassWidth() const { return m_settings.HighPassWidth; }
    void SetHighPassWidth(int32_t value) { m_settings.HighPassWidth = value; }
    int32_t Mp3SampleRate() const { return m_settings.Mp3SampleRate; }
    void SetMp3SampleRate(int32_t value) { m_settings.Mp3SampleRate = value; }
    int32_t Mp3Channels() const { return m_settings.Mp3Channels; }
    void SetMp3Channels(int32_t value) { m_settings.Mp3Channels = value; }
    int32_t Mp3Bitrate() const { return m_settings.Mp3Bitrate; }
    void SetMp3Bitrate(int32_t value);

    const TLameSettings &settings() const { return m_settings; }

private:
    TLameSettings m_settings;
};

} // namespace AudioConvertLib
