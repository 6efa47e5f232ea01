#include "convert/ui/qualitydialog.h"
#include "tests/support/namedchild.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

#include <tuple>

using namespace AudioConvertLib;
using TestSupport::child;

namespace {

bool hasLabel(const QWidget &dialog, const QString &text)
{
    const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
    return std::any_of(labels.begin(), labels.end(), [&](QLabel *l) { return l->text() == text; });
}

bool sameSettings(const TLameSettings &a, const TLameSettings &b)
{
    return a.VbrBitrate == b.VbrBitrate && a.VbrQuality == b.VbrQuality
           && a.VbrMethod == b.VbrMethod && a.AbrBitrate == b.AbrBitrate
           && a.ChannelMode == b.ChannelMode && a.EncoderQuality == b.EncoderQuality
           && a.WriteVbrHeader == b.WriteVbrHeader && a.StrictMinBitrate == b.StrictMinBitrate
           && a.LowPassFrequency == b.LowPassFrequency && a.HighPassFrequency == b.HighPassFrequency
           && a.LowPassWidth == b.LowPassWidth && a.HighPassWidth == b.HighPassWidth
           && a.Mp3SampleRate == b.Mp3SampleRate && a.Mp3Channels == b.Mp3Channels
           && a.Mp3Bitrate == b.Mp3Bitrate && a.LamePreset == b.LamePreset;
}

} // namespace

class tst_QualityDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void window();
    void lists_data();
    void lists();
    void numberControls_data();
    void numberControls();
    void betterEndOfTheBars_data();
    void betterEndOfTheBars();
    void checkBoxes_data();
    void checkBoxes();
    void texts_data();
    void texts();
    void loadMp3Page_data();
    void loadMp3Page();
    void loadingWritesNothing();
    void unknownBitrateShowsZero();
    void mp3HandlersWriteAtOnce();
    void filterBoxesOnlyEnable();
    void presetsReloadThePage_data();
    void presetsReloadThePage();
    void vbrAndQualityExcludeEachOther();
    void oggPresetsPrepareThePage();
    void showingLoadsTheMp3PageOnly();

private:
    std::unique_ptr<TfrmQuality> m_dialog;
    std::shared_ptr<IAudioConvertLameMp3Encoder> m_encoder;
    template<typename Widget>
    Widget *get(const char *name)
    {
        return child<Widget>(m_dialog.get(), QLatin1String(name));
    }
};

void tst_QualityDialog::init()
{
    m_encoder = std::make_shared<IAudioConvertLameMp3Encoder>();
    m_dialog = std::make_unique<TfrmQuality>();
    m_dialog->setEncoder(m_encoder);
}

void tst_QualityDialog::cleanup()
{
    m_dialog.reset();
    m_encoder.reset();
}

void tst_QualityDialog::window()
{
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Quality Options"));
    auto *notebook = get<QStackedWidget>("Notebook");
    QVERIFY(notebook);
    QCOMPARE(notebook->count(), 3);
    QCOMPARE(notebook->widget(0)->objectName(), QStringLiteral("mp3"));
    QCOMPARE(notebook->widget(1)->objectName(), QStringLiteral("wav"));
    QCOMPARE(notebook->widget(2)->objectName(), QStringLiteral("ogg"));
    QCOMPARE(notebook->currentIndex(), 2);
    QCOMPARE(m_dialog->page(), TfrmQuality::pgOgg);
    auto *ok = get<QPushButton>("btnOK");
    auto *cancel = get<QPushButton>("btnCancel");
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), QStringLiteral("&OK"));
    QCOMPARE(cancel->text(), QStringLiteral("&Cancel"));
    QVERIFY(ok->isDefault());
    QStringList groups;
    for (QGroupBox *group : m_dialog->findChildren<QGroupBox *>())
        groups.append(group->title());
    QCOMPARE(groups,
             (QStringList{"General", "HighPass Filter", "LowPass Filter", "VBR && Presets"}));
    QCOMPARE(get<QLabel>("lblBitrate")->text(), QStringLiteral("Current bitrate: 128 kbit "));
    QCOMPARE(get<QLabel>("lbloggbitrate")->text(), QStringLiteral("Current bitrate: 128 kbit "));
    m_dialog->setPage(TfrmQuality::pgMp3);
    QCOMPARE(notebook->currentIndex(), 0);
}

