#include "convert/ui/qualitydialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <initializer_list>

using AudioConvertLib::mpFastStandard;
using QualityScales::Mp3Bitrates;
using QualityScales::Mp3Frequencies;
using QualityScales::positionOf;

namespace {

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A drop-down list of fixed entries, none selected.
QComboBox *dropDownList(const char *name, std::initializer_list<const char *> items)
{
    auto *box = named(new QComboBox, name);
    for (const char *item : items)
        box->addItem(QString::fromLatin1(item));
    box->setCurrentIndex(-1);
    return box;
}

// "8 kbit" ... "320 kbit": the bitrate lists' entries for a scale.
template<int N>
QComboBox *bitrateList(const char *name, const int32_t (&scale)[N])
{
    auto *box = named(new QComboBox, name);
    for (int32_t kbps : scale)
        box->addItem(QStringLiteral("%1 kbit").arg(kbps));
    box->setCurrentIndex(-1);
    return box;
}

QSlider *trackBar(const char *name, int minimum, int maximum, int tick, int position)
{
    auto *bar = named(new QSlider(Qt::Horizontal), name);
    bar->setRange(minimum, maximum);
    bar->setTickPosition(QSlider::TicksBelow);
    bar->setTickInterval(tick);
    bar->setSingleStep(1);
    bar->setPageStep(tick);
    bar->setValue(position);
    return bar;
}

// A track bar between its two end labels.
QWidget *betweenLabels(const char *left, QSlider *bar, const char *right)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QString::fromLatin1(left)));
    layout->addWidget(bar, 1);
    layout->addWidget(new QLabel(QString::fromLatin1(right)));
    return row;
}

QSpinBox *spinEdit(const char *name, int minimum, int maximum, int step, int value)
{
    auto *edit = named(new QSpinBox, name);
    edit->setRange(minimum, maximum);
    edit->setSingleStep(step);
    edit->setValue(value);
    return edit;
}

// A check box with its text on the left of the box.
QCheckBox *leftTextCheckBox(const char *name, const char *text)
{
    auto *box = named(new QCheckBox(QString::fromLatin1(text)), name);
    box->setLayoutDirection(Qt::RightToLeft);
    return box;
}

QLabel *label(const char *text)
{
    return new QLabel(QString::fromLatin1(text));
}

QString bitrateCaption(int32_t kbps)
{
    return QStringLiteral("Current bitrate: %1 kbit").arg(kbps);
}

} // namespace

TfrmQuality::TfrmQuality(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmQuality"));
    setWindowTitle(QStringLiteral("Quality Options"));
    setModal(true);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto *banner = named(new QLabel, "imgBanner");
    banner->setPixmap(QPixmap(QStringLiteral(":/quality/banner.jpg")));
    layout->addWidget(banner);

    Notebook = named(new QStackedWidget, "Notebook");
    Notebook->addWidget(buildMp3Page());
    Notebook->addWidget(buildWavPage());
    Notebook->addWidget(buildOggPage());
    Notebook->setCurrentIndex(pgOgg);
    layout->addWidget(Notebook);

    auto *buttons = new QDialogButtonBox;
    QPushButton *ok = named(buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole),
                            "btnOK");
    named(buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole), "btnCancel");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

TfrmQuality::~TfrmQuality() = default;

QWidget *TfrmQuality::buildMp3Page()
{
    auto *page = named(new QWidget, "mp3");
    auto *grid = new QGridLayout(page);
    grid->addWidget(buildGeneralGroup(), 0, 0);
    grid->addWidget(buildFilterGroup(true), 1, 0);
    grid->addWidget(buildFilterGroup(false), 2, 0);
    grid->addWidget(buildVbrGroup(), 0, 1, 3, 1);
    return page;
}

QWidget *TfrmQuality::buildGeneralGroup()
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

    connect(cmbFrequency, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbFrequencyChange);
    connect(cmbChannel, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbChannelChange);
    connect(tkbBitrate, &QSlider::valueChanged, this, &TfrmQuality::tkbBitrateChange);
    connect(tkbEncoder, &QSlider::valueChanged, this, &TfrmQuality::tkbEncoderChange);
    return group;
}

