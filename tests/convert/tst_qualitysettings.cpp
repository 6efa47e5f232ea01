#include "convert/audioconvertclient.h"
#include "convert/qualitylists.h"
#include "convert/qualitysettings.h"
#include "pipeline/flacwriter.h"
#include "pipeline/macwriter.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"
#include "tests/support/wavefixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <functional>
#include <stdexcept>

using namespace AudioConvertLib;
using namespace TestSupport;

namespace {

enum Mp3Kind { Bitrate, Vbr, Preset };

// The quality lists row by row, as the program must show and send them.
void mp3Row(int n, const char *text, Mp3Kind kind, int value)
{
    QTest::addRow("%d %s", n, text) << n << QString::fromLatin1(text) << int(kind) << value;
}

void wmaRow(int n, const char *text, int profile, const char *profileText)
{
    QTest::addRow("%d %s", n, text)
        << n << QString::fromLatin1(text) << profile << QString::fromLatin1(profileText);
}

void oggRow(int n, const char *text, bool range, int bitrate, int dialogEntry)
{
    QTest::addRow("%d %s", n, text)
        << n << QString::fromLatin1(text) << range << bitrate << dialogEntry;
}

void waveRow(int n, const char *text, int rate, int channels, int bits)
{
    QTest::addRow("%d %s", n, text) << n << QString::fromLatin1(text) << rate << channels << bits;
}

void adpcmRow(int n, const char *text, int rate, int channels)
{
    QTest::addRow("%d %s", n, text) << n << QString::fromLatin1(text) << rate << channels;
}

void apeRow(int n, const char *text, int level)
{
    QTest::addRow("%d %s", n, text) << n << QString::fromLatin1(text) << level;
}

QString stereoOrMono(int channels)
{
    return channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo");
}

using Start = void (TAudioConvert::*)(const QString &, const QString &);

} // namespace

class tst_QualitySettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void formats_data();
    void formats();
    void mp3Entries_data();
    void mp3Entries();
    void wmaEntries_data();
    void wmaEntries();
    void oggEntries_data();
    void oggEntries();
    void waveEntries_data();
    void waveEntries();
    void adpcmEntries_data();
    void adpcmEntries();
    void flacEntries_data();
    void flacEntries();
    void apeEntries_data();
    void apeEntries();
    void bitrateEntryAfterVbrIsConstant();
    void refusedOggPresetSendsNothing();
    void oggPage_data();
    void oggPage();
    void oggPageFrequencyMustBeANumber();
    void mp3PageHandsTheEncoderFormatOver();
    void entriesOutsideTheListChangeNothing();
    void missingWritersAreSkipped();
    void kbitOf_data();
    void kbitOf();

private:
    // Converts the short input with the settings in force; the output's path,
    // or an empty text (the reason in the log) when the conversion failed.
    QString convert(Start start, const QString &name);

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

void tst_QualitySettings::formats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("defaultEntry");
    QTest::addColumn<QString>("defaultText");
    QTest::addColumn<bool>("dialog");
    QTest::newRow("Mp3 (Mpeg Layer-3)") << 0 << 40 << 0 << "Near CD-Quality" << true;
    QTest::newRow("WMA (Windows Media Audio 9)")
        << 1 << 51 << 23 << "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps" << false;
    QTest::newRow("Ogg (Ogg Vorbis 1.1)") << 2 << 22 << 3 << "VBR Quality-3 (192 kbit/s)" << true;
    QTest::newRow("Wav(Standard)")
        << 3 << 36 << 0 << "16-bit Stereo 44,100Hz (CD Quality)" << false;
    QTest::newRow("WAV (ADPCM) ") << 4 << 18 << 0 << "Stereo 48,000Hz" << false;
    QTest::newRow("FLAC(Free Lossless Audio Codec)")
        << 5 << 9 << 0 << "Compression Level 0" << false;
    QTest::newRow("APE(Monkey's Audio)") << 6 << 4 << 1 << "Normal Compression Level" << false;
    QTest::newRow("no format") << 7 << 0 << -1 << QString() << false;
}

void tst_QualitySettings::formats()
{
    QFETCH(int, format);
    QFETCH(int, entries);
    QFETCH(int, defaultEntry);
    QFETCH(QString, defaultText);
    QFETCH(bool, dialog);
    const QStringList texts = QualityLists::texts(format);
    QCOMPARE(texts.size(), entries);
    QCOMPARE(QualityLists::defaultEntry(format), defaultEntry);
    QCOMPARE(texts.value(defaultEntry), defaultText);
    QCOMPARE(QualityLists::hasQualityDialog(format), dialog);
}

