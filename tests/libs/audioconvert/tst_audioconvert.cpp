#include "libs/audioconvert/audioconvert.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/releasetags.h"
#include "tests/support/testsupport.h"
#include "tests/support/wavefixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/infotag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <functional>
#include <optional>

using namespace AudioConvertLib;
using namespace TestSupport;
using WaveFixture::writeWave;
using WaveFixture::writeWaveOf;

namespace {

// The channel mode (0 stereo, 1 joint stereo, 2 dual channels, 3 mono) of
// every frame of an MPEG-1 Layer III file without tags; empty when a frame
// header is broken.
QSet<int> mp3ChannelModes(const QByteArray &file)
{
    static const int kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int rates[4] = {44100, 48000, 32000, 0};
    QSet<int> modes;
    for (qsizetype at = 0; at + 4 <= file.size();) {
        const auto *h = reinterpret_cast<const uint8_t *>(file.constData() + at);
        // Sync, MPEG-1, Layer III.
        if (h[0] != 0xff || (h[1] & 0xfe) != 0xfa || !kbps[h[2] >> 4] || !rates[(h[2] >> 2) & 3])
            return {};
        modes.insert(h[3] >> 6);
        at += 144000 * kbps[h[2] >> 4] / rates[(h[2] >> 2) & 3] + ((h[2] >> 1) & 1);
    }
    return modes;
}

// Records the events of one converter and whether each came after the
// starting call had returned.
class Recorder : public IAudioConvertEvents
{
public:
    void OnError(int32_t errorCode) override
    {
        errors.append(errorCode);
        early |= !returned;
    }
    void OnConvertBlock(int32_t percent) override
    {
        percents.append(percent);
        early |= !returned;
    }
    bool finished() const { return !errors.isEmpty() || percents.contains(100); }

    QList<int32_t> errors;
    QList<int32_t> percents;
    bool returned = false;
    bool early = false;
};

using Start = void (IAudioConvert::*)(const QString &, const QString &);
constexpr Start toWave = &IAudioConvert::ConvertWaveToWave;
constexpr Start toAdpcm = &IAudioConvert::ConvertWaveToAdpcm;
constexpr Start toMp3 = &IAudioConvert::ConvertWaveToMp3;
constexpr Start toOgg = &IAudioConvert::ConvertWaveToOggVorbis;
constexpr Start toWma = &IAudioConvert::ConvertWaveToWma;
constexpr Start toOpus = &IAudioConvert::ConvertWaveToOpus;

// What a test sets on the converter before it starts.
using Setup = std::function<void(IAudioConvert &)>;

} // namespace

Q_DECLARE_METATYPE(Start)
Q_DECLARE_METATYPE(Setup)

class tst_AudioConvert : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void waveCopyIsExact();
    void waveFormats_data();
    void waveFormats();
    void monoInputFillsBothChannels();
    void adpcm_data();
    void adpcm();
    void mp3_data();
    void mp3();
    void mp3Presets_data();
    void mp3Presets();
    void lamePresetEndsWhenItsValuesChange();
    void mp3SettingsReachLame_data();
    void mp3SettingsReachLame();
    void mp3Filters_data();
    void mp3Filters();
    void numbersOutOfRangeRefused();
    void oggVorbis_data();
    void oggVorbis();
    void oggVorbisSupport_data();
    void oggVorbisSupport();
    void wma_data();
    void wma();
    void opus_data();
    void opus();
    void opusWithoutItsLibrary();
    void tags_data();
    void tags();
    void emptyTagsWriteNothing();
    void genreNamesMatchTheProgram();
    void failures_data();
    void failures();
    void refusedSettingsLeaveExistingFile();
    void abortStopsWithoutCompletion();
    void secondStartWhileRunningIsRefused();

private:
    // Runs one conversion to its end; false on a timeout.
    bool convert(IAudioConvert &converter,
                 Start start,
                 const QString &input,
                 const QString &output,
                 Recorder &recorder);
    // The same for a conversion that must succeed: the output's path, or an
    // empty text (with the reason in the log) when it did not.
    QString convertOk(IAudioConvert &converter,
                      Start start,
                      const QString &input,
                      const QString &name);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_input; // 1.5 s of stereo at 44.1 kHz
    QByteArray m_inputPcm;
    static constexpr int InputFrames = 66150;
};

void tst_AudioConvert::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_input = path(QStringLiteral("input.wav"));
    m_inputPcm = writeWave(m_input, InputFrames);
    writeWave(path(QStringLiteral("short.wav")), 4410);
    // Every sample at full scale, up or down at random: nothing an encoder
    // can shape away.
    uint32_t seed = 12345;
    const auto coin = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 1 ? int16_t(32767) : int16_t(-32768);
    };
    writeWaveOf(path(QStringLiteral("noise.wav")),
                4410,
                2,
                44100,
                [&coin](int, int16_t &left, int16_t &right) {
                    left = coin();
                    right = coin();
                });
    QFile text(path(QStringLiteral("text.wav")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("This is not a sound file, only a few words pretending to be one.\n");
}

bool tst_AudioConvert::convert(IAudioConvert &converter,
                               Start start,
                               const QString &input,
                               const QString &output,
                               Recorder &recorder)
{
    const uint32_t cookie = converter.Advise(&recorder);
    (converter.*start)(input, output);
    recorder.returned = true;
    const bool ended = QTest::qWaitFor([&] { return recorder.finished(); }, 60000);
    QTest::qWait(20); // a stray event after the end would show here
    converter.Unadvise(cookie);
    return ended;
}

QString tst_AudioConvert::convertOk(IAudioConvert &converter,
                                    Start start,
                                    const QString &input,
                                    const QString &name)
{
    Recorder events;
    const QString out = path(name);
    if (!convert(converter, start, input, out, events)) {
        qWarning("the conversion to %s did not end", qPrintable(name));
        return QString();
    }
    if (!events.errors.isEmpty()) {
        qWarning("the conversion to %s failed with code %d",
                 qPrintable(name),
                 events.errors.first());
        return QString();
    }
    return out;
}

void tst_AudioConvert::waveCopyIsExact()
{
    IAudioConvert converter;
    converter.SetWaveFormat(44100, 2, 16);
    Recorder events;
    const QString out = path(QStringLiteral("copy.wav"));
    QVERIFY(convert(converter, toWave, m_input, out, events));
    QCOMPARE(events.errors, QList<int32_t>());
    QVERIFY(!events.early);
    QCOMPARE(events.percents.count(100), 1);
    QCOMPARE(events.percents.last(), 100);
    QCOMPARE(events.percents.first(), 0);
    QVERIFY(std::is_sorted(events.percents.begin(), events.percents.end()));
    QVERIFY(riffChunk(readFile(out), "data") == m_inputPcm);
}

void tst_AudioConvert::waveFormats_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::newRow("mono 44100") << 44100 << 1 << 16;
    QTest::newRow("stereo 48000") << 48000 << 2 << 16;
    QTest::newRow("8-bit stereo 44100") << 44100 << 2 << 8;
    QTest::newRow("8-bit mono 22050") << 22050 << 1 << 8;
}

