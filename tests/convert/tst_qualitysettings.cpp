#include "convert/audioconvertclient.h"
#include "convert/qualitylists.h"
#include "convert/qualitysettings.h"
#include "pipeline/flacbinding.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macbinding.h"
#include "pipeline/macwriter.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"
#include "tests/support/wavefixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <stdexcept>

using namespace AudioConvertLib;
using namespace TestSupport;
using QualityRules::OggPreset;
using QualityRules::QualityView;

namespace {

enum Mp3Kind { Bitrate, Vbr, Preset };

QString stereoOrMono(int channels)
{
    return channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
}

// "44,100": how the WAV and ADPCM lists write a rate.
QString withComma(int rate)
{
    return QStringLiteral("%1,%2").arg(rate / 1000).arg(rate % 1000, 3, 10, QLatin1Char('0'));
}

constexpr int ListRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 11025, 8000, 6000};

using Start = void (TAudioConvert::*)(const QString &, const QString &);

} // namespace

class tst_QualitySettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void mp3Entries_data();
    void mp3Entries();
    void wmaEntries_data();
    void wmaEntries();
    void entriesSendWhatTheyName_data();
    void entriesSendWhatTheyName();
    void losslessEntries_data();
    void losslessEntries();
    void selectFormat_data();
    void selectFormat();
    void encodes_data();
    void encodes();
    void refusedOggPresetSendsNothing();
    void oggPage_data();
    void oggPage();
    void oggPageFrequencyMustBeANumber();
    void entriesOutsideTheListChangeNothing();

private:
    // Converts the short input with the settings in force; the output's path,
    // or an empty text (the reason in the log) when the conversion failed.
    QString convert(Start start, const QString &name);
    // ffprobe finds the codec, rate and channels, and the bit rate within `tolerance`.
    static void expectStream(const QString &out,
                             const QString &codec,
                             int rate,
                             int channels,
                             int bitRate,
                             int tolerance);

    QTemporaryDir m_dir;
    QString m_input;
    // A fresh component and writers for every test function and row.
    std::unique_ptr<TAudioConvert> m_convert;
    std::shared_ptr<IAudioConvertInformation> m_information;
    std::shared_ptr<IAudioConvertLameMp3Encoder> m_encoder;
    std::unique_ptr<TFLACOut> m_flac;
    std::unique_ptr<TMACOut> m_mac;
    std::unique_ptr<OutputQuality> m_quality;
};

void tst_QualitySettings::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_input = m_dir.filePath(QStringLiteral("input.wav"));
    WaveFixture::writeWave(m_input, 8820); // 0.2 s
    QVERIFY2(Flac::LoadFLACLibrary(), qPrintable(Flac::Library::instance().errorText()));
    QVERIFY2(Mac::LoadMACLibrary(), qPrintable(Mac::Library::instance().errorText()));
}

void tst_QualitySettings::init()
{
    m_convert = std::make_unique<TAudioConvert>();
    ConfigureAudioConvert(*m_convert, m_information, m_encoder);
    m_flac = std::make_unique<TFLACOut>();
    m_mac = std::make_unique<TMACOut>();
    m_quality = std::make_unique<OutputQuality>(*m_convert, *m_encoder, m_flac.get(), m_mac.get());
}

void tst_QualitySettings::cleanup()
{
    m_quality.reset();
    m_mac.reset();
    m_flac.reset();
    m_convert.reset();
    m_encoder.reset();
    m_information.reset();
}

QString tst_QualitySettings::convert(Start start, const QString &name)
{
    bool done = false;
    int error = 0;
    m_convert->OnConvertBlock = [&](TAudioConvert *, int32_t percent) { done |= percent == 100; };
    m_convert->OnError = [&](TAudioConvert *, TOleEnum code) { error = code; };
    const QString out = m_dir.filePath(name);
    (m_convert.get()->*start)(m_input, out);
    const bool ended = QTest::qWaitFor([&] { return done || error != 0; }, 60000);
    m_convert->OnConvertBlock = nullptr;
    m_convert->OnError = nullptr;
    if (!ended || error != 0) {
        qWarning("the conversion to %s ended with %d", qPrintable(name), ended ? error : -1);
        return QString();
    }
    return out;
}

