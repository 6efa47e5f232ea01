#include "libs/imaadpcm/imaadpcm.h"
#include "pipeline/pcmexception.h"
#include "pipeline/wavewriter.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/memoryinput.h"
#include "tests/support/outputrun.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

using TestSupport::le16At;
using TestSupport::le32At;
using TestSupport::putLe32;
using TestSupport::tones;

namespace {

double snrDb(const QByteArray &reference, const QByteArray &decoded)
{
    const int samples = reference.size() / 2;
    double signal = 0;
    double noise = 0;
    for (int i = 0; i < samples; ++i) {
        const int16_t x = static_cast<int16_t>(le16At(reference, 2 * i));
        const int16_t y = static_cast<int16_t>(le16At(decoded, 2 * i));
        signal += double(x) * x;
        noise += double(x - y) * (x - y);
    }
    return noise == 0 ? 200 : 10 * std::log10(signal / noise);
}

struct RunResult
{
    int done = 0;
    int errors = 0;
    QString message;
};

// Starts the writer and waits (without an event loop: the events come from
// the worker) until its run ended one way or the other.
RunResult runWriter(TWaveOut &out, TPcmInput &input, const QString &path)
{
    out.SetInput(&input);
    out.SetFileName(path);
    TestSupport::OutputRun run(out);
    run.startAndWait();
    // Let a second, wrong event show itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RunResult r;
    r.done = run.done();
    r.errors = run.errors();
    r.message = run.message();
    out.OnDone = nullptr;
    out.OnThreadException = nullptr;
    return r;
}

QByteArray decodeWith(const QString &tool, const QString &wav, const QString &raw)
{
    TestSupport::ProcessResult r;
    if (tool == QLatin1String("ffmpeg"))
        r = TestSupport::run(
            tool, {"-v", "error", "-y", "-i", wav, "-f", "s16le", "-acodec", "pcm_s16le", raw});
    else
        r = TestSupport::run(tool, {wav, "-t", "raw", "-e", "signed", "-b", "16", raw});
    if (r.exitCode != 0)
        qWarning("%s: %s", qPrintable(tool), r.err.constData());
    return r.exitCode == 0 ? TestSupport::readFile(raw) : QByteArray();
}

} // namespace

class tst_WaveWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pcmFile_data();
    void pcmFile();
    void adpcmHeader_data();
    void adpcmHeader();
    void adpcmDecodes_data();
    void adpcmDecodes();
    void encodeSample_data();
    void encodeSample();
    void setters();
    void settersIgnoredWhileRunning();
    void headerStatesWhatWasWritten_data();
    void headerStatesWhatWasWritten();
    void appendPcm();
    void appendAdpcm();
    void appendRefused_data();
    void appendRefused();
    void lowerCaseChunkIds();
    void scanTruncatedHeaders();
    void scanFuzz();
    void writeFailure_data();
    void writeFailure();
    void unsuitableAdpcmFormat_data();
    void unsuitableAdpcmFormat();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_WaveWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void tst_WaveWriter::pcmFile_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bytes");

    QTest::newRow("CD audio, several chunks and a short one")
        << 16 << 2 << 44100 << 16384 * 5 + 1236;
    QTest::newRow("empty input") << 16 << 2 << 44100 << 0;
    QTest::newRow("8-bit mono 22050") << 8 << 1 << 22050 << 30001;
    QTest::newRow("24-bit stereo 48000") << 24 << 2 << 48000 << 6 * 9000;
}