void tst_AudioConvert::waveFormats()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, bits);
    IAudioConvert converter;
    converter.SetWaveFormat(rate, channels, bits);
    const QString out = convertOk(converter, toWave, m_input, QStringLiteral("format.wav"));
    QVERIFY(!out.isEmpty());

    const QByteArray file = readFile(out);
    const QByteArray fmt = riffChunk(file, "fmt ");
    QVERIFY(fmt.size() >= 16);
    QCOMPARE(qFromLittleEndian<uint16_t>(fmt.constData()), uint16_t(1));
    QCOMPARE(int(qFromLittleEndian<uint16_t>(fmt.constData() + 2)), channels);
    QCOMPARE(int(qFromLittleEndian<uint32_t>(fmt.constData() + 4)), rate);
    QCOMPARE(int(qFromLittleEndian<uint16_t>(fmt.constData() + 14)), bits);
    const QByteArray data = riffChunk(file, "data");
    const qint64 frames = data.size() / (channels * bits / 8);
    const qint64 expected = qint64(InputFrames) * rate / 44100;
    QVERIFY2(qAbs(frames - expected) <= 2, qPrintable(QString::number(frames)));

    if (bits == 8) {
        // Unsigned samples sit around 128; signed ones would sit around 0 and 255.
        qint64 sum = 0;
        for (char c : data)
            sum += uint8_t(c);
        const double mean = double(sum) / double(data.size());
        QVERIFY2(mean > 118 && mean < 138, qPrintable(QString::number(mean)));
    }
    if (channels == 1 && rate == 44100 && bits == 16) {
        // The mix-down is the average of the two channels.
        for (int i : {0, 1000, 50000}) {
            int16_t left, right;
            DiscGen::audioSample(3, uint64_t(i), left, right);
            QCOMPARE(qFromLittleEndian<int16_t>(data.constData() + 2 * i),
                     int16_t((left + right) >> 1));
        }
    }
}

void tst_AudioConvert::monoInputFillsBothChannels()
{
    const QString monoInput = path(QStringLiteral("mono-input.wav"));
    const QByteArray mono = writeWave(monoInput, 4410, 1);
    IAudioConvert converter;
    converter.SetWaveFormat(44100, 2, 16);
    const QString out = convertOk(converter, toWave, monoInput, QStringLiteral("spread.wav"));
    QVERIFY(!out.isEmpty());
    const QByteArray data = riffChunk(readFile(out), "data");
    QCOMPARE(data.size(), mono.size() * 2);
    for (int i = 0; i < 4410; i += 441) {
        QCOMPARE(data.mid(4 * i, 2), mono.mid(2 * i, 2));
        QCOMPARE(data.mid(4 * i + 2, 2), mono.mid(2 * i, 2));
    }
}

void tst_AudioConvert::adpcm_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::newRow("stereo 48000") << 48000 << 2;
    QTest::newRow("stereo 44100") << 44100 << 2;
    QTest::newRow("mono 22050") << 22050 << 1;
    QTest::newRow("mono 8000") << 8000 << 1;
}

void tst_AudioConvert::adpcm()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    IAudioConvert converter;
    converter.SetAdpcmFormat(rate, channels);
    const QString out = convertOk(converter, toAdpcm, m_input, QStringLiteral("adpcm.wav"));
    QVERIFY(!out.isEmpty());
    const QByteArray file = readFile(out);
    QCOMPARE(file.indexOf("data"), 52); // the 60-byte header
    const Probe p = probe(out);
    QCOMPARE(p.codec, QStringLiteral("adpcm_ima_wav"));
    QCOMPARE(p.sampleRate, rate);
    QCOMPARE(p.channels, channels);
    const qint64 expected = qint64(InputFrames) * rate / 44100;
    QCOMPARE(qint64(qFromLittleEndian<uint32_t>(riffChunk(file, "fact").constData())), expected);
    const qint64 decoded = ffmpegDecode(out).size() / (2 * channels);
    // ffmpeg plays whole blocks; the padding is less than one block.
    QVERIFY2(decoded >= expected && decoded < expected + 2041, qPrintable(QString::number(decoded)));
}

void tst_AudioConvert::mp3_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bitrate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("vbrMethod");
    QTest::addColumn<int>("minKbps");
    QTest::addColumn<int>("maxKbps");
    QTest::newRow("CBR 128 stereo") << 44100 << 128 << 2 << -1 << 128 << 128;
    QTest::newRow("CBR 320 stereo") << 44100 << 320 << 2 << -1 << 320 << 320;
    QTest::newRow("CBR 64 mono 22050") << 22050 << 64 << 1 << -1 << 64 << 64;
    QTest::newRow("CBR 192 48000") << 48000 << 192 << 2 << -1 << 192 << 192;
    QTest::newRow("VBR new") << 44100 << 128 << 2 << 2 << 60 << 320;
    QTest::newRow("ABR 96") << 44100 << 128 << 2 << 4 << 70 << 130;
}