void tst_QualitySettings::expectStream(
    const QString &out, const QString &codec, int rate, int channels, int bitRate, int tolerance)
{
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.codec, codec);
    QCOMPARE(p.sampleRate, rate);
    QCOMPARE(p.channels, channels);
    QVERIFY2(qAbs(p.bitRate - bitRate) <= tolerance, qPrintable(QString::number(p.bitRate)));
}

void tst_QualitySettings::mp3Entries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    int n = 0;
    auto row = [&n](const QString &text, Mp3Kind kind, int value) {
        QTest::addRow("%d %s", n, qPrintable(text)) << n << text << int(kind) << value;
        ++n;
    };
    row(QStringLiteral("Near CD-Quality"), Bitrate, 128);
    row(QStringLiteral("CD-Quality"), Bitrate, 192);
    for (int kbps : {320, 256, 224, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 16, 8})
        row(QStringLiteral("%1 kbit/s").arg(kbps), Bitrate, kbps);
    for (int level = 0; level <= 9; ++level)
        row(QStringLiteral("VBR-Quality Level %1%2")
                .arg(level)
                .arg(level == 0   ? " (highest)"
                     : level == 9 ? " (lowest)"
                                  : ""),
            Vbr,
            level);
    int number = 1;
    for (const char *name :
         {"Phone", "SW", "AM", "FM", "Voice", "Radio", "Type", "HiFi", "CD", "Studio", "R3Mix"})
        row(QStringLiteral("Preset: %1").arg(QLatin1String(name)), Preset, number++);
}

void tst_QualitySettings::mp3Entries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, value);
    QCOMPARE(QualityLists::texts(QualityLists::Mp3).at(entry), text);

    // What the encoder itself makes of preset `value` from 44100 Hz stereo.
    IAudioConvertLameMp3Encoder preset;
    preset.SetMp3SampleRate(44100);
    preset.SetMp3Channels(2);
    if (kind == Preset)
        preset.SetPreset(value);
    // "Preset: Studio" (ABR 256) first, so that the entry must set what it stands for.
    if (kind != Preset)
        m_quality->apply(QualityLists::Mp3, 38);
    const QualityView view = m_quality->apply(QualityLists::Mp3, entry);
    const QString description = m_convert->Mp3FormatDescription();
    QCOMPARE(view.tips, std::optional<QString>(description));
    QVERIFY(!view.message);
    QCOMPARE(int(view.dialogPage), int(QualityRules::Mp3Page));

    const IAudioConvertLameMp3Encoder &encoder = *m_encoder;
    QCOMPARE(encoder.Mp3SampleRate(), preset.Mp3SampleRate());
    QCOMPARE(encoder.Mp3Channels(), preset.Mp3Channels());
    // MPEG-1 (44100 Hz) has no bitrate under 32 kbit/s: for less the file is
    // MPEG-2.5 at LAME's own choice of rate, and the hint says so.
    const bool lowBitrate = kind == Bitrate && value < 32;
    QVERIFY2(description.contains(
                 QStringLiteral(", %1 Hz, ").arg(lowBitrate ? 8000 : preset.Mp3SampleRate())),
             qPrintable(description));
    switch (kind) {
    case Bitrate:
        QCOMPARE(encoder.Mp3Bitrate(), value);
        QCOMPARE(encoder.VbrMethod(), int32_t(vbrNone));
        QCOMPARE(description,
                 QStringLiteral("MPEG-%1 Layer III, %2 Hz, Joint Stereo, CBR %3 kbit/s")
                     .arg(lowBitrate ? "2.5" : "1")
                     .arg(lowBitrate ? 8000 : 44100)
                     .arg(value));
        break;
    case Vbr:
        QCOMPARE(encoder.VbrMethod(), int32_t(vbrNew));
        QCOMPARE(int(encoder.VbrQuality()), value);
        QCOMPARE(encoder.VbrBitrate(), 128);
        QCOMPARE(description,
                 QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality %1")
                     .arg(value));
        break;
    default:
        QCOMPARE(encoder.VbrMethod(), preset.VbrMethod());
        QCOMPARE(encoder.VbrQuality(), preset.VbrQuality());
        QCOMPARE(encoder.AbrBitrate(), preset.AbrBitrate());
        QCOMPARE(encoder.Mp3Bitrate(), preset.Mp3Bitrate());
        QCOMPARE(encoder.settings().LamePreset, preset.settings().LamePreset);
        if (preset.VbrMethod() == vbrAbr)
            QVERIFY2(description.endsWith(QStringLiteral("ABR %1 kbit/s").arg(preset.AbrBitrate())),
                     qPrintable(description));
        break;
    }
}

