#include "pipeline/flacwriter.h"
#include "pipeline/pcmexception.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/memoryinput.h"
#include "tests/support/outputrun.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>
#include <optional>
#include <thread>

using TestSupport::tones;

namespace {

// A writer set to encode an input into a file, with the ends of its runs.
struct Run : TestSupport::OutputRun
{
    Run(TFLACOut &writer, TPcmInput &input, const QString &path)
        : OutputRun(writer)
    {
        writer.SetInput(&input);
        writer.SetFileName(path);
    }
    bool encode() { return startAndWait(); }
};

// Decodes with the reference decoder; empty on failure (the reason in *error).
QByteArray decode(const QString &flac, bool unsignedSamples, QString *error)
{
    const QString raw = flac + QStringLiteral(".raw");
    const auto r = TestSupport::run(QStringLiteral("flac"),
                                    {"-d",
                                     "-s",
                                     "-f",
                                     "--force-raw-format",
                                     "--endian=little",
                                     unsignedSamples ? "--sign=unsigned" : "--sign=signed",
                                     "-o",
                                     raw,
                                     flac});
    if (r.exitCode != 0)
        *error = QString::fromUtf8(r.err);
    return TestSupport::readFile(raw);
}

bool flacTestPasses(const QString &flac, QString *error)
{
    const auto r = TestSupport::run(QStringLiteral("flac"), {"-t", "-s", flac});
    *error = QString::fromUtf8(r.err);
    return r.exitCode == 0;
}

// Empty when the file passes `flac -t` and decodes to exactly pcm.
QString decodesTo(const QString &flac, const QByteArray &pcm, bool unsignedSamples = false)
{
    QString error;
    if (!flacTestPasses(flac, &error))
        return error;
    const QByteArray decoded = decode(flac, unsignedSamples, &error);
    if (!error.isEmpty())
        return error;
    if (decoded != pcm)
        return QStringLiteral("decoded %1 bytes differ from the %2 encoded")
            .arg(decoded.size())
            .arg(pcm.size());
    return {};
}

// What flac's analysis says about the frames of a file.
struct Analysis
{
    QList<int> blockSizes;
    QSet<QString> channelAssignments;
    int maxLpcOrder = 0;
};

Analysis analyse(const QString &flac)
{
    const QString ana = flac + QStringLiteral(".ana");
    TestSupport::run(QStringLiteral("flac"), {"-a", "-s", "-f", "-o", ana, flac});
    Analysis a;
    static const QRegularExpression frame(
        "^frame=\\d+.*blocksize=(\\d+).*channel_assignment=(\\w+)");
    static const QRegularExpression lpc("type=LPC\\s+order=(\\d+)");
    for (const QString &line : QString::fromUtf8(TestSupport::readFile(ana)).split('\n')) {
        if (const auto m = frame.match(line); m.hasMatch()) {
            a.blockSizes << m.captured(1).toInt();
            a.channelAssignments << m.captured(2);
        } else if (const auto l = lpc.match(line); l.hasMatch()) {
            a.maxLpcOrder = std::max(a.maxLpcOrder, l.captured(1).toInt());
        }
    }
    return a;
}

// Total samples as STREAMINFO gives them (bytes 8..41 of a FLAC file).
qint64 streamInfoTotal(const QByteArray &file)
{
    if (file.size() < 42 || !file.startsWith("fLaC"))
        return -1;
    const auto *s = reinterpret_cast<const uint8_t *>(file.constData()) + 8;
    qint64 total = s[13] & 0x0f;
    for (int i = 14; i < 18; ++i)
        total = (total << 8) | s[i];
    return total;
}

int propertyValue(TFLACOut &o, const QString &name)
{
    const std::map<QString, int> values = {
        {"Verify", o.Verify()},
        {"BlockSize", o.BlockSize()},
        {"BestModelSearch", o.BestModelSearch()},
        {"EnableMidSideStereo", o.EnableMidSideStereo()},
        {"EnableLooseMidSideStereo", o.EnableLooseMidSideStereo()},
        {"MaxLPCOrder", o.MaxLPCOrder()},
        {"QLPCoeffPrecision", o.QLPCoeffPrecision()},
        {"QLPCoeffPrecisionSearch", o.QLPCoeffPrecisionSearch()},
        {"MinResidualPartitionOrder", o.MinResidualPartitionOrder()},
        {"MaxResidualPartitionOrder", o.MaxResidualPartitionOrder()},
        {"FileMode", o.FileMode()},
        {"SuspendWhenIdle", o.SuspendWhenIdle()},
    };
    return values.at(name);
}

} // namespace

