#pragma once

#include "convert/qualitysettings.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;
class QStackedWidget;

// The "Quality Options" dialog behind the quality list's "..." button. Its
// "mp3" page shows the MP3 encoder object and writes every change of a
// control into it at once (Cancel does not take those back); its "ogg" page
// only collects values, which oggChoice() returns after OK. The "wav" page
// is never shown. Made for one showing; window thread only.
class TfrmQuality : public QDialog
{
    Q_OBJECT

public:
    enum Page { pgMp3 = 0, pgWav = 1, pgOgg = 2 };

    explicit TfrmQuality(QWidget *parent = nullptr);
    ~TfrmQuality() override;

    // The encoder the "mp3" page shows and writes into; the dialog shares it.
    void setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder);
    void setPage(Page page);
    Page page() const;

    // Reads the encoder into the "mp3" page (run when the dialog is shown on it).
    void LoadMp3Page();

    // The "ogg" page as an Ogg Vorbis preset leaves it: 44100 Hz, stereo, and
    // either "VBR" with both bitrate lists on `listEntry` (0 "48 kbit" to
    // 10 "320 kbit") or the bitrate track bar on `trackPosition` (1 to 11).
    void prepareOggRangePreset(int listEntry);
    void prepareOggFixedPreset(int trackPosition);
    OggDialogChoice oggChoice() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildMp3Page();
    QWidget *buildWavPage();
    QWidget *buildOggPage();
    QWidget *buildGeneralGroup();
    QWidget *buildFilterGroup(bool highPass);
    QWidget *buildVbrGroup();

    void FormShow();
    void cmbFrequencyChange();
    void cmbChannelChange();
    void tkbBitrateChange();
    void tkbEncoderChange();
    void chkHighFilterClick();
    void chkLowFilterClick();
    void edtHighfilteringChange();
    void edtHighPassChange();
    void edtLowpassChange();
    void edtLowWidthChange();
    void cmbCodingChange();
    void cmbVBRbitrateChange();
    void chkWriteVBRHeaderClick();
    void chkStrictlyClick();
    void edtVBRqualityChange();
    void edtAbrbitrateChange();
    void cmbPresetsChange();
    void cmbAltPresetsChange();
    void tboggBitrateChange();
    void chkoggVBRClick();
    void chkoggQualityClick();

    // Writes one value into the encoder, when there is one.
    template<typename Value, typename Given>
    void writeEncoder(void (IAudioConvertLameMp3Encoder::*set)(Value), Given value)
    {
        if (m_encoder)
            (m_encoder.get()->*set)(static_cast<Value>(value));
    }
    // Enables the VBR controls that the coding method's position uses.
    void enableCodingControls(int position);
    void showMp3Bitrate(int32_t kbps);

    std::shared_ptr<IAudioConvertLameMp3Encoder> m_encoder;

    QStackedWidget *Notebook = nullptr;
    // "mp3"
    QComboBox *cmbFrequency = nullptr;
    QComboBox *cmbChannel = nullptr;
    QLabel *lblBitrate = nullptr;
    QSlider *tkbBitrate = nullptr;
    QSlider *tkbEncoder = nullptr;
    QCheckBox *chkHighFilter = nullptr;
    QSpinBox *edtHighfiltering = nullptr;
    QSpinBox *edtHighPass = nullptr;
    QCheckBox *chkLowFilter = nullptr;
    QSpinBox *edtLowpass = nullptr;
    QSpinBox *edtLowWidth = nullptr;
    QComboBox *cmbCoding = nullptr;
    QComboBox *cmbVBRbitrate = nullptr;
    QCheckBox *chkWriteVBRHeader = nullptr;
    QCheckBox *chkStrictly = nullptr;
    QSpinBox *edtVBRquality = nullptr;
    QSpinBox *edtAbrbitrate = nullptr;
    QComboBox *cmbPresets = nullptr;
    QComboBox *cmbAltPresets = nullptr;
    // "ogg"
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