void tst_QualitySettings::wmaEntries_data()
{
    QTest::addColumn<int>("entry");
    for (int n = 0; n < QualityLists::WmaCount; ++n)
        QTest::addRow("%d", n) << n;
}

void tst_QualitySettings::wmaEntries()
{
    QFETCH(int, entry);
    const QString text = QualityLists::texts(QualityLists::Wma).at(entry);
    const QualityView view = m_quality->apply(QualityLists::Wma, entry);
    QCOMPARE(int(view.dialogPage), int(QualityRules::NoPage));
    // The hint names the entry's own profile, which no other entry shares.
    QVERIFY(view.tips && !view.tips->isEmpty());
    const std::map<int, QString>
        anchors{{0, "Video for dial-up modems or single channel ISDN (28.8 to 56 Kbps)"},
                {23, "Audio for CD-quality transparency (128 Kbps stereo)"},
                {50, "Windows Media 8 Best Quality based VBR for Broadband"}};
    if (anchors.count(entry))
        QCOMPARE(*view.tips, anchors.at(entry));
    for (int other = 0; other < QualityLists::WmaCount; ++other)
        QCOMPARE(QualityRules::entryView(QualityLists::Wma, other).tips == view.tips,
                 other == entry);

    // The entry's text says what profile entry + 1 holds.
    const QRegularExpressionMatch m
        = QRegularExpression(
              QStringLiteral("^WMA ([\\d,]+) Hz; 16 Bit; (Mono|Stereo); (\\d+) kbps$"))
              .match(text);
    QVERIFY2(m.hasMatch(), qPrintable(text));
    const TWmaProfile profile = wmaProfile(entry + 1);
    // "44,000 Hz" (entry 40) is a rounding of CD audio's rate.
    const int named = m.captured(1).remove(QLatin1Char(',')).toInt();
    QCOMPARE(profile.SampleRate, named == 44000 ? 44100 : named);
    QCOMPARE(profile.Channels, m.captured(2) == QStringLiteral("Mono") ? 1 : 2);
    QCOMPARE(profile.Bitrate, m.captured(3).toInt());
}