void tst_WaveWriter::pcmFile()
{
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, bytes);

    const QByteArray audio = tones(bytes / 2, 1).left(bytes).leftJustified(bytes, '\x5a');
    TMemoryInput input(audio, bits, channels, rate);
    input.setMaxRead(7000); // reads shorter than a chunk must not leave gaps
    TWaveOut out;
    const QString file = path(QStringLiteral("pcm.wav"));
    const RunResult r = runWriter(out, input, file);
    QCOMPARE(r.errors, 0);
    QCOMPARE(r.done, 1);

    const QByteArray written = TestSupport::readFile(file);
    QCOMPARE(written.size(), bytes + 44);
    QCOMPARE(written.mid(44), audio);
    const int blockAlign = bits * channels / 8;
    QCOMPARE(written.left(4), QByteArray("RIFF"));
    QCOMPARE(le32At(written, 4), uint32_t(bytes + 36));
    QCOMPARE(written.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(le32At(written, 16), 16u);
    QCOMPARE(le16At(written, 20), 1u);
    QCOMPARE(le16At(written, 22), uint32_t(channels));
    QCOMPARE(le32At(written, 24), uint32_t(rate));
    QCOMPARE(le32At(written, 28), uint32_t(rate * blockAlign));
    QCOMPARE(le16At(written, 32), uint32_t(blockAlign));
    QCOMPARE(le16At(written, 34), uint32_t(bits));
    QCOMPARE(written.mid(36, 4), QByteArray("data"));
    QCOMPARE(le32At(written, 40), uint32_t(bytes));
    QVERIFY(!input.IsBusy());
}

void tst_WaveWriter::adpcmHeader_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("spb");
    QTest::addColumn<int>("avgBytes");

    // frames/spb + 1 blocks in every case: a short last block is padded, an
    // input ending on a block boundary gets one more block of silence.
    QTest::newRow("stereo 512, mid-block") << 2 << 44100 << 512 << 505 * 10 + 17 << 505 << 87 * 512;
    QTest::newRow("stereo 512, block boundary") << 2 << 44100 << 512 << 505 * 4 << 505 << 87 * 512;
    QTest::newRow("mono 512, mid-block")
        << 1 << 44100 << 512 << 1017 * 3 + 1000 << 1017 << 43 * 512;
    QTest::newRow("mono 512, block boundary") << 1 << 44100 << 512 << 1017 * 2 << 1017 << 43 * 512;
    QTest::newRow("stereo 1024 at 22050") << 2 << 22050 << 1024 << 3000 << 1017 << 21 * 1024;
    QTest::newRow("mono 256 at 8000") << 1 << 8000 << 256 << 4000 << 505 << 15 * 256;
    QTest::newRow("empty stereo input") << 2 << 44100 << 512 << 0 << 505 << 87 * 512;
}

void tst_WaveWriter::adpcmHeader()
{
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(int, blockSize);
    QFETCH(int, frames);
    QFETCH(int, spb);
    QFETCH(int, avgBytes);

    TMemoryInput input(tones(frames, channels), 16, channels, rate);
    input.setMaxRead(999);
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    out.SetBlockSize(static_cast<uint16_t>(blockSize));
    const QString file = path(QStringLiteral("adpcm.wav"));
    const RunResult r = runWriter(out, input, file);
    QCOMPARE(r.message, QString());
    QCOMPARE(r.done, 1);

    const QByteArray w = TestSupport::readFile(file);
    const int blocks = frames / spb + 1;
    QCOMPARE(w.size(), 60 + blocks * blockSize);
    QCOMPARE(w.left(4), QByteArray("RIFF"));
    QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));
    QCOMPARE(w.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(le32At(w, 16), 20u);
    QCOMPARE(le16At(w, 20), 0x11u);
    QCOMPARE(le16At(w, 22), uint32_t(channels));
    QCOMPARE(le32At(w, 24), uint32_t(rate));
    QCOMPARE(le32At(w, 28), uint32_t(avgBytes));
    QCOMPARE(le16At(w, 32), uint32_t(blockSize));
    QCOMPARE(le16At(w, 34), 4u);
    QCOMPARE(le16At(w, 36), 2u);
    QCOMPARE(le16At(w, 38), uint32_t(spb));
    QCOMPARE(w.mid(40, 4), QByteArray("fact"));
    QCOMPARE(le32At(w, 44), 4u);
    QCOMPARE(le32At(w, 48), uint32_t(blocks * spb));
    QCOMPARE(w.mid(52, 4), QByteArray("data"));
    QCOMPARE(le32At(w, 56), uint32_t(blocks * blockSize));
}

void tst_WaveWriter::adpcmDecodes_data()
{
    QTest::addColumn<QString>("decoder");
    QTest::addColumn<int>("channels");

    for (const char *tool : {"ffmpeg", "sox"}) {
        QTest::addRow("%s mono", tool) << QString::fromLatin1(tool) << 1;
        QTest::addRow("%s stereo", tool) << QString::fromLatin1(tool) << 2;
    }
}

