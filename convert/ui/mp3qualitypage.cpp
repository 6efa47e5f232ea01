#include "convert/ui/mp3qualitypage.h"

#include "convert/qualityrules.h"
#include "convert/ui/qualitywidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

using namespace QualityWidgets;
using QualityRules::Mp3Bitrates;
using QualityRules::Mp3Frequencies;
using QualityRules::positionOf;

Mp3QualityPage::Mp3QualityPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("mp3"));
    auto *grid = new QGridLayout(this);
    grid->addWidget(buildGeneralGroup(), 0, 0);
    grid->addWidget(buildFilterGroup(true), 1, 0);
    grid->addWidget(buildFilterGroup(false), 2, 0);
    grid->addWidget(buildVbrGroup(), 0, 1, 3, 1);
}

QWidget *Mp3QualityPage::buildGeneralGroup()
{
    auto *group = new QGroupBox(QStringLiteral("General"));
    auto *form = new QFormLayout(group);
    cmbFrequency = dropDownList("cmbFrequency",
                                {"  8 000 Hz",
                                 "11 025 Hz",
                                 "12 000 Hz ",
                                 "16 000 Hz",
                                 "22 050 Hz",
                                 "24 000 Hz",
                                 "32 000 Hz",
                                 "44 100 Hz",
                                 "48 000 Hz"});
    form->addRow(label("Sampling Frequency"), cmbFrequency);
    cmbChannel
        = dropDownList("cmbChannel",
                       {"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"});
    form->addRow(label("Channels Mode"), cmbChannel);
    lblBitrate = named(label("Current bitrate: 128 kbit "), "lblBitrate");
    form->addRow(lblBitrate);
    tkbBitrate = trackBar("tkbBitrate", 0, 14, 1, 9);
    form->addRow(betweenLabels("poor", tkbBitrate, "good"));
    tkbEncoder = trackBar("tkbEncoder", 0, 9, 1, 6);
    form->addRow(label("Encoder Quality"));
    form->addRow(betweenLabels("better", tkbEncoder, "faster"));

    connect(cmbFrequency,
            &QComboBox::currentIndexChanged,
            this,
            &Mp3QualityPage::cmbFrequencyChange);
    connect(cmbChannel, &QComboBox::currentIndexChanged, this, &Mp3QualityPage::cmbChannelChange);
    connect(tkbBitrate, &QSlider::valueChanged, this, &Mp3QualityPage::tkbBitrateChange);
    connect(tkbEncoder, &QSlider::valueChanged, this, &Mp3QualityPage::tkbEncoderChange);
    return group;
}

QWidget *Mp3QualityPage::buildFilterGroup(bool highPass)
{
    auto *group = new QGroupBox(highPass ? QStringLiteral("HighPass Filter")
                                         : QStringLiteral("LowPass Filter"));
    auto *form = new QFormLayout(group);
    // The spin edits start enabled although their box starts clear.
    if (highPass) {
        chkHighFilter = checkBox("chkHighFilter", "Highpass filtering");
        edtHighfiltering = spinEdit("edtHighfiltering", 0, 48000, 10, 30);
        edtHighPass = spinEdit("edtHighPass", 0, 48000, 10, 5);
        form->addRow(chkHighFilter);
        form->addRow(label(" frequency (in Hz):"), edtHighfiltering);
        form->addRow(label("Width of Highpass \nfilter(in Hz):"), edtHighPass);
        connect(chkHighFilter, &QCheckBox::toggled, this, &Mp3QualityPage::chkHighFilterClick);
        connect(edtHighfiltering,
                &QSpinBox::valueChanged,
                this,
                &Mp3QualityPage::edtHighfilteringChange);
        connect(edtHighPass, &QSpinBox::valueChanged, this, &Mp3QualityPage::edtHighPassChange);
    } else {
        chkLowFilter = checkBox("chkLowFilter", "Lowpass filtering");
        edtLowpass = spinEdit("edtLowpass", 0, 48000, 10, 15160);
        edtLowWidth = spinEdit("edtLowWidth", 0, 48000, 10, 750);
        form->addRow(chkLowFilter);
        form->addRow(label(" frequency (in Hz):"), edtLowpass);
        form->addRow(label("Width of Lowpass\nfilter(in Hz):"), edtLowWidth);
        connect(chkLowFilter, &QCheckBox::toggled, this, &Mp3QualityPage::chkLowFilterClick);
        connect(edtLowpass, &QSpinBox::valueChanged, this, &Mp3QualityPage::edtLowpassChange);
        connect(edtLowWidth, &QSpinBox::valueChanged, this, &Mp3QualityPage::edtLowWidthChange);
    }
    return group;
}