void tst_QualitySettings::entriesSendWhatTheyName_data()
{
    // Each entry of the Ogg Vorbis, WAV, ADPCM and Opus lists: its text, and
    // the converter's description of what it sends, which the hint shows.
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::addColumn<int>("dialogEntry"); // Ogg Vorbis: where the dialog's page shows it
    int entry = 0;
    const auto row =
        [&entry](int format, const QString &text, const QString &description, int dialogEntry = -1) {
            const int n = entry++;
            QTest::addRow("%d %d %s", format, n, qPrintable(text))
                << format << n << text << description << dialogEntry;
        };
    const QString range = "Ogg Vorbis, 44100 Hz, Stereo, nominal %1 kbit/s, min %1 kbit/s, "
                          "max %1 kbit/s";
    const QString fixed = "Ogg Vorbis, 44100 Hz, Stereo, nominal %1 kbit/s";
    const int kbps[] = {320, 256, 224, 192, 160, 128, 112, 96, 64, 56};
    for (int n = 0; n < 10; ++n)
        row(2,
            QStringLiteral("VBR Quality-%1 (%2 kbit/s)").arg(n).arg(kbps[n]),
            range.arg(kbps[n]),
            10 - n);
    // It sends 56, but the dialog's lists show 48.
    row(2, "VBR Quality-10 (32-48 kbit/s)", range.arg(56), 0);
    for (int n = 0; n < 11; ++n)
        row(2,
            QStringLiteral("%1 kbit/s").arg(n < 10 ? kbps[n] : 48),
            fixed.arg(n < 10 ? kbps[n] : 48),
            11 - n);
    // WAV: 16 and 8 bits, each stereo then mono, each at the nine rates; CD
    // quality comes first.
    entry = 0;
    for (int bits : {16, 8}) {
        for (int channels : {2, 1}) {
            QList<int> rates(std::begin(ListRates), std::end(ListRates));
            if (entry == 0)
                rates.swapItemsAt(0, 1);
            for (int rate : rates)
                row(3,
                    entry == 0 ? QStringLiteral("16-bit Stereo 44,100Hz (CD Quality)")
                               : QStringLiteral("%1-bit %2 %3Hz")
                                     .arg(bits)
                                     .arg(stereoOrMono(channels), withComma(rate)),
                    QStringLiteral("PCM WAV, %1 bits, %2 Hz, %3")
                        .arg(bits)
                        .arg(rate)
                        .arg(stereoOrMono(channels)));
        }
    }
    entry = 0;
    for (int channels : {2, 1})
        for (int rate : ListRates)
            row(4,
                QStringLiteral("%1 %2Hz").arg(stereoOrMono(channels), withComma(rate)),
                QStringLiteral("IMA ADPCM WAV, 4 bits, %1 Hz, %2")
                    .arg(rate)
                    .arg(stereoOrMono(channels)));
    entry = 0;
    for (int rate : {64, 96, 128, 160, 192, 256})
        row(7,
            QStringLiteral("VBR %1 kbit/s").arg(rate),
            QStringLiteral("Opus, 48,000 Hz, Stereo, VBR %1 kbit/s").arg(rate));
}

void tst_QualitySettings::entriesSendWhatTheyName()
{
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(QString, description);
    QFETCH(int, dialogEntry);
    QCOMPARE(QualityLists::texts(format).at(entry), text);
    const QualityView view = m_quality->apply(format, entry);
    using Description = QString (TAudioConvert::*)();
    const std::map<int, Description>
        sent{{QualityLists::OggVorbis, &TAudioConvert::OggVorbisFormatDescription},
             {QualityLists::Wave, &TAudioConvert::WaveFormatDescription},
             {QualityLists::Adpcm, &TAudioConvert::AdpcmFormatDescription},
             {QualityLists::Opus, &TAudioConvert::OpusFormatDescription}};
    QCOMPARE((m_convert.get()->*sent.at(format))(), description);
    QCOMPARE(view.tips, std::optional<QString>(description));
    QVERIFY(!view.message);
    const bool ogg = format == QualityLists::OggVorbis;
    QCOMPARE(int(view.dialogPage), int(ogg ? QualityRules::OggPage : QualityRules::NoPage));
    QCOMPARE(view.oggPreset.has_value(), ogg);
    if (ogg) {
        QCOMPARE(view.oggPreset->range, description.contains(QStringLiteral(" min ")));
        QVERIFY(description.contains(QStringLiteral("nominal %1 ").arg(view.oggPreset->bitrate)));
        QCOMPARE(view.oggPreset->dialogEntry, dialogEntry);
    }
}