void tst_WaveWriter::adpcmDecodes()
{
    QFETCH(QString, decoder);
    QFETCH(int, channels);

    const int frames = 44100 * 2 + 333;
    const QByteArray pcm = tones(frames, channels, 16, 7);
    TMemoryInput input(pcm, 16, channels, 44100);
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    const QString file = path(QStringLiteral("decode.wav"));
    QCOMPARE(runWriter(out, input, file).done, 1);

    const QByteArray decoded = decodeWith(decoder, file, path(QStringLiteral("decoded.raw")));
    const int spb = channels == 1 ? 1017 : 505;
    QCOMPARE(decoded.size(), (frames / spb + 1) * spb * channels * 2);
    // 4-bit ADPCM of this material measures 38-39 dB with both decoders; a
    // broken bit layout, step table or channel order gives noise (below 0 dB).
    const double snr = snrDb(pcm, decoded);
    QVERIFY2(snr > 30.0, qPrintable(QStringLiteral("SNR %1 dB").arg(snr)));
    // The padding after the input is silence: once the decoder's predictor
    // has come down from the last real sample, nothing louder than the
    // smallest steps is left (ffmpeg reconstructs steps slightly differently
    // from this encoder and settles a few steps off zero).
    const QByteArray tail = decoded.mid(pcm.size() + 64 * channels * 2);
    QVERIFY(!tail.isEmpty());
    int loudest = 0;
    for (int i = 0; i + 1 < tail.size(); i += 2)
        loudest = std::max(loudest, std::abs(int(int16_t(le16At(tail, i)))));
    qInfo("SNR %.1f dB, loudest padding sample %d", snr, loudest);
    QVERIFY2(loudest <= 32, qPrintable(QString::number(loudest)));
}

void tst_WaveWriter::encodeSample_data()
{
    QTest::addColumn<int>("predictor");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("sample");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("newPredictor");
    QTest::addColumn<int>("newIndex");

    QTest::newRow("silence stays, index drops to 0") << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("one step up") << 0 << 0 << 7 << 4 << 7 << 2;
    QTest::newRow("all bits down") << 0 << 0 << -100 << 15 << -11 << 8;
    QTest::newRow("mid table") << 1000 << 40 << 1500 << 5 << 1463 << 44;
    QTest::newRow("clamped at +32767") << 32760 << 88 << 32767 << 0 << 32767 << 87;
    QTest::newRow("clamped at -32767, not -32768") << -32760 << 88 << -32768 << 8 << -32767 << 87;
    QTest::newRow("index capped at 88") << 0 << 87 << 32767 << 4 << 32767 << 88;
}

void tst_WaveWriter::encodeSample()
{
    QFETCH(int, predictor);
    QFETCH(int, index);
    QFETCH(int, sample);
    QFETCH(int, code);
    QFETCH(int, newPredictor);
    QFETCH(int, newIndex);

    ImaAdpcm::TIMAChannelState state;
    state.Predictor = static_cast<int16_t>(predictor);
    state.StepIndex = static_cast<uint8_t>(index);
    QCOMPARE(int(ImaAdpcm::encodeSample(static_cast<int16_t>(sample), state)), code);
    QCOMPARE(int(state.Predictor), newPredictor);
    QCOMPARE(int(state.StepIndex), newIndex);
}

void tst_WaveWriter::setters()
{
    TWaveOut out;
    QCOMPARE(out.BlockSize(), uint16_t(512));
    QCOMPARE(out.WavType(), wtPCM);
    QCOMPARE(out.FileMode(), foRewrite);
    out.SetBlockSize(510);
    QCOMPARE(out.BlockSize(), uint16_t(512));
    out.SetBlockSize(0);
    QCOMPARE(out.BlockSize(), uint16_t(512));
    out.SetBlockSize(1024);
    QCOMPARE(out.BlockSize(), uint16_t(1024));
    out.SetWavType(wtMSADPCM);
    QCOMPARE(out.WavType(), wtPCM);
    out.SetWavType(wtACM);
    QCOMPARE(out.WavType(), wtPCM);
    out.SetWavType(wtDVIADPCM);
    QCOMPARE(out.WavType(), wtDVIADPCM);
    out.SetFileMode(foAppend); // this sink can append
    QCOMPARE(out.FileMode(), foAppend);
}