void tst_AudioConvert::mp3()
{
    QFETCH(int, rate);
    QFETCH(int, bitrate);
    QFETCH(int, channels);
    QFETCH(int, vbrMethod);
    QFETCH(int, minKbps);
    QFETCH(int, maxKbps);
    IAudioConvert converter;
    converter.LameMp3Encoder()->SetVbrMethod(vbrMethod);
    converter.LameMp3Encoder()->SetVbrQuality(4);
    converter.LameMp3Encoder()->SetAbrBitrate(96);
    converter.SetMp3Format(rate, bitrate, channels);
    const QString out = convertOk(converter, toMp3, m_input, QStringLiteral("out.mp3"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.codec, QStringLiteral("mp3"));
    QCOMPARE(p.sampleRate, rate);
    QCOMPARE(p.channels, channels);
    QVERIFY2(p.bitRate >= minKbps * 1000 && p.bitRate <= maxKbps * 1000 + 500,
             qPrintable(QString::number(p.bitRate)));
    QVERIFY2(qAbs(p.duration - 1.5) < 0.1, qPrintable(QString::number(p.duration)));
}

void tst_AudioConvert::mp3Presets_data()
{
    // The old preset names as LAME's command line spells them out
    // (`--abr 16 -m m` for Phone); the sample rate is the one `lame` itself
    // resamples to for those options.
    QTest::addColumn<int>("preset");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("vbrMethod");
    QTest::addColumn<QString>("lameMode"); // the rate part of the description LAME gives back
    QTest::addColumn<int>("minKbps");
    QTest::addColumn<int>("maxKbps");
    QTest::newRow("Phone") << 1 << 16000 << 1 << 4 << "ABR 16 kbit/s" << 11 << 23;
    QTest::newRow("SW") << 2 << 16000 << 1 << 4 << "ABR 24 kbit/s" << 16 << 34;
    QTest::newRow("AM") << 3 << 24000 << 1 << 4 << "ABR 40 kbit/s" << 28 << 56;
    QTest::newRow("FM") << 4 << 44100 << 2 << 4 << "ABR 112 kbit/s" << 78 << 157;
    QTest::newRow("Voice") << 5 << 32000 << 1 << 4 << "ABR 56 kbit/s" << 39 << 79;
    QTest::newRow("Radio") << 6 << 44100 << 2 << 4 << "ABR 112 kbit/s" << 78 << 157;
    QTest::newRow("Tape") << 7 << 44100 << 2 << 4 << "ABR 112 kbit/s" << 78 << 157;
    QTest::newRow("HiFi") << 8 << 44100 << 2 << 4 << "ABR 160 kbit/s" << 112 << 224;
    QTest::newRow("CD") << 9 << 44100 << 2 << 4 << "ABR 192 kbit/s" << 134 << 269;
    QTest::newRow("Studio") << 10 << 44100 << 2 << 4 << "ABR 256 kbit/s" << 179 << 358;
    // LAME's own presets (the fast ones are the plain ones since LAME 3.97).
    QTest::newRow("R3Mix") << 11 << 44100 << 2 << 3 << "VBR quality 3" << 0 << 0;
    QTest::newRow("Fast Standard") << 12 << 44100 << 2 << 3 << "VBR quality 2" << 0 << 0;
    QTest::newRow("Standard") << 13 << 44100 << 2 << 3 << "VBR quality 2" << 0 << 0;
    QTest::newRow("Fast Extreme") << 14 << 44100 << 2 << 3 << "VBR quality 0" << 0 << 0;
    QTest::newRow("Extreme") << 15 << 44100 << 2 << 3 << "VBR quality 0" << 0 << 0;
    QTest::newRow("Insane") << 16 << 44100 << 2 << -1 << "CBR 320 kbit/s" << 320 << 320;
}

void tst_AudioConvert::mp3Presets()
{
    QFETCH(int, preset);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, vbrMethod);
    QFETCH(QString, lameMode);
    QFETCH(int, minKbps);
    QFETCH(int, maxKbps);
    IAudioConvert converter;
    const auto encoder = converter.LameMp3Encoder();
    encoder->SetMp3SampleRate(44100);
    encoder->SetMp3Channels(2);
    encoder->SetMp3Bitrate(128);
    encoder->SetPreset(preset);
    QCOMPARE(encoder->Mp3Channels(), channels);
    QCOMPARE(encoder->Mp3SampleRate(), rate);
    QCOMPARE(encoder->VbrMethod(), vbrMethod);
    converter.SetMp3Format(encoder->Mp3SampleRate(), encoder->Mp3Bitrate(), encoder->Mp3Channels());
    QVERIFY2(converter.Mp3FormatDescription().endsWith(lameMode),
             qPrintable(converter.Mp3FormatDescription()));
    const QString out = convertOk(converter, toMp3, m_input, QStringLiteral("preset.mp3"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.channels, channels);
    QCOMPARE(p.sampleRate, rate);
    if (minKbps > 0)
        QVERIFY2(p.bitRate >= minKbps * 1000 && p.bitRate <= maxKbps * 1000,
                 qPrintable(QString::number(p.bitRate)));
    // The header frame says Xing for a variable bitrate, Info for a constant one.
    const QByteArray firstFrame = readFile(out).left(1044);
    QVERIFY(firstFrame.contains(vbrMethod == -1 ? "Info" : "Xing"));
}

void tst_AudioConvert::lamePresetEndsWhenItsValuesChange()
{
    IAudioConvert converter;
    const auto encoder = converter.LameMp3Encoder();
    encoder->SetPreset(mpInsane);
    converter.SetMp3Format(44100, encoder->Mp3Bitrate(), 2);
    // Writing back what the preset stands for keeps it ...
    encoder->SetMp3Bitrate(320);
    encoder->SetVbrMethod(vbrNone);
    QCOMPARE(encoder->settings().LamePreset, int32_t(mpInsane));
    // ... a new bitrate ends it, so that the file has the bitrate asked for.
    encoder->SetMp3Bitrate(128);
    converter.SetMp3Format(44100, 128, 2);
    QCOMPARE(converter.Mp3FormatDescription(),
             QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s"));
    encoder->SetPreset(mpExtreme);
    encoder->SetVbrQuality(5);
    QVERIFY(converter.Mp3FormatDescription().endsWith(QStringLiteral("VBR quality 5")));
    encoder->SetPreset(mpStandard);
    encoder->SetVbrMethod(vbrAbr);
    QVERIFY(converter.Mp3FormatDescription().endsWith(QStringLiteral("ABR 128 kbit/s")));
}

void tst_AudioConvert::mp3SettingsReachLame_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("channelMode");
    QTest::addColumn<int>("vbrMethod");
    QTest::addColumn<bool>("vbrHeader");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QByteArray>("headerTag");
    QTest::addColumn<int>("frameMode"); // as MPEG frame headers code it
    QTest::newRow("stereo") << 2 << 1 << -1 << true
                            << "MPEG-1 Layer III, 44100 Hz, Stereo, CBR 128 kbit/s"
                            << QByteArray("Info") << 0;
    QTest::newRow("dual channels as stereo")
        << 2 << 4 << -1 << false << "MPEG-1 Layer III, 44100 Hz, Stereo, CBR 128 kbit/s"
        << QByteArray() << 0;
    QTest::newRow("forced joint stereo")
        << 2 << 3 << -1 << false << "MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s"
        << QByteArray() << 1;
    QTest::newRow("one channel is mono")
        << 1 << 2 << -1 << true << "MPEG-1 Layer III, 44100 Hz, Mono, CBR 128 kbit/s"
        << QByteArray("Info") << 3;
    QTest::newRow("VBR old") << 2 << 2 << 1 << true
                             << "MPEG-1 Layer III, 44100 Hz, Joint Stereo, VBR quality 6"
                             << QByteArray("Xing") << 1;
    QTest::newRow("ABR without header")
        << 2 << 2 << 4 << false << "MPEG-1 Layer III, 44100 Hz, Joint Stereo, ABR 96 kbit/s"
        << QByteArray() << 1;
}

void tst_AudioConvert::mp3SettingsReachLame()
{
    QFETCH(int, channels);
    QFETCH(int, channelMode);
    QFETCH(int, vbrMethod);
    QFETCH(bool, vbrHeader);
    QFETCH(QString, description);
    QFETCH(QByteArray, headerTag);
    QFETCH(int, frameMode);
    IAudioConvert converter;
    const auto encoder = converter.LameMp3Encoder();
    encoder->SetChannelMode(channelMode);
    encoder->SetVbrMethod(vbrMethod);
    encoder->SetVbrQuality(6);
    encoder->SetAbrBitrate(96);
    encoder->SetWriteVbrHeader(vbrHeader);
    converter.SetMp3Format(44100, 128, channels);
    QCOMPARE(converter.Mp3FormatDescription(), description);
    const QString out = convertOk(converter, toMp3, m_input, QStringLiteral("settings.mp3"));
    QVERIFY(!out.isEmpty());
    const QByteArray file = readFile(out);
    QCOMPARE(mp3ChannelModes(file), QSet<int>{frameMode});
    QCOMPARE(probe(out).channels, channels);
    const QByteArray firstFrame = file.left(417);
    QCOMPARE(firstFrame.contains("Info") || firstFrame.contains("Xing"), vbrHeader);
    if (vbrHeader)
        QVERIFY(firstFrame.contains(headerTag));
}

void tst_AudioConvert::mp3Filters_data()
{
    QTest::addColumn<int>("tone");
    QTest::addColumn<int>("lowPass");
    QTest::addColumn<int>("highPass");
    QTest::newRow("low-pass 2000 Hz, 5000 Hz tone") << 5000 << 2000 << 0;
    QTest::newRow("high-pass 1000 Hz, 400 Hz tone") << 400 << 0 << 1000;
}

void tst_AudioConvert::mp3Filters()
{
    QFETCH(int, tone);
    QFETCH(int, lowPass);
    QFETCH(int, highPass);
    const QString input = path(QStringLiteral("tone.wav"));
    writeWaveOf(input, 44100, 2, 44100, [tone](int i, int16_t &left, int16_t &right) {
        left = right = int16_t(12000 * std::sin(2 * M_PI * tone * i / 44100.0));
    });
    // The energy of the left channel's sample-to-sample steps.
    const auto roughness = [](const QByteArray &pcm) {
        double sum = 0;
        const auto *s = reinterpret_cast<const int16_t *>(pcm.constData());
        const qsizetype n = pcm.size() / 4;
        for (qsizetype i = 1; i < n; ++i) {
            const double d = double(s[2 * i]) - double(s[2 * i - 2]);
            sum += d * d;
        }
        return n > 1 ? sum / double(n - 1) : 0.0;
    };
    double measured[2] = {0, 0};
    for (int filtered = 0; filtered < 2; ++filtered) {
        IAudioConvert converter;
        if (filtered) {
            converter.LameMp3Encoder()->SetLowPassFrequency(lowPass);
            converter.LameMp3Encoder()->SetHighPassFrequency(highPass);
            converter.LameMp3Encoder()->SetLowPassWidth(50);
            converter.LameMp3Encoder()->SetHighPassWidth(100);
        }
        const QString out = convertOk(converter,
                                      toMp3,
                                      input,
                                      QStringLiteral("filter%1.mp3").arg(filtered));
        QVERIFY(!out.isEmpty());
        measured[filtered] = roughness(ffmpegDecode(out));
    }
    QVERIFY2(measured[1] < measured[0] * 0.1,
             qPrintable(QStringLiteral("%1 %2").arg(measured[0]).arg(measured[1])));
}

void tst_AudioConvert::numbersOutOfRangeRefused()
{
    IAudioConvertLameMp3Encoder encoder;
    QVERIFY_THROWS_EXCEPTION(EAudioConvert, encoder.SetPreset(0));
    QVERIFY_THROWS_EXCEPTION(EAudioConvert, encoder.SetPreset(17));
    IAudioConvert converter;
    QVERIFY_THROWS_EXCEPTION(EAudioConvert, converter.SetWmaProfile(0));
    QVERIFY_THROWS_EXCEPTION(EAudioConvert, converter.SetWmaProfile(52));
    // The defaults the program starts from.
    QCOMPARE(encoder.Mp3SampleRate(), 44100);
    QCOMPARE(encoder.Mp3Channels(), 2);
    QCOMPARE(encoder.Mp3Bitrate(), 128);
    QCOMPARE(converter.Mp3FormatDescription(),
             QStringLiteral("MPEG-1 Layer III, 44100 Hz, Joint Stereo, CBR 128 kbit/s"));
}

void tst_AudioConvert::oggVorbis_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("nominal");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("quality");
    QTest::newRow("nominal 192") << 44100 << 2 << 192 << 0 << 0 << -1;
    // The nominal bitrate is kept inside a range; libvorbisenc would ignore
    // a maximum under it.
    QTest::newRow("range 56") << 44100 << 2 << 128 << 56 << 56 << -1;
    QTest::newRow("range 160") << 44100 << 2 << 128 << 160 << 160 << -1;
    QTest::newRow("mono 22050 64") << 22050 << 1 << 64 << 0 << 0 << -1;
    QTest::newRow("quality 500") << 44100 << 2 << 0 << 0 << 0 << 500;
}