void tst_QualitySettings::losslessEntries_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value"); // CompressionLevel
    for (int n = 0; n <= 8; ++n)
        QTest::addRow("flac %d", n) << 5 << n << QStringLiteral("Compression Level %1").arg(n) << n;
    QTest::newRow("ape 0") << 6 << 0 << "Fast Compression Level" << 1000;
    QTest::newRow("ape 1") << 6 << 1 << "Normal Compression Level" << 2000;
    QTest::newRow("ape 2") << 6 << 2 << "High Compression Level" << 3000;
    QTest::newRow("ape 3") << 6 << 3 << "Extra High Compression Level" << 4000;
}

void tst_QualitySettings::losslessEntries()
{
    QFETCH(int, format);
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(QualityLists::texts(format).at(entry), text);
    const TFLACOut before;
    const int last = QualityLists::texts(format).size() - 1;
    m_quality->apply(format, last - entry);
    const QualityView view = m_quality->apply(format, entry);
    QVERIFY(!view.tips && !view.message);
    if (format == QualityLists::Ape) {
        QCOMPARE(m_mac->CompressionLevel(), value);
        return;
    }
    // libFLAC's own preset of that number; what it stands for is the
    // writer's to show (tst_flacwriter), what it makes the rip's (tst_ripjob).
    QCOMPARE(m_flac->CompressionLevel(), value);
    QCOMPARE(m_flac->Verify(), before.Verify());
}

void tst_QualitySettings::selectFormat_data()
{
    // What each format's list, entry, "..." action and hint show is
    // tst_mainwindow's qualityChoices, through the window.
    QTest::addColumn<int>("format");
    for (int format = 0; format < QualityLists::FormatCount; ++format)
        QTest::addRow("%d", format) << format;
}

void tst_QualitySettings::selectFormat()
{
    QFETCH(int, format);
    m_quality->apply(QualityLists::Flac, 8);
    m_quality->apply(QualityLists::Ape, 3);
    const QualityView view = m_quality->selectFormat(format);
    QVERIFY(view.entries && view.entry >= 0 && view.entry < view.entries->size());
    QVERIFY(!view.message);
    // A lossless format chosen starts from its default entry again.
    QCOMPARE(m_flac->CompressionLevel(), format == QualityLists::Flac ? 0 : 8);
    QCOMPARE(m_mac->CompressionLevel(), format == QualityLists::Ape ? 2000 : 4000);
    // Without the component the window shows the same, WMA's profile text included.
    const QualityView lists = QualityRules::formatView(format);
    QCOMPARE(lists.entries, view.entries);
    QCOMPARE(lists.entry, view.entry);
    QCOMPARE(lists.dialogEnabled, view.dialogEnabled);
    QCOMPARE(lists.clearTips, view.clearTips);
    QCOMPARE(lists.tips.has_value(), format == QualityLists::Wma);
    if (lists.tips)
        QCOMPARE(lists.tips, view.tips);
    // No format: an empty list, the "..." action left as it is.
    const QualityView none = m_quality->selectFormat(8);
    QCOMPARE(none.entries, std::optional<QStringList>(QStringList()));
    QVERIFY(!none.dialogEnabled && !none.tips);
}

void tst_QualitySettings::encodes_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entry");
    // After "VBR-Quality Level 4", so that the bitrate must end VBR.
    QTest::newRow("mp3 128 kbit/s") << 0 << 7;
    // Profile 18: 22,050 Hz mono at 20 kbit/s, which FFmpeg raises to 24.
    QTest::newRow("wma profile 18") << 1 << 17;
    QTest::newRow("wav 8-bit mono 48,000Hz") << 3 << 27;
    QTest::newRow("adpcm mono 22,050Hz") << 4 << 13;
    // Ogg Vorbis, FLAC, APE and Opus entries reach the files of a rip in
    // tst_ripjob's everyFormat, header checks included.
}