void tst_QualityDialog::lists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("enabled");
    // clang-format off
    const QStringList vbrBitrates{"8 kbit", "16 kbit", "24 kbit", "32 kbit", "48 kbit", "56 kbit",
        "64 kbit", "96 kbit", "112 kbit", "128 kbit", "160 kbit", "192 kbit", "224 kbit",
        "256 kbit", "320 kbit"};
    const QStringList oggBitrates = vbrBitrates.mid(4); // "48 kbit" to "320 kbit"
    const QList<std::tuple<const char *, QStringList, int, bool>> rows = {
        {"cmbFrequency", {"  8 000 Hz", "11 025 Hz", "12 000 Hz ", "16 000 Hz", "22 050 Hz",
                          "24 000 Hz", "32 000 Hz", "44 100 Hz", "48 000 Hz"}, -1, true},
        {"cmbChannel", {"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo", "Dual Channels"},
         -1, true},
        {"cmbCoding", {"None", "Default", "Old", "New", "MTRH", "ABR"}, -1, true},
        {"cmbVBRbitrate", vbrBitrates, -1, false},
        {"cmbPresets", {"Phone", "SW", "AM", "FM", "Voice", "Radio", "Type", "HiFi", "CD",
                        "Studio", "R3Mix"}, -1, true},
        {"cmbAltPresets", {"Fast Standard", "Standard", "Fast Extreme", "Extrene", "Insane"}, -1,
         true},
        {"cmbswavFrequency", {"48000", "44100", "32000", "24000", "22050", "16000", "11025",
                              "8000", "6000"}, 7, true},
        {"cmbwavchannel", {"Mono", "Stereo"}, 0, true},
        {"cmbwavBitrate", {"8 bits", "16 bits"}, 1, true},
        {"cmboggFrequency", {"8000", "11025", "16000", "22050", "24000", "32000", "44100",
                             "48000"}, -1, true},
        {"cmboggChannel", {"Mono", "Stereo"}, -1, true},
        {"cmbMinbitarte", oggBitrates, -1, false},
        {"cmbMaxbitarte", oggBitrates, -1, false},
    };
    // clang-format on
    for (const auto &[name, items, selected, enabled] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << items << selected << enabled;
}

void tst_QualityDialog::lists()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(int, selected);
    QFETCH(bool, enabled);
    auto *list = child<QComboBox>(m_dialog.get(), name);
    QVERIFY(list);
    QVERIFY(!list->isEditable());
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->itemText(i));
    QCOMPARE(texts, items);
    QCOMPARE(list->currentIndex(), selected);
    QCOMPARE(list->isEnabled(), enabled);
}

void tst_QualityDialog::numberControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("step"); // a track bar's tick interval, a spin edit's step
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("tkbBitrate") << "tkbBitrate" << 0 << 14 << 1 << 9 << true;
    QTest::newRow("tkbEncoder") << "tkbEncoder" << 0 << 9 << 1 << 6 << true;
    QTest::newRow("tboggBitrate") << "tboggBitrate" << 1 << 11 << 1 << 6 << true;
    QTest::newRow("tboggQuality") << "tboggQuality" << 0 << 1000 << 50 << 500 << false;
    // The filter edits start enabled although their boxes start clear.
    QTest::newRow("edtHighfiltering") << "edtHighfiltering" << 0 << 48000 << 10 << 30 << true;
    QTest::newRow("edtHighPass") << "edtHighPass" << 0 << 48000 << 10 << 5 << true;
    QTest::newRow("edtLowpass") << "edtLowpass" << 0 << 48000 << 10 << 15160 << true;
    QTest::newRow("edtLowWidth") << "edtLowWidth" << 0 << 48000 << 10 << 750 << true;
    QTest::newRow("edtVBRquality") << "edtVBRquality" << 0 << 9 << 1 << 0 << false;
    QTest::newRow("edtAbrbitrate") << "edtAbrbitrate" << 4 << 320 << 1 << 4 << false;
}