class tst_FlacWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void defaults_data();
    void defaults();
    void propertyRules_data();
    void propertyRules();
    void roundTrip_data();
    void roundTrip();
    void compressionLevel_data();
    void compressionLevel();
    void totalSamples_data();
    void totalSamples();
    void qlpPrecisionClamp_data();
    void qlpPrecisionClamp();
    void startFailures_data();
    void startFailures();
    void stopKeepsAValidPrefix();
    void destructionMidRunLeavesNoFile();
    void writeFailure_data();
    void writeFailure();
    void missingLibrary_data();
    void missingLibrary();

private:
    QTemporaryDir m_dir;
};

void tst_FlacWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(Flac::LoadFLACLibrary(), qPrintable(Flac::Library::instance().errorText()));
    QVERIFY(Flac::FLACLoaded());
}

void tst_FlacWriter::defaults_data()
{
    QTest::addColumn<int>("expected"); // the row's name is the property's
    QTest::newRow("Verify") << 0;
    QTest::newRow("BlockSize") << 4608;
    QTest::newRow("BestModelSearch") << 0;
    QTest::newRow("EnableMidSideStereo") << 1;
    QTest::newRow("EnableLooseMidSideStereo") << 0;
    QTest::newRow("MaxLPCOrder") << 0;
    QTest::newRow("QLPCoeffPrecision") << 0;
    QTest::newRow("QLPCoeffPrecisionSearch") << 0;
    QTest::newRow("MinResidualPartitionOrder") << 0;
    QTest::newRow("MaxResidualPartitionOrder") << 0;
    QTest::newRow("FileMode") << int(foRewrite);
    QTest::newRow("SuspendWhenIdle") << 1;
}

void tst_FlacWriter::defaults()
{
    QFETCH(int, expected);
    TFLACOut out;
    QCOMPARE(propertyValue(out, QString::fromLatin1(QTest::currentDataTag())), expected);
}

void tst_FlacWriter::propertyRules_data()
{
    // Setter calls in order, "name=value,..."; expected mid-side, loose, best.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("expected");
    QTest::newRow("loose on turns mid-side on") << "ms=0,loose=1"
                                                << "1,1,0";
    QTest::newRow("best after loose clears loose") << "loose=1,best=1"
                                                   << "1,0,1";
    QTest::newRow("best on turns mid-side on") << "ms=0,best=1"
                                               << "1,0,1";
    QTest::newRow("loose off keeps mid-side") << "loose=1,loose=0"
                                              << "1,0,0";
    QTest::newRow("best off touches nothing") << "ms=0,loose=1,best=0"
                                              << "1,1,0";
    QTest::newRow("mid-side off is stored as set") << "loose=1,ms=0"
                                                   << "0,1,0";
    QTest::newRow("append is refused") << "append=1"
                                       << "1,0,0";
}

void tst_FlacWriter::propertyRules()
{
    QFETCH(QString, calls);
    QFETCH(QString, expected);
    TFLACOut out;
    for (const QString &call : calls.split(',')) {
        const QStringList kv = call.split('=');
        const bool on = kv.at(1) == "1";
        if (kv.at(0) == "ms")
            out.SetEnableMidSideStereo(on);
        else if (kv.at(0) == "loose")
            out.SetEnableLooseMidSideStereo(on);
        else if (kv.at(0) == "best")
            out.SetBestModelSearch(on);
        else
            out.SetFileMode(on ? foAppend : foRewrite);
    }
    QCOMPARE(QStringLiteral("%1,%2,%3")
                 .arg(int(out.EnableMidSideStereo()))
                 .arg(int(out.EnableLooseMidSideStereo()))
                 .arg(int(out.BestModelSearch())),
             expected);
    QCOMPARE(out.FileMode(), foRewrite);
}