QWidget *TfrmQuality::buildFilterGroup(bool highPass)
{
    auto *group = new QGroupBox(highPass ? QStringLiteral("HighPass Filter")
                                         : QStringLiteral("LowPass Filter"));
    auto *form = new QFormLayout(group);
    // The spin edits start enabled although their box starts clear.
    if (highPass) {
        chkHighFilter = named(new QCheckBox(QStringLiteral("Highpass filtering")), "chkHighFilter");
        edtHighfiltering = spinEdit("edtHighfiltering", 0, 48000, 10, 30);
        edtHighPass = spinEdit("edtHighPass", 0, 48000, 10, 5);
        form->addRow(chkHighFilter);
        form->addRow(label(" frequency (in Hz):"), edtHighfiltering);
        form->addRow(label("Width of Highpass \nfilter(in Hz):"), edtHighPass);
        connect(chkHighFilter, &QCheckBox::toggled, this, &TfrmQuality::chkHighFilterClick);
        connect(edtHighfiltering,
                &QSpinBox::valueChanged,
                this,
                &TfrmQuality::edtHighfilteringChange);
        connect(edtHighPass, &QSpinBox::valueChanged, this, &TfrmQuality::edtHighPassChange);
    } else {
        chkLowFilter = named(new QCheckBox(QStringLiteral("Lowpass filtering")), "chkLowFilter");
        edtLowpass = spinEdit("edtLowpass", 0, 48000, 10, 15160);
        edtLowWidth = spinEdit("edtLowWidth", 0, 48000, 10, 750);
        form->addRow(chkLowFilter);
        form->addRow(label(" frequency (in Hz):"), edtLowpass);
        form->addRow(label("Width of Lowpass\nfilter(in Hz):"), edtLowWidth);
        connect(chkLowFilter, &QCheckBox::toggled, this, &TfrmQuality::chkLowFilterClick);
        connect(edtLowpass, &QSpinBox::valueChanged, this, &TfrmQuality::edtLowpassChange);
        connect(edtLowWidth, &QSpinBox::valueChanged, this, &TfrmQuality::edtLowWidthChange);
    }
    return group;
}

QWidget *TfrmQuality::buildVbrGroup()
{
    // "&&" shows as one ampersand.
    auto *group = new QGroupBox(QStringLiteral("VBR && Presets"));
    auto *form = new QFormLayout(group);
    cmbCoding = dropDownList("cmbCoding", {"None", "Default", "Old", "New", "MTRH", "ABR"});
    form->addRow(label("Coding Method:"), cmbCoding);
    cmbVBRbitrate = bitrateList("cmbVBRbitrate", Mp3Bitrates);
    cmbVBRbitrate->setEnabled(false);
    form->addRow(label("VBR bitrate:"), cmbVBRbitrate);
    chkWriteVBRHeader = leftTextCheckBox("chkWriteVBRHeader", "Write VBR Header  ");
    chkWriteVBRHeader->setEnabled(false);
    form->addRow(chkWriteVBRHeader);
    chkStrictly = leftTextCheckBox("chkStrictly", "Strictly enforce minimum bitrate");
    chkStrictly->setEnabled(false);
    form->addRow(chkStrictly);
    edtVBRquality = spinEdit("edtVBRquality", 0, 9, 1, 0);
    edtVBRquality->setEnabled(false);
    form->addRow(label("VBR Quality:"), edtVBRquality);
    edtAbrbitrate = spinEdit("edtAbrbitrate", 4, 320, 1, 4);
    edtAbrbitrate->setEnabled(false);
    form->addRow(label("Targed bitrate for ABR:"), edtAbrbitrate);
    cmbPresets = dropDownList(
        "cmbPresets",
        {"Phone", "SW", "AM", "FM", "Voice", "Radio", "Type", "HiFi", "CD", "Studio", "R3Mix"});
    form->addRow(label("Presets"), cmbPresets);
    cmbAltPresets = dropDownList("cmbAltPresets",
                                 {"Fast Standard", "Standard", "Fast Extreme", "Extrene", "Insane"});
    form->addRow(label("Alt-Preset"), cmbAltPresets);

    connect(cmbCoding, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbCodingChange);
    connect(cmbVBRbitrate, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbVBRbitrateChange);
    connect(chkWriteVBRHeader, &QCheckBox::toggled, this, &TfrmQuality::chkWriteVBRHeaderClick);
    connect(chkStrictly, &QCheckBox::toggled, this, &TfrmQuality::chkStrictlyClick);
    connect(edtVBRquality, &QSpinBox::valueChanged, this, &TfrmQuality::edtVBRqualityChange);
    connect(edtAbrbitrate, &QSpinBox::valueChanged, this, &TfrmQuality::edtAbrbitrateChange);
    connect(cmbPresets, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbPresetsChange);
    connect(cmbAltPresets, &QComboBox::currentIndexChanged, this, &TfrmQuality::cmbAltPresetsChange);
    return group;
}