void tst_QualityDialog::numberControls()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, step);
    QFETCH(int, value);
    QFETCH(bool, enabled);
    QWidget *control = m_dialog->findChild<QWidget *>(name);
    QVERIFY(control);
    if (auto *bar = qobject_cast<QSlider *>(control)) {
        QVERIFY(bar->tickPosition() != QSlider::NoTicks);
        QCOMPARE((QList<int>{bar->minimum(), bar->maximum(), bar->tickInterval(), bar->value()}),
                 (QList<int>{minimum, maximum, step, value}));
    } else {
        auto *edit = qobject_cast<QSpinBox *>(control);
        QVERIFY(edit);
        QCOMPARE((QList<int>{edit->minimum(), edit->maximum(), edit->singleStep(), edit->value()}),
                 (QList<int>{minimum, maximum, step, value}));
    }
    QCOMPARE(control->isEnabled(), enabled);
}

void tst_QualityDialog::betterEndOfTheBars_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("better"); // the value at the end labelled "better"
    QTest::newRow("tkbEncoder, LAME's quality 0") << "tkbEncoder" << 0;
    // Once the end labelled "better" gave Vorbis quality 0, the lowest.
    QTest::newRow("tboggQuality, Vorbis quality 10") << "tboggQuality" << 1000;
}

void tst_QualityDialog::betterEndOfTheBars()
{
    QFETCH(QString, name);
    QFETCH(int, better);
    auto *bar = m_dialog->findChild<QSlider *>(name);
    QVERIFY(bar);
    auto *row = qobject_cast<QBoxLayout *>(bar->parentWidget()->layout());
    QVERIFY(row);
    int labelAt = -1;
    for (int i = 0; i < row->count(); ++i) {
        const auto *label = qobject_cast<QLabel *>(row->itemAt(i)->widget());
        if (label && label->text() == QLatin1String("better"))
            labelAt = i;
    }
    QVERIFY(labelAt >= 0);
    const bool atMinimum = (labelAt < row->indexOf(bar)) != bar->invertedAppearance();
    QCOMPARE(atMinimum ? bar->minimum() : bar->maximum(), better);
}

void tst_QualityDialog::checkBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("textOnTheLeft");
    QTest::newRow("chkHighFilter") << "chkHighFilter"
                                   << "Highpass filtering" << true << false;
    QTest::newRow("chkLowFilter") << "chkLowFilter"
                                  << "Lowpass filtering" << true << false;
    QTest::newRow("chkWriteVBRHeader") << "chkWriteVBRHeader"
                                       << "Write VBR Header  " << false << true;
    QTest::newRow("chkStrictly") << "chkStrictly"
                                 << "Strictly enforce minimum bitrate" << false << true;
    QTest::newRow("chkoggVBR") << "chkoggVBR"
                               << "VBR" << true << false;
    QTest::newRow("chkoggQuality") << "chkoggQuality"
                                   << "Quality (Compression)" << true << false;
}

void tst_QualityDialog::checkBoxes()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, textOnTheLeft);
    auto *box = child<QCheckBox>(m_dialog.get(), name);
    QVERIFY(box);
    QCOMPARE(box->text(), text);
    QVERIFY(!box->isChecked());
    QCOMPARE(box->isEnabled(), enabled);
    QCOMPARE(box->layoutDirection() == Qt::RightToLeft, textOnTheLeft);
}

