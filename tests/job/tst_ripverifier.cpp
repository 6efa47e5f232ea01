#include "job/ripverifier.h"
#include "pipeline/cdinput.h"
#include "pipeline/flacbinding.h"
#include "pipeline/flacwriter.h"
#include "tests/job/accuraterip_database.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/outputrun.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace TestSupport;

// Tracks of a generated disc ripped to FLAC through the CD input with the
// verifier's taps, against a loopback AccurateRip server holding a file the
// test makes from the disc's own audio.
class tst_RipVerifier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyTrackAccurate();
    void changedSampleMismatchesOneTrack();
    void unknownDisc();
    void serverDown();
    void withoutVerifyNoLines();

private:
    struct Rip
    {
        QStringList lines;
        std::vector<QByteArray> decoded;
        QStringList verdicts; // what the log shows of each track
        QString ids;
    };
    // Rips every track of the installed disc to FLAC and finishes the job.
    Rip ripAll(bool verify, const QString &server);
    // The database file of the disc: one old record of v1 sums with low
    // confidences, one of v2 sums.
    QByteArray databaseFile() const;
    DiscLookup::DiscToc toc() const;

    QTemporaryDir m_dir;
    DiscGen::DiscSpec m_plan;
    DiscGen::WrittenDisc m_disc;
    LoopbackHttpServer m_server;
};

void tst_RipVerifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QVERIFY(Flac::LoadFLACLibrary());
    m_plan = audioDisc({400, 300, 10, 500});
    m_disc = installDisc(m_dir.filePath("disc"), m_plan);
}

DiscLookup::DiscToc tst_RipVerifier::toc() const
{
    return AccurateRipDatabase::tocOf(m_disc);
}

QByteArray tst_RipVerifier::databaseFile() const
{
    return AccurateRipDatabase::fileFor(m_disc, 2, 9);
}

tst_RipVerifier::Rip tst_RipVerifier::ripAll(bool verify, const QString &server)
{
    TCDIn cd;
    selectInstalledDisc(cd);
    TFLACOut flac;
    flac.SetInput(&cd);
    OutputRun run(flac);

    TAccurateRipSettings settings;
    settings.server = server;
    settings.connectTimeoutMs = 2000;
    settings.timeoutMs = 5000;
    TRipVerifier verifier(toc(), verify, settings);
    Rip rip;
    connect(&verifier, &TRipVerifier::MemoLine, this, [&rip](const QString &line) {
        rip.lines << line;
    });
    QSignalSpy done(&verifier, &TRipVerifier::Done);
    verifier.Start();
    for (int t = 1; t <= int(m_plan.tracks.size()); ++t) {
        const QString path = m_dir.filePath(QString("track%1.flac").arg(t));
        cd.SetStartTrack(t);
        cd.SetEndTrack(t);
        cd.SetTap(&verifier.BeginTrack(t));
        flac.SetFileName(path);
        if (!run.startAndWait() || run.done() != t)
            qFatal("the rip of track %d failed: %s", t, qPrintable(run.message()));
        cd.SetTap(nullptr);
        verifier.EndTrack(t);
        rip.decoded.push_back(ffmpegDecode(path));
    }
    verifier.Finish();
    if (!verifier.IsDone() && !done.wait(15000))
        qFatal("the verdicts never came");
    for (int t = 1; t <= int(m_plan.tracks.size()); ++t) {
        if (!verifier.Sums(t))
            qFatal("no sums for track %d", t);
        rip.verdicts << verifier.Verdict(t);
    }
    rip.ids = verifier.AccurateRipIds();
    return rip;
}

