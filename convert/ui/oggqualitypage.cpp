#include "convert/ui/oggqualitypage.h"

#include "convert/ui/qualitywidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QVBoxLayout>

using namespace QualityWidgets;

OggQualityPage::OggQualityPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ogg"));
    auto *columns = new QHBoxLayout(this);
    auto *form = new QFormLayout;
    columns->addLayout(form, 1);

    cmboggFrequency
        = dropDownList("cmboggFrequency",
                       {"8000", "11025", "16000", "22050", "24000", "32000", "44100", "48000"});
    form->addRow(label("Frequency (Hz)"), cmboggFrequency);
    cmboggChannel = dropDownList("cmboggChannel", {"Mono", "Stereo"});
    form->addRow(label("Channels"), cmboggChannel);
    lbloggbitrate = named(label("Current bitrate: 128 kbit "), "lbloggbitrate");
    form->addRow(lbloggbitrate);
    tboggBitrate = trackBar("tboggBitrate", 1, 11, 1, 6);
    form->addRow(betweenLabels("poor", tboggBitrate, "good"));
    chkoggVBR = checkBox("chkoggVBR", "VBR");
    form->addRow(chkoggVBR);
    cmbMinbitarte = bitrateList("cmbMinbitarte", QualityRules::OggBitrates);
    form->addRow(label("Min Bitrate"), cmbMinbitarte);
    cmbMaxbitarte = bitrateList("cmbMaxbitarte", QualityRules::OggBitrates);
    form->addRow(label("Max Bitrate"), cmbMaxbitarte);
    chkoggQuality = checkBox("chkoggQuality", "Quality (Compression)");
    form->addRow(chkoggQuality);
    tboggQuality = trackBar("tboggQuality", 0, 1000, 50, 500);
    // Vorbis quality rises with the bar's value: "better" sits at its high
    // end (once it sat at quality 0, the lowest).
    form->addRow(betweenLabels("faster", tboggQuality, "better"));
    showControls(QualityRules::OggControls{});

    auto *about = new QVBoxLayout;
    columns->addLayout(about);
    auto *heading = named(label("Ogg Vorbis"), "lblOggHeading");
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    about->addWidget(heading);
    auto *picture = named(new QLabel, "imgOgg");
    picture->setPixmap(QPixmap(QStringLiteral(":/quality/ogg-vorbis.jpg")));
    about->addWidget(picture);
    about->addWidget(named(label("Ogg Vorbis is a new audio compression format. \n"
                                 "It is roughly comparable to other formats used\n"
                                 "to store and play digital music, \n"
                                 "such as MP3, VQF, AAC, and other digital \n"
                                 "audio formats. It is different from these other \n"
                                 "formats because it is completely free, open, \n"
                                 "and unpatented."),
                           "lblOggAbout"));
    about->addStretch(1);

    connect(tboggBitrate, &QSlider::valueChanged, this, &OggQualityPage::tboggBitrateChange);
    // Clicks only: each handler clears the other box, which must not run that
    // box's handler in turn.
    connect(chkoggVBR, &QCheckBox::clicked, this, &OggQualityPage::chkoggVBRClick);
    connect(chkoggQuality, &QCheckBox::clicked, this, &OggQualityPage::chkoggQualityClick);
}

void OggQualityPage::load(const QualityRules::OggPreset &preset)
{
    cmboggFrequency->setCurrentText(QStringLiteral("44100"));
    cmboggChannel->setCurrentText(QStringLiteral("Stereo"));
    if (preset.range) {
        chkoggVBR->setChecked(true);
        cmbMinbitarte->setCurrentIndex(preset.dialogEntry);
        cmbMaxbitarte->setCurrentIndex(preset.dialogEntry);
        chkoggVBRClick();
    } else {
        tboggBitrate->setValue(preset.dialogEntry);
    }
}

OggDialogChoice OggQualityPage::save() const
{
    OggDialogChoice choice;
    choice.frequency = cmboggFrequency->currentText();
    choice.channelIndex = cmboggChannel->currentIndex();
    choice.bitratePosition = tboggBitrate->value();
    choice.minimumText = cmbMinbitarte->currentText();
    choice.maximumText = cmbMaxbitarte->currentText();
    choice.vbr = chkoggVBR->isChecked();
    choice.quality = chkoggQuality->isChecked();
    choice.qualityPosition = tboggQuality->value();
    return choice;
}

void OggQualityPage::tboggBitrateChange()
{
    if (const std::optional<QString> caption = QualityRules::oggBitrateCaption(
            tboggBitrate->value()))
        lbloggbitrate->setText(*caption);
}

void OggQualityPage::chkoggVBRClick()
{
    showControls(QualityRules::afterVbrClick(controls()));
}

void OggQualityPage::chkoggQualityClick()
{
    showControls(QualityRules::afterQualityClick(controls()));
}

QualityRules::OggControls OggQualityPage::controls() const
{
    QualityRules::OggControls state;
    state.vbr = chkoggVBR->isChecked();
    state.vbrEnabled = chkoggVBR->isEnabledTo(this);
    state.quality = chkoggQuality->isChecked();
    state.qualityEnabled = chkoggQuality->isEnabledTo(this);
    state.qualityBarEnabled = tboggQuality->isEnabledTo(this);
    state.bitrateListsEnabled = cmbMinbitarte->isEnabledTo(this);
    state.bitrateBarEnabled = tboggBitrate->isEnabledTo(this);
    return state;
}

void OggQualityPage::showControls(const QualityRules::OggControls &state)
{
    chkoggVBR->setChecked(state.vbr);
    chkoggVBR->setEnabled(state.vbrEnabled);
    chkoggQuality->setChecked(state.quality);
    chkoggQuality->setEnabled(state.qualityEnabled);
    tboggQuality->setEnabled(state.qualityBarEnabled);
    cmbMinbitarte->setEnabled(state.bitrateListsEnabled);
    cmbMaxbitarte->setEnabled(state.bitrateListsEnabled);
    tboggBitrate->setEnabled(state.bitrateBarEnabled);
}
