#include "pipeline/macwriter.h"
#include "pipeline/pcmexception.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/memoryinput.h"
#include "tests/support/outputrun.h"
#include "tests/support/pcmsignals.h"
#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

using TestSupport::tones;

namespace {

using Run = TestSupport::OutputRun;

QByteArray decode(const QString &path, QString *error)
{
    const auto r = TestSupport::run(
        QStringLiteral("ffmpeg"),
        {"-v", "error", "-xerror", "-err_detect", "crccheck", "-i", path, "-f", "s16le", "-"});
    *error = QString::fromUtf8(r.err);
    return r.exitCode == 0 ? r.out : QByteArray();
}

// Runs a writer at `level` over input and decodes the file: bit for bit the
// expected bytes, the run ended in OnDone with the input read to its end.
void compressAndCompare(TPcmInput &input, int level, const QByteArray &expected, const QString &path)
{
    TMACOut out;
    out.SetInput(&input);
    out.SetCompressionLevel(level);
    out.SetFileName(path);
    Run run(out);
    QVERIFY(run.startAndWait());
    QCOMPARE(run.message(), QString());
    QCOMPARE(run.done(), 1);
    QVERIFY(out.EndOfInput());
    QCOMPARE(out.LastProgress(), 100);
    QString error;
    const QByteArray decoded = decode(path, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(decoded.size(), expected.size());
    QVERIFY(decoded == expected);
}

// The fake library's record of the calls, one per line.
QStringList callLog(const QString &output)
{
    return QString::fromUtf8(TestSupport::readFile(output + QStringLiteral(".log")))
        .split('\n', Qt::SkipEmptyParts);
}

const char *const FakeSettings[] = {"FAKE_MAC_LOCK_BYTES",
                                    "FAKE_MAC_CREATE_ERROR",
                                    "FAKE_MAC_START_RESULT",
                                    "FAKE_MAC_UNLOCK_FAIL_AFTER",
                                    "FAKE_MAC_FINISH_RESULT"};

} // namespace

class tst_MacWriter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void compressionLevel_data();
    void compressionLevel();
    void errorText_data();
    void errorText();
    void roundTrip_data();
    void roundTrip();
    void roundsArriveInOrder();
    void libraryFailures_data();
    void libraryFailures();
    void realFailures_data();
    void realFailures();
    void destructionMidRunLeavesNoFile();
    void missingLibrary_data();
    void missingLibrary();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Mac::Library> m_fake;
};

void tst_MacWriter::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(Mac::LoadMACLibrary(), qPrintable(Mac::Library::instance().errorText()));
    QVERIFY(Mac::MACLoaded());
    m_fake = std::make_unique<Mac::Library>(QStringLiteral(FAKE_MACDLL_DIR "/libMACDll.so"));
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorText()));
}

void tst_MacWriter::init()
{
    for (const char *name : FakeSettings)
        qunsetenv(name);
}

void tst_MacWriter::compressionLevel_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("1000") << 1000 << 1000;
    QTest::newRow("2000") << 2000 << 2000;
    QTest::newRow("3000") << 3000 << 3000;
    QTest::newRow("4000") << 4000 << 4000;
    QTest::newRow("5000") << 5000 << 2000;
    QTest::newRow("0") << 0 << 2000;
    QTest::newRow("-1") << -1 << 2000;
    QTest::newRow("1500") << 1500 << 2000;
    QTest::newRow("3001") << 3001 << 2000;
}

void tst_MacWriter::compressionLevel()
{
    QFETCH(int, value);
    QFETCH(int, stored);
    TMACOut out;
    QCOMPARE(out.CompressionLevel(), 2000);
    QCOMPARE(out.MaxAudioBytes(), -1);
    // From a value other than the default, so that "ignored" and "2000" differ.
    out.SetCompressionLevel(4000);
    if (value == 4000)
        out.SetCompressionLevel(1000);
    out.SetCompressionLevel(value);
    QCOMPARE(out.CompressionLevel(), stored);
}

void tst_MacWriter::errorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    const std::pair<int, const char *> table[] = {{0, "OK"},
                                                  {1000, "I/O read error"},
                                                  {1001, "I/O write error"},
                                                  {1002, "invalid input file"},
                                                  {1003, "invalid output file"},
                                                  {1004, "input file file too large"},
                                                  {1005, "input file unsupported bit depth"},
                                                  {1006, "input file unsupported sample rate"},
                                                  {1007, "input file unsupported channel count"},
                                                  {1008, "input file too small"},
                                                  {1009, "invalid checksum"},
                                                  {1010, "decompressing frame"},
                                                  {1011, "initializing unmac"},
                                                  {1012, "invalid function parameter"},
                                                  {1013, "unsupported file type"},
                                                  {2000, "insufficient memory"},
                                                  {3000, "loading MAC.dll"},
                                                  {3001, "loading MACinfo.dll"},
                                                  {3002, "loading UnMAC.dll"},
                                                  {4000, "user stopped processing"},
                                                  {4001, "skipped..."},
                                                  {5000, "bad parameter"},
                                                  {6000, "APE compress too much data"},
                                                  {1234, "undefined (1234)"},
                                                  {-1, "undefined (-1)"},
                                                  {1014, "undefined (1014)"}};
    for (const auto &[code, text] : table)
        QTest::addRow("%d", code) << code << QString::fromLatin1(text);
}

