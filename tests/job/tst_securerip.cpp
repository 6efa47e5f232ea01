// Secure reads through the real main window on the simulated drive
// (tests/simdrive): what cdparanoia gives up on, test & copy, re-reads of
// what AccurateRip does not confirm, and going on after a failed track.
#include "app/discmodel.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "job/ripjob.h"
#include "tests/job/accuraterip_database.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/simulateddrive.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

using namespace TestSupport;

class tst_SecureRip : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void failedTrack_data();
    void failedTrack();
    void reads_data();
    void reads();
    void gaps_data();
    void gaps();
    void hiddenAudio_data();
    void hiddenAudio();

private:
    struct Rig : WindowRig
    {
        using WindowRig::WindowRig;
        DiscGen::WrittenDisc disc;
        QString out;
        QString log() const;
        QString trackFile(int track) const;
    };
    // A window over a three-track disc in the simulated drive behaving as
    // `drive`, FLAC, every track ticked, AccurateRip holding the disc's own
    // sums, the rip log and these options of the "Advanced" page ticked.
    std::unique_ptr<Rig> rig(const DriveBehaviour &drive,
                             const QStringList &options,
                             const DiscGen::DiscSpec &plan = audioDisc({150, 150, 150}),
                             bool overlap = false);

    TestHome m_home;
    std::unique_ptr<SimulatedDrive> m_drive;
    LoopbackHttpServer m_server;
    int m_rigs = 0;
};

void tst_SecureRip::initTestCase()
{
    QVERIFY2(SimulatedDrive::preloaded(), "run through CTest, which preloads the simulated drive");
    QVERIFY(QDir().mkpath(m_home.filePath("drive")));
    m_drive = std::make_unique<SimulatedDrive>(m_home.filePath("drive"));
}

QString tst_SecureRip::Rig::log() const
{
    return QString::fromUtf8(readFile(out + "/rip.log"));
}

QString tst_SecureRip::Rig::trackFile(int track) const
{
    return out + QString("/track %1.flac").arg(track, 2, 10, QChar('0'));
}

std::unique_ptr<tst_SecureRip::Rig> tst_SecureRip::rig(const DriveBehaviour &drive,
                                                       const QStringList &options,
                                                       const DiscGen::DiscSpec &plan,
                                                       bool overlap)
{
    // Tracks at sectors 0, 150 and 300 unless `plan` says otherwise.
    const QString folder = m_home.filePath(QString("disc%1").arg(++m_rigs));
    QDir().mkpath(folder);
    DiscGen::WrittenDisc disc = makeDisc(folder, plan, "secure");
    if (!m_drive->insert(disc.cuePath, drive))
        qFatal("cannot write the drive's settings");
    m_server.reset();
    m_server.route("dBAR-003-",
                   LoopbackHttpServer::text(200, AccurateRipDatabase::fileFor(disc, 3, 12)));
    auto r = std::make_unique<Rig>(QVariantMap{{SettingsKeys::AccurateRipServer, m_server.url("")}});
    r->disc = std::move(disc);
    r->out = m_home.filePath(QString("out%1").arg(m_rigs));
    if (!r->show(m_drive->indexIn(*r->core().CDIn())))
        qWarning("window not shown");
    r->prepareRip(r->out, 5, 0, overlap);
    for (const QString &name : QStringList{"chkAccurateRip", "chkRipLog", "chkmklist"} + options)
        r->child<QCheckBox>(name)->click();
    return r;
}

void tst_SecureRip::failedTrack_data()
{
    QTest::addColumn<bool>("goOn");
    QTest::newRow("the job stalls") << false;
    QTest::newRow("the job goes on") << true;
}