void tst_FlacWriter::roundTrip_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("maxLpc");
    QTest::addColumn<bool>("midSide");
    QTest::addColumn<QString>("extra"); // verify, loose, best, search

    QTest::newRow("defaults, short last block")
        << 16 << 2 << 4608 * 3 + 1000 << 4608 << 0 << true << "";
    QTest::newRow("10000 bytes in one step") << 16 << 2 << 2500 << 4608 << 0 << true << "";
    QTest::newRow("block size 0, libFLAC's choice") << 16 << 2 << 20000 << 0 << 8 << true << "";
    QTest::newRow("whole blocks only") << 16 << 2 << 4096 * 4 << 4096 << 8 << true << "";
    QTest::newRow("lpc 5, block 576, verify")
        << 16 << 2 << 576 * 7 + 3 << 576 << 5 << true << "verify";
    QTest::newRow("lpc 12, block 1152, best")
        << 16 << 2 << 1152 * 5 + 77 << 1152 << 12 << true << "best,search";
    QTest::newRow("lpc 8, loose mid-side")
        << 16 << 2 << 4608 * 2 + 1 << 4608 << 8 << true << "loose";
    QTest::newRow("independent channels") << 16 << 2 << 4608 + 9 << 4608 << 3 << false << "";
    QTest::newRow("mono, lpc 8") << 16 << 1 << 4608 * 2 + 500 << 4608 << 8 << true << "loose";
    QTest::newRow("24-bit") << 24 << 2 << 3000 << 1024 << 8 << true << "";
    QTest::newRow("8-bit unsigned") << 8 << 1 << 3000 << 1024 << 2 << true << "";
}

void tst_FlacWriter::roundTrip()
{
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, frames);
    QFETCH(int, blockSize);
    QFETCH(int, maxLpc);
    QFETCH(bool, midSide);
    QFETCH(QString, extra);

    const QByteArray pcm = tones(frames, channels, bits);
    TMemoryInput in(pcm, bits, channels, 44100);
    // Reads of odd sizes: a block must be filled across several of them.
    in.setMaxRead(3000 * channels * bits / 8 + channels * bits / 8);
    TFLACOut out;
    const QString path = m_dir.filePath(QStringLiteral("rt-%1.flac").arg(QTest::currentDataTag()));
    Run run(out, in, path);
    out.SetBlockSize(uint16_t(blockSize));
    out.SetMaxLPCOrder(uint16_t(maxLpc));
    out.SetMaxResidualPartitionOrder(extra.contains("best") ? 6 : 0);
    out.SetEnableMidSideStereo(midSide);
    out.SetVerify(extra.contains("verify"));
    out.SetEnableLooseMidSideStereo(extra.contains("loose"));
    out.SetBestModelSearch(extra.contains("best"));
    out.SetQLPCoeffPrecisionSearch(extra.contains("search"));
    QVERIFY(run.encode());
    QCOMPARE(run.message(), QString());
    QCOMPARE(run.done(), 1);
    QVERIFY(out.EndOfInput());
    QCOMPARE(in.endCalls.load(), 1);

    const QString mismatch = decodesTo(path, pcm, bits == 8);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // One FLAC frame per step: whole blocks, then the rest in one frame.
    const Analysis a = analyse(path);
    const int block = blockSize ? blockSize : a.blockSizes.value(0, 1);
    QList<int> expected(frames / block, block);
    if (frames % block)
        expected << frames % block;
    QCOMPARE(a.blockSizes, expected);
    QVERIFY(a.maxLpcOrder <= maxLpc);
    if (maxLpc >= 4)
        QVERIFY2(a.maxLpcOrder > 0, "MaxLPCOrder did not reach the encoder");
    if (channels == 1 || !midSide)
        QCOMPARE(a.channelAssignments, QSet<QString>{"INDEPENDENT"});
    else
        QVERIFY2(!(a.channelAssignments - QSet<QString>{"INDEPENDENT"}).isEmpty(),
                 "mid-side stereo did not reach the encoder");
}