void tst_QualitySettings::mp3Entries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("value");
    mp3Row(0, "Near CD-Quality", Bitrate, 128);
    mp3Row(1, "CD-Quality", Bitrate, 192);
    mp3Row(2, "320 kbit/s", Bitrate, 320);
    mp3Row(3, "256 kbit/s", Bitrate, 256);
    mp3Row(4, "224 kbit/s", Bitrate, 224);
    mp3Row(5, "192 kbit/s", Bitrate, 192);
    mp3Row(6, "160 kbit/s", Bitrate, 160);
    mp3Row(7, "128 kbit/s", Bitrate, 128);
    mp3Row(8, "112 kbit/s", Bitrate, 112);
    mp3Row(9, "96 kbit/s", Bitrate, 96);
    mp3Row(10, "80 kbit/s", Bitrate, 80);
    mp3Row(11, "64 kbit/s", Bitrate, 64);
    mp3Row(12, "56 kbit/s", Bitrate, 56);
    mp3Row(13, "48 kbit/s", Bitrate, 48);
    mp3Row(14, "40 kbit/s", Bitrate, 40);
    mp3Row(15, "32 kbit/s", Bitrate, 32);
    mp3Row(16, "24 kbit/s", Bitrate, 24);
    mp3Row(17, "16 kbit/s", Bitrate, 16);
    mp3Row(18, "8 kbit/s", Bitrate, 8);
    mp3Row(19, "VBR-Quality Level 0 (highest)", Vbr, 0);
    mp3Row(20, "VBR-Quality Level 1", Vbr, 1);
    mp3Row(21, "VBR-Quality Level 2", Vbr, 2);
    mp3Row(22, "VBR-Quality Level 3", Vbr, 3);
    mp3Row(23, "VBR-Quality Level 4", Vbr, 4);
    mp3Row(24, "VBR-Quality Level 5", Vbr, 5);
    mp3Row(25, "VBR-Quality Level 6", Vbr, 6);
    mp3Row(26, "VBR-Quality Level 7", Vbr, 7);
    mp3Row(27, "VBR-Quality Level 8", Vbr, 8);
    mp3Row(28, "VBR-Quality Level 9 (lowest)", Vbr, 9);
    mp3Row(29, "Preset: Phone", Preset, 1);
    mp3Row(30, "Preset: SW", Preset, 2);
    mp3Row(31, "Preset: AM", Preset, 3);
    mp3Row(32, "Preset: FM", Preset, 4);
    mp3Row(33, "Preset: Voice", Preset, 5);
    mp3Row(34, "Preset: Radio", Preset, 6);
    mp3Row(35, "Preset: Type", Preset, 7);
    mp3Row(36, "Preset: HiFi", Preset, 8);
    mp3Row(37, "Preset: CD", Preset, 9);
    mp3Row(38, "Preset: Studio", Preset, 10);
    mp3Row(39, "Preset: R3Mix", Preset, 11);
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
    const QualityOutcome outcome = m_quality->apply(QualityLists::Mp3, entry);
    QVERIFY(outcome.accepted);
    QCOMPARE(outcome.tips, std::optional<QString>(m_convert->Mp3FormatDescription()));

    const IAudioConvertLameMp3Encoder &encoder = *m_encoder;
    QCOMPARE(encoder.Mp3SampleRate(), preset.Mp3SampleRate());
    QCOMPARE(encoder.Mp3Channels(), preset.Mp3Channels());
    const QString description = m_convert->Mp3FormatDescription();
    QVERIFY2(description.contains(QStringLiteral(", %1 Hz, ").arg(preset.Mp3SampleRate())),
             qPrintable(description));
    const QString out = convert(&TAudioConvert::ConvertWaveToMp3, QStringLiteral("entry.mp3"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.codec, QStringLiteral("mp3"));
    QCOMPARE(p.sampleRate, preset.Mp3SampleRate());
    QCOMPARE(p.channels, preset.Mp3Channels());
    const QByteArray header = readFile(out).left(1044);
    switch (kind) {
    case Bitrate: {
        QCOMPARE(encoder.Mp3Bitrate(), value);
        QCOMPARE(encoder.VbrMethod(), int32_t(vbrNone));
        // MPEG-1 (44100 Hz) has no bitrate under 32 kbit/s: LAME takes 32 for less.
        const int kbps = std::max(32, value);
        QCOMPARE(description,
                 QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR %1 kbit/s").arg(kbps));
        QVERIFY2(qAbs(p.bitRate - kbps * 1000) <= kbps * 10, qPrintable(QString::number(p.bitRate)));
        QVERIFY(!header.contains("Xing"));
        break;
    }
    case Vbr:
        QCOMPARE(encoder.VbrMethod(), int32_t(vbrNew));
        QCOMPARE(int(encoder.VbrQuality()), value);
        QCOMPARE(encoder.VbrBitrate(), 128);
        QCOMPARE(description,
                 QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality %1")
                     .arg(value));
        QVERIFY(header.contains("Xing"));
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
        QVERIFY(header.contains("Xing"));
        break;
    }
}

void tst_QualitySettings::wmaEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("profile");
    QTest::addColumn<QString>("profileText");
    wmaRow(0,
           "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
           1,
           "Video for dial-up modems or single channel ISDN (28.8 to 56 Kbps)");
    wmaRow(1,
           "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
           2,
           "Video for LAN, cable modem, or xDSL (100 to 768 Kbps)");
    wmaRow(2,
           "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
           3,
           "Video for dial-up modems or LAN (28.8 to 100 Kbps");
    wmaRow(3,
           "WMA 8,000 Hz; 16 Bit; Mono; 4 kbps",
           4,
           "Video with voice emphasis for dial-up modems (28.8 Kbps)");
    wmaRow(4,
           "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
           5,
           "Video with audio emphasis for dial-up modems (28.8 Kbps)");
    wmaRow(5, "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps", 6, "Video for Web servers (28.8 Kbps)");
    wmaRow(6, "WMA 11,025 Hz; 16 Bit; Mono; 10 kbps", 7, "Video for Web servers (56 Kbps)");
    wmaRow(7, "WMA 11,025 Hz; 16 Bit; Mono; 10 kbps", 8, "Video for single-channel ISDN (64 Kbps)");
    wmaRow(8,
           "WMA 16,000 Hz; 16 Bit; Mono; 16 kbps",
           9,
           "Video for e-mail and dual-channel ISDN (128 Kbps)");
    wmaRow(9, "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", 10, "Video for broadband NTSC (256 Kbps)");
    wmaRow(10, "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps", 11, "Video for broadband NTSC (384 Kbps)");
    wmaRow(11, "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps", 12, "Video for broadband NTSC (768 Kbps)");
    wmaRow(12,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           13,
           "Video for broadband NTSC (1500 Kbps total)");
    wmaRow(13,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           14,
           "Video for broadband NTSC (2 Mbps total)");
    wmaRow(14,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           15,
           "Video for broadband film content (768 Kbps)");
    wmaRow(15,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           16,
           "Video for broadband film content (1500 Kbps total)");
    wmaRow(16,
           "WMA 8,000 Hz; 16 Bit; Mono; 6 kbps",
           17,
           "Audio for low bit rate voice-oriented content (6.5 Kbps)");
    wmaRow(17,
           "WMA 22,050 Hz; 16 Bit; Mono; 20 kbps",
           18,
           "Audio for FM radio quality for dial-up modems (28.8 Kbps mono)");
    wmaRow(18,
           "WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps",
           19,
           "Audio for FM radio quality for dial-up modems (28.8 Kbps stereo)");
    wmaRow(19,
           "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
           20,
           "Audio for dial-up modems (56 Kbps stereo)");
    wmaRow(20,
           "WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps",
           21,
           "Audio for single-channel ISDN (64 Kbps stereo)");
    wmaRow(21,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           22,
           "Audio for near-CD quality (64 Kbps stereo)");
    wmaRow(22,
           "WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps",
           23,
           "Audio for CD-quality (96 Kbps stereo)");
    wmaRow(23,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           24,
           "Audio for CD-quality transparency (128 Kbps stereo)");
    wmaRow(24,
           "WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
           25,
           "Video for color PDA devices (225 Kbps)");
    wmaRow(25,
           "WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
           26,
           "Video for color PDA devices (150 Kbps)");
    wmaRow(26,
           "WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
           27,
           "Windows Media Video 8 for Color Pocket PCs (225 Kbps)");
    wmaRow(27,
           "WMA 22,050 Hz; 16 Bit; Stereo; 32 kbps",
           28,
           "Windows Media Video 8 for Color Pocket PCs (150 Kbps)");
    wmaRow(28,
           "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
           29,
           "Windows Media Video 8 for Dial-up Modems or Single-channel ISDN (28.8 to 56 Kbps)");
    wmaRow(29,
           "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
           30,
           "Windows Media Video 8 for LAN, Cable Modem, or xDSL (100 to 768 Kbps)");
    wmaRow(30,
           "WMA 8,000 Hz; 16 Bit; Mono; 8 kbps",
           31,
           "Windows Media Video 8 for Dial-up Modems or LAN (28.8 to 100 Kbps)");
    wmaRow(31,
           "WMA 8,000 Hz; 16 Bit; Mono; 5 kbps",
           32,
           "Windows Media Video 8 for Dial-up Modems (28.8 Kbps)");
    wmaRow(32,
           "WMA 11,025 Hz; 16 Bit; Mono; 10 kbps",
           33,
           "Windows Media Video 8 for Dial-up Modems (56 Kbps)");
    wmaRow(33,
           "WMA 16,000 Hz; 16 Bit; Mono; 16 kbps",
           34,
           "Windows Media Video 8 for Local Area Network (100 Kbps)");
    wmaRow(34,
           "WMA 32,000 Hz; 16 Bit; Stereo; 40 kbps",
           35,
           "Windows Media Video 8 for Local Area Network (256 Kbps)");
    wmaRow(35,
           "WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps",
           36,
           "Windows Media Video 8 for Local Area Network (384 Kbps)");
    wmaRow(36,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           37,
           "Windows Media Video 8 for Local Area Network (768 Kbps)");
    wmaRow(37,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           38,
           "Windows Media Video 8 for Broadband (NTSC, 700 Kbps)");
    wmaRow(38,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           39,
           "Windows Media Video 8 for Broadband (NTSC, 1400 Kbps)");
    wmaRow(39,
           "WMA 32,000 Hz; 16 Bit; Stereo; 48 kbps",
           40,
           "Windows Media Video 8 for Broadband (PAL, 384 Kbps)");
    wmaRow(40,
           "WMA 44,000 Hz; 16 Bit; Stereo; 64 kbps",
           41,
           "Windows Media Video 8 for Broadband (PAL, 700 Kbps)");
    wmaRow(41,
           "WMA 22,050 Hz; 16 Bit; Mono; 20 kbps",
           42,
           "Windows Media Audio 8 for Dial-up Modem (Mono, 28.8 Kbps)");
    wmaRow(42,
           "WMA 22,050 Hz; 16 Bit; Stereo; 20 kbps",
           43,
           "Windows Media Audio 8 for Dial-up Modem (FM Radio Stereo, 28.8 Kbps)");
    wmaRow(43,
           "WMA 32,000 Hz; 16 Bit; Stereo; 32 kbps",
           44,
           "Windows Media Audio 8 for Dial-up Modem (32 Kbps)");
    wmaRow(44,
           "WMA 44,100 Hz; 16 Bit; Stereo; 48 kbps",
           45,
           "Windows Media Audio 8 for Dial-up Modem (Near CD quality, 48 Kbps)");
    wmaRow(45,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           46,
           "Windows Media Audio 8 for Dial-up Modem (CD quality, 64 Kbps)");
    wmaRow(46,
           "WMA 44,100 Hz; 16 Bit; Stereo; 96 kbps",
           47,
           "Windows Media Audio 8 for ISDN (Better than CD quality, 96 Kbps)");
    wmaRow(47,
           "WMA 44,100 Hz; 16 Bit; Stereo; 128 kbps",
           48,
           "Windows Media Audio 8 for ISDN (Better than CD quality, 128 Kbps)");
    wmaRow(48,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           49,
           "Windows Media 8 Fair Quality based VBR for Broadband");
    wmaRow(49,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           50,
           "Windows Media 8 High Quality based VBR for Broadband");
    wmaRow(50,
           "WMA 44,100 Hz; 16 Bit; Stereo; 64 kbps",
           51,
           "Windows Media 8 Best Quality based VBR for Broadband");
}