void tst_RipVerifier::everyTrackAccurate()
{
    m_server.reset();
    m_server.route("dBAR-004-", LoopbackHttpServer::text(200, databaseFile()));
    const Rip rip = ripAll(true, m_server.url(""));
    // The FLAC files hold what the checksums were taken of.
    for (size_t t = 0; t < rip.decoded.size(); ++t)
        QVERIFY(rip.decoded[t] == readFile(QString::fromStdString(m_disc.trackFiles[t])));
    QCOMPARE(rip.lines.size(), 5);
    for (int t = 1; t <= 4; ++t) {
        QVERIFY2(rip.lines[t - 1].startsWith(QString("Track %1: CRC32 ").arg(t)),
                 qPrintable(rip.lines[t - 1]));
        QVERIFY2(rip.lines[t - 1].endsWith(", accurately ripped (confidence 9)"),
                 qPrintable(rip.lines[t - 1]));
    }
    QCOMPARE(rip.lines[4], QString("AccurateRip: 4 of 4 tracks accurately ripped"));
    QCOMPARE(rip.verdicts[3], QString("accurately ripped (confidence 9)"));
    const AccurateRip::DiscIds ids = AccurateRip::discIds(toc());
    QCOMPARE(rip.ids,
             QString("004-%1-%2-%3")
                 .arg(ids.id1, 8, 16, QChar('0'))
                 .arg(ids.id2, 8, 16, QChar('0'))
                 .arg(ids.cddb, 8, 16, QChar('0')));
    QCOMPARE(m_server.requests().size(), 1);
}

void tst_RipVerifier::changedSampleMismatchesOneTrack()
{
    m_server.reset();
    m_server.route("dBAR-004-", LoopbackHttpServer::text(200, databaseFile()));
    // One sample in the middle of track 2 changes on the disc.
    QFile bin(QString::fromStdString(m_disc.binPath));
    QVERIFY(bin.open(QIODevice::ReadWrite));
    const qint64 at = qint64(m_disc.layout.tracks[1].start) * 2352 + 150 * 2352 + 400;
    QVERIFY(bin.seek(at));
    const QByteArray old = bin.read(2);
    QVERIFY(bin.seek(at));
    bin.write(QByteArray(1, char(old[0] ^ 0x01)) + old.mid(1));
    bin.close();

    const Rip rip = ripAll(true, m_server.url(""));
    QVERIFY(bin.open(QIODevice::ReadWrite) && bin.seek(at) && bin.write(old) == 2);
    bin.close();
    QCOMPARE(rip.lines.size(), 5);
    QVERIFY2(rip.lines[0].endsWith("accurately ripped (confidence 9)"), qPrintable(rip.lines[0]));
    QVERIFY2(rip.lines[1].endsWith("does not match AccurateRip (11 submissions)"),
             qPrintable(rip.lines[1]));
    QVERIFY2(rip.lines[2].endsWith("accurately ripped (confidence 9)"), qPrintable(rip.lines[2]));
    QVERIFY2(rip.lines[3].endsWith("accurately ripped (confidence 9)"), qPrintable(rip.lines[3]));
    QCOMPARE(rip.lines[4], QString("AccurateRip: 3 of 4 tracks accurately ripped, 1 not matching"));
}

void tst_RipVerifier::unknownDisc()
{
    m_server.reset(); // every request a 404
    const Rip rip = ripAll(true, m_server.url(""));
    QCOMPARE(rip.lines.size(), 5);
    for (int t = 0; t < 4; ++t)
        QVERIFY2(rip.lines[t].endsWith(", not in the AccurateRip database"),
                 qPrintable(rip.lines[t]));
    QCOMPARE(rip.lines[4], QString("AccurateRip: the disc is not in the database"));
}

void tst_RipVerifier::serverDown()
{
    const Rip rip = ripAll(true, "http://127.0.0.1:1");
    QCOMPARE(rip.lines.size(), 5);
    for (int t = 0; t < 4; ++t) {
        QVERIFY2(rip.lines[t].contains(", not verified (AccurateRip not reachable: "),
                 qPrintable(rip.lines[t]));
        QVERIFY(rip.decoded[size_t(t)]
                == readFile(QString::fromStdString(m_disc.trackFiles[size_t(t)])));
    }
    QVERIFY2(rip.lines[4].startsWith("AccurateRip: no track verified (AccurateRip not reachable: "),
             qPrintable(rip.lines[4]));
}

void tst_RipVerifier::withoutVerifyNoLines()
{
    m_server.reset();
    const Rip rip = ripAll(false, m_server.url(""));
    QVERIFY(rip.lines.isEmpty());
    QCOMPARE(rip.verdicts, QStringList({"", "", "", ""}));
    QVERIFY(m_server.requests().isEmpty());
}

QTEST_GUILESS_MAIN(tst_RipVerifier)
#include "tst_ripverifier.moc"