void tst_QualitySettings::encodes()
{
    QFETCH(int, format);
    QFETCH(int, entry);
    if (format == QualityLists::Mp3)
        m_quality->apply(QualityLists::Mp3, 23);
    m_quality->apply(format, entry);
    QString out;
    switch (format) {
    case QualityLists::Mp3:
        out = convert(&TAudioConvert::ConvertWaveToMp3, QStringLiteral("entry.mp3"));
        expectStream(out, QStringLiteral("mp3"), 44100, 2, 128000, 1280);
        // LAME's "Info" frame marks a constant bitrate, "Xing" a variable one.
        QVERIFY(readFile(out).left(1044).contains("Info"));
        break;
    case QualityLists::Wma:
        out = convert(&TAudioConvert::ConvertWaveToWma, QStringLiteral("entry.wma"));
        expectStream(out, QStringLiteral("wmav2"), 22050, 1, 24000, 1200);
        break;
    case QualityLists::Wave:
    case QualityLists::Adpcm: {
        const bool pcm = format == QualityLists::Wave;
        out = pcm ? convert(&TAudioConvert::ConvertWaveToWave, QStringLiteral("entry.wav"))
                  : convert(&TAudioConvert::ConvertWaveToAdpcm, QStringLiteral("entry-adpcm.wav"));
        QVERIFY(!out.isEmpty());
        // The header says what the file holds (the component's own tests check
        // it against ffprobe's reading).
        const QByteArray fmt = riffChunk(readFile(out), "fmt ");
        QCOMPARE(le16At(fmt, 0), pcm ? 1u : 0x11u);
        QCOMPARE(int(le16At(fmt, 2)), 1);
        QCOMPARE(int(le32At(fmt, 4)), pcm ? 48000 : 22050);
        QCOMPARE(int(le16At(fmt, 14)), pcm ? 8 : 4);
        break;
    }
    default:
        QFAIL("no check for this format");
    }
}

void tst_QualitySettings::refusedOggPresetSendsNothing()
{
    QVERIFY(!m_quality->apply(QualityLists::OggVorbis, 3).message);
    const QString before = m_convert->OggVorbisFormatDescription();
    // libvorbisenc has no 32 kbit/s setting for 44100 Hz stereo.
    QualityView view = m_quality->applyOggPreset({false, 32, 3});
    QCOMPARE(view.message, std::optional<QString>(QStringLiteral("OggVorbis is not supported.")));
    QVERIFY(!view.oggPreset && !view.tips);
    QCOMPARE(m_convert->OggVorbisFormatDescription(), before);
    view = m_quality->applyOggPreset({true, 56, 1});
    QVERIFY(!view.message);
    QCOMPARE(view.oggPreset->dialogEntry, 1);
    QCOMPARE(view.tips,
             std::optional<QString>(QStringLiteral(
                 "Ogg Vorbis, 44100 Hz, Stereo, nominal 56 kbit/s, min 56 kbit/s, max 56 "
                 "kbit/s")));
}

void tst_QualitySettings::oggPage_data()
{
    QTest::addColumn<QString>("frequency");
    QTest::addColumn<int>("channelIndex");
    QTest::addColumn<int>("bitratePosition");
    QTest::addColumn<QString>("minimum");
    QTest::addColumn<QString>("maximum");
    QTest::addColumn<bool>("vbr");
    QTest::addColumn<bool>("quality");
    QTest::addColumn<int>("qualityPosition");
    QTest::addColumn<QString>("description"); // empty: refused, nothing sent
    // The lists as "VBR Quality-10" leaves them, the quality bar and a refused
    // 320 kbit/s at 8000 Hz through the dialog are tst_mainwindow's qualityChoices.
    QTest::newRow("range without selections")
        << "48000" << 1 << 11 << QString() << QString() << true << false << 500
        << "Ogg Vorbis, 48000 Hz, Stereo, nominal 320 kbit/s";
    QTest::newRow("fixed, mono") << "22050" << 0 << 3 << "48 kbit"
                                 << "320 kbit" << false << false << 500
                                 << "Ogg Vorbis, 22050 Hz, Mono, nominal 64 kbit/s";
    QTest::newRow("fixed, track bar off its scale")
        << "44100" << 1 << 0 << QString() << QString() << false << false << 500
        << "Ogg Vorbis, 44100 Hz, Stereo, nominal 128 kbit/s";
    QTest::newRow("refused range") << "8000" << 0 << 6 << "48 kbit"
                                   << "48 kbit" << true << false << 500 << QString();
}