void tst_QualitySettings::wmaEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, profile);
    QFETCH(QString, profileText);
    QCOMPARE(QualityLists::texts(QualityLists::Wma).at(entry), text);
    QCOMPARE(QString::fromLatin1(QualityLists::wma(entry).profileText), profileText);
    m_quality->apply(QualityLists::Wma, 0);
    const QualityOutcome outcome = m_quality->apply(QualityLists::Wma, entry);
    QVERIFY(outcome.accepted);
    QVERIFY(!outcome.tips); // the window shows the profile text

    // The entry's text says what profile `profile` holds.
    const QRegularExpressionMatch m
        = QRegularExpression(
              QStringLiteral("^WMA ([\\d,]+) Hz; 16 Bit; (Mono|Stereo); (\\d+) kbps$"))
              .match(text);
    QVERIFY(m.hasMatch());
    const int rate = m.captured(1).remove(QLatin1Char(',')).toInt();
    const int channels = m.captured(2) == QStringLiteral("Mono") ? 1 : 2;
    // FFmpeg's encoder takes no less than 24 kbit/s.
    const int kbps = std::max(24, m.captured(3).toInt());
    QCOMPARE(wmaProfile(profile).SampleRate, rate);
    const QString out = convert(&TAudioConvert::ConvertWaveToWma, QStringLiteral("entry.wma"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.codec, QStringLiteral("wmav2"));
    QCOMPARE(p.sampleRate, rate);
    QCOMPARE(p.channels, channels);
    QVERIFY2(qAbs(p.bitRate - kbps * 1000) <= kbps * 50, qPrintable(QString::number(p.bitRate)));
}