void tst_MacWriter::errorText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(MACErrorText(code), text);
    const EAPEException e(code);
    QCOMPARE(e.message(), QStringLiteral("MACDll error: ") + text);
    QCOMPARE(e.ErrorCode(), code);
}

void tst_MacWriter::roundTrip_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("maxRead"); // what one read of the input returns at most
    for (int level : {1000, 2000, 3000, 4000}) {
        // Two frames and a short one at 1000..3000, a frame and a short one at 4000.
        QTest::addRow("%d stereo", level) << level << 2 << 150000 << (1 << 30);
    }
    QTest::newRow("mono") << 2000 << 1 << 150000 << 10000;
    QTest::newRow("one block") << 2000 << 2 << 1 << (1 << 30);
    QTest::newRow("reads of 6 bytes") << 2000 << 2 << 3001 << 6;
}

void tst_MacWriter::roundTrip()
{
    QFETCH(int, level);
    QFETCH(int, channels);
    QFETCH(int, blocks);
    QFETCH(int, maxRead);
    const QByteArray pcm = tones(blocks, channels);
    TMemoryInput input(pcm, 16, channels);
    input.setMaxRead(maxRead);
    compressAndCompare(input, level, pcm, m_dir.filePath(QStringLiteral("round.ape")));
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(input.endCalls.load(), input.beginCalls.load());
}

void tst_MacWriter::roundsArriveInOrder()
{
    // The fake offers 1000 bytes per lock, so every 64 KiB chunk goes over in
    // 66 rounds; it writes what it receives as is.
    const QByteArray pcm = tones(40000, 2); // 160000 bytes: two chunks and a part
    TMemoryInput input(pcm, 16, 2, 22050);
    TMACOut out(*m_fake);
    out.SetInput(&input);
    out.SetCompressionLevel(3000);
    out.SetMaxAudioBytes(123456);
    const QString path = m_dir.filePath(QStringLiteral("rounds.raw"));
    out.SetFileName(path);
    Run run(out);
    QVERIFY(run.startAndWait());
    QCOMPARE(run.message(), QString());
    QCOMPARE(run.done(), 1);
    QVERIFY(TestSupport::readFile(path) == pcm);

    const QStringList log = callLog(path);
    QVERIFY(!log.isEmpty());
    QCOMPARE(
        log.first(),
        QStringLiteral(
            "start rate=22050 bits=16 channels=2 align=4 max=123456 level=3000 header=null/-1"));
    QCOMPARE(log.mid(log.size() - 2), QStringList({"finish null 0 0", "destroy"}));
    QStringList expectedRounds;
    for (int chunk : {65536, 65536, 160000 - 2 * 65536}) {
        for (int left = chunk; left > 0; left -= 1000)
            expectedRounds << QStringLiteral("lock 1000")
                           << QStringLiteral("unlock %1 process=1").arg(std::min(left, 1000));
    }
    QCOMPARE(log.mid(1, log.size() - 3), expectedRounds);
}

void tst_MacWriter::libraryFailures_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("started"); // the file was opened by the library
    QTest::newRow("create") << QByteArray("FAKE_MAC_CREATE_ERROR") << QByteArray("2000")
                            << "MACDll error: insufficient memory" << false;
    QTest::newRow("create, unknown code")
        << QByteArray("FAKE_MAC_CREATE_ERROR") << QByteArray("1234")
        << "MACDll error: undefined (1234)" << false;
    QTest::newRow("start") << QByteArray("FAKE_MAC_START_RESULT") << QByteArray("1003")
                           << "Error starting APECompress.\r\ninvalid output file" << true;
    QTest::newRow("unlock") << QByteArray("FAKE_MAC_UNLOCK_FAIL_AFTER") << QByteArray("70000")
                            << "APECompress.UnlockBuffer Error: 1001" << true;
    QTest::newRow("no buffer space") << QByteArray("FAKE_MAC_LOCK_BYTES") << QByteArray("0")
                                     << "APECompress.LockBuffer offered no buffer space." << true;
    // The file is completed by Finish: a failure there is no success.
    QTest::newRow("finish") << QByteArray("FAKE_MAC_FINISH_RESULT") << QByteArray("1001")
                            << "Error finishing APECompress.\r\nI/O write error" << true;
}