void tst_AudioConvert::oggVorbis()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, nominal);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, quality);
    IAudioConvert converter;
    converter.SetOggVorbisFormat(rate, channels, nominal, minimum, maximum, int16_t(quality));
    const QString out = convertOk(converter, toOgg, m_input, QStringLiteral("out.ogg"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.container, QStringLiteral("ogg"));
    QCOMPARE(p.codec, QStringLiteral("vorbis"));
    QCOMPARE(p.sampleRate, rate);
    QCOMPARE(p.channels, channels);
    QVERIFY2(qAbs(p.duration - 1.5) < 0.05, qPrintable(QString::number(p.duration)));
    const QByteArray head = readFile(out).left(4096);
    // The identification header carries the nominal bitrate as set.
    const int at = head.indexOf("\x01vorbis");
    QVERIFY(at >= 0);
    const auto headerNominal = qFromLittleEndian<int32_t>(head.constData() + at + 20);
    if (quality < 0) {
        QCOMPARE(headerNominal,
                 (minimum > 0 ? std::clamp(nominal, minimum, maximum) : nominal) * 1000);
        if (minimum > 0) {
            QCOMPARE(qFromLittleEndian<int32_t>(head.constData() + at + 24), minimum * 1000);
            QCOMPARE(qFromLittleEndian<int32_t>(head.constData() + at + 16), maximum * 1000);
        }
    }
    QVERIFY(converter.OggVorbisFormatDescription().contains(QString::number(rate)));
}