void tst_WaveWriter::settersIgnoredWhileRunning()
{
    TMemoryInput input(tones(20000, 2));
    TWaveOut out;
    std::atomic<int> done{0};
    out.OnDone = [&](TPcmOutput *) { ++done; };
    out.SetInput(&input);
    out.SetFileName(path(QStringLiteral("busy.wav")));
    input.hold();
    out.StartOutput();
    QTRY_VERIFY(input.readParked());
    out.SetBlockSize(1024);
    out.SetWavType(wtDVIADPCM);
    input.release();
    QTRY_COMPARE(done.load(), 1);
    QCOMPARE(out.BlockSize(), uint16_t(512));
    QCOMPARE(out.WavType(), wtPCM);
    QCOMPARE(TestSupport::readFile(path(QStringLiteral("busy.wav"))).size(), 44 + 80000);
}

void tst_WaveWriter::headerStatesWhatWasWritten_data()
{
    QTest::addColumn<int>("wavType");
    QTest::addColumn<QString>("ending");

    for (int type : {int(wtPCM), int(wtDVIADPCM)}) {
        const char *name = type == wtPCM ? "PCM" : "ADPCM";
        QTest::addRow("%s stopped", name) << type << QStringLiteral("stop");
        QTest::addRow("%s input short of its Size", name) << type << QStringLiteral("short");
        QTest::addRow("%s unknown size", name) << type << QStringLiteral("unknown");
        QTest::addRow("%s read failure", name) << type << QStringLiteral("fail");
        QTest::addRow("%s writer destroyed mid-run", name) << type << QStringLiteral("destroy");
    }
}

void tst_WaveWriter::headerStatesWhatWasWritten()
{
    QFETCH(int, wavType);
    QFETCH(QString, ending);

    const QByteArray pcm = tones(60000, 2);
    TMemoryInput input(pcm);
    input.setMaxRead(4000);
    if (ending == QLatin1String("short"))
        input.setReportedSize(pcm.size() * 3);
    if (ending == QLatin1String("unknown"))
        input.setReportedSize(-1);
    if (ending == QLatin1String("fail"))
        input.setFailAfter(100000);
    const bool destroy = ending == QLatin1String("destroy");
    if (destroy)
        input.setEndless(true);
    auto out = std::make_unique<TWaveOut>();
    out->SetWavType(TWavType(wavType));
    std::atomic<int> done{0};
    std::atomic<int> errors{0};
    out->OnDone = [&](TPcmOutput *) { ++done; };
    out->OnThreadException = [&](TPcmOutput *, const std::exception &) { ++errors; };
    out->SetInput(&input);
    const QString file = path(QStringLiteral("patched.wav"));
    out->SetFileName(file);
    if (ending == QLatin1String("stop"))
        input.hold();
    out->StartOutput();
    if (ending == QLatin1String("stop")) {
        QTRY_VERIFY(input.readParked());
        out->RequestStop();
        input.release();
    }
    if (destroy) {
        QTRY_VERIFY(QFileInfo(file).size() > 200000);
        out.reset();
        input.EndRead();
    } else {
        QTRY_COMPARE(done + errors, 1);
    }
    QCOMPARE(errors.load(), ending == QLatin1String("fail") ? 1 : 0);

    const QByteArray w = TestSupport::readFile(file);
    const int headerSize = wavType == wtPCM ? 44 : 60;
    QVERIFY(w.size() > headerSize);
    QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));
    QCOMPARE(le32At(w, headerSize - 4), uint32_t(w.size() - headerSize));
    if (wavType == wtPCM) {
        // (the endless input goes on in silence)
        QCOMPARE(w.mid(44), pcm.leftJustified(w.size() - 44, '\0', true));
        if (ending == QLatin1String("short") || ending == QLatin1String("unknown"))
            QCOMPARE(w.size() - 44, pcm.size());
    } else {
        QCOMPARE((w.size() - 60) % 512, 0);
        QCOMPARE(le32At(w, 48), uint32_t((w.size() - 60) / 512 * 505));
    }
    QVERIFY(!input.IsBusy());
}

