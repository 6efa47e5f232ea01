#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The rules behind the quality choices, as plain functions of values: what
// the quality dialog's lists and track bars stand for, which of its controls
// count, and what the window shows for a format or a quality entry. Nothing
// here sends anything; OutputQuality does.
namespace QualityRules {

// tkbBitrate positions 0 to 14 and the entries of cmbVBRbitrate, in kbit/s.
constexpr int32_t Mp3Bitrates[15]
    = {8, 16, 24, 32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};
// The entries of cmbFrequency, in Hz.
constexpr int32_t Mp3Frequencies[9] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
// tboggBitrate positions 1 to 11 and the entries of the minimum and maximum lists, in kbit/s.
constexpr int32_t OggBitrates[11] = {48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};

// The position of a value in one of the scales above; -1 when it is none of them.
int positionOf(const int32_t *scale, int count, int32_t value);
template<int N>
int positionOf(const int32_t (&scale)[N], int32_t value)
{
    return positionOf(scale, N, value);
}

// "Current bitrate: 128 kbit", the bitrate labels' text.
QString bitrateCaption(int32_t kbps);
// The bitrate lblBitrate shows for the encoder's: 0 for one the track bar lacks.
int32_t shownMp3Bitrate(int32_t kbps);

// The entry of cmbChannel that shows the encoder's channels: its channel mode
// (1 "Stereo" to 4 "Dual Channels") wins over one channel (0 "Mono"); -1
// when neither applies and the list stays as it is.
int channelEntryOf(int32_t channels, int32_t channelMode);

// What choosing an entry of cmbChannel sets in the encoder: "Mono" only the
// channel count, the stereo modes only the channel mode.
struct ChannelChoice
{
    std::optional<int32_t> channels;
    std::optional<int32_t> channelMode;
    bool operator==(const ChannelChoice &other) const
    {
        return channels == other.channels && channelMode == other.channelMode;
    }
};
ChannelChoice channelChoiceAt(int entry);

// The encoder's VbrMethod of an entry of cmbCoding: "None" -1 to "ABR" 4.
int32_t vbrMethodAt(int entry);

// Which VBR controls a coding method uses.
struct CodingControls
{
    bool vbr = false;     // cmbVBRbitrate, chkWriteVBRHeader, chkStrictly
    bool quality = false; // edtVBRquality
    bool abr = false;     // edtAbrbitrate
    bool operator==(const CodingControls &other) const
    {
        return vbr == other.vbr && quality == other.quality && abr == other.abr;
    }
};
// None without a selection (entry -1): the controls stay as they are.
std::optional<CodingControls> codingControlsAt(int entry);

// The encoder's preset number of an entry of cmbPresets ("Phone" 1 ...) and
// of cmbAltPresets ("Fast Standard" 12 ...).
int32_t presetAt(int entry);
int32_t altPresetAt(int entry);

// lbloggbitrate's text for a position of tboggBitrate; none outside 1 to 11.
std::optional<QString> oggBitrateCaption(int position);
// The nominal bitrate of tboggBitrate's position; 128 outside 1 to 11.
int32_t oggNominalAt(int position);
// The number in front of the first "kbit" of a bitrate list's text ("48 kbit"
// gives 48); 0 when there is no "kbit" or no number.
int32_t kbitOf(const QString &text);

// The state of the "ogg" page's boxes and the controls they rule. "VBR" and
// "Quality (Compression)" exclude each other: with "VBR" the three bitrates
// count, with "Quality (Compression)" only the quality track bar, with
// neither only the bitrate track bar.
struct OggControls
{
    bool vbr = false;
    bool vbrEnabled = true;
    bool quality = false;
    bool qualityEnabled = true;
    bool qualityBarEnabled = false;
    bool bitrateListsEnabled = false; // cmbMinbitarte, cmbMaxbitarte
    bool bitrateBarEnabled = true;
    bool operator==(const OggControls &other) const;
};
// After a click on "VBR" or on "Quality (Compression)" (the box already
// shows its new state in `controls`).
OggControls afterVbrClick(OggControls controls);
OggControls afterQualityClick(OggControls controls);

// The quality dialog's pages, by their position in its page container.
enum QualityPage : int { NoPage = -1, Mp3Page = 0, WavPage = 1, OggPage = 2 };

// An Ogg Vorbis preset at 44100 Hz stereo, and how the dialog's "ogg" page
// shows it: `range` puts both bitrate lists on `dialogEntry` (0 "48 kbit" to
// 10 "320 kbit") and checks "VBR", a fixed preset puts the bitrate track bar
// on `dialogEntry` (1 to 11).
struct OggPreset
{
    bool range = false;  // minimum = maximum = bitrate, else a fixed bitrate
    int32_t bitrate = 0; // kbit/s
    int dialogEntry = 0;
};

// What the window shows after a quality change; each part left unset leaves
// its control as it is.
struct QualityView
{
    // A format change: the quality list's texts and the entry selected in it.
    std::optional<QStringList> entries;
    int entry = -1;
    // Whether the "..." action opens the quality dialog.
    std::optional<bool> dialogEnabled;
    // The hint label: emptied when clearTips, then given tips when set.
    bool clearTips = false;
    std::optional<QString> tips;
    // A refusal to tell the user in an information box; nothing was sent.
    std::optional<QString> message;
    // The dialog's page for the entry (NoPage: the dialog is not shown), and
    // how its "ogg" page shows the entry's Ogg Vorbis preset.
    QualityPage dialogPage = NoPage;
    std::optional<OggPreset> oggPreset;
};

// A format chosen: its quality list on its default entry, the "..." action,
// the hint emptied for FLAC and APE, WMA's profile text; entries empty and
// entry -1 for no format.
QualityView formatView(int format);
// An entry of a format's list chosen: its dialog page and Ogg Vorbis preset,
// and WMA's profile text. What it sends is OutputQuality's.
QualityView entryView(int format, int entry);

} // namespace QualityRules