void tst_FlacWriter::compressionLevel_data()
{
    // What libFLAC 1.4 reports for its preset; -1: the level is ignored.
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("maxLpc");
    QTest::addColumn<int>("maxPartition");
    QTest::addColumn<QString>("stereo"); // mid-side, loose
    QTest::newRow("0") << 0 << 1152 << 0 << 3 << "0,0";
    QTest::newRow("1") << 1 << 1152 << 0 << 3 << "1,1";
    QTest::newRow("2") << 2 << 1152 << 0 << 3 << "1,0";
    QTest::newRow("3") << 3 << 4096 << 6 << 4 << "0,0";
    QTest::newRow("4") << 4 << 4096 << 8 << 4 << "1,1";
    QTest::newRow("5") << 5 << 4096 << 8 << 5 << "1,0";
    QTest::newRow("6") << 6 << 4096 << 8 << 6 << "1,0";
    QTest::newRow("7") << 7 << 4096 << 12 << 6 << "1,0";
    QTest::newRow("8") << 8 << 4096 << 12 << 6 << "1,0";
    QTest::newRow("9 is no level") << 9 << -1 << 0 << 0 << "";
}

void tst_FlacWriter::compressionLevel()
{
    QFETCH(int, level);
    QFETCH(int, blockSize);
    QFETCH(int, maxLpc);
    QFETCH(int, maxPartition);
    QFETCH(QString, stereo);
    TFLACOut out;
    out.SetCompressionLevel(level);
    if (blockSize < 0) {
        QCOMPARE(out.CompressionLevel(), -1);
        QCOMPARE(out.BlockSize(), 4608);
        return;
    }
    // The properties show what the preset stands for.
    QCOMPARE(out.CompressionLevel(), level);
    QCOMPARE(int(out.BlockSize()), blockSize);
    QCOMPARE(int(out.MaxLPCOrder()), maxLpc);
    QCOMPARE(int(out.MaxResidualPartitionOrder()), maxPartition);
    QCOMPARE(QStringLiteral("%1,%2")
                 .arg(int(out.EnableMidSideStereo()))
                 .arg(int(out.EnableLooseMidSideStereo())),
             stereo);
    // Setting a property to what the preset has keeps it, another value ends it.
    out.SetMaxLPCOrder(uint16_t(maxLpc));
    QCOMPARE(out.CompressionLevel(), level);

    // And the file is libFLAC's preset, bit-exact.
    const int frames = 4096 * 3 + 100;
    const QByteArray pcm = tones(frames, 2, 16);
    TMemoryInput in(pcm, 16, 2, 44100);
    const QString path = m_dir.filePath(QStringLiteral("level-%1.flac").arg(level));
    Run run(out, in, path);
    QVERIFY(run.encode());
    QCOMPARE(run.message(), QString());
    const QString mismatch = decodesTo(path, pcm, false);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    const Analysis a = analyse(path);
    QCOMPARE(a.blockSizes.value(0), blockSize);
    QVERIFY(a.maxLpcOrder <= maxLpc);
    if (maxLpc > 0)
        QVERIFY2(a.maxLpcOrder > 0, "the preset's LPC did not reach the encoder");

    out.SetMaxLPCOrder(uint16_t(maxLpc + 1));
    QCOMPARE(out.CompressionLevel(), -1);
}

void tst_FlacWriter::totalSamples_data()
{
    QTest::addColumn<int>("reportedSize");
    const int bytes = 10000 * 4;
    QTest::newRow("exact") << bytes;
    QTest::newRow("unknown") << -1;
    QTest::newRow("too large") << bytes * 3;
    QTest::newRow("too small") << bytes / 3;
}

void tst_FlacWriter::totalSamples()
{
    // The estimate only sizes the stream; the file must state what it holds.
    QFETCH(int, reportedSize);
    TMemoryInput in(tones(10000, 2));
    in.setReportedSize(reportedSize);
    TFLACOut out;
    const QString path = m_dir.filePath(
        QStringLiteral("total-%1.flac").arg(QTest::currentDataTag()));
    Run run(out, in, path);
    QVERIFY(run.encode());
    QCOMPARE(run.done(), 1);
    QCOMPARE(streamInfoTotal(TestSupport::readFile(path)), 10000);
    QString error;
    QVERIFY2(flacTestPasses(path, &error), qPrintable(error));
}