QWidget *TfrmQuality::buildWavPage()
{
    // Never shown: the window opens the dialog for MP3 and Ogg Vorbis only.
    auto *page = named(new QWidget, "wav");
    auto *form = new QFormLayout(page);
    auto *frequency = dropDownList(
        "cmbswavFrequency",
        {"48000", "44100", "32000", "24000", "22050", "16000", "11025", "8000", "6000"});
    frequency->setCurrentIndex(7);
    auto *channels = dropDownList("cmbwavchannel", {"Mono", "Stereo"});
    channels->setCurrentIndex(0);
    auto *bits = dropDownList("cmbwavBitrate", {"8 bits", "16 bits"});
    bits->setCurrentIndex(1);
    form->addRow(label("Frequency (Hz)"), frequency);
    form->addRow(label("Channels"), channels);
    form->addRow(label("Bitrate"), bits);
    return page;
}

QWidget *TfrmQuality::buildOggPage()
{
    auto *page = named(new QWidget, "ogg");
    auto *columns = new QHBoxLayout(page);
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
    chkoggVBR = named(new QCheckBox(QStringLiteral("VBR")), "chkoggVBR");
    form->addRow(chkoggVBR);
    cmbMinbitarte = bitrateList("cmbMinbitarte", QualityScales::OggBitrates);
    cmbMinbitarte->setEnabled(false);
    form->addRow(label("Min Bitrate"), cmbMinbitarte);
    cmbMaxbitarte = bitrateList("cmbMaxbitarte", QualityScales::OggBitrates);
    cmbMaxbitarte->setEnabled(false);
    form->addRow(label("Max Bitrate"), cmbMaxbitarte);
    chkoggQuality = named(new QCheckBox(QStringLiteral("Quality (Compression)")), "chkoggQuality");
    form->addRow(chkoggQuality);
    tboggQuality = trackBar("tboggQuality", 0, 1000, 50, 500);
    tboggQuality->setEnabled(false);
    form->addRow(betweenLabels("better", tboggQuality, "faster"));

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

    connect(tboggBitrate, &QSlider::valueChanged, this, &TfrmQuality::tboggBitrateChange);
    // Clicks only: each handler clears the other box, which must not run that
    // box's handler in turn.
    connect(chkoggVBR, &QCheckBox::clicked, this, &TfrmQuality::chkoggVBRClick);
    connect(chkoggQuality, &QCheckBox::clicked, this, &TfrmQuality::chkoggQualityClick);
    return page;
}

void TfrmQuality::setEncoder(std::shared_ptr<IAudioConvertLameMp3Encoder> encoder)
{
    m_encoder = std::move(encoder);
}

void TfrmQuality::setPage(Page page)
{
    Notebook->setCurrentIndex(page);
}

TfrmQuality::Page TfrmQuality::page() const
{
    return Page(Notebook->currentIndex());
}

void TfrmQuality::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmQuality::FormShow()
{
    if (page() == pgMp3)
        LoadMp3Page();
}

void TfrmQuality::LoadMp3Page()
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
    if (encoder.Mp3Channels() == 1)
        cmbChannel->setCurrentIndex(0);
    const int32_t channelMode = encoder.ChannelMode();
    if (channelMode >= AudioConvertLib::cmStereo && channelMode <= AudioConvertLib::cmDualChannels)
        cmbChannel->setCurrentIndex(channelMode);
    const int bitrate = positionOf(Mp3Bitrates, encoder.Mp3Bitrate());
    if (bitrate >= 0)
        tkbBitrate->setValue(bitrate);
    showMp3Bitrate(bitrate >= 0 ? encoder.Mp3Bitrate() : 0);
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

void TfrmQuality::showMp3Bitrate(int32_t kbps)
{
    lblBitrate->setText(bitrateCaption(kbps));
}

void TfrmQuality::cmbFrequencyChange()
{
    const int position = cmbFrequency->currentIndex();
    if (m_encoder && position >= 0)
        m_encoder->SetMp3SampleRate(Mp3Frequencies[position]);
}

void TfrmQuality::cmbChannelChange()
{
    const int position = cmbChannel->currentIndex();
    if (!m_encoder || position < 0)
        return;
    // "Mono" sets the channel count; the stereo modes leave it as it is.
    if (position == 0)
        m_encoder->SetMp3Channels(1);
    else
        m_encoder->SetChannelMode(position);
}

void TfrmQuality::tkbBitrateChange()
{
    const int32_t kbps = Mp3Bitrates[tkbBitrate->value()];
    if (m_encoder)
        m_encoder->SetMp3Bitrate(kbps);
    showMp3Bitrate(kbps);
}

void TfrmQuality::tkbEncoderChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetEncoderQuality, tkbEncoder->value());
}

void TfrmQuality::chkHighFilterClick()
{
    edtHighfiltering->setEnabled(chkHighFilter->isChecked());
    edtHighPass->setEnabled(chkHighFilter->isChecked());
}

