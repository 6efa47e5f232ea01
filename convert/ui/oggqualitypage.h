#pragma once

#include "convert/qualitysettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

// The quality dialog's "ogg" page: only collects values, which save()
// returns for the window to send after OK. Window thread only.
class OggQualityPage : public QWidget
{
    Q_OBJECT

public:
    explicit OggQualityPage(QWidget *parent = nullptr);

    // The page as an Ogg Vorbis preset leaves it: 44100 Hz, stereo, and
    // either "VBR" with both bitrate lists on the preset's entry or the
    // bitrate track bar on its position.
    void load(const QualityRules::OggPreset &preset);
    OggDialogChoice save() const;

private:
    void tboggBitrateChange();
    void chkoggVBRClick();
    void chkoggQualityClick();

    QualityRules::OggControls controls() const;
    void showControls(const QualityRules::OggControls &controls);

    QComboBox *cmboggFrequency = nullptr;
    QComboBox *cmboggChannel = nullptr;
    QLabel *lbloggbitrate = nullptr;
    QSlider *tboggBitrate = nullptr;
    QCheckBox *chkoggVBR = nullptr;
    QComboBox *cmbMinbitarte = nullptr;
    QComboBox *cmbMaxbitarte = nullptr;
    QCheckBox *chkoggQuality = nullptr;
    QSlider *tboggQuality = nullptr;
};
