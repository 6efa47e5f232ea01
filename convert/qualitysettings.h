#pragma once

#include "convert/audioconvertclient.h"
#include "convert/qualityrules.h"

#include <QString>

#include <cstdint>

class TFLACOut;
class TMACOut;

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

// Sends the values behind a chosen quality to where they take effect: the
// conversion component (its MP3 encoder object and its converter), the FLAC
// writer and the APE writer, and says what the window shows for it. Holds
// references only; everything it sends stays in force there until the next
// change. Window thread only.
class OutputQuality
{
public:
    using QualityView = QualityRules::QualityView;

    // flac and mac may be null when their library is missing: their entries
    // then change nothing.
    OutputQuality(TAudioConvert &convert,
                  IAudioConvertLameMp3Encoder &encoder,
                  TFLACOut *flac,
                  TMACOut *mac);

    // The format list changed: the format's quality list on its default
    // entry, which is applied.
    QualityView selectFormat(int format);
    // Applies entry `entry` of the format's list (an OutputFormats index); an
    // entry outside the list sends nothing. The hint is the component's
    // description of what is now in force, WMA's the profile text.
    QualityView apply(int format, int entry);
    // Sends an Ogg Vorbis preset. When the component refuses it, nothing is
    // sent and the view holds the message instead of the dialog's preset.
    QualityView applyOggPreset(const QualityRules::OggPreset &preset);

    // After OK on the dialog's "mp3" page: the encoder's format to the converter.
    QualityView acceptMp3Page();
    // After OK on the dialog's "ogg" page; a refusal's message belongs to the
    // dialog. Raises std::invalid_argument when the frequency text is not a
    // number.
    QualityView acceptOggPage(const OggDialogChoice &choice);

private:
    // 44100 Hz stereo, then the entry's own values, then the encoder's format
    // to the converter.
    void applyMp3(int entry);

    TAudioConvert &m_convert;
    IAudioConvertLameMp3Encoder &m_encoder;
    TFLACOut *m_flac;
    TMACOut *m_mac;
};