void tst_SecureRip::failedTrack()
{
    // Track 2 holds two sectors the drive cannot read and one it spoils the
    // same way at every read, which cdparanoia cannot see.
    QFETCH(bool, goOn);
    DriveBehaviour drive;
    drive.unreadable = "200-201";
    drive.damaged = "230";
    drive.damageRepeats = true;
    auto r = rig(drive, goOn ? QStringList{"chkGoOn"} : QStringList());
    const QStringList memo = r->ripAll();
    const QString error = "Error: Track 2: read with 2 uncorrectable errors at 00:00:50, 00:00:51";
    QVERIFY2(memo.contains(error), qPrintable(memo.join('\n')));
    QVERIFY(!memo.contains("Track 2: read cleanly"));
    QVERIFY(!QFileInfo::exists(r->trackFile(2)) || !goOn);
    if (!goOn) {
        // The design's stall: nothing after the failure, until Cancel.
        QCOMPARE(memo.constLast(), error);
        QVERIFY(r->job()->Running());
        r->job()->CancelJob();
        QVERIFY(!QFileInfo::exists(r->trackFile(2)));
        return;
    }
    QCOMPARE(memo.constLast(), "Completed with 1 failed track(s)!");
    QVERIFY(memo.contains("Failed, no file: track(s) 2"));
    QVERIFY(memo.contains("Track 2: not verified (the track failed)"));
    QVERIFY2(memo.contains("AccurateRip: 2 of 3 tracks accurately ripped, 1 not verified"),
             qPrintable(memo.join('\n')));
    for (int t : {1, 3}) {
        QVERIFY(memo.contains(QString("Track %1: read cleanly").arg(t)));
        QCOMPARE(ffmpegDecode(r->trackFile(t)),
                 readFile(QString::fromStdString(r->disc.trackFiles[size_t(t - 1)])));
    }
    QCOMPARE(readFile(r->out + "/Default.m3u"),
             (r->trackFile(1) + "\r\n" + r->trackFile(3) + "\r\n").toUtf8());
    const QString log = r->log();
    QVERIFY2(log.contains("Track 02\n  File: none, the track failed\n  Reads: 1\n"
                          "  Result: read with 2 uncorrectable errors at 00:00:50, 00:00:51\n"),
             qPrintable(log));
    QVERIFY(log.contains("  Read error: uncorrectable at 00:00:50\n"
                         "  Read error: uncorrectable at 00:00:51\n"));
    QCOMPARE(log.count("accurately ripped (confidence 12)"), 2 + 2); // per track, and the memo
}

void tst_SecureRip::reads_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("damaged"); // repeating damage
    QTest::addColumn<QStringList>("memoLines");
    QTest::addColumn<QStringList>("logLines");
    QTest::newRow("test & copy, clean disc")
        << QStringList{"chkTestCopy"} << QByteArray()
        << QStringList{"Test read of track 2...",
                       "Track 2: test CRC32 %1, copy CRC32 %1",
                       "Completed!"}
        << QStringList{"  Reads: 2\n  Result: read cleanly\n  Test CRC32: %1\n  CRC32: %1\n"};
    // cdparanoia passes damage that repeats: AccurateRip sees it, and a
    // second read that agrees ends the re-reads.
    QTest::newRow("re-reads, repeating damage")
        << QStringList{"chkReread"} << QByteArray("230")
        << QStringList{"Track 2: does not match AccurateRip, reading again (read 2)",
                       "Track 2: kept after 2 reads, two reads agree",
                       "Completed!"}
        << QStringList{"Track 02\n  File: track 02.flac\n  Reads: 2\n",
                       "does not match AccurateRip (15 submissions)"};
}

void tst_SecureRip::reads()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, damaged);
    QFETCH(QStringList, memoLines);
    QFETCH(QStringList, logLines);
    DriveBehaviour drive;
    drive.damaged = damaged;
    drive.damageRepeats = true;
    auto r = rig(drive, options);
    const QStringList memo = r->ripAll();
    QCOMPARE(memo.constLast(), "Completed!");
    // The CRC32 of track 2 as the disc holds it.
    const QByteArray pcm = readFile(QString::fromStdString(r->disc.trackFiles[1]));
    TTrackChecksummer sums(uint32_t(pcm.size() / 4), TTrackPlace{});
    sums.PcmDelivered(reinterpret_cast<const uint8_t *>(pcm.constData()), int32_t(pcm.size()));
    const QString crc = AccurateRip::hex8(sums.Result().Crc32);
    const auto filled = [&crc](const QString &line) {
        return line.contains("%1") ? line.arg(crc) : line;
    };
    for (const QString &line : memoLines)
        QVERIFY2(memo.contains(filled(line)), qPrintable(filled(line) + "\n" + memo.join('\n')));
    const QString log = r->log();
    for (const QString &line : logLines)
        QVERIFY2(log.contains(filled(line)), qPrintable(filled(line) + "\n" + log));
}