void tst_AudioConvert::oggVorbisSupport_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("nominal");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<bool>("supported");
    QTest::newRow("preset range 320") << 44100 << 2 << 128 << 320 << 320 << true;
    QTest::newRow("fixed 48") << 44100 << 2 << 48 << 0 << 0 << true;
    QTest::newRow("320 at 8000") << 8000 << 2 << 320 << 0 << 0 << false;
    QTest::newRow("three channels") << 44100 << 3 << 128 << 0 << 0 << false;
    QTest::newRow("no rate") << 0 << 2 << 128 << 0 << 0 << false;
}

void tst_AudioConvert::oggVorbisSupport()
{
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, nominal);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(bool, supported);
    IAudioConvert converter;
    QCOMPARE(converter.IsOggVorbisFormatSupported(rate, channels, nominal, minimum, maximum),
             supported);
}

void tst_AudioConvert::wma_data()
{
    // What each profile holds is checked against the quality list's texts
    // (tst_qualitysettings); here, that the file is made of it.
    QTest::addColumn<int>("profile");
    for (int profile = 1; profile <= 51; ++profile)
        QTest::addRow("profile %d", profile) << profile;
}

void tst_AudioConvert::wma()
{
    QFETCH(int, profile);
    const TWmaProfile wanted = wmaProfile(profile);
    IAudioConvert converter;
    converter.SetWmaProfile(profile);
    const QString out = convertOk(converter,
                                  toWma,
                                  path(QStringLiteral("short.wav")),
                                  QStringLiteral("out.wma"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.container, QStringLiteral("asf"));
    QCOMPARE(p.codec, QStringLiteral("wmav2"));
    QCOMPARE(p.sampleRate, wanted.SampleRate);
    QCOMPARE(p.channels, wanted.Channels);
    // FFmpeg's wmav2 encoder takes nothing under 24 kbit/s.
    const int encoded = std::max(wanted.Bitrate, 24);
    QVERIFY2(qAbs(p.bitRate - encoded * 1000) <= encoded * 50,
             qPrintable(QString::number(p.bitRate)));
    // 0.1 s of audio in whole blocks of the codec.
    QVERIFY2(p.duration > 0.09 && p.duration < 0.2, qPrintable(QString::number(p.duration)));
}

void tst_AudioConvert::opus_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("kbps");
    QTest::newRow("stereo 128") << 2 << 128;
    QTest::newRow("mono 64") << 1 << 64;
}

void tst_AudioConvert::opus()
{
    QFETCH(int, channels);
    QFETCH(int, kbps);
    IAudioConvert converter;
    converter.SetOpusFormat(channels, kbps);
    const QString out = convertOk(converter, toOpus, m_input, QStringLiteral("out.opus"));
    QVERIFY(!out.isEmpty());
    const Probe p = probe(out);
    QCOMPARE(p.container, QStringLiteral("ogg"));
    QCOMPARE(p.codec, QStringLiteral("opus"));
    QCOMPARE(p.sampleRate, 48000);
    QCOMPARE(p.channels, channels);
    // The pre-skip and the trimmed end give back the input's length at
    // 48 kHz, within one 20 ms frame.
    const qsizetype frames = ffmpegDecode(out).size() / (2 * channels);
    QVERIFY2(qAbs(frames - qsizetype(InputFrames) * 48000 / 44100) <= 960,
             qPrintable(QString::number(frames)));
    // The input rate, which the header records, is the WAV's.
    const QByteArray head = readFile(out).left(512);
    const int at = head.indexOf("OpusHead");
    QVERIFY(at >= 0);
    QCOMPARE(qFromLittleEndian<uint32_t>(head.constData() + at + 12), 44100u);
    QCOMPARE(converter.OpusFormatDescription(),
             QStringLiteral("Opus, 48,000 Hz, %1, VBR %2 kbit/s")
                 .arg(channels == 1 ? "Mono" : "Stereo")
                 .arg(kbps));
}

