#include "convert/qualitysettings.h"

#include "convert/qualitylists.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"

#include <stdexcept>

using namespace QualityLists;

namespace QualityScales {

int positionOf(const int32_t *scale, int count, int32_t value)
{
    for (int i = 0; i < count; ++i) {
        if (scale[i] == value)
            return i;
    }
    return -1;
}

int32_t oggNominalAt(int position)
{
    return position >= 1 && position <= 11 ? OggBitrates[position - 1] : 128;
}

int32_t kbitOf(const QString &text)
{
    const qsizetype at = text.indexOf(QLatin1String("kbit"));
    if (at < 0)
        return 0;
    bool ok = false;
    const int32_t value = text.left(at).trimmed().toInt(&ok);
    return ok ? value : 0;
}

} // namespace QualityScales

namespace {

constexpr int32_t OggRate = 44100;
constexpr int32_t OggChannels = 2;
constexpr int32_t RangeNominal = 128;
constexpr int16_t BitratesGovern = -1;

} // namespace

OutputQuality::OutputQuality(TAudioConvert &convert,
                             IAudioConvertLameMp3Encoder &encoder,
                             TFLACOut *flac,
                             TMACOut *mac)
    : m_convert(convert)
    , m_encoder(encoder)
    , m_flac(flac)
    , m_mac(mac)
{}

QualityOutcome OutputQuality::apply(int format, int entry)
{
    QualityOutcome outcome;
    switch (format) {
    case QualityLists::Mp3:
        if (entry < 0 || entry >= Mp3Count)
            break;
        applyMp3(entry);
        outcome.tips = m_convert.Mp3FormatDescription();
        break;
    case QualityLists::Wma:
        if (entry >= 0 && entry < WmaCount)
            m_convert.SetWmaProfile(entry + 1);
        break;
    case QualityLists::OggVorbis: {
        if (entry < 0 || entry >= OggCount)
            break;
        const OggEntry &preset = ogg(entry);
        outcome.accepted = preset.range ? applyOggRangePreset(preset.bitrate)
                                        : applyOggFixedPreset(preset.bitrate);
        if (outcome.accepted)
            outcome.tips = m_convert.OggVorbisFormatDescription();
        break;
    }
    case QualityLists::Wave:
        if (entry < 0 || entry >= WaveCount)
            break;
        m_convert.SetWaveFormat(wave(entry).sampleRate,
                                wave(entry).channels,
                                wave(entry).bitsPerSample);
        outcome.tips = m_convert.WaveFormatDescription();
        break;
    case QualityLists::Adpcm:
        if (entry < 0 || entry >= AdpcmCount)
            break;
        m_convert.SetAdpcmFormat(adpcm(entry).sampleRate, adpcm(entry).channels);
        outcome.tips = m_convert.AdpcmFormatDescription();
        break;
    case QualityLists::Flac:
        if (m_flac && entry >= 0 && entry < FlacCount)
            m_flac->SetMaxLPCOrder(uint16_t(entry));
        break;
    case QualityLists::Ape:
        if (m_mac && entry >= 0 && entry < ApeCount)
            m_mac->SetCompressionLevel(ape(entry).compressionLevel);
        break;
    default:
        break;
    }
    return outcome;
}

void OutputQuality::applyMp3(int entry)
{
    const Mp3Entry &preset = mp3(entry);
    m_encoder.SetMp3SampleRate(44100);
    m_encoder.SetMp3Channels(2);
    switch (preset.kind) {
    case Mp3Kind::Bitrate:
        m_encoder.SetMp3Bitrate(preset.value);
        // Without this a VBR or preset entry chosen before would still govern
        // the file, whatever bitrate this entry names.
        m_encoder.SetVbrMethod(AudioConvertLib::vbrNone);
        break;
    case Mp3Kind::Vbr:
        m_encoder.SetVbrMethod(AudioConvertLib::vbrNew);
        m_encoder.SetVbrQuality(int16_t(preset.value));
        m_encoder.SetVbrBitrate(128);
        break;
    case Mp3Kind::Preset:
        m_encoder.SetPreset(preset.value);
        break;
    }
    CopyEncoderFormat(m_convert, m_encoder);
}

bool OutputQuality::applyOggRangePreset(int32_t bitrate)
{
    if (!m_convert.IsOggVorbisFormatSupported(OggRate, OggChannels, RangeNominal, bitrate, bitrate))
        return false;
    m_convert
        .SetOggVorbisFormat(OggRate, OggChannels, RangeNominal, bitrate, bitrate, BitratesGovern);
    return true;
}

bool OutputQuality::applyOggFixedPreset(int32_t bitrate)
{
    if (!m_convert.IsOggVorbisFormatSupported(OggRate, OggChannels, bitrate, 0, 0))
        return false;
    m_convert.SetOggVorbisFormat(OggRate, OggChannels, bitrate, 0, 0, BitratesGovern);
    return true;
}

QualityOutcome OutputQuality::acceptMp3Page()
{
    CopyEncoderFormat(m_convert, m_encoder);
    return {true, m_convert.Mp3FormatDescription()};
}

QualityOutcome OutputQuality::acceptOggPage(const OggDialogChoice &choice)
{
    bool isNumber = false;
    const int32_t sampleRate = choice.frequency.toInt(&isNumber);
    if (!isNumber)
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid integer value").arg(choice.frequency).toStdString());
    const int32_t channels = choice.channelIndex + 1;
    const int32_t nominal = QualityScales::oggNominalAt(choice.bitratePosition);
    const int32_t minimum = QualityScales::kbitOf(choice.minimumText);
    const int32_t maximum = QualityScales::kbitOf(choice.maximumText);

    if (choice.quality) {
        // Only the quality counts. libvorbisenc takes every quality from 0 to 1
        // at each rate and channel count the dialog offers, so nothing is asked.
        m_convert.SetOggVorbisFormat(sampleRate, channels, 0, 0, 0, int16_t(choice.qualityPosition));
    } else if (choice.vbr) {
        if (!m_convert.IsOggVorbisFormatSupported(sampleRate, channels, nominal, minimum, maximum))
            return {false, std::nullopt};
        m_convert.SetOggVorbisFormat(sampleRate, channels, nominal, minimum, maximum, BitratesGovern);
    } else {
        if (!m_convert.IsOggVorbisFormatSupported(sampleRate, channels, nominal, 0, 0))
            return {false, std::nullopt};
        m_convert.SetOggVorbisFormat(sampleRate, channels, nominal, 0, 0, BitratesGovern);
    }
    // The hint says what is now in force, whichever of the three counts.
    return {true, m_convert.OggVorbisFormatDescription()};
}
