#include "convert/qualitysettings.h"

#include "convert/outputformats.h"
#include "convert/qualitylists.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"

#include <stdexcept>

using namespace QualityLists;
using QualityRules::OggPreset;

namespace {

constexpr int32_t OggRate = 44100;
constexpr int32_t OggChannels = 2;
constexpr int32_t RangeNominal = 128;
constexpr int16_t BitratesGovern = -1;

QString notSupported()
{
    return QStringLiteral("OggVorbis is not supported.");
}

QString incorrectSettings()
{
    return QStringLiteral("Incorrect OggVorbis settings, Please try again!");
}

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

OutputQuality::QualityView OutputQuality::selectFormat(int format)
{
    const QualityView lists = QualityRules::formatView(format);
    if (lists.entry < 0)
        return lists;
    QualityView view = apply(format, lists.entry);
    view.entries = lists.entries;
    view.entry = lists.entry;
    view.dialogEnabled = lists.dialogEnabled;
    view.clearTips = lists.clearTips;
    return view;
}

OutputQuality::QualityView OutputQuality::apply(int format, int entry)
{
    QualityView view = QualityRules::entryView(format, entry);
    switch (format) {
    case OutputFormats::Mp3:
        if (entry < 0 || entry >= Mp3Count)
            break;
        applyMp3(entry);
        view.tips = m_convert.Mp3FormatDescription();
        break;
    case OutputFormats::Wma:
        if (entry >= 0 && entry < WmaCount)
            m_convert.SetWmaProfile(entry + 1);
        break;
    case OutputFormats::OggVorbis:
        if (view.oggPreset) {
            const QualityView sent = applyOggPreset(*view.oggPreset);
            view.oggPreset = sent.oggPreset;
            view.tips = sent.tips;
            view.message = sent.message;
        }
        break;
    case OutputFormats::Wave:
        if (entry < 0 || entry >= WaveCount)
            break;
        m_convert.SetWaveFormat(wave(entry).sampleRate,
                                wave(entry).channels,
                                wave(entry).bitsPerSample);
        view.tips = m_convert.WaveFormatDescription();
        break;
    case OutputFormats::Adpcm:
        if (entry < 0 || entry >= AdpcmCount)
            break;
        m_convert.SetAdpcmFormat(adpcm(entry).sampleRate, adpcm(entry).channels);
        view.tips = m_convert.AdpcmFormatDescription();
        break;
    case OutputFormats::Flac:
        // libFLAC's own preset of that number, as `flac -<n>` encodes.
        if (m_flac && entry >= 0 && entry < FlacCount)
            m_flac->SetCompressionLevel(entry);
        break;
    case OutputFormats::Ape:
        if (m_mac && entry >= 0 && entry < ApeCount)
            m_mac->SetCompressionLevel(ape(entry).compressionLevel);
        break;
    case OutputFormats::Opus:
        if (entry < 0 || entry >= OpusCount)
            break;
        m_convert.SetOpusFormat(2, opus(entry).bitrate);
        view.tips = m_convert.OpusFormatDescription();
        break;
    default:
        break;
    }
    return view;
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

OutputQuality::QualityView OutputQuality::applyOggPreset(const OggPreset &preset)
{
    // A range preset keeps nominal 128 and pins minimum and maximum.
    const int32_t nominal = preset.range ? RangeNominal : preset.bitrate;
    const int32_t bound = preset.range ? preset.bitrate : 0;
    QualityView view;
    if (!m_convert.IsOggVorbisFormatSupported(OggRate, OggChannels, nominal, bound, bound)) {
        view.message = notSupported();
        return view;
    }
    m_convert.SetOggVorbisFormat(OggRate, OggChannels, nominal, bound, bound, BitratesGovern);
    view.dialogPage = QualityRules::OggPage;
    view.oggPreset = preset;
    view.tips = m_convert.OggVorbisFormatDescription();
    return view;
}

OutputQuality::QualityView OutputQuality::acceptMp3Page()
{
    CopyEncoderFormat(m_convert, m_encoder);
    QualityView view;
    view.tips = m_convert.Mp3FormatDescription();
    return view;
}

OutputQuality::QualityView OutputQuality::acceptOggPage(const OggDialogChoice &choice)
{
    bool isNumber = false;
    const int32_t sampleRate = choice.frequency.toInt(&isNumber);
    if (!isNumber)
        throw std::invalid_argument(
            QStringLiteral("'%1' is not a valid integer value").arg(choice.frequency).toStdString());
    const int32_t channels = choice.channelIndex + 1;
    const int32_t nominal = QualityRules::oggNominalAt(choice.bitratePosition);
    const int32_t minimum = QualityRules::kbitOf(choice.minimumText);
    const int32_t maximum = QualityRules::kbitOf(choice.maximumText);

    QualityView view;
    if (choice.quality) {
        // Only the quality counts. libvorbisenc takes every quality from 0 to 1
        // at each rate and channel count the dialog offers, so nothing is asked.
        m_convert.SetOggVorbisFormat(sampleRate, channels, 0, 0, 0, int16_t(choice.qualityPosition));
    } else {
        // Without "VBR" only the nominal bitrate counts.
        const int32_t low = choice.vbr ? minimum : 0;
        const int32_t high = choice.vbr ? maximum : 0;
        if (!m_convert.IsOggVorbisFormatSupported(sampleRate, channels, nominal, low, high)) {
            view.message = incorrectSettings();
            return view;
        }
        m_convert.SetOggVorbisFormat(sampleRate, channels, nominal, low, high, BitratesGovern);
    }
    // The hint says what is now in force, whichever of the three counts.
    view.tips = m_convert.OggVorbisFormatDescription();
    return view;
}