void tst_WaveWriter::appendPcm()
{
    const QByteArray first = tones(30000, 2, 16, 1);
    const QByteArray second = tones(21111, 2, 16, 2);
    const QString file = path(QStringLiteral("append.wav"));
    TWaveOut out;
    TMemoryInput input(first);
    QCOMPARE(runWriter(out, input, file).done, 1);

    input.setData(second);
    out.SetFileMode(foAppend);
    const RunResult r = runWriter(out, input, file);
    QCOMPARE(r.message, QString());
    QCOMPARE(r.done, 1);
    const QByteArray w = TestSupport::readFile(file);
    QCOMPARE(w.size(), 44 + first.size() + second.size());
    QCOMPARE(w.mid(44), first + second);
    QCOMPARE(le32At(w, 40), uint32_t(first.size() + second.size()));
    QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));
    QCOMPARE(out.BlockSize(), uint16_t(4)); // the file's block align, as scanned
}

void tst_WaveWriter::appendAdpcm()
{
    const QByteArray first = tones(505 * 6 + 100, 2, 16, 3);
    const QByteArray second = tones(505 * 3 + 7, 2, 16, 4);
    const QString file = path(QStringLiteral("append-adpcm.wav"));
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    TMemoryInput input(first);
    QCOMPARE(runWriter(out, input, file).done, 1);

    // A new writer set to PCM takes the file's type and block align.
    TWaveOut appender;
    appender.SetFileMode(foAppend);
    appender.SetBlockSize(1024);
    input.setData(second);
    const RunResult r = runWriter(appender, input, file);
    QCOMPARE(r.message, QString());
    QCOMPARE(r.done, 1);
    QCOMPARE(appender.WavType(), wtDVIADPCM);
    QCOMPARE(appender.BlockSize(), uint16_t(512));

    const QByteArray w = TestSupport::readFile(file);
    const int blocks = 7 + 4;
    QCOMPARE(w.size(), 60 + blocks * 512);
    QCOMPARE(le32At(w, 56), uint32_t(blocks * 512));
    QCOMPARE(le32At(w, 48), uint32_t(blocks * 505));
    QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));

    const QByteArray decoded = decodeWith(QStringLiteral("ffmpeg"),
                                          file,
                                          path(QStringLiteral("a.raw")));
    QCOMPARE(decoded.size(), blocks * 505 * 4);
    // The second run starts at block 7, after the first run's padding.
    // Lower than for long runs: the step index starts at 0 in the first
    // block and takes a few hundred samples to reach the signal's level.
    const double snrFirst = snrDb(first, decoded.left(first.size()));
    const double snrSecond = snrDb(second, decoded.mid(7 * 505 * 4, second.size()));
    qInfo("SNR %.1f dB and %.1f dB", snrFirst, snrSecond);
    QVERIFY(snrFirst > 20.0);
    QVERIFY(snrSecond > 20.0);
}