void tst_QualitySettings::oggPage()
{
    QFETCH(QString, frequency);
    QFETCH(int, channelIndex);
    QFETCH(int, bitratePosition);
    QFETCH(QString, minimum);
    QFETCH(QString, maximum);
    QFETCH(bool, vbr);
    QFETCH(bool, quality);
    QFETCH(int, qualityPosition);
    QFETCH(QString, description);
    m_quality->apply(QualityLists::OggVorbis, 3);
    const QString before = m_convert->OggVorbisFormatDescription();
    const OggDialogChoice choice{frequency,
                                 channelIndex,
                                 bitratePosition,
                                 minimum,
                                 maximum,
                                 vbr,
                                 quality,
                                 qualityPosition};
    const QualityView view = m_quality->acceptOggPage(choice);
    if (description.isEmpty()) {
        QCOMPARE(view.message,
                 std::optional<QString>(
                     QStringLiteral("Incorrect OggVorbis settings, Please try again!")));
        QVERIFY(!view.tips);
        QCOMPARE(m_convert->OggVorbisFormatDescription(), before);
        return;
    }
    QVERIFY(!view.message);
    QCOMPARE(m_convert->OggVorbisFormatDescription(), description);
    QCOMPARE(view.tips, std::optional<QString>(description));
}

void tst_QualitySettings::oggPageFrequencyMustBeANumber()
{
    OggDialogChoice choice;
    choice.frequency = QStringLiteral("44 kHz");
    choice.channelIndex = 1;
    try {
        m_quality->acceptOggPage(choice);
        QFAIL("no error");
    } catch (const std::invalid_argument &error) {
        QCOMPARE(QString::fromUtf8(error.what()),
                 QStringLiteral("'44 kHz' is not a valid integer value"));
    }
}

void tst_QualitySettings::entriesOutsideTheListChangeNothing()
{
    m_quality->apply(QualityLists::Flac, 5);
    m_quality->apply(QualityLists::Ape, 3);
    for (int entry : {-1, 9})
        QVERIFY(!m_quality->apply(QualityLists::Flac, entry).tips);
    QCOMPARE(m_flac->CompressionLevel(), 5);
    QVERIFY(!m_quality->apply(QualityLists::Ape, 4).tips);
    QVERIFY(!m_quality->apply(QualityLists::Ape, -1).tips);
    QCOMPARE(m_mac->CompressionLevel(), 4000);
    const QString mp3 = m_convert->Mp3FormatDescription();
    for (int format : {0, 1, 2, 3, 4, 7, 8, -1}) {
        const QualityView view = m_quality->apply(format, -1);
        QVERIFY(!view.message && !view.tips);
    }
    QCOMPARE(m_convert->Mp3FormatDescription(), mp3);
    // Without their libraries the writers are missing: their entries send nothing.
    OutputQuality quality(*m_convert, *m_encoder, nullptr, nullptr);
    QVERIFY(!quality.apply(QualityLists::Flac, 8).message);
    QVERIFY(!quality.apply(QualityLists::Ape, 3).message);
}

QTEST_GUILESS_MAIN(tst_QualitySettings)
#include "tst_qualitysettings.moc"