void tst_AudioConvert::opusWithoutItsLibrary()
{
    // The library is opened once per process: the machine without it is a
    // child run of this test, whose loader finds a broken copy first.
    if (qEnvironmentVariableIsSet("SONDREL_OPUSENC_BROKEN")) {
        IAudioConvert converter;
        converter.SetWriteTags(true);
        Recorder events;
        const QString out = path(QStringLiteral("missing.opus"));
        QVERIFY(convert(converter, toOpus, m_input, out, events));
        QCOMPARE(events.errors, QList<int32_t>{int32_t(acErrEncoderMissing)});
        QVERIFY(!events.percents.contains(100));
        QVERIFY(!QFile::exists(out));
        // Every other format still converts.
        QVERIFY(!convertOk(converter, toOgg, m_input, QStringLiteral("still.ogg")).isEmpty());
        return;
    }
    const QString fake = path(QStringLiteral("broken-lib"));
    QVERIFY(QDir().mkpath(fake));
    QFile library(fake + QLatin1Char('/') + QLatin1String(OpusEncoderLibrary));
    QVERIFY(library.open(QIODevice::WriteOnly));
    library.write("not a shared library");
    library.close();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), fake);
    env.insert(QStringLiteral("SONDREL_OPUSENC_BROKEN"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("opusWithoutItsLibrary")});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAllStandardOutput().constData());
}

void tst_AudioConvert::tags_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("typedGenre"); // empty: the listed "Jazz+Funk"
    QTest::newRow("mp3") << toMp3 << QStringLiteral("tags.mp3") << QString();
    QTest::newRow("ogg") << toOgg << QStringLiteral("tags.ogg") << QString();
    QTest::newRow("wma") << toWma << QStringLiteral("tags.wma") << QString();
    QTest::newRow("wav") << toWave << QStringLiteral("tags.wav") << QString();
    QTest::newRow("adpcm") << toAdpcm << QStringLiteral("tags-adpcm.wav") << QString();
    QTest::newRow("opus") << toOpus << QStringLiteral("tags.opus") << QString();
    // A genre the list does not hold goes by its text in every kind of tag.
    const QString typed = QStringLiteral("Dungeon Synth – Ørn");
    QTest::newRow("mp3 typed genre") << toMp3 << QStringLiteral("typed.mp3") << typed;
    QTest::newRow("ogg typed genre") << toOgg << QStringLiteral("typed.ogg") << typed;
    QTest::newRow("wma typed genre") << toWma << QStringLiteral("typed.wma") << typed;
    QTest::newRow("wav typed genre") << toWave << QStringLiteral("typed.wav") << typed;
    QTest::newRow("opus typed genre") << toOpus << QStringLiteral("typed.opus") << typed;
}

void tst_AudioConvert::tags()
{
    QFETCH(Start, start);
    QFETCH(QString, file);
    QFETCH(QString, typedGenre);
    const QString genre = typedGenre.isEmpty() ? QStringLiteral("Jazz+Funk") : typedGenre;
    IAudioConvert converter;
    converter.SetWriteTags(true);
    const auto info = converter.Information();
    const QString title = QStringLiteral("Żółć – Ελληνικά 日本");
    info->SetTagTitle(title);
    info->SetTagTrack(7);
    info->SetTagArtist(QStringLiteral("Åsa Ørn"));
    info->SetTagYear(1999);
    info->SetTagAlbum(QStringLiteral("Café Noir"));
    info->SetTagGenre(typedGenre.isEmpty() ? 29 : -1); // "Jazz+Funk", spelt as the program lists it
    info->SetTagGenreText(typedGenre.isEmpty() ? QStringLiteral("unused") : typedGenre);
    info->SetTagComment(QStringLiteral("first line"));
    info->SetTagCopyright(QStringLiteral("© 1999 Ørn"));
    info->SetTagUrl(QStringLiteral("https://example.org/ørn"));
    info->SetTagEncodedBy(QStringLiteral("Orvanel Sondrel"));
    info->SetTagRelease(ReleaseTagCheck::sample());
    const QString out = convertOk(converter, start, m_input, file);
    QVERIFY(!out.isEmpty());

    // Album artist, disc of a set and identifiers under their readers' names.
    using ReleaseTagCheck::Kind;
    const Kind kind = file.endsWith(QLatin1String(".mp3"))    ? Kind::Mp3
                      : file.endsWith(QLatin1String(".ogg"))  ? Kind::Vorbis
                      : file.endsWith(QLatin1String(".opus")) ? Kind::Opus
                      : file.endsWith(QLatin1String(".wma"))  ? Kind::Wma
                                                              : Kind::Wav;
    const QStringList lacking = ReleaseTagCheck::missing(out, kind);
    QVERIFY2(lacking.isEmpty(), qPrintable(lacking.join(u'\n')));

    const std::string native = QFile::encodeName(out).toStdString();
    const auto q = [](const TagLib::String &s) { return QString::fromStdString(s.to8Bit(true)); };
    QString copyright, url, encodedBy;
    if (file.endsWith(QLatin1String(".wav"))) {
        TagLib::RIFF::WAV::File wav(native.c_str());
        QVERIFY(wav.hasInfoTag());
        TagLib::RIFF::Info::Tag *tag = wav.InfoTag();
        QCOMPARE(q(tag->title()), title);
        QCOMPARE(q(tag->artist()), QStringLiteral("Åsa Ørn"));
        QCOMPARE(q(tag->album()), QStringLiteral("Café Noir"));
        QCOMPARE(tag->year(), 1999u);
        QCOMPARE(tag->track(), 7u);
        QCOMPARE(q(tag->genre()), genre);
        QCOMPARE(q(tag->comment()), QStringLiteral("first line"));
        copyright = q(tag->fieldText("ICOP"));
        url = q(tag->fieldText("IBSU"));
        encodedBy = q(tag->fieldText("IENC"));
        // The audio is untouched by the tag.
        if (file == QLatin1String("tags.wav"))
            QVERIFY(riffChunk(readFile(out), "data") == m_inputPcm);
    } else {
        TagLib::FileRef ref(native.c_str());
        QVERIFY(!ref.isNull() && ref.tag());
        const TagLib::Tag *tag = ref.tag();
        QCOMPARE(q(tag->title()), title);
        QCOMPARE(q(tag->artist()), QStringLiteral("Åsa Ørn"));
        QCOMPARE(q(tag->album()), QStringLiteral("Café Noir"));
        QCOMPARE(tag->year(), 1999u);
        QCOMPARE(tag->track(), 7u);
        QCOMPARE(q(tag->genre()), genre);
        QCOMPARE(q(tag->comment()), QStringLiteral("first line"));
        if (file.endsWith(QLatin1String(".wma"))) {
            TagLib::ASF::File asf(native.c_str());
            const TagLib::ASF::AttributeListMap &attributes = asf.tag()->attributeListMap();
            copyright = q(asf.tag()->copyright());
            url = q(attributes["WM/AuthorURL"].front().toString());
            encodedBy = q(attributes["WM/EncodedBy"].front().toString());
        } else {
            const TagLib::PropertyMap properties = ref.file()->properties();
            copyright = q(properties["COPYRIGHT"].toString());
            url = q(properties["URL"].toString());
            encodedBy = q(properties["ENCODEDBY"].toString());
        }
        if (file.endsWith(QLatin1String(".mp3")))
            QCOMPARE(readFile(out).left(4), QByteArray("ID3\x04", 4));
    }
    QCOMPARE(copyright, QStringLiteral("© 1999 Ørn"));
    QCOMPARE(url, QStringLiteral("https://example.org/ørn"));
    QCOMPARE(encodedBy, QStringLiteral("Orvanel Sondrel"));
}