void tst_QualityDialog::texts_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"Sampling Frequency",
                             "Channels Mode",
                             "Current bitrate: 128 kbit ",
                             "poor",
                             "good",
                             "Encoder Quality",
                             "better",
                             "faster",
                             " frequency (in Hz):",
                             "Width of Highpass \nfilter(in Hz):",
                             "Width of Lowpass\nfilter(in Hz):",
                             "Coding Method:",
                             "VBR bitrate:",
                             "VBR Quality:",
                             "Targed bitrate for ABR:",
                             "Presets",
                             "Alt-Preset",
                             "Frequency (Hz)",
                             "Channels",
                             "Bitrate",
                             "Min Bitrate",
                             "Max Bitrate",
                             "Ogg Vorbis",
                             "Ogg Vorbis is a new audio compression format. \n"
                             "It is roughly comparable to other formats used\n"
                             "to store and play digital music, \n"
                             "such as MP3, VQF, AAC, and other digital \n"
                             "audio formats. It is different from these other \n"
                             "formats because it is completely free, open, \n"
                             "and unpatented."})
        QTest::newRow(QString::fromLatin1(text).section(QLatin1Char('\n'), 0, 0).toLatin1())
            << QString::fromLatin1(text);
}

void tst_QualityDialog::texts()
{
    QFETCH(QString, text);
    QVERIFY(hasLabel(*m_dialog, text));
}

void tst_QualityDialog::loadMp3Page_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("channelMode");
    QTest::addColumn<int>("vbrMethod");
    QTest::addColumn<int>("vbrBitrate");
    QTest::addColumn<int>("frequencyEntry");
    QTest::addColumn<int>("channelEntry");
    QTest::addColumn<int>("vbrBitrateEntry");
    QTest::newRow("44100 joint stereo, CBR") << 44100 << 2 << 2 << -1 << 128 << 7 << 2 << 9;
    QTest::newRow("12000 forced joint, ABR") << 12000 << 2 << 3 << 4 << 320 << 2 << 3 << 14;
    // The channel mode replaces "Mono": one channel in stereo mode shows "Stereo".
    QTest::newRow("mono, stereo mode") << 48000 << 1 << 1 << 0 << 8 << 8 << 1 << 0;
    QTest::newRow("rates off the lists") << 11000 << 2 << 4 << 3 << 100 << -1 << 4 << -1;
}

void tst_QualityDialog::loadMp3Page()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, channelMode);
    QFETCH(int, vbrMethod);
    QFETCH(int, vbrBitrate);
    QFETCH(int, frequencyEntry);
    QFETCH(int, channelEntry);
    QFETCH(int, vbrBitrateEntry);
    IAudioConvertLameMp3Encoder &e = *m_encoder;
    e.SetMp3SampleRate(sampleRate);
    e.SetMp3Channels(channels);
    e.SetChannelMode(channelMode);
    e.SetVbrMethod(vbrMethod);
    e.SetVbrBitrate(vbrBitrate);
    e.SetMp3Bitrate(224);
    e.SetEncoderQuality(3);
    e.SetHighPassFrequency(120);
    e.SetHighPassWidth(40);
    e.SetLowPassFrequency(16000);
    e.SetLowPassWidth(900);
    e.SetWriteVbrHeader(false);
    e.SetStrictMinBitrate(true);
    e.SetVbrQuality(7);
    e.SetAbrBitrate(200);
    m_dialog->LoadMp3Page();
    QCOMPARE(get<QComboBox>("cmbFrequency")->currentIndex(), frequencyEntry);
    QCOMPARE(get<QComboBox>("cmbChannel")->currentIndex(), channelEntry);
    QCOMPARE(get<QSlider>("tkbBitrate")->value(), 12);
    QCOMPARE(get<QLabel>("lblBitrate")->text(), QStringLiteral("Current bitrate: 224 kbit"));
    QCOMPARE(get<QSlider>("tkbEncoder")->value(), 3);
    QCOMPARE(get<QSpinBox>("edtHighfiltering")->value(), 120);
    QCOMPARE(get<QSpinBox>("edtHighPass")->value(), 40);
    QCOMPARE(get<QSpinBox>("edtLowpass")->value(), 16000);
    QCOMPARE(get<QSpinBox>("edtLowWidth")->value(), 900);
    QCOMPARE(get<QComboBox>("cmbCoding")->currentIndex(), vbrMethod + 1);
    QCOMPARE(get<QComboBox>("cmbVBRbitrate")->currentIndex(), vbrBitrateEntry);
    QVERIFY(!get<QCheckBox>("chkWriteVBRHeader")->isChecked());
    QVERIFY(get<QCheckBox>("chkStrictly")->isChecked());
    QCOMPARE(get<QSpinBox>("edtVBRquality")->value(), 7);
    QCOMPARE(get<QSpinBox>("edtAbrbitrate")->value(), 200);
    QCOMPARE(get<QSpinBox>("edtVBRquality")->isEnabled(), vbrMethod >= 0 && vbrMethod < 4);
    QCOMPARE(get<QSpinBox>("edtAbrbitrate")->isEnabled(), vbrMethod == 4);
    // The filter boxes and the presets are not loaded.
    QVERIFY(!get<QCheckBox>("chkHighFilter")->isChecked());
    QCOMPARE(get<QComboBox>("cmbPresets")->currentIndex(), -1);
}

