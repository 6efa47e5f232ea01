#pragma once

#include "convert/audioconvertclient.h"

#include <QString>

#include <cstdint>
#include <optional>

class TFLACOut;
class TMACOut;

// The scales of the quality dialog: what its lists and track bars stand for.
namespace QualityScales {

// tkbBitrate positions 0 to 14 and the entries of cmbVBRbitrate, in kbit/s.
constexpr int32_t Mp3Bitrates[15]
    = {8, 16, 24, 32, 48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};
// The entries of cmbFrequency, in Hz.
constexpr int32_t Mp3Frequencies[9] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
// tboggBitrate positions 1 to 11, in kbit/s.
constexpr int32_t OggBitrates[11] = {48, 56, 64, 96, 112, 128, 160, 192, 224, 256, 320};

// The position of a value in one of the scales above; -1 when it is none of them.
int positionOf(const int32_t *scale, int count, int32_t value);
template<int N>
int positionOf(const int32_t (&scale)[N], int32_t value)
{
    return positionOf(scale, N, value);
}

// The nominal bitrate of tboggBitrate's position; 128 outside 1 to 11.
int32_t oggNominalAt(int position);
// The number in front of the first "kbit" of a bitrate list's text ("48 kbit"
// gives 48); 0 when there is no "kbit" or no number.
int32_t kbitOf(const QString &text);

} // namespace QualityScales

// What the quality dialog's "ogg" page holds when it closes with OK.
struct OggDialogChoice
{
    QString frequency;       // the frequency list's text, "44100"
    int channelIndex = -1;   // the channel list's position: 0 "Mono", 1 "Stereo"
    int bitratePosition = 6; // the bitrate track bar, 1 to 11
    QString minimumText;     // the minimum bitrate list's text, empty without a selection
    QString maximumText;
    bool vbr = false;          // "VBR": the three bitrates count
    bool quality = false;      // "Quality (Compression)": only the quality counts
    int qualityPosition = 500; // the quality track bar, 0 to 1000
};

// What a change asks of the window.
struct QualityOutcome
{
    // false: the component refused the Ogg Vorbis settings; nothing was sent
    // and the previous format stays in force.
    bool accepted = true;
    // The hint label's new text; none leaves the label as it is.
    std::optional<QString> tips;
};

// Sends the values behind a chosen quality to where they take effect: the
// conversion component (its MP3 encoder object and its converter), the FLAC
// writer and the APE writer. Holds references only; everything it sends stays
// in force there until the next change. Window thread only.
class OutputQuality
{
public:
    // flac and mac may be null when their library is missing: their entries
    // then change nothing.
    OutputQuality(TAudioConvert &convert,
                  IAudioConvertLameMp3Encoder &encoder,
                  TFLACOut *flac,
                  TMACOut *mac);

    // Applies entry `entry` of the format's list (QualityLists::Format). An
    // entry outside the list changes nothing. WMA's hint is its profile text,
    // which the window shows on a change of the quality list only.
    QualityOutcome apply(int format, int entry);

    // MP3 entry: 44100 Hz stereo, then the entry's own values, then the
    // encoder's format to the converter. A bitrate entry also ends VBR, so
    // that the file has the bitrate the entry names.
    void applyMp3(int entry);
    // The Ogg Vorbis presets at 44100 Hz stereo: a range preset sends nominal
    // 128 with minimum and maximum `bitrate`, a fixed one nominal `bitrate`.
    // false when the component refuses it (nothing is sent).
    bool applyOggRangePreset(int32_t bitrate);
    bool applyOggFixedPreset(int32_t bitrate);

    // After OK on the dialog's "mp3" page: the encoder's format to the converter.
    QualityOutcome acceptMp3Page();
    // After OK on the dialog's "ogg" page. Raises std::invalid_argument when
    // the frequency text is not a number.
    QualityOutcome acceptOggPage(const OggDialogChoice &choice);

private:
    TAudioConvert &m_convert;
    IAudioConvertLameMp3Encoder &m_encoder;
    TFLACOut *m_flac;
    TMACOut *m_mac;
};