QWidget *Mp3QualityPage::buildVbrGroup()
{
    // "&&" shows as one ampersand.
    auto *group = new QGroupBox(QStringLiteral("VBR && Presets"));
    auto *form = new QFormLayout(group);
    cmbCoding = dropDownList("cmbCoding", {"None", "Default", "Old", "New", "MTRH", "ABR"});
    form->addRow(label("Coding Method:"), cmbCoding);
    cmbVBRbitrate = bitrateList("cmbVBRbitrate", Mp3Bitrates);
    form->addRow(label("VBR bitrate:"), cmbVBRbitrate);
    chkWriteVBRHeader = leftTextCheckBox("chkWriteVBRHeader", "Write VBR Header  ");
    form->addRow(chkWriteVBRHeader);
    chkStrictly = leftTextCheckBox("chkStrictly", "Strictly enforce minimum bitrate");
    form->addRow(chkStrictly);
    edtVBRquality = spinEdit("edtVBRquality", 0, 9, 1, 0);
    form->addRow(label("VBR Quality:"), edtVBRquality);
    edtAbrbitrate = spinEdit("edtAbrbitrate", 4, 320, 1, 4);
    form->addRow(label("Targed bitrate for ABR:"), edtAbrbitrate);
    // They start as "None" leaves them, although no coding method is selected.
    enableCodingControls(0);
    cmbPresets = dropDownList(
        "cmbPresets",
        {"Phone", "SW", "AM", "FM", "Voice", "Radio", "Type", "HiFi", "CD", "Studio", "R3Mix"});
    form->addRow(label("Presets"), cmbPresets);
    cmbAltPresets = dropDownList("cmbAltPresets",
                                 {"Fast Standard", "Standard", "Fast Extreme", "Extrene", "Insane"});
    form->addRow(label("Alt-Preset"), cmbAltPresets);

    connect(cmbCoding, &QComboBox::currentIndexChanged, this, &Mp3QualityPage::cmbCodingChange);
    connect(cmbVBRbitrate,
            &QComboBox::currentIndexChanged,
            this,
            &Mp3QualityPage::cmbVBRbitrateChange);
    connect(chkWriteVBRHeader, &QCheckBox::toggled, this, &Mp3QualityPage::chkWriteVBRHeaderClick);
    connect(chkStrictly, &QCheckBox::toggled, this, &Mp3QualityPage::chkStrictlyClick);
    connect(edtVBRquality, &QSpinBox::valueChanged, this, &Mp3QualityPage::edtVBRqualityChange);
    connect(edtAbrbitrate, &QSpinBox::valueChanged, this, &Mp3QualityPage::edtAbrbitrateChange);
    connect(cmbPresets, &QComboBox::currentIndexChanged, this, &Mp3QualityPage::cmbPresetsChange);
    connect(cmbAltPresets,
            &QComboBox::currentIndexChanged,
            this,
            &Mp3QualityPage::cmbAltPresetsChange);
    return group;
}

void Mp3QualityPage::setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder)
{
    m_encoder = std::move(encoder);
}

void Mp3QualityPage::load()
{
    if (!m_encoder)
        return;
    const IAudioConvertLameMp3Encoder &encoder = *m_encoder;
    // Loading only shows the encoder's values; nothing is written back.
    const QSignalBlocker blockers[] = {QSignalBlocker(cmbFrequency),
                                       QSignalBlocker(cmbChannel),
                                       QSignalBlocker(tkbBitrate),
                                       QSignalBlocker(tkbEncoder),
                                       QSignalBlocker(edtHighfiltering),
                                       QSignalBlocker(edtHighPass),
                                       QSignalBlocker(edtLowpass),
                                       QSignalBlocker(edtLowWidth),
                                       QSignalBlocker(cmbCoding),
                                       QSignalBlocker(cmbVBRbitrate),
                                       QSignalBlocker(chkWriteVBRHeader),
                                       QSignalBlocker(chkStrictly),
                                       QSignalBlocker(edtVBRquality),
                                       QSignalBlocker(edtAbrbitrate)};

    const int frequency = positionOf(Mp3Frequencies, encoder.Mp3SampleRate());
    if (frequency >= 0)
        cmbFrequency->setCurrentIndex(frequency);
    const int channel = QualityRules::channelEntryOf(encoder.Mp3Channels(), encoder.ChannelMode());
    if (channel >= 0)
        cmbChannel->setCurrentIndex(channel);
    const int bitrate = positionOf(Mp3Bitrates, encoder.Mp3Bitrate());
    if (bitrate >= 0)
        tkbBitrate->setValue(bitrate);
    lblBitrate->setText(
        QualityRules::bitrateCaption(QualityRules::shownMp3Bitrate(encoder.Mp3Bitrate())));
    tkbEncoder->setValue(encoder.EncoderQuality());
    edtHighfiltering->setValue(encoder.HighPassFrequency());
    edtHighPass->setValue(encoder.HighPassWidth());
    edtLowpass->setValue(encoder.LowPassFrequency());
    edtLowWidth->setValue(encoder.LowPassWidth());
    cmbCoding->setCurrentIndex(encoder.VbrMethod() + 1);
    enableCodingControls(cmbCoding->currentIndex());
    const int vbrBitrate = positionOf(Mp3Bitrates, encoder.VbrBitrate());
    if (vbrBitrate >= 0)
        cmbVBRbitrate->setCurrentIndex(vbrBitrate);
    chkWriteVBRHeader->setChecked(encoder.WriteVbrHeader());
    chkStrictly->setChecked(encoder.StrictMinBitrate());
    edtVBRquality->setValue(encoder.VbrQuality());
    edtAbrbitrate->setValue(encoder.AbrBitrate());
}

