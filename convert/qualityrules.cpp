#include "convert/qualityrules.h"

#include "convert/outputformats.h"
#include "convert/qualitylists.h"
#include "libs/audioconvert/lameencoder.h"

namespace QualityRules {

int positionOf(const int32_t *scale, int count, int32_t value)
{
    for (int i = 0; i < count; ++i) {
        if (scale[i] == value)
            return i;
    }
    return -1;
}

QString bitrateCaption(int32_t kbps)
{
    return QStringLiteral("Current bitrate: %1 kbit").arg(kbps);
}

int32_t shownMp3Bitrate(int32_t kbps)
{
    return positionOf(Mp3Bitrates, kbps) >= 0 ? kbps : 0;
}

int channelEntryOf(int32_t channels, int32_t channelMode)
{
    if (channelMode >= AudioConvertLib::cmStereo && channelMode <= AudioConvertLib::cmDualChannels)
        return channelMode;
    return channels == 1 ? 0 : -1;
}

ChannelChoice channelChoiceAt(int entry)
{
    if (entry < 0)
        return {};
    if (entry == 0)
        return {1, std::nullopt};
    return {std::nullopt, entry};
}

int32_t vbrMethodAt(int entry)
{
    return entry - 1;
}

std::optional<CodingControls> codingControlsAt(int entry)
{
    if (entry < 0)
        return std::nullopt;
    const bool vbr = entry > 0;
    const bool abr = vbrMethodAt(entry) == AudioConvertLib::vbrAbr;
    return CodingControls{vbr, vbr && !abr, abr};
}

int32_t presetAt(int entry)
{
    return AudioConvertLib::mpPhone + entry;
}

int32_t altPresetAt(int entry)
{
    return AudioConvertLib::mpFastStandard + entry;
}

std::optional<QString> oggBitrateCaption(int position)
{
    if (position < 1 || position > 11)
        return std::nullopt;
    return bitrateCaption(OggBitrates[position - 1]);
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

bool OggControls::operator==(const OggControls &other) const
{
    return vbr == other.vbr && vbrEnabled == other.vbrEnabled && quality == other.quality
           && qualityEnabled == other.qualityEnabled && qualityBarEnabled == other.qualityBarEnabled
           && bitrateListsEnabled == other.bitrateListsEnabled
           && bitrateBarEnabled == other.bitrateBarEnabled;
}

OggControls afterVbrClick(OggControls controls)
{
    controls.bitrateListsEnabled = controls.vbr;
    controls.quality = false;
    controls.qualityEnabled = !controls.vbr;
    controls.qualityBarEnabled = !controls.vbr;
    return controls;
}

OggControls afterQualityClick(OggControls controls)
{
    controls.qualityBarEnabled = controls.quality;
    controls.vbrEnabled = !controls.quality;
    controls.bitrateListsEnabled = !controls.quality;
    controls.bitrateBarEnabled = !controls.quality;
    controls.vbr = false;
    return controls;
}

QualityView formatView(int format)
{
    const QStringList entries = QualityLists::texts(format);
    const int entry = entries.isEmpty() ? -1 : QualityLists::defaultEntry(format);
    QualityView view = entryView(format, entry);
    view.entries = entries;
    view.entry = entry;
    if (!entries.isEmpty())
        view.dialogEnabled = QualityLists::hasQualityDialog(format);
    view.clearTips = format == OutputFormats::Flac || format == OutputFormats::Ape;
    return view;
}

QualityView entryView(int format, int entry)
{
    QualityView view;
    switch (format) {
    case OutputFormats::Mp3:
        view.dialogPage = Mp3Page;
        break;
    case OutputFormats::Wma:
        if (entry >= 0 && entry < QualityLists::WmaCount)
            view.tips = QString::fromLatin1(QualityLists::wma(entry).profileText);
        break;
    case OutputFormats::OggVorbis:
        if (entry >= 0 && entry < QualityLists::OggCount) {
            const QualityLists::OggEntry &preset = QualityLists::ogg(entry);
            view.dialogPage = OggPage;
            view.oggPreset = OggPreset{preset.range, preset.bitrate, preset.dialogEntry};
        }
        break;
    default:
        break;
    }
    return view;
}

} // namespace QualityRules