void tst_QualityDialog::loadingWritesNothing()
{
    m_encoder->SetPreset(mpStandard);
    const TLameSettings before = m_encoder->settings();
    m_dialog->LoadMp3Page();
    QVERIFY(sameSettings(m_encoder->settings(), before));
    QCOMPARE(m_encoder->settings().LamePreset, int32_t(mpStandard));
}

void tst_QualityDialog::unknownBitrateShowsZero()
{
    // "40 kbit/s" and "80 kbit/s" of the MP3 list are not on the track bar.
    m_encoder->SetMp3Bitrate(40);
    m_dialog->LoadMp3Page();
    QCOMPARE(get<QLabel>("lblBitrate")->text(), QStringLiteral("Current bitrate: 0 kbit"));
    QCOMPARE(get<QSlider>("tkbBitrate")->value(), 9);
    QCOMPARE(m_encoder->Mp3Bitrate(), 40);
    get<QSlider>("tkbBitrate")->setValue(10);
    QCOMPARE(m_encoder->Mp3Bitrate(), 160);
    QCOMPARE(get<QLabel>("lblBitrate")->text(), QStringLiteral("Current bitrate: 160 kbit"));
}

void tst_QualityDialog::mp3HandlersWriteAtOnce()
{
    m_dialog->LoadMp3Page();
    const IAudioConvertLameMp3Encoder &e = *m_encoder;
    get<QComboBox>("cmbFrequency")->setCurrentIndex(2);
    QCOMPARE(e.Mp3SampleRate(), 12000);
    get<QComboBox>("cmbFrequency")->setCurrentIndex(4);
    QCOMPARE(e.Mp3SampleRate(), 22050);
    // "Mono" sets one channel, which the stereo modes leave.
    get<QComboBox>("cmbChannel")->setCurrentIndex(0);
    get<QComboBox>("cmbChannel")->setCurrentIndex(3);
    QCOMPARE(e.Mp3Channels(), 1);
    QCOMPARE(e.ChannelMode(), int32_t(cmForcedJointStereo));
    get<QSlider>("tkbBitrate")->setValue(0);
    QCOMPARE(e.Mp3Bitrate(), 8);
    get<QSlider>("tkbBitrate")->setValue(14);
    QCOMPARE(e.Mp3Bitrate(), 320);
    QCOMPARE(get<QLabel>("lblBitrate")->text(), QStringLiteral("Current bitrate: 320 kbit"));
    get<QSlider>("tkbEncoder")->setValue(2);
    QCOMPARE(int(e.EncoderQuality()), 2);
    get<QSpinBox>("edtHighfiltering")->setValue(250);
    QCOMPARE(e.HighPassFrequency(), 250);
    get<QSpinBox>("edtHighPass")->setValue(60);
    QCOMPARE(e.HighPassWidth(), 60);
    get<QSpinBox>("edtLowpass")->setValue(17000);
    QCOMPARE(e.LowPassFrequency(), 17000);
    get<QSpinBox>("edtLowWidth")->setValue(1000);
    QCOMPARE(e.LowPassWidth(), 1000);
    get<QComboBox>("cmbCoding")->setCurrentIndex(5);
    QCOMPARE(e.VbrMethod(), int32_t(vbrAbr));
    QVERIFY(get<QSpinBox>("edtAbrbitrate")->isEnabled());
    QVERIFY(!get<QSpinBox>("edtVBRquality")->isEnabled());
    QVERIFY(get<QComboBox>("cmbVBRbitrate")->isEnabled());
    get<QComboBox>("cmbVBRbitrate")->setCurrentIndex(3);
    QCOMPARE(e.VbrBitrate(), 32);
    QVERIFY(e.WriteVbrHeader());
    get<QCheckBox>("chkWriteVBRHeader")->click();
    QVERIFY(!e.WriteVbrHeader());
    get<QCheckBox>("chkStrictly")->click();
    QVERIFY(e.StrictMinBitrate());
    get<QSpinBox>("edtAbrbitrate")->setValue(300);
    QCOMPARE(int(e.AbrBitrate()), 300);
    get<QComboBox>("cmbCoding")->setCurrentIndex(2);
    QVERIFY(!get<QSpinBox>("edtAbrbitrate")->isEnabled());
    get<QSpinBox>("edtVBRquality")->setValue(8);
    QCOMPARE(int(e.VbrQuality()), 8);
    get<QComboBox>("cmbCoding")->setCurrentIndex(0);
    QCOMPARE(e.VbrMethod(), int32_t(vbrNone));
    QVERIFY(!get<QComboBox>("cmbVBRbitrate")->isEnabled());
    QVERIFY(!get<QCheckBox>("chkStrictly")->isEnabled());
}