void Mp3QualityPage::cmbFrequencyChange()
{
    const int entry = cmbFrequency->currentIndex();
    if (entry >= 0)
        writeEncoder(&IAudioConvertLameMp3Encoder::SetMp3SampleRate, Mp3Frequencies[entry]);
}

void Mp3QualityPage::cmbChannelChange()
{
    const QualityRules::ChannelChoice choice = QualityRules::channelChoiceAt(
        cmbChannel->currentIndex());
    if (choice.channels)
        writeEncoder(&IAudioConvertLameMp3Encoder::SetMp3Channels, *choice.channels);
    if (choice.channelMode)
        writeEncoder(&IAudioConvertLameMp3Encoder::SetChannelMode, *choice.channelMode);
}

void Mp3QualityPage::tkbBitrateChange()
{
    const int32_t kbps = Mp3Bitrates[tkbBitrate->value()];
    writeEncoder(&IAudioConvertLameMp3Encoder::SetMp3Bitrate, kbps);
    lblBitrate->setText(QualityRules::bitrateCaption(kbps));
}

void Mp3QualityPage::tkbEncoderChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetEncoderQuality, tkbEncoder->value());
}

void Mp3QualityPage::chkHighFilterClick()
{
    edtHighfiltering->setEnabled(chkHighFilter->isChecked());
    edtHighPass->setEnabled(chkHighFilter->isChecked());
}

void Mp3QualityPage::chkLowFilterClick()
{
    edtLowpass->setEnabled(chkLowFilter->isChecked());
    edtLowWidth->setEnabled(chkLowFilter->isChecked());
}

void Mp3QualityPage::edtHighfilteringChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetHighPassFrequency, edtHighfiltering->value());
}

void Mp3QualityPage::edtHighPassChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetHighPassWidth, edtHighPass->value());
}

void Mp3QualityPage::edtLowpassChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetLowPassFrequency, edtLowpass->value());
}

void Mp3QualityPage::edtLowWidthChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetLowPassWidth, edtLowWidth->value());
}

void Mp3QualityPage::cmbCodingChange()
{
    const int entry = cmbCoding->currentIndex();
    if (entry >= 0)
        writeEncoder(&IAudioConvertLameMp3Encoder::SetVbrMethod, QualityRules::vbrMethodAt(entry));
    enableCodingControls(entry);
}

void Mp3QualityPage::enableCodingControls(int entry)
{
    const std::optional<QualityRules::CodingControls> controls = QualityRules::codingControlsAt(
        entry);
    if (!controls)
        return;
    cmbVBRbitrate->setEnabled(controls->vbr);
    chkWriteVBRHeader->setEnabled(controls->vbr);
    chkStrictly->setEnabled(controls->vbr);
    edtVBRquality->setEnabled(controls->quality);
    edtAbrbitrate->setEnabled(controls->abr);
}

void Mp3QualityPage::cmbVBRbitrateChange()
{
    const int entry = cmbVBRbitrate->currentIndex();
    if (entry >= 0)
        writeEncoder(&IAudioConvertLameMp3Encoder::SetVbrBitrate, Mp3Bitrates[entry]);
}

void Mp3QualityPage::chkWriteVBRHeaderClick()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetWriteVbrHeader, chkWriteVBRHeader->isChecked());
}

void Mp3QualityPage::chkStrictlyClick()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetStrictMinBitrate, chkStrictly->isChecked());
}

void Mp3QualityPage::edtVBRqualityChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetVbrQuality, edtVBRquality->value());
}

void Mp3QualityPage::edtAbrbitrateChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetAbrBitrate, edtAbrbitrate->value());
}

void Mp3QualityPage::cmbPresetsChange()
{
    const int entry = cmbPresets->currentIndex();
    if (entry >= 0)
        applyPreset(QualityRules::presetAt(entry));
}

void Mp3QualityPage::cmbAltPresetsChange()
{
    const int entry = cmbAltPresets->currentIndex();
    if (entry >= 0)
        applyPreset(QualityRules::altPresetAt(entry));
}

void Mp3QualityPage::applyPreset(int32_t preset)
{
    if (!m_encoder)
        return;
    m_encoder->SetPreset(preset);
    load();
}