void TfrmQuality::chkLowFilterClick()
{
    edtLowpass->setEnabled(chkLowFilter->isChecked());
    edtLowWidth->setEnabled(chkLowFilter->isChecked());
}

void TfrmQuality::edtHighfilteringChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetHighPassFrequency, edtHighfiltering->value());
}

void TfrmQuality::edtHighPassChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetHighPassWidth, edtHighPass->value());
}

void TfrmQuality::edtLowpassChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetLowPassFrequency, edtLowpass->value());
}

void TfrmQuality::edtLowWidthChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetLowPassWidth, edtLowWidth->value());
}

void TfrmQuality::cmbCodingChange()
{
    const int position = cmbCoding->currentIndex();
    if (m_encoder && position >= 0)
        m_encoder->SetVbrMethod(position - 1);
    enableCodingControls(position);
}

void TfrmQuality::enableCodingControls(int position)
{
    if (position < 0)
        return;
    const bool vbr = position > 0;
    const bool abr = position == AudioConvertLib::vbrAbr + 1;
    cmbVBRbitrate->setEnabled(vbr);
    chkWriteVBRHeader->setEnabled(vbr);
    chkStrictly->setEnabled(vbr);
    edtVBRquality->setEnabled(vbr && !abr);
    edtAbrbitrate->setEnabled(abr);
}

void TfrmQuality::cmbVBRbitrateChange()
{
    const int position = cmbVBRbitrate->currentIndex();
    if (m_encoder && position >= 0)
        m_encoder->SetVbrBitrate(Mp3Bitrates[position]);
}

void TfrmQuality::chkWriteVBRHeaderClick()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetWriteVbrHeader, chkWriteVBRHeader->isChecked());
}

void TfrmQuality::chkStrictlyClick()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetStrictMinBitrate, chkStrictly->isChecked());
}

void TfrmQuality::edtVBRqualityChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetVbrQuality, edtVBRquality->value());
}

void TfrmQuality::edtAbrbitrateChange()
{
    writeEncoder(&IAudioConvertLameMp3Encoder::SetAbrBitrate, edtAbrbitrate->value());
}

// A preset changes several of the page's values at once, so the page shows
// the encoder again afterwards.
void TfrmQuality::cmbPresetsChange()
{
    const int position = cmbPresets->currentIndex();
    if (!m_encoder || position < 0)
        return;
    m_encoder->SetPreset(AudioConvertLib::mpPhone + position);
    LoadMp3Page();
}

void TfrmQuality::cmbAltPresetsChange()
{
    const int position = cmbAltPresets->currentIndex();
    if (!m_encoder || position < 0)
        return;
    m_encoder->SetPreset(mpFastStandard + position);
    LoadMp3Page();
}

void TfrmQuality::tboggBitrateChange()
{
    const int position = tboggBitrate->value();
    if (position >= 1 && position <= 11)
        lbloggbitrate->setText(bitrateCaption(QualityScales::OggBitrates[position - 1]));
}

void TfrmQuality::chkoggVBRClick()
{
    const bool vbr = chkoggVBR->isChecked();
    cmbMinbitarte->setEnabled(vbr);
    cmbMaxbitarte->setEnabled(vbr);
    chkoggQuality->setChecked(false);
    chkoggQuality->setEnabled(!vbr);
    tboggQuality->setEnabled(!vbr);
}

void TfrmQuality::chkoggQualityClick()
{
    const bool quality = chkoggQuality->isChecked();
    tboggQuality->setEnabled(quality);
    chkoggVBR->setEnabled(!quality);
    cmbMinbitarte->setEnabled(!quality);
    cmbMaxbitarte->setEnabled(!quality);
    tboggBitrate->setEnabled(!quality);
    chkoggVBR->setChecked(false);
}

void TfrmQuality::prepareOggRangePreset(int listEntry)
{
    cmboggFrequency->setCurrentText(QStringLiteral("44100"));
    cmboggChannel->setCurrentText(QStringLiteral("Stereo"));
    chkoggVBR->setChecked(true);
    cmbMinbitarte->setCurrentIndex(listEntry);
    cmbMaxbitarte->setCurrentIndex(listEntry);
    chkoggVBRClick();
}

void TfrmQuality::prepareOggFixedPreset(int trackPosition)
{
    cmboggFrequency->setCurrentText(QStringLiteral("44100"));
    cmboggChannel->setCurrentText(QStringLiteral("Stereo"));
    tboggBitrate->setValue(trackPosition);
}

OggDialogChoice TfrmQuality::oggChoice() const
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