void tst_QualitySettings::oggEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("range");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("dialogEntry");
    oggRow(0, "VBR Quality-0 (320 kbit/s)", true, 320, 10);
    oggRow(1, "VBR Quality-1 (256 kbit/s)", true, 256, 9);
    oggRow(2, "VBR Quality-2 (224 kbit/s)", true, 224, 8);
    oggRow(3, "VBR Quality-3 (192 kbit/s)", true, 192, 7);
    oggRow(4, "VBR Quality-4 (160 kbit/s)", true, 160, 6);
    oggRow(5, "VBR Quality-5 (128 kbit/s)", true, 128, 5);
    oggRow(6, "VBR Quality-6 (112 kbit/s)", true, 112, 4);
    oggRow(7, "VBR Quality-7 (96 kbit/s)", true, 96, 3);
    oggRow(8, "VBR Quality-8 (64 kbit/s)", true, 64, 2);
    oggRow(9, "VBR Quality-9 (56 kbit/s)", true, 56, 1);
    oggRow(10, "VBR Quality-10 (32-48 kbit/s)", true, 56, 0);
    oggRow(11, "320 kbit/s", false, 320, 11);
    oggRow(12, "256 kbit/s", false, 256, 10);
    oggRow(13, "224 kbit/s", false, 224, 9);
    oggRow(14, "192 kbit/s", false, 192, 8);
    oggRow(15, "160 kbit/s", false, 160, 7);
    oggRow(16, "128 kbit/s", false, 128, 6);
    oggRow(17, "112 kbit/s", false, 112, 5);
    oggRow(18, "96 kbit/s", false, 96, 4);
    oggRow(19, "64 kbit/s", false, 64, 3);
    oggRow(20, "56 kbit/s", false, 56, 2);
    oggRow(21, "48 kbit/s", false, 48, 1);
}