void tst_AudioConvert::emptyTagsWriteNothing()
{
    IAudioConvert converter;
    converter.SetWriteTags(true);
    converter.Information()->SetTagTitle(QStringLiteral("Only a title"));
    converter.Information()->SetTagYear(0);
    converter.Information()->SetTagGenre(-1);
    const QString out = convertOk(converter, toOgg, m_input, QStringLiteral("sparse.ogg"));
    QVERIFY(!out.isEmpty());
    TagLib::FileRef ref(QFile::encodeName(out).constData());
    QVERIFY(!ref.isNull());
    const TagLib::PropertyMap properties = ref.file()->properties();
    QCOMPARE(properties.size(), 1u);
    QVERIFY(properties.contains("TITLE"));
}

void tst_AudioConvert::genreNamesMatchTheProgram()
{
    QCOMPARE(genreName(0), "Blues");
    QCOMPARE(genreName(99), "Acoustic");
    QCOMPARE(genreName(147), "SynthPop");
    QVERIFY(genreName(-1).isEmpty());
    QVERIFY(genreName(148).isEmpty());
}

void tst_AudioConvert::failures_data()
{
    QTest::addColumn<Start>("start");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("sizeLimit"); // bytes any file may grow to, as on a full disk; 0 none
    QTest::addColumn<int>("code");
    const Setup none = [](IAudioConvert &) {};
    const QString input = QStringLiteral("input.wav");
    QTest::newRow("missing input") << toMp3 << none << QStringLiteral("nothing.wav")
                                   << QStringLiteral("a.mp3") << 0 << int(acErrInputMissing);
    QTest::newRow("input not a wav") << toWave << none << QStringLiteral("text.wav")
                                     << QStringLiteral("b.wav") << 0 << int(acErrInputNotPcmWave);
    QTest::newRow("output folder missing")
        << toOgg << none << input << QStringLiteral("no/such/dir/c.ogg") << 0
        << int(acErrOutputNotCreatable);
    QTest::newRow("wma output folder missing")
        << toWma << none << input << QStringLiteral("no/such/dir/c.wma") << 0
        << int(acErrOutputNotCreatable);
    QTest::newRow("output is the input")
        << toWave << none << input << input << 0 << int(acErrOutputNotCreatable);
    QTest::newRow("three channels refused")
        << toWave << Setup([](IAudioConvert &c) { c.SetWaveFormat(44100, 3, 16); }) << input
        << QStringLiteral("d.wav") << 0 << int(acErrSettingsRefused);
    QTest::newRow("opus bitrate over 510")
        << toOpus << Setup([](IAudioConvert &c) { c.SetOpusFormat(2, 600); }) << input
        << QStringLiteral("f.opus") << 0 << int(acErrSettingsRefused);
    QTest::newRow("ogg quality over 1000")
        << toOgg << Setup([](IAudioConvert &c) { c.SetOggVorbisFormat(44100, 2, 0, 0, 0, 2000); })
        << input << QStringLiteral("e.ogg") << 0 << int(acErrSettingsRefused);
    const std::pair<const char *, Start> formats[] = {{"wav", toWave},
                                                      {"adpcm", toAdpcm},
                                                      {"mp3", toMp3},
                                                      {"ogg", toOgg},
                                                      {"wma", toWma},
                                                      {"opus", toOpus}};
    for (const auto &[name, start] : formats)
        QTest::addRow("full disk, %s", name)
            << start << none << input << QStringLiteral("full.%1").arg(QLatin1String(name)) << 10000
            << int(acErrWriteFailed);
    // FFmpeg's wmav2 cannot fit full-scale noise into 48 kbit/s and says so
    // while it encodes; the settings themselves it takes.
    QTest::newRow("encoder gives up on the audio")
        << toWma << Setup([](IAudioConvert &c) { c.SetWmaProfile(45); })
        << QStringLiteral("noise.wav") << QStringLiteral("noise.wma") << 0
        << int(acErrEncoderFailed);
    // The short track's audio fits on the disk, its tag does not.
    const Setup bigTag = [](IAudioConvert &c) {
        c.SetWriteTags(true);
        c.Information()->SetTagComment(QString(30000, QLatin1Char('x')));
    };
    for (const auto &[name, start] : formats) {
        if (QLatin1String(name) != QLatin1String("adpcm")) // tagged as wav is
            QTest::addRow("full disk at the tag, %s", name)
                << start << bigTag << QStringLiteral("short.wav")
                << QStringLiteral("tagged.%1").arg(QLatin1String(name)) << 20000
                << int(acErrTagsFailed);
    }
    // Inputs that lie: the header promises 4000 bytes of audio, or a rate
    // no CD has. The first once converted "successfully" into an empty
    // file, 1 Hz once sized a resampler buffer of about 1.4 GB.
    const auto lying = [this](const QString &name, int keep, uint32_t rate) {
        const QString file = path(name);
        writeWave(file, 1000);
        QFile f(file);
        if (!f.open(QIODevice::ReadWrite))
            qFatal("cannot rewrite %s", qPrintable(file));
        if (rate > 0) {
            char fields[8]; // sample rate, bytes per second of 16-bit stereo
            qToLittleEndian<uint32_t>(rate, fields);
            qToLittleEndian<uint32_t>(rate * 4, fields + 4);
            f.seek(24);
            f.write(fields, 8);
        }
        if (keep > 0)
            f.resize(keep);
        return name;
    };
    const QString headerOnly = lying("header-only.wav", 44, 0);
    QTest::newRow("ends after the header")
        << toWave << none << headerOnly << QStringLiteral("g.wav") << 0 << int(acErrReadFailed);
    QTest::newRow("ends part-way, mp3") << toMp3 << none << lying("part.wav", 44 + 1000, 0)
                                        << QStringLiteral("h.mp3") << 0 << int(acErrReadFailed);
    QTest::newRow("ends inside the data length")
        << toWave << none << lying("cut.wav", 43, 0) << QStringLiteral("i.wav") << 0
        << int(acErrReadFailed);
    const QString slow = lying("1hz.wav", 0, 1);
    QTest::newRow("1 Hz") << toWave << none << slow << QStringLiteral("j.wav") << 0
                          << int(acErrInputNotPcmWave);
    QTest::newRow("1 Hz, mp3") << toMp3 << none << slow << QStringLiteral("k.mp3") << 0
                               << int(acErrInputNotPcmWave);
    QTest::newRow("10 MHz") << toWave << none << lying("10mhz.wav", 0, 10000000)
                            << QStringLiteral("l.wav") << 0 << int(acErrInputNotPcmWave);
}

