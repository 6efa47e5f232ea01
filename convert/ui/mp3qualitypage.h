#pragma once

#include "convert/audioconvertclient.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QSpinBox;

// The quality dialog's "mp3" page: shows the MP3 encoder object and writes
// every change of a control into it at once, so the encoder always holds
// what the page shows (Cancel does not take it back). Window thread only.
class Mp3QualityPage : public QWidget
{
    Q_OBJECT

public:
    explicit Mp3QualityPage(QWidget *parent = nullptr);

    // The encoder the page shows and writes into; the page shares it.
    void setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder);
    // Reads the encoder into the controls; nothing is written back. The
    // filter boxes and the preset lists are not loaded.
    void load();

private:
    QWidget *buildGeneralGroup();
    QWidget *buildFilterGroup(bool highPass);
    QWidget *buildVbrGroup();

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

    // Writes one value into the encoder, when there is one.
    template<typename Value, typename Given>
    void writeEncoder(void (IAudioConvertLameMp3Encoder::*set)(Value), Given value)
    {
        if (m_encoder)
            (m_encoder.get()->*set)(static_cast<Value>(value));
    }
    void enableCodingControls(int entry);
    // A preset changes several values at once; the page shows them all again.
    void applyPreset(int32_t preset);

    std::shared_ptr<IAudioConvertLameMp3Encoder> m_encoder;

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
};