void tst_QualitySettings::oggEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(bool, range);
    QFETCH(int, bitrate);
    QFETCH(int, dialogEntry);
    QCOMPARE(QualityLists::texts(QualityLists::OggVorbis).at(entry), text);
    const QualityLists::OggEntry &preset = QualityLists::ogg(entry);
    QCOMPARE(preset.range, range);
    QCOMPARE(preset.bitrate, bitrate);
    QCOMPARE(preset.dialogEntry, dialogEntry);

    const QualityOutcome outcome = m_quality->apply(QualityLists::OggVorbis, entry);
    QVERIFY(outcome.accepted);
    const QString expected
        = range ? QStringLiteral("Ogg Vorbis, 44100 Hz, Stereo, nominal 128 "
                                 "kbit/s, min %1 kbit/s, max %1 kbit/s")
                      .arg(bitrate)
                : QStringLiteral("Ogg Vorbis, 44100 Hz, Stereo, nominal %1 kbit/s").arg(bitrate);
    QCOMPARE(m_convert->OggVorbisFormatDescription(), expected);
    QCOMPARE(outcome.tips, std::optional<QString>(expected));

    const QString out = convert(&TAudioConvert::ConvertWaveToOggVorbis, QStringLiteral("entry.ogg"));
    QVERIFY(!out.isEmpty());
    // The identification header: channels, rate, then maximum, nominal and
    // minimum bitrate in bit/s.
    const QByteArray head = readFile(out).left(4096);
    const int at = head.indexOf("\x01vorbis");
    QVERIFY(at >= 0);
    QCOMPARE(int(head.at(at + 11)), 2);
    QCOMPARE(int(le32At(head, at + 12)), 44100);
    QCOMPARE(qFromLittleEndian<int32_t>(head.constData() + at + 20), (range ? 128 : bitrate) * 1000);
    if (range) {
        QCOMPARE(qFromLittleEndian<int32_t>(head.constData() + at + 16), bitrate * 1000);
        QCOMPARE(qFromLittleEndian<int32_t>(head.constData() + at + 24), bitrate * 1000);
    }
}