void tst_WaveWriter::appendRefused_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QString>("message");

    const QString otherFormat = QStringLiteral("Cannot append data in different audio format.");
    const QString notWav = QStringLiteral("Cannot append data to this .wav file.");
    const QByteArray body(400, '\x11');
    const QByteArray pcm = TWaveOut::BuildPCMHeader(400, 2, 44100, 16) + body;
    const QByteArray adpcm = TWaveOut::BuildIMAADPCMHeader(2020, 2, 44100, 512)
                             + QByteArray(512, 0);

    QTest::newRow("22050 Hz PCM file")
        << TWaveOut::BuildPCMHeader(400, 2, 22050, 16) + body << 16 << 2 << 44100 << otherFormat;
    QTest::newRow("mono PCM file")
        << TWaveOut::BuildPCMHeader(400, 1, 44100, 16) + body << 16 << 2 << 44100 << otherFormat;
    QTest::newRow("8-bit PCM file")
        << TWaveOut::BuildPCMHeader(400, 2, 44100, 8) + body << 16 << 2 << 44100 << otherFormat;
    QTest::newRow("ADPCM file, other rate") << adpcm << 16 << 2 << 48000 << otherFormat;
    QTest::newRow("ADPCM file, 8-bit input")
        << adpcm << 8 << 2 << 44100 << QStringLiteral("Cannot encode 8 bit sound into ADPCM.");
    QByteArray floatTag = pcm;
    floatTag[20] = 3;
    QTest::newRow("fmt tag 3") << floatTag << 16 << 2 << 44100 << notWav;
    QByteArray noRiff = pcm;
    noRiff.replace(0, 4, "RIFX");
    QTest::newRow("no RIFF") << noRiff << 16 << 2 << 44100 << notWav;
    QByteArray noWave = pcm;
    noWave.replace(8, 4, "AVI ");
    QTest::newRow("no WAVE") << noWave << 16 << 2 << 44100 << notWav;
    QByteArray noData = pcm;
    noData.replace(36, 4, "dat ");
    QTest::newRow("no data chunk") << noData << 16 << 2 << 44100 << notWav;
    QByteArray late = pcm.left(36);
    late += QByteArray("LIST") + QByteArray(4, '\0') + QByteArray(4100, ' ');
    putLe32(late, 40, 4100);
    late += pcm.mid(36);
    QTest::newRow("data chunk past 4096 bytes") << late << 16 << 2 << 44100 << notWav;
    // Appended to as if the LIST were audio, the file once got a data size
    // that took the tags in.
    QTest::newRow("LIST chunk after the data")
        << pcm + "LIST" + QByteArray("\x0c\0\0\0INFOINAM\0\0\0\0", 16) << 16 << 2 << 44100
        << notWav;
    QTest::newRow("odd data with a pad byte")
        << TWaveOut::BuildPCMHeader(401, 1, 44100, 8) + QByteArray(401, '\x80') + '\0' << 8 << 1
        << 44100 << notWav;
    QTest::newRow("ADPCM without fact")
        << adpcm.left(40) + adpcm.mid(52) << 16 << 2 << 44100 << notWav;
    QTest::newRow("text file") << QByteArray("hello, this is not a sound\n") << 16 << 2 << 44100
                               << notWav;
}

void tst_WaveWriter::appendRefused()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, rate);
    QFETCH(QString, message);

    const QString file = path(QStringLiteral("refuse.wav"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(existing);
    f.close();

    TMemoryInput input(tones(3000, channels), bits, channels, rate);
    TWaveOut out;
    out.SetFileMode(foAppend);
    const RunResult r = runWriter(out, input, file);
    QCOMPARE(r.message, message);
    QCOMPARE(r.errors, 1);
    QCOMPARE(r.done, 0);
    QCOMPARE(TestSupport::readFile(file), existing);
    QVERIFY(!input.IsBusy());
    QCOMPARE(input.endCalls.load(), 1);
    QVERIFY(!out.IsBusy());
}

void tst_WaveWriter::lowerCaseChunkIds()
{
    // Lower-case ids, an odd-length chunk before "fmt " (no pad byte) and a
    // longer "fmt " body, as some editors write them.
    const QByteArray audio = tones(1000, 2);
    QByteArray head = TWaveOut::BuildPCMHeader(audio.size(), 2, 44100, 16);
    QByteArray file = QByteArray("riff") + head.mid(4, 4) + "wave";
    file += QByteArray("junk") + QByteArray("\x03\0\0\0", 4) + "abc";
    file += QByteArray("FMT ") + QByteArray("\x12\0\0\0", 4) + head.mid(20, 16)
            + QByteArray(2, '\0');
    file += QByteArray("Data") + head.mid(40, 4);
    const int dataStart = file.size();
    file += audio;

    const QString name = path(QStringLiteral("lower.wav"));
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(file);
    f.close();

    const QByteArray more = tones(777, 2, 16, 9);
    TMemoryInput input(more);
    TWaveOut out;
    out.SetFileMode(foAppend);
    const RunResult r = runWriter(out, input, name);
    QCOMPARE(r.message, QString());
    QCOMPARE(out.ExistingInfo().DataStart, uint32_t(dataStart));
    const QByteArray w = TestSupport::readFile(name);
    QCOMPARE(w.mid(dataStart), audio + more);
    QCOMPARE(le32At(w, dataStart - 4), uint32_t(audio.size() + more.size()));
    QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));

    QVERIFY(TWaveOut::SameChunkId("data", "DATA"));
    QVERIFY(TWaveOut::SameChunkId("fmt ", "FMT\0")); // space and NUL differ by 0x20 too
    QVERIFY(!TWaveOut::SameChunkId("data", "dbta"));
}