void tst_MacWriter::libraryFailures()
{
    QFETCH(QByteArray, setting);
    QFETCH(QByteArray, value);
    QFETCH(QString, message);
    QFETCH(bool, started);
    qputenv(setting.constData(), value);
    TMemoryInput input(tones(30000, 2));
    TMACOut out(*m_fake);
    out.SetInput(&input);
    const QString path = m_dir.filePath(
        QStringLiteral("failing-%1.raw").arg(QTest::currentDataTag()));
    out.SetFileName(path);
    Run run(out);
    QVERIFY(run.startAndWait());
    QCOMPARE(run.message(), message);
    QCOMPARE(run.done(), 0);
    QCOMPARE(out.OutputState(), osIdle);
    QCOMPARE(input.beginCalls.load(), 1);
    QCOMPARE(input.endCalls.load(), 1);
    const QStringList log = callLog(path);
    QCOMPARE(!log.isEmpty(), started);
    if (started) {
        QCOMPARE(log.last(), QStringLiteral("destroy"));
        // A run that failed on its way is not completed into a shortened file.
        QCOMPARE(log.contains(QStringLiteral("finish null 0 0")),
                 setting == "FAKE_MAC_FINISH_RESULT");
    }
    // The writer is ready for the next run.
    qunsetenv(setting.constData());
    Run again(out);
    QVERIFY(again.startAndWait());
    QCOMPARE(again.message(), QString());
    QCOMPARE(again.done(), 1);
}

void tst_MacWriter::realFailures_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("fileLimit"); // largest file the process may write, 0: any
    QTest::addColumn<QString>("message");
    // No audio makes no file that plays: one step sees the end, and
    // FinishOutput reports the library's refusal.
    QTest::newRow("no audio") << 0 << 0 << "Error finishing APECompress.\r\ninput file too small";
    // A disk that fills up at the very end: the library writes the short
    // last frame and the header only when it finishes.
    QTest::newRow("disk full at the end")
        << 20000 << 12000 << "Error finishing APECompress.\r\nI/O write error";
}

void tst_MacWriter::realFailures()
{
    QFETCH(int, bytes);
    QFETCH(int, fileLimit);
    QFETCH(QString, message);
    TMemoryInput input(tones(bytes / 4, 2));
    TMACOut out;
    out.SetInput(&input);
    const QString path = m_dir.filePath(QStringLiteral("real-failure.ape"));
    out.SetFileName(path);
    Run run(out);
    bool ended = false;
    {
        std::optional<FileSizeLimit> limit;
        if (fileLimit) {
            limit.emplace(rlim_t(fileLimit));
            QVERIFY(limit->isActive());
        }
        ended = run.startAndWait();
    }
    QVERIFY(ended);
    QCOMPARE(run.message(), message);
    QCOMPARE(run.done(), 0);
    QVERIFY(out.EndOfInput());
    QCOMPARE(input.endCalls.load(), 1);
    QVERIFY(!QFileInfo::exists(path));
}

void tst_MacWriter::destructionMidRunLeavesNoFile()
{
    const QString path = m_dir.filePath(QStringLiteral("destroyed.ape"));
    TMemoryInput input(tones(200000, 2));
    {
        TMACOut out;
        out.SetInput(&input);
        out.SetFileName(path);
        input.setMaxRead(4096);
        input.setEndless(true); // the run cannot end before the writer goes
        input.hold();
        out.StartOutput();
        QVERIFY(QFileInfo::exists(path));
        QTRY_VERIFY(input.readParked());
        input.release();
        QTRY_VERIFY(input.Position() > 320000); // past the first frame
        QVERIFY(out.IsBusy());
    }
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(input.endCalls.load(), 1);
}

void tst_MacWriter::missingLibrary_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::newRow("no such file") << m_dir.filePath(QStringLiteral("libMACDll.so"));
    // Loads, but lacks the compressor's entry points.
    QTest::newRow("another library") << QStringLiteral("libFLAC.so.12");
}

void tst_MacWriter::missingLibrary()
{
    QFETCH(QString, fileName);
    const Mac::Library library(fileName);
    QVERIFY(!library.isLoaded());
    QVERIFY(!library.errorText().isEmpty());
    try {
        TMACOut out(library);
        QFAIL("constructed without a library");
    } catch (const EPcmException &e) {
        QCOMPARE(e.message(), QStringLiteral("libMACDll.so library could not be loaded."));
    }
}

QTEST_GUILESS_MAIN(tst_MacWriter)
#include "tst_macwriter.moc"