void tst_QualitySettings::waveEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    waveRow(0, "16-bit Stereo 44,100Hz (CD Quality)", 44100, 2, 16);
    waveRow(1, "16-bit Stereo 48,000Hz", 48000, 2, 16);
    waveRow(2, "16-bit Stereo 32,000Hz", 32000, 2, 16);
    waveRow(3, "16-bit Stereo 24,000Hz", 24000, 2, 16);
    waveRow(4, "16-bit Stereo 22,050Hz", 22050, 2, 16);
    waveRow(5, "16-bit Stereo 16,000Hz", 16000, 2, 16);
    waveRow(6, "16-bit Stereo 11,025Hz", 11025, 2, 16);
    waveRow(7, "16-bit Stereo 8,000Hz", 8000, 2, 16);
    waveRow(8, "16-bit Stereo 6,000Hz", 6000, 2, 16);
    waveRow(9, "16-bit Mono 48,000Hz", 48000, 1, 16);
    waveRow(10, "16-bit Mono 44,100Hz", 44100, 1, 16);
    waveRow(11, "16-bit Mono 32,000Hz", 32000, 1, 16);
    waveRow(12, "16-bit Mono 24,000Hz", 24000, 1, 16);
    waveRow(13, "16-bit Mono 22,050Hz", 22050, 1, 16);
    waveRow(14, "16-bit Mono 16,000Hz", 16000, 1, 16);
    waveRow(15, "16-bit Mono 11,025Hz", 11025, 1, 16);
    waveRow(16, "16-bit Mono 8,000Hz", 8000, 1, 16);
    waveRow(17, "16-bit Mono 6,000Hz", 6000, 1, 16);
    waveRow(18, "8-bit Stereo 48,000Hz", 48000, 2, 8);
    waveRow(19, "8-bit Stereo 44,100Hz", 44100, 2, 8);
    waveRow(20, "8-bit Stereo 32,000Hz", 32000, 2, 8);
    waveRow(21, "8-bit Stereo 24,000Hz", 24000, 2, 8);
    waveRow(22, "8-bit Stereo 22,050Hz", 22050, 2, 8);
    waveRow(23, "8-bit Stereo 16,000Hz", 16000, 2, 8);
    waveRow(24, "8-bit Stereo 11,025Hz", 11025, 2, 8);
    waveRow(25, "8-bit Stereo 8,000Hz", 8000, 2, 8);
    waveRow(26, "8-bit Stereo 6,000Hz", 6000, 2, 8);
    waveRow(27, "8-bit Mono 48,000Hz", 48000, 1, 8);
    waveRow(28, "8-bit Mono 44,100Hz", 44100, 1, 8);
    waveRow(29, "8-bit Mono 32,000Hz", 32000, 1, 8);
    waveRow(30, "8-bit Mono 24,000Hz", 24000, 1, 8);
    waveRow(31, "8-bit Mono 22,050Hz", 22050, 1, 8);
    waveRow(32, "8-bit Mono 16,000Hz", 16000, 1, 8);
    waveRow(33, "8-bit Mono 11,025Hz", 11025, 1, 8);
    waveRow(34, "8-bit Mono 8,000Hz", 8000, 1, 8);
    waveRow(35, "8-bit Mono 6,000Hz", 6000, 1, 8);
}

void tst_QualitySettings::waveEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    QCOMPARE(QualityLists::texts(QualityLists::Wave).at(entry), text);
    const QualityOutcome outcome = m_quality->apply(QualityLists::Wave, entry);
    const QString expected = QStringLiteral("PCM WAV, %1 bits, %2 Hz, %3")
                                 .arg(bits)
                                 .arg(rate)
                                 .arg(stereoOrMono(channels));
    QCOMPARE(m_convert->WaveFormatDescription(), expected);
    QCOMPARE(outcome.tips, std::optional<QString>(expected));
    const QString out = convert(&TAudioConvert::ConvertWaveToWave, QStringLiteral("entry.wav"));
    QVERIFY(!out.isEmpty());
    // The header says what the file holds (the component's own tests check
    // it against ffprobe's reading).
    const QByteArray format = riffChunk(readFile(out), "fmt ");
    QCOMPARE(le16At(format, 0), 1u); // PCM
    QCOMPARE(int(le16At(format, 2)), channels);
    QCOMPARE(int(le32At(format, 4)), rate);
    QCOMPARE(int(le16At(format, 14)), bits);
}

void tst_QualitySettings::adpcmEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    adpcmRow(0, "Stereo 48,000Hz", 48000, 2);
    adpcmRow(1, "Stereo 44,100Hz", 44100, 2);
    adpcmRow(2, "Stereo 32,000Hz", 32000, 2);
    adpcmRow(3, "Stereo 24,000Hz", 24000, 2);
    adpcmRow(4, "Stereo 22,050Hz", 22050, 2);
    adpcmRow(5, "Stereo 16,000Hz", 16000, 2);
    adpcmRow(6, "Stereo 11,025Hz", 11025, 2);
    adpcmRow(7, "Stereo 8,000Hz", 8000, 2);
    adpcmRow(8, "Stereo 6,000Hz", 6000, 2);
    adpcmRow(9, "Mono 48,000Hz", 48000, 1);
    adpcmRow(10, "Mono 44,100Hz", 44100, 1);
    adpcmRow(11, "Mono 32,000Hz", 32000, 1);
    adpcmRow(12, "Mono 24,000Hz", 24000, 1);
    adpcmRow(13, "Mono 22,050Hz", 22050, 1);
    adpcmRow(14, "Mono 16,000Hz", 16000, 1);
    adpcmRow(15, "Mono 11,025Hz", 11025, 1);
    adpcmRow(16, "Mono 8,000Hz", 8000, 1);
    adpcmRow(17, "Mono 6,000Hz", 6000, 1);
}

void tst_QualitySettings::adpcmEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QCOMPARE(QualityLists::texts(QualityLists::Adpcm).at(entry), text);
    const QualityOutcome outcome = m_quality->apply(QualityLists::Adpcm, entry);
    const QString expected
        = QStringLiteral("IMA ADPCM WAV, 4 bits, %1 Hz, %2").arg(rate).arg(stereoOrMono(channels));
    QCOMPARE(m_convert->AdpcmFormatDescription(), expected);
    QCOMPARE(outcome.tips, std::optional<QString>(expected));
    const QString out = convert(&TAudioConvert::ConvertWaveToAdpcm,
                                QStringLiteral("entry-adpcm.wav"));
    QVERIFY(!out.isEmpty());
    const QByteArray format = riffChunk(readFile(out), "fmt ");
    QCOMPARE(le16At(format, 0), 0x11u); // IMA ADPCM
    QCOMPARE(int(le16At(format, 2)), channels);
    QCOMPARE(int(le32At(format, 4)), rate);
    QCOMPARE(int(le16At(format, 14)), 4);
}