void tst_SecureRip::gaps_data()
{
    // Track 2's pregap is 180 .. 179 + 30; track 3 is pre-emphasised in its
    // Q alone. The sectors each file holds, and the sheet's lines without
    // its titles and performers.
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QStringList>("sheet");
    const QStringList ends = {"FILE \"track 03.flac\" WAVE",
                              "  TRACK 03 AUDIO",
                              "    FLAGS PRE",
                              "    INDEX 01 00:00:00"};
    QTest::newRow("gaps appended") << 0 << "0-180 180-330 330-480"
                                   << QStringList{"FILE \"track 01.flac\" WAVE",
                                                  "  TRACK 01 AUDIO",
                                                  "    INDEX 01 00:00:00",
                                                  "  TRACK 02 AUDIO",
                                                  "    INDEX 00 00:02:00",
                                                  "FILE \"track 02.flac\" WAVE",
                                                  "    INDEX 01 00:00:00"}
                                          + ends;
    QTest::newRow("gaps prepended") << 1 << "0-150 150-330 330-480"
                                    << QStringList{"FILE \"track 01.flac\" WAVE",
                                                   "  TRACK 01 AUDIO",
                                                   "    INDEX 01 00:00:00",
                                                   "FILE \"track 02.flac\" WAVE",
                                                   "  TRACK 02 AUDIO",
                                                   "    INDEX 00 00:00:00",
                                                   "    INDEX 01 00:00:30"}
                                           + ends;
    QTest::newRow("gaps left out") << 2 << "0-150 180-330 330-480"
                                   << QStringList{"FILE \"track 01.flac\" WAVE",
                                                  "  TRACK 01 AUDIO",
                                                  "    INDEX 01 00:00:00",
                                                  "FILE \"track 02.flac\" WAVE",
                                                  "  TRACK 02 AUDIO",
                                                  "    PREGAP 00:00:30",
                                                  "    INDEX 01 00:00:00"}
                                          + ends;
}

void tst_SecureRip::gaps()
{
    QFETCH(int, layout);
    QFETCH(QString, files);
    QFETCH(QStringList, sheet);
    DiscGen::DiscSpec plan = audioDisc({150, 150, 150});
    plan.tracks[1].pregapFrames = 30;
    plan.tracks[1].isrc = "GBAYE9900001";
    plan.catalog = "0123456789012";
    DriveBehaviour drive;
    drive.qPreEmphasis = "3";
    // The prepended layout is ripped with the next read overlapping, as by default.
    auto r = rig(drive, {"chkCueSheet"}, plan, layout == 1);
    // The drive's ISRCs and catalogue number reach the tags without CD-Text.
    QCOMPARE(r->core().disc()->track(1).isrc, "GBAYE9900001");
    QCOMPARE(r->core().disc()->mcn(), "0123456789012");
    r->child<QComboBox>("cmbCueLayout")->setCurrentIndex(layout);
    const QStringList memo = r->ripAll();
    QCOMPARE(memo.constLast(), "Completed!");
    for (const QString line : {"Detecting gaps...",
                               "Track 1: no pregap",
                               "Track 2: pregap 00:00:30",
                               "Track 3: no pregap, pre-emphasis"})
        QVERIFY2(memo.contains(line), qPrintable(line + "\n" + memo.join('\n')));
    // The files hold the layout's sectors; AccurateRip checks the tracks'.
    QCOMPARE(memo.filter("accurately ripped").size(), 3 + 1);
    const QByteArray bin = readFile(QString::fromStdString(r->disc.binPath));
    int t = 1;
    for (const QString &range : files.split(' ')) {
        const int first = range.section('-', 0, 0).toInt();
        const int end = range.section('-', 1).toInt();
        QCOMPARE(ffmpegDecode(r->trackFile(t++)), bin.mid(first * 2352, (end - first) * 2352));
    }
    QStringList cue = QString::fromUtf8(readFile(r->out + "/rip.cue")).split("\r\n");
    QVERIFY(cue.contains("CATALOG 0123456789012"));
    QCOMPARE(cue.filter("ISRC"), QStringList{"    ISRC GBAYE9900001"});
    cue = cue.filter(QRegularExpression("^(FILE|  TRACK|    (INDEX|PREGAP|FLAGS))"));
    QCOMPARE(cue, sheet);
    const QString log = r->log();
    QVERIFY2(log.contains("Track 02\n") && log.contains("  Pregap: 00:00:30\n"), qPrintable(log));
    QVERIFY(log.contains("  Pre-emphasis: yes (the file holds the audio as read)\n"));
}