void tst_WaveWriter::scanTruncatedHeaders()
{
    const QByteArray pcm = TWaveOut::BuildPCMHeader(0, 2, 44100, 16);
    const QByteArray adpcm = TWaveOut::BuildIMAADPCMHeader(0, 1, 22050, 256);
    for (int n = 0; n <= pcm.size(); ++n) {
        const TExistingWaveInfo info = TWaveOut::ScanWaveHeader(pcm.left(n), n);
        QCOMPARE(int(info.TypeFound), n == 44 ? int(wtPCM) : 0);
    }
    for (int n = 0; n <= adpcm.size(); ++n) {
        const TExistingWaveInfo info = TWaveOut::ScanWaveHeader(adpcm.left(n), n);
        QCOMPARE(int(info.TypeFound), n == 60 ? int(wtDVIADPCM) : 0);
    }
    const TExistingWaveInfo a = TWaveOut::ScanWaveHeader(adpcm, 60);
    QCOMPARE(a.FactOffset, 48u);
    QCOMPARE(a.DataSizeOffset, 56u);
    QCOMPARE(a.DataStart, 60u);
    QCOMPARE(a.Channels, uint16_t(1));
    QCOMPARE(a.SampleRate, 22050u);
    QCOMPARE(a.BlockAlign, uint16_t(256));

    // A buffer shorter than the file it claims to be (the scan window) is
    // never read past.
    QCOMPARE(int(TWaveOut::ScanWaveHeader(pcm.left(30), 1000000).TypeFound), 0);

    // Lengths that point far past the window or wrap around.
    for (uint32_t length : {0xffffffffu, 0x80000000u, 5000u, 15u}) {
        QByteArray big = pcm;
        putLe32(big, 16, length);
        QCOMPARE(int(TWaveOut::ScanWaveHeader(big, 1 << 30).TypeFound), 0);
        QByteArray junk = pcm.left(12) + "junk" + QByteArray(4, '\0') + pcm.mid(12);
        putLe32(junk, 16, length);
        QCOMPARE(int(TWaveOut::ScanWaveHeader(junk, 1 << 30).TypeFound), 0);
    }
}

void tst_WaveWriter::scanFuzz()
{
    // Random and mutated headers: no crash, no read past the buffer (run this
    // under valgrind or ASan to see the latter), and anything found lies inside it.
    QRandomGenerator random(20240607);
    const QByteArray seeds[] = {
        TWaveOut::BuildPCMHeader(1000, 2, 44100, 16) + QByteArray(100, 1),
        TWaveOut::BuildIMAADPCMHeader(5000, 2, 44100, 512) + QByteArray(100, 2),
    };
    int found = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        if (round % 4 == 0) {
            bytes.resize(random.bounded(0, 5000));
            for (char &c : bytes)
                c = static_cast<char>(random.bounded(256));
        } else {
            bytes = seeds[round % 2];
            const int changes = random.bounded(1, 6);
            for (int i = 0; i < changes; ++i)
                bytes[random.bounded(bytes.size())] = static_cast<char>(random.bounded(256));
            bytes.truncate(random.bounded(bytes.size() + 1));
        }
        // The scan sees a heap block of exactly these bytes (no terminating
        // NUL or spare capacity), so that a tool sees an overrun of even one.
        const std::vector<char> block(bytes.begin(), bytes.end());
        const QByteArray exact = QByteArray::fromRawData(block.data(),
                                                         static_cast<int>(block.size()));
        const TExistingWaveInfo info = TWaveOut::ScanWaveHeader(exact, exact.size());
        if (info.TypeFound != wtUnsupported) {
            ++found;
            QVERIFY(info.TypeFound == wtPCM || info.TypeFound == wtDVIADPCM);
            QVERIFY(info.DataStart <= uint32_t(exact.size()));
            QCOMPARE(info.DataSizeOffset + 4, info.DataStart);
        }
    }
    QVERIFY(found > 100); // the mutations left enough files readable to matter
}