void tst_QualitySettings::flacEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    for (int n = 0; n <= 8; ++n)
        QTest::addRow("%d", n) << n << QStringLiteral("Compression Level %1").arg(n);
}

void tst_QualitySettings::flacEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QCOMPARE(QualityLists::texts(QualityLists::Flac).at(entry), text);
    const TFLACOut before;
    m_quality->apply(QualityLists::Flac, 8 - entry);
    const QualityOutcome outcome = m_quality->apply(QualityLists::Flac, entry);
    QVERIFY(outcome.accepted);
    QVERIFY(!outcome.tips);
    QCOMPARE(int(m_flac->MaxLPCOrder()), entry);
    // Nothing else of the writer changes.
    QCOMPARE(m_flac->BlockSize(), before.BlockSize());
    QCOMPARE(m_flac->Verify(), before.Verify());
    QCOMPARE(m_flac->BestModelSearch(), before.BestModelSearch());
    QCOMPARE(m_flac->EnableMidSideStereo(), before.EnableMidSideStereo());
    QCOMPARE(m_flac->EnableLooseMidSideStereo(), before.EnableLooseMidSideStereo());
    QCOMPARE(m_flac->QLPCoeffPrecision(), before.QLPCoeffPrecision());
    QCOMPARE(m_flac->QLPCoeffPrecisionSearch(), before.QLPCoeffPrecisionSearch());
    QCOMPARE(m_flac->MinResidualPartitionOrder(), before.MinResidualPartitionOrder());
    QCOMPARE(m_flac->MaxResidualPartitionOrder(), before.MaxResidualPartitionOrder());
}

void tst_QualitySettings::apeEntries_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("level");
    apeRow(0, "Fast Compression Level", 1000);
    apeRow(1, "Normal Compression Level", 2000);
    apeRow(2, "High Compression Level", 3000);
    apeRow(3, "Extra High Compression Level", 4000);
}

void tst_QualitySettings::apeEntries()
{
    QFETCH(int, entry);
    QFETCH(QString, text);
    QFETCH(int, level);
    QCOMPARE(QualityLists::texts(QualityLists::Ape).at(entry), text);
    m_quality->apply(QualityLists::Ape, 3 - entry);
    const QualityOutcome outcome = m_quality->apply(QualityLists::Ape, entry);
    QVERIFY(outcome.accepted);
    QVERIFY(!outcome.tips);
    QCOMPARE(m_mac->CompressionLevel(), level);
}