void tst_AudioConvert::failures()
{
    QFETCH(Start, start);
    QFETCH(Setup, setup);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(int, sizeLimit);
    QFETCH(int, code);
    IAudioConvert converter;
    setup(converter);
    Recorder events;
    const QString out = path(output);
    {
        std::optional<FileSizeLimit> limit;
        if (sizeLimit > 0) {
            limit.emplace(rlim_t(sizeLimit));
            QVERIFY(limit->isActive());
        }
        QVERIFY(convert(converter, start, path(input), out, events));
    }
    QVERIFY(!events.early);
    QCOMPARE(events.errors, QList<int32_t>{code});
    QVERIFY(!events.percents.contains(100));
    if (output == input)
        QCOMPARE(riffChunk(readFile(out), "data"), m_inputPcm); // the input is untouched
    else
        QVERIFY(!QFile::exists(out)); // no half-written file is left
}

void tst_AudioConvert::refusedSettingsLeaveExistingFile()
{
    const QString out = path(QStringLiteral("existing.mp3"));
    QFile existing(out);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("earlier file");
    existing.close();
    IAudioConvert converter;
    converter.SetMp3Format(44100, 128, 5);
    Recorder events;
    QVERIFY(convert(converter, toMp3, m_input, out, events));
    QCOMPARE(events.errors, QList<int32_t>{int32_t(acErrSettingsRefused)});
    QCOMPARE(readFile(out), QByteArray("earlier file"));
}

void tst_AudioConvert::abortStopsWithoutCompletion()
{
    const QString longInput = path(QStringLiteral("long.wav"));
    writeWave(longInput, 44100 * 60);
    IAudioConvert converter;
    converter.SetWriteTags(true);
    Recorder events;
    const uint32_t cookie = converter.Advise(&events);
    const QString out = path(QStringLiteral("aborted.mp3"));
    converter.ConvertWaveToMp3(longInput, out);
    events.returned = true;
    QVERIFY(QTest::qWaitFor([&] { return !events.percents.isEmpty(); }, 10000));
    converter.Abort();
    const qint64 size = QFileInfo(out).size();
    QTest::qWait(300);
    QVERIFY(!events.percents.contains(100));
    QVERIFY(events.errors.isEmpty());
    QCOMPARE(QFileInfo(out).size(), size); // closed: nothing more is written
    QVERIFY(size < 60 * 16000);

    // The converter is free for the next conversion.
    converter.ConvertWaveToMp3(m_input, path(QStringLiteral("after.mp3")));
    QVERIFY(QTest::qWaitFor([&] { return events.finished(); }, 30000));
    QCOMPARE(events.percents.count(100), 1);
    converter.Unadvise(cookie);
}

void tst_AudioConvert::secondStartWhileRunningIsRefused()
{
    IAudioConvert converter;
    Recorder events;
    const uint32_t cookie = converter.Advise(&events);
    converter.ConvertWaveToWave(m_input, path(QStringLiteral("first.wav")));
    QVERIFY_THROWS_EXCEPTION(EAudioConvert,
                             converter.ConvertWaveToWave(m_input,
                                                         path(QStringLiteral("second.wav"))));
    events.returned = true;
    QVERIFY(QTest::qWaitFor([&] { return events.finished(); }, 30000));
    QCOMPARE(events.percents.count(100), 1);
    QVERIFY(!QFile::exists(path(QStringLiteral("second.wav"))));
    converter.Unadvise(cookie);
}

QTEST_GUILESS_MAIN(tst_AudioConvert)
#include "tst_audioconvert.moc"