void tst_WaveWriter::writeFailure_data()
{
    QTest::addColumn<int>("wavType");
    QTest::addColumn<bool>("devFull");
    for (int type : {int(wtPCM), int(wtDVIADPCM)}) {
        const char *name = type == wtPCM ? "PCM" : "ADPCM";
        QTest::addRow("%s, /dev/full", name) << type << true;
        QTest::addRow("%s, file size limit mid-run", name) << type << false;
    }
}

void tst_WaveWriter::writeFailure()
{
    // /dev/full fails every write with ENOSPC; a file size limit lets the
    // first 100000 bytes through and then fails with EFBIG, as a disk that
    // fills up during a rip does.
    QFETCH(int, wavType);
    QFETCH(bool, devFull);
    if (devFull && !QFile::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    const QByteArray pcm = tones(100000, 2);
    TMemoryInput input(pcm);
    TWaveOut out;
    out.SetWavType(TWavType(wavType));
    const QString file = devFull ? QStringLiteral("/dev/full")
                                 : path(QStringLiteral("limited.wav"));
    constexpr rlim_t Limit = 100000;
    RunResult r;
    {
        std::optional<FileSizeLimit> limit;
        if (!devFull) {
            limit.emplace(Limit);
            QVERIFY(limit->isActive());
        }
        r = runWriter(out, input, file);
    }
    QCOMPARE(r.done, 0);
    QCOMPARE(r.errors, 1);
    QVERIFY2(r.message.contains(file), qPrintable(r.message));
    QVERIFY2(r.message.contains(QString::fromLocal8Bit(std::strerror(devFull ? ENOSPC : EFBIG))),
             qPrintable(r.message));
    QVERIFY(!input.IsBusy());
    QVERIFY(!out.IsBusy());
    if (!devFull) {
        // What did reach the disk is a valid file whose header says so.
        const QByteArray w = TestSupport::readFile(file);
        const int headerSize = wavType == wtPCM ? 44 : 60;
        QCOMPARE(w.size(), int(Limit));
        QCOMPARE(le32At(w, 4), uint32_t(w.size() - 8));
        QCOMPARE(le32At(w, headerSize - 4), uint32_t(w.size() - headerSize));
        if (wavType == wtPCM)
            QCOMPARE(w.mid(44), pcm.left(w.size() - 44));
    }

    // The writer recovers for the next run.
    QCOMPARE(runWriter(out, input, path(QStringLiteral("after-full.wav"))).done, 1);
}

void tst_WaveWriter::unsuitableAdpcmFormat_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<QString>("message");

    const QString blockMessage = QStringLiteral(
        "The ADPCM block size does not suit the number of channels.");
    QTest::newRow("stereo, 516 bytes would overrun") << 2 << 516 << blockMessage;
    QTest::newRow("stereo, 8 bytes hold no codes") << 2 << 8 << blockMessage;
    QTest::newRow("mono, 4 bytes hold no codes") << 1 << 4 << blockMessage;
    QTest::newRow("six channels") << 6 << 512
                                  << QStringLiteral("ADPCM can only encode mono or stereo sound.");
    QTest::newRow("stereo, 520 bytes fit") << 2 << 520 << QString();
    QTest::newRow("mono, 516 bytes fit") << 1 << 516 << QString();
}

void tst_WaveWriter::unsuitableAdpcmFormat()
{
    QFETCH(int, channels);
    QFETCH(int, blockSize);
    QFETCH(QString, message);

    TMemoryInput input(tones(5000, channels), 16, channels, 44100);
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    out.SetBlockSize(static_cast<uint16_t>(blockSize));
    const RunResult r = runWriter(out, input, path(QStringLiteral("unsuitable.wav")));
    QCOMPARE(r.message, message);
    QCOMPARE(r.done, message.isEmpty() ? 1 : 0);
    QVERIFY(!input.IsBusy());
    if (message.isEmpty()) {
        const QByteArray w = TestSupport::readFile(path(QStringLiteral("unsuitable.wav")));
        QCOMPARE((w.size() - 60) % blockSize, 0);
        QVERIFY(!decodeWith(QStringLiteral("ffmpeg"),
                            path(QStringLiteral("unsuitable.wav")),
                            path(QStringLiteral("unsuitable.raw")))
                     .isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_WaveWriter)
#include "tst_wavewriter.moc"