void tst_SecureRip::hiddenAudio_data()
{
    // Track 1 starts at sector 32; before it lie tones, or silence.
    QTest::addColumn<bool>("ripIt");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("overlap");      // the next track read while one is finished
    QTest::addColumn<QStringList>("sheet"); // its first lines
    const QStringList notKept = {"FILE \"track 01.flac\" WAVE",
                                 "  TRACK 01 AUDIO",
                                 "    PREGAP 00:00:32",
                                 "    INDEX 01 00:00:00"};
    const QStringList kept = {"FILE \"track 00.flac\" WAVE",
                              "  TRACK 01 AUDIO",
                              "    INDEX 00 00:00:00",
                              "FILE \"track 01.flac\" WAVE",
                              "    INDEX 01 00:00:00"};
    QTest::newRow("not asked for") << false << false << false << notKept;
    QTest::newRow("silent") << true << true << false << notKept;
    QTest::newRow("ripped") << true << false << false << kept;
    QTest::newRow("silent, overlapped") << true << true << true << notKept;
    QTest::newRow("ripped, overlapped") << true << false << true << kept;
}

void tst_SecureRip::hiddenAudio()
{
    QFETCH(bool, ripIt);
    QFETCH(bool, silent);
    QFETCH(bool, overlap);
    QFETCH(QStringList, sheet);
    DiscGen::DiscSpec plan = audioDisc({150, 150, 150});
    plan.tracks[0].pregapFrames = 32;
    plan.tracks[0].silentPregap = silent;
    QStringList options = {"chkCueSheet"};
    if (ripIt)
        options << "chkHiddenAudio";
    auto r = rig(DriveBehaviour(), options, plan, overlap);
    const QStringList memo = r->ripAll(30000);
    QCOMPARE(memo.constLast(), "Completed!");
    // AccurateRip checks the three tracks, never the hidden audio.
    QCOMPARE(memo.filter("accurately ripped").size(), 3 + 1);
    QVERIFY2(memo.contains("AccurateRip: 3 of 3 tracks accurately ripped"),
             qPrintable(memo.join('\n')));
    const bool kept = ripIt && !silent;
    QCOMPARE(QFileInfo::exists(r->trackFile(0)), kept);
    QCOMPARE(memo.contains(
                 "Track 0: the audio before track 1 is digital silence; no file is kept."),
             ripIt && silent);
    if (kept) {
        const QByteArray bin = readFile(QString::fromStdString(r->disc.binPath));
        QCOMPARE(ffmpegDecode(r->trackFile(0)), bin.left(32 * 2352));
        QVERIFY(readFile(r->out + "/Default.m3u").startsWith((r->trackFile(0) + "\r\n").toUtf8()));
        QVERIFY(r->log().contains("Hidden audio before track 1\n  File: track 00.flac\n"));
    }
    QStringList cue = QString::fromUtf8(readFile(r->out + "/rip.cue")).split("\r\n");
    cue = cue.filter(QRegularExpression("^(FILE|  TRACK|    (INDEX|PREGAP|FLAGS))"));
    QCOMPARE(cue.mid(0, sheet.size()), sheet);
}

QTEST_MAIN(tst_SecureRip)
#include "tst_securerip.moc"