void tst_QualityDialog::filterBoxesOnlyEnable()
{
    m_dialog->LoadMp3Page();
    const TLameSettings before = m_encoder->settings();
    auto *high = get<QCheckBox>("chkHighFilter");
    high->click();
    QVERIFY(get<QSpinBox>("edtHighfiltering")->isEnabled());
    high->click();
    QVERIFY(!get<QSpinBox>("edtHighfiltering")->isEnabled());
    QVERIFY(!get<QSpinBox>("edtHighPass")->isEnabled());
    QVERIFY(get<QSpinBox>("edtLowpass")->isEnabled());
    auto *low = get<QCheckBox>("chkLowFilter");
    low->click();
    low->click();
    QVERIFY(!get<QSpinBox>("edtLowpass")->isEnabled());
    QVERIFY(!get<QSpinBox>("edtLowWidth")->isEnabled());
    QVERIFY(sameSettings(m_encoder->settings(), before));
}

void tst_QualityDialog::presetsReloadThePage_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("preset");
    QTest::newRow("CD") << "cmbPresets" << 8 << 9;
    QTest::newRow("Extrene") << "cmbAltPresets" << 3 << 15;
}

void tst_QualityDialog::presetsReloadThePage()
{
    QFETCH(QString, list);
    QFETCH(int, entry);
    QFETCH(int, preset);
    m_dialog->LoadMp3Page();
    IAudioConvertLameMp3Encoder expected;
    expected.SetPreset(preset);
    child<QComboBox>(m_dialog.get(), list)->setCurrentIndex(entry);
    QVERIFY(sameSettings(m_encoder->settings(), expected.settings()));
    // The page shows what the preset set, and showing it keeps the preset.
    QCOMPARE(get<QComboBox>("cmbCoding")->currentIndex(), expected.VbrMethod() + 1);
    QCOMPARE(get<QSpinBox>("edtVBRquality")->value(), int(expected.VbrQuality()));
    const int frequency = get<QComboBox>("cmbFrequency")->currentIndex();
    QVERIFY(frequency >= 0);
    QCOMPARE(QualityRules::Mp3Frequencies[frequency], expected.Mp3SampleRate());
    QCOMPARE(get<QLabel>("lblBitrate")->text(),
             QStringLiteral("Current bitrate: %1 kbit").arg(expected.Mp3Bitrate()));
}