void tst_FlacWriter::qlpPrecisionClamp_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("passed");
    QTest::addColumn<bool>("encodes");
    QTest::newRow("16-bit, 20 lowered to 15") << 16 << 20 << 15 << true;
    QTest::newRow("16-bit, 16 lowered to 15") << 16 << 16 << 15 << true;
    QTest::newRow("16-bit, 15 kept") << 16 << 15 << 15 << true;
    QTest::newRow("16-bit, 0 kept") << 16 << 0 << 0 << true;
    QTest::newRow("24-bit, 10 lowered to 7") << 24 << 10 << 7 << true;
    QTest::newRow("8-bit, 30 lowered to 23, refused") << 8 << 30 << 23 << false;
}

void tst_FlacWriter::qlpPrecisionClamp()
{
    QFETCH(int, bits);
    QFETCH(int, precision);
    QFETCH(int, passed);
    QFETCH(bool, encodes);
    TMemoryInput in(tones(3000, 2, bits), bits, 2, 44100);
    TFLACOut out;
    Run run(out, in, m_dir.filePath(QStringLiteral("qlp-%1.flac").arg(QTest::currentDataTag())));
    out.SetMaxLPCOrder(8);
    out.SetQLPCoeffPrecision(uint16_t(precision));
    QVERIFY(run.encode());
    QCOMPARE(int(out.QLPCoeffPrecision()), passed);
    QCOMPARE(run.done(), encodes ? 1 : 0);
    QCOMPARE(run.message(),
             encodes ? QString() : QStringLiteral("Failed to initialize FLAC encoder."));
}

void tst_FlacWriter::startFailures_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("blockSize");
    QTest::addColumn<int>("maxLpc");
    QTest::addColumn<QString>("message");
    const QString init = QStringLiteral("Failed to initialize FLAC encoder.");
    QTest::newRow("no file name") << "" << 16 << 2 << 4608 << 0 << "File name is not assigned.";
    QTest::newRow("block size over 4608") << "b8k.flac" << 16 << 2 << 8192 << 0 << init;
    QTest::newRow("lpc order over 32") << "lpc.flac" << 16 << 2 << 4608 << 33 << init;
    QTest::newRow("12-bit samples") << "b12.flac" << 12 << 2 << 4608 << 0 << init;
    QTest::newRow("no channels") << "c0.flac" << 16 << 0 << 4608 << 0 << init;
    QTest::newRow("folder missing") << "nowhere/x.flac" << 16 << 2 << 4608 << 0 << "Cannot open";
}

void tst_FlacWriter::startFailures()
{
    QFETCH(QString, fileName);
    QFETCH(int, bits);
    QFETCH(int, channels);
    QFETCH(int, blockSize);
    QFETCH(int, maxLpc);
    QFETCH(QString, message);
    TMemoryInput in(tones(5000, 2), bits, channels, 44100);
    TFLACOut out;
    const QString path = fileName.isEmpty() ? QString() : m_dir.filePath(fileName);
    Run run(out, in, path);
    out.SetBlockSize(uint16_t(blockSize));
    out.SetMaxLPCOrder(uint16_t(maxLpc));
    QVERIFY(run.encode());
    QCOMPARE(run.errors(), 1);
    QCOMPARE(run.done(), 0);
    QVERIFY2(run.message().startsWith(message), qPrintable(run.message()));
    QVERIFY(!out.IsBusy());
    QCOMPARE(in.endCalls.load(), in.beginCalls.load());
    if (!path.isEmpty())
        QVERIFY(!QFileInfo::exists(path));

    // The writer is usable again once the cause is gone.
    in.setFormat(16, 2, 44100);
    out.SetBlockSize(4608);
    out.SetMaxLPCOrder(0);
    out.SetFileName(m_dir.filePath(QStringLiteral("again.flac")));
    QVERIFY(run.encode());
    QCOMPARE(run.done(), 1);
}

