#include "convert/audioconvertclient.h"
#include "convert/converterrors.h"
#include "pipeline/pcmexception.h"
#include "tests/support/wavefixture.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_AudioConvertClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void connectsOnFirstOperation();
    void startUpConfiguration();
    void eventsReachTheSlots();
    void errorReachesOnError();
    void emptySlotsAreSkipped();
    void destroyedWrapperGetsNoLateEvent();
    void failureStatusBecomesEPcmException();
    void errorTexts_data();
    void errorTexts();

private:
    QTemporaryDir m_dir;
    QString m_input;
};

struct Log
{
    QList<int32_t> percents;
    QList<int32_t> errors;
    QList<TAudioConvert *> senders;
    bool returned = false;
    bool early = false;

    void attach(TAudioConvert &convert)
    {
        convert.OnConvertBlock = [this](TAudioConvert *sender, int32_t percent) {
            percents.append(percent);
            senders.append(sender);
            early |= !returned;
        };
        convert.OnError = [this](TAudioConvert *sender, TOleEnum code) {
            errors.append(code);
            senders.append(sender);
            early |= !returned;
        };
    }
    bool finished() const { return percents.contains(100) || !errors.isEmpty(); }
};

void tst_AudioConvertClient::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_input = m_dir.filePath(QStringLiteral("input.wav"));
    WaveFixture::writeWave(m_input, 22050);
}

void tst_AudioConvertClient::connectsOnFirstOperation()
{
    TAudioConvert convert;
    QVERIFY(!convert.Connected());
    QVERIFY(!convert.WaveFormatDescription().isEmpty());
    QVERIFY(convert.Connected());
}

void tst_AudioConvertClient::startUpConfiguration()
{
    // The converter is already running, with an MP3 format of its own and an
    // encoder that holds other values: start-up hands the encoder's values on.
    TAudioConvert running;
    running.SetMp3Format(22050, 64, 2);
    const std::shared_ptr<IAudioConvertLameMp3Encoder> runningEncoder = running.LameMp3Encoder();
    runningEncoder->SetMp3SampleRate(32000);
    runningEncoder->SetMp3Channels(1);
    runningEncoder->SetMp3Bitrate(96);

    TAudioConvert convert;
    std::shared_ptr<IAudioConvertInformation> information;
    std::shared_ptr<IAudioConvertLameMp3Encoder> encoder;
    ConfigureAudioConvert(convert, information, encoder);
    QVERIFY(convert.Connected());
    // The window holds the converter's own objects.
    QCOMPARE(encoder, runningEncoder);
    QCOMPARE(information, running.Information());
    QVERIFY(convert.WriteTags());
    QCOMPARE(convert.Mp3FormatDescription(),
             QStringLiteral("MPEG-1 Layer III, 32000 Hz, Mono, CBR 96 kbit/s"));
}

void tst_AudioConvertClient::eventsReachTheSlots()
{
    TAudioConvert convert;
    Log log;
    log.attach(convert);
    const QString out = m_dir.filePath(QStringLiteral("out.ogg"));
    convert.ConvertWaveToOggVorbis(m_input, out);
    log.returned = true;
    QVERIFY(QTest::qWaitFor([&] { return log.finished(); }, 30000));
    QTest::qWait(20);
    QVERIFY(!log.early);
    QCOMPARE(log.errors, QList<int32_t>());
    QCOMPARE(log.percents.count(100), 1);
    QVERIFY(std::all_of(log.senders.begin(), log.senders.end(), [&](TAudioConvert *s) {
        return s == &convert;
    }));
    QVERIFY(QFileInfo(out).size() > 0);
}

void tst_AudioConvertClient::errorReachesOnError()
{
    TAudioConvert convert;
    Log log;
    log.attach(convert);
    convert.ConvertWaveToMp3(m_dir.filePath(QStringLiteral("missing.wav")),
                             m_dir.filePath(QStringLiteral("x.mp3")));
    log.returned = true;
    QVERIFY(QTest::qWaitFor([&] { return log.finished(); }, 30000));
    QVERIFY(!log.early);
    QCOMPARE(log.errors, QList<int32_t>{int32_t(AudioConvertLib::acErrInputMissing)});
    QVERIFY(!log.percents.contains(100));
}

void tst_AudioConvertClient::emptySlotsAreSkipped()
{
    TAudioConvert convert;
    const QString out = m_dir.filePath(QStringLiteral("quiet.wav"));
    convert.ConvertWaveToWave(m_input, out);
    QTest::qWait(500);
    // A handler set afterwards takes part from the next conversion on.
    Log log;
    log.attach(convert);
    convert.ConvertWaveToWave(m_input, out);
    log.returned = true;
    QVERIFY(QTest::qWaitFor([&] { return log.finished(); }, 30000));
    QCOMPARE(log.percents.count(100), 1);
}

void tst_AudioConvertClient::destroyedWrapperGetsNoLateEvent()
{
    // A second wrapper keeps the shared converter, and its conversion, alive.
    TAudioConvert keeper;
    QVERIFY(!keeper.WaveFormatDescription().isEmpty());
    Log log;
    {
        TAudioConvert convert;
        log.attach(convert);
        convert.ConvertWaveToWave(m_input, m_dir.filePath(QStringLiteral("late.wav")));
    }
    QTest::qWait(500);
    QVERIFY(log.percents.isEmpty());
    QVERIFY(log.errors.isEmpty());
}

void tst_AudioConvertClient::failureStatusBecomesEPcmException()
{
    TAudioConvert convert;
    try {
        convert.SetWmaProfile(52);
        QFAIL("no error raised");
    } catch (const EPcmException &e) {
        QCOMPARE(e.message(), QStringLiteral("The WMA profile must be a number from 1 to 51"));
    }
}

void tst_AudioConvertClient::errorTexts_data()
{
    using namespace AudioConvertLib;
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("input missing")
        << int(acErrInputMissing) << "The temporary WAV file to convert does not exist.";
    QTest::newRow("not PCM") << int(acErrInputNotPcmWave)
                             << "The temporary file is not a PCM WAV file the converter can read.";
    QTest::newRow("output") << int(acErrOutputNotCreatable)
                            << "The output file could not be created.";
    QTest::newRow("settings") << int(acErrSettingsRefused)
                              << "The encoder refused the quality settings.";
    QTest::newRow("write") << int(acErrWriteFailed)
                           << "Writing the output file failed (disk full or I/O error).";
    QTest::newRow("read") << int(acErrReadFailed) << "Reading the temporary WAV file failed.";
    QTest::newRow("encoder") << int(acErrEncoderFailed) << "The encoder failed while encoding.";
    QTest::newRow("tags") << int(acErrTagsFailed)
                          << "The tags could not be written into the output file.";
    QTest::newRow("unknown") << 99 << "The conversion failed (error code 99).";
    QTest::newRow("none") << 0 << "The conversion failed (error code 0).";
}

void tst_AudioConvertClient::errorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ConvertErrorText(code), text);
}

QTEST_GUILESS_MAIN(tst_AudioConvertClient)
#include "tst_audioconvertclient.moc"