void tst_QualityDialog::vbrAndQualityExcludeEachOther()
{
    // The page shows what the rules make of each click.
    auto *vbr = get<QCheckBox>("chkoggVBR");
    auto *quality = get<QCheckBox>("chkoggQuality");
    vbr->click();
    QVERIFY(get<QComboBox>("cmbMinbitarte")->isEnabled());
    QVERIFY(get<QComboBox>("cmbMaxbitarte")->isEnabled());
    QVERIFY(!quality->isEnabled() && !get<QSlider>("tboggQuality")->isEnabled());
    vbr->click();
    quality->click();
    QVERIFY(get<QSlider>("tboggQuality")->isEnabled());
    QVERIFY(!vbr->isEnabled() && !vbr->isChecked());
    QVERIFY(!get<QComboBox>("cmbMaxbitarte")->isEnabled());
    QVERIFY(!get<QSlider>("tboggBitrate")->isEnabled());
    const OggDialogChoice choice = m_dialog->oggChoice();
    QVERIFY(!choice.vbr && choice.quality);
}

void tst_QualityDialog::oggPresetsPrepareThePage()
{
    // "VBR Quality-10 (32-48 kbit/s)" puts both lists on "48 kbit".
    m_dialog->prepareOggPreset({true, 56, 0});
    OggDialogChoice choice = m_dialog->oggChoice();
    QCOMPARE(choice.frequency, QStringLiteral("44100"));
    QCOMPARE(choice.channelIndex, 1);
    QVERIFY(choice.vbr);
    QVERIFY(!choice.quality);
    QCOMPARE(choice.minimumText, QStringLiteral("48 kbit"));
    QCOMPARE(choice.maximumText, QStringLiteral("48 kbit"));
    QVERIFY(get<QComboBox>("cmbMinbitarte")->isEnabled());
    QVERIFY(!get<QCheckBox>("chkoggQuality")->isEnabled());

    TfrmQuality fixed;
    fixed.prepareOggPreset({false, 192, 8});
    choice = fixed.oggChoice();
    QCOMPARE(choice.frequency, QStringLiteral("44100"));
    QCOMPARE(choice.channelIndex, 1);
    QVERIFY(!choice.vbr);
    QCOMPARE(choice.bitratePosition, 8);
    QCOMPARE(child<QLabel>(&fixed, QStringLiteral("lbloggbitrate"))->text(),
             QStringLiteral("Current bitrate: 192 kbit"));
}

void tst_QualityDialog::showingLoadsTheMp3PageOnly()
{
    m_encoder->SetMp3Bitrate(256);
    m_dialog->show();
    QCOMPARE(get<QSlider>("tkbBitrate")->value(), 9); // on the "ogg" page nothing is loaded
    m_dialog->hide();
    TfrmQuality dialog;
    dialog.setEncoder(m_encoder);
    dialog.setPage(TfrmQuality::pgMp3);
    dialog.show();
    QCOMPARE(child<QSlider>(&dialog, QStringLiteral("tkbBitrate"))->value(), 13);
}

QTEST_MAIN(tst_QualityDialog)
#include "tst_qualitydialog.moc"