void tst_FlacWriter::stopKeepsAValidPrefix()
{
    const QByteArray pcm = tones(4608 * 10, 2);
    TMemoryInput in(pcm);
    in.setMaxRead(4608 * 4);
    TFLACOut out;
    const QString path = m_dir.filePath(QStringLiteral("stopped.flac"));
    Run run(out, in, path);
    in.hold();
    out.StartOutput();
    const bool parked = QTest::qWaitFor([&in] { return in.readParked(); });
    out.RequestStop();
    if (!parked)
        in.release();
    QVERIFY(parked);
    in.release();
    QVERIFY(run.wait());
    QCOMPARE(run.done(), 1);
    QCOMPARE(run.errors(), 0);
    QString error;
    QVERIFY2(flacTestPasses(path, &error), qPrintable(error));
    const QByteArray decoded = decode(path, false, &error);
    QVERIFY(decoded.size() > 0 && decoded.size() < pcm.size());
    QCOMPARE(decoded.size() % (4608 * 4), 0);
    QVERIFY(decoded == pcm.left(decoded.size()));
    QCOMPARE(streamInfoTotal(TestSupport::readFile(path)), decoded.size() / 4);
}

void tst_FlacWriter::destructionMidRunLeavesNoFile()
{
    TMemoryInput in(tones(4608 * 10, 2));
    in.setMaxRead(4608 * 4);
    const QString path = m_dir.filePath(QStringLiteral("destroyed.flac"));
    std::thread releaser;
    bool existed = false;
    {
        TFLACOut out;
        out.SetInput(&in);
        out.SetFileName(path);
        in.hold();
        out.StartOutput();
        // Released on failure too, or the writer's destruction would wait forever.
        const bool parked = QTest::qWaitFor([&in] { return in.readParked(); });
        if (!parked)
            in.release();
        QVERIFY(parked);
        existed = QFileInfo::exists(path);
        // The destructor waits for the parked step, so the release comes from elsewhere.
        releaser = std::thread([&in] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            in.release();
        });
    } // the writer goes while its run is still open
    releaser.join();
    QVERIFY(existed);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(in.endCalls.load(), 1);
    QVERIFY(!in.IsBusy());
}

void tst_FlacWriter::writeFailure_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("message");
    // /dev/full fails every write; a file-size limit makes a regular file
    // fill up part way, as a full disk does.
    QTest::newRow("device full mid-run") << "/dev/full" << 44100 * 20 << "No space left on device";
    QTest::newRow("device full at the end") << "/dev/full" << 4608 << "No space left on device";
    QTest::newRow("file too large mid-run") << "limited.flac" << 44100 * 20 << "File too large";
}

void tst_FlacWriter::writeFailure()
{
    QFETCH(QString, target);
    QFETCH(int, frames);
    QFETCH(QString, message);
    const bool regular = !target.startsWith('/');
    const QString path = regular ? m_dir.filePath(target) : target;

    std::optional<FileSizeLimit> limit;
    if (regular) {
        limit.emplace(200 * 1024);
        QVERIFY(limit->isActive());
    }

    TMemoryInput in(tones(frames, 2));
    TFLACOut out;
    Run run(out, in, path);
    QVERIFY(run.encode());
    QTRY_VERIFY(!out.IsBusy());
    QCOMPARE(run.done(), 0);
    QCOMPARE(run.errors(), 1);
    QVERIFY2(run.message().contains(message) && run.message().contains(path),
             qPrintable(run.message()));
    QCOMPARE(in.endCalls.load(), 1);
    if (regular)
        QVERIFY(!QFileInfo::exists(path));
    else
        QVERIFY(QFileInfo(path).exists()); // a device node is never removed
}

void tst_FlacWriter::missingLibrary_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("no such library") << "libFLAC.so.99";
    QTest::newRow("library without the entry points") << "libc.so.6";
}

void tst_FlacWriter::missingLibrary()
{
    QFETCH(QString, fileName);
    const Flac::Library library(fileName);
    QVERIFY(!library.isLoaded());
    QVERIFY(!library.errorText().isEmpty());
    QString message;
    try {
        TFLACOut out(library);
    } catch (const EPcmException &e) {
        message = e.message();
    }
    QCOMPARE(message, QStringLiteral("libFLAC.so.12 library could not be loaded."));
}

QTEST_GUILESS_MAIN(tst_FlacWriter)
#include "tst_flacwriter.moc"