void tst_QualitySettings::bitrateEntryAfterVbrIsConstant()
{
    // "VBR-Quality Level 4", then "128 kbit/s": the file is 128 kbit/s CBR.
    m_quality->apply(QualityLists::Mp3, 23);
    QCOMPARE(m_encoder->VbrMethod(), int32_t(vbrNew));
    m_quality->apply(QualityLists::Mp3, 7);
    QCOMPARE(m_encoder->VbrMethod(), int32_t(vbrNone));
    QCOMPARE(m_encoder->Mp3Bitrate(), 128);
    QCOMPARE(m_convert->Mp3FormatDescription(),
             QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s"));
    const QString out = convert(&TAudioConvert::ConvertWaveToMp3, QStringLiteral("cbr.mp3"));
    QVERIFY(!out.isEmpty());
    QVERIFY(readFile(out).left(1044).contains("Info"));
    const qint64 bitRate = probe(out).bitRate;
    QVERIFY2(qAbs(bitRate - 128000) <= 1280, qPrintable(QString::number(bitRate)));
}

void tst_QualitySettings::refusedOggPresetSendsNothing()
{
    QVERIFY(m_quality->apply(QualityLists::OggVorbis, 3).accepted);
    const QString before = m_convert->OggVorbisFormatDescription();
    // libvorbisenc has no 32 kbit/s setting for 44100 Hz stereo.
    QVERIFY(!m_quality->applyOggFixedPreset(32));
    QCOMPARE(m_convert->OggVorbisFormatDescription(), before);
    QVERIFY(m_quality->applyOggRangePreset(56));
    QCOMPARE(m_convert->OggVorbisFormatDescription(),
             QStringLiteral(
                 "Ogg Vorbis, 44100 Hz, Stereo, nominal 128 kbit/s, min 56 kbit/s, max 56 "
                 "kbit/s"));
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
    // As "VBR Quality-10 (32-48 kbit/s)" leaves the page: 48 on both lists.
    QTest::newRow("range from the lists")
        << "44100" << 1 << 6 << "48 kbit"
        << "48 kbit" << true << false << 500
        << "Ogg Vorbis, 44100 Hz, Stereo, nominal 128 kbit/s, min 48 kbit/s, max 48 kbit/s";
    QTest::newRow("range without selections")
        << "48000" << 1 << 11 << QString() << QString() << true << false << 500
        << "Ogg Vorbis, 48000 Hz, Stereo, nominal 320 kbit/s";
    QTest::newRow("fixed, mono") << "22050" << 0 << 3 << "48 kbit"
                                 << "320 kbit" << false << false << 500
                                 << "Ogg Vorbis, 22050 Hz, Mono, nominal 64 kbit/s";
    QTest::newRow("fixed, track bar off its scale")
        << "44100" << 1 << 0 << QString() << QString() << false << false << 500
        << "Ogg Vorbis, 44100 Hz, Stereo, nominal 128 kbit/s";
    QTest::newRow("quality") << "32000" << 1 << 6 << "48 kbit"
                             << "48 kbit" << false << true << 400
                             << "Ogg Vorbis, 32000 Hz, Stereo, quality 4.00 (VBR)";
    QTest::newRow("refused fixed")
        << "8000" << 1 << 11 << QString() << QString() << false << false << 500 << QString();
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
    const QualityOutcome outcome = m_quality->acceptOggPage(choice);
    QCOMPARE(outcome.accepted, !description.isEmpty());
    if (description.isEmpty()) {
        QVERIFY(!outcome.tips);
        QCOMPARE(m_convert->OggVorbisFormatDescription(), before);
        return;
    }
    QCOMPARE(m_convert->OggVorbisFormatDescription(), description);
    QCOMPARE(outcome.tips, std::optional<QString>(description));
    const QString out = convert(&TAudioConvert::ConvertWaveToOggVorbis, QStringLiteral("page.ogg"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.sampleRate, frequency.toInt());
    QCOMPARE(p.channels, channelIndex + 1);
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

void tst_QualitySettings::mp3PageHandsTheEncoderFormatOver()
{
    m_encoder->SetMp3SampleRate(22050);
    m_encoder->SetMp3Channels(1);
    m_encoder->SetMp3Bitrate(64);
    QVERIFY(!m_convert->Mp3FormatDescription().contains(QStringLiteral("22050")));
    const QualityOutcome outcome = m_quality->acceptMp3Page();
    const QString expected = QStringLiteral("MPEG-2 Layer III, 22050 Hz, Mono, CBR 64 kbit/s");
    QCOMPARE(m_convert->Mp3FormatDescription(), expected);
    QCOMPARE(outcome.tips, std::optional<QString>(expected));
}

void tst_QualitySettings::entriesOutsideTheListChangeNothing()
{
    m_quality->apply(QualityLists::Flac, 5);
    m_quality->apply(QualityLists::Ape, 3);
    for (int entry : {-1, 9})
        QVERIFY(!m_quality->apply(QualityLists::Flac, entry).tips);
    QCOMPARE(int(m_flac->MaxLPCOrder()), 5);
    QVERIFY(!m_quality->apply(QualityLists::Ape, 4).tips);
    QVERIFY(!m_quality->apply(QualityLists::Ape, -1).tips);
    QCOMPARE(m_mac->CompressionLevel(), 4000);
    const QString mp3 = m_convert->Mp3FormatDescription();
    for (int format : {0, 1, 2, 3, 4, 7, -1}) {
        const QualityOutcome outcome = m_quality->apply(format, -1);
        QVERIFY(outcome.accepted);
        QVERIFY(!outcome.tips);
    }
    QCOMPARE(m_convert->Mp3FormatDescription(), mp3);
}

void tst_QualitySettings::missingWritersAreSkipped()
{
    OutputQuality quality(*m_convert, *m_encoder, nullptr, nullptr);
    QVERIFY(quality.apply(QualityLists::Flac, 8).accepted);
    QVERIFY(quality.apply(QualityLists::Ape, 3).accepted);
}

void tst_QualitySettings::kbitOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kbps");
    QTest::newRow("list entry") << "48 kbit" << 48;
    QTest::newRow("blanks") << "  320   kbit" << 320;
    QTest::newRow("first kbit counts") << "96 kbit 128 kbit" << 96;
    QTest::newRow("no number") << "kbit" << 0;
    QTest::newRow("not a number") << "many kbit" << 0;
    QTest::newRow("no kbit") << "128" << 0;
    QTest::newRow("no selection") << QString() << 0;
}

void tst_QualitySettings::kbitOf()
{
    QFETCH(QString, text);
    QFETCH(int, kbps);
    QCOMPARE(QualityScales::kbitOf(text), kbps);
}

QTEST_GUILESS_MAIN(tst_QualitySettings)
#include "tst_qualitysettings.moc"
