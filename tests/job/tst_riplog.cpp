#include "job/riplog.h"
#include "job/ripreport.h"
#include "tests/support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_RipLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lines();
    void writtenAsUtf8();
    void fileName_data();
    void fileName();
    void fromSummary();
    void sideFilePath_data();
    void sideFilePath();
    void finishSteps_data();
    void finishSteps();
};

namespace {

TRipLog twoTracks()
{
    TRipLog log;
    log.ProgramVersion = "1.5";
    log.Date = QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5), Qt::UTC);
    log.Drive = "HL-DT-ST DVDRAM GH24NSD1 RN01";
    log.ReadMode = "verified (cdparanoia)";
    log.ReadOffset = 6;
    log.Artist = "Åsa Ørn";
    log.Album = "日本";
    log.CddbId = "c60af50d";
    log.AccurateRipIds = "012-0013bd5a-00b8d489-c60af50d";
    TRipLogTrack first;
    first.Number = 1;
    first.FileName = "01 Żółć.flac";
    first.Sums = TTrackChecksums{0x1A2B3C4D, 0xDEADBEEF, 0x0000ABCD};
    first.Verdict = "accurately ripped (confidence 12)";
    TRipLogTrack second;
    second.Number = 2;
    second.FileName = "02 Ελληνικά.flac";
    second.ReadErrors = {"Read error in track 2 at 00:26:50"};
    log.Tracks = {first, second};
    log.Memo = {"Track 1: CRC32 1A2B3C4D, accurately ripped (confidence 12)",
                "Error: Read error in track 2 at 00:26:50"};
    return log;
}

// A finished job of two FLAC tracks in `folder`, the first one verified.
RipSummary finishedJob(const QString &folder)
{
    RipSummary summary;
    TTrackInfo first{1, "Åsa Ørn", "日本", "", "", "Żółć", folder + "/01 Żółć.flac"};
    TTrackInfo second{2, "Åsa Ørn", "日本", "", "", "Ελληνικά", folder + "/02 Ελληνικά.flac"};
    summary.tracks = {{first, TTrackChecksums{1, 2, 3}, "accurately ripped (confidence 12)"},
                      {second, std::nullopt, QString()}};
    summary.playlistEntries = {first.FileName, second.FileName};
    summary.memo = {"Initialization...", "Completed!"};
    summary.tags.album = "日本";
    summary.performer = "Åsa Ørn";
    summary.programVersion = "1.5";
    summary.drive = "HL-DT-ST DVDRAM GH24NSD1 RN01";
    summary.readOffset = 6;
    summary.accurateRipIds = "002-00000352-000006a5-0c000302";
    summary.date = QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5), Qt::UTC);
    return summary;
}

} // namespace

void tst_RipLog::lines()
{
    const QStringList expected = {
        "Orvanel Sondrel 1.5 rip log",
        "Date: 2026-12-08T15:04:05Z",
        "",
        "Drive: HL-DT-ST DVDRAM GH24NSD1 RN01",
        "Read mode: verified (cdparanoia)",
        "Read offset: 6 samples",
        "",
        "Artist: Åsa Ørn",
        "Album: 日本",
        "CDDB disc id: c60af50d",
        "AccurateRip disc id: 012-0013bd5a-00b8d489-c60af50d",
        "",
        "Track 01",
        "  File: 01 Żółć.flac",
        "  CRC32: 1A2B3C4D",
        "  AccurateRip v1: DEADBEEF",
        "  AccurateRip v2: 0000ABCD",
        "  AccurateRip: accurately ripped (confidence 12)",
        "  Read errors: none",
        "",
        "Track 02",
        "  File: 02 Ελληνικά.flac",
        "  CRC32: not computed, the track was not read to its end",
        "  Read error: Read error in track 2 at 00:26:50",
        "",
        "Job",
        "  Track 1: CRC32 1A2B3C4D, accurately ripped (confidence 12)",
        "  Error: Read error in track 2 at 00:26:50",
        "",
    };
    QCOMPARE(RipLogText(twoTracks()).split('\n'), expected);
}

void tst_RipLog::writtenAsUtf8()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(RipLogFileName("日本"));
    WriteRipLog(path, twoTracks());
    QCOMPARE(TestSupport::readFile(path), RipLogText(twoTracks()).toUtf8());

    // A folder that cannot take the file: an error, and nothing left behind.
    try {
        WriteRipLog(dir.filePath("missing/x.log"), twoTracks());
        QFAIL("no error");
    } catch (const std::runtime_error &e) {
        QVERIFY2(QString(e.what()).startsWith("The rip log could not be written to \""), e.what());
    }
    QVERIFY(!QFile::exists(dir.filePath("missing")));
}

void tst_RipLog::fileName_data()
{
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "Café Noir"
                           << "Café Noir.log";
    QTest::newRow("slashes and colons") << "AC/DC: Live"
                                        << "AC_DC_ Live.log";
    QTest::newRow("empty") << ""
                           << "rip.log";
    QTest::newRow("dots") << ".."
                          << "rip.log";
}

void tst_RipLog::fileName()
{
    QFETCH(QString, album);
    QFETCH(QString, name);
    QCOMPARE(RipLogFileName(album), name);
}

void tst_RipLog::fromSummary()
{
    const TRipLog log = RipLogOf(finishedJob("/music/日本"));
    QCOMPARE(log.ReadMode, "secure (cdparanoia)");
    QCOMPARE(log.CddbId, "0c000302");
    QCOMPARE(log.Tracks.size(), size_t(2));
    QCOMPARE(log.Tracks[0].FileName, "01 Żółć.flac");
    QCOMPARE(log.Tracks[0].Sums->Crc32, 1u);
    QCOMPARE(log.Tracks[0].Verdict, "accurately ripped (confidence 12)");
    QCOMPARE(log.Tracks[1].Number, 2);
    QVERIFY(!log.Tracks[1].Sums);
    QCOMPARE(log.Memo, QStringList({"Initialization...", "Completed!"}));

    // Without the disc's ids neither id is known.
    RipSummary unknown = finishedJob("/music");
    unknown.accurateRipIds.clear();
    QCOMPARE(RipLogOf(unknown).CddbId, "");
}

void tst_RipLog::sideFilePath_data()
{
    QTest::addColumn<QString>("album");
    QTest::addColumn<QString>("firstFile");
    QTest::addColumn<QString>("path");
    QTest::newRow("album") << "Café Noir"
                           << "/m/a/01.flac"
                           << "/m/a/Café Noir.cue";
    QTest::newRow("no album") << ""
                              << "/m/a/01.flac"
                              << "/m/a/rip.cue";
    QTest::newRow("unsafe album") << "AC/DC"
                                  << "/m/01.flac"
                                  << "/m/AC_DC.cue";
}

void tst_RipLog::sideFilePath()
{
    QFETCH(QString, album);
    QFETCH(QString, firstFile);
    QFETCH(QString, path);
    RipSummary summary = finishedJob("/other");
    summary.tags.album = album;
    // Beside the first track's file, wherever the later ones went.
    summary.tracks.front().record.FileName = firstFile;
    QCOMPARE(RipSideFilePath(summary, ".cue"), path);
}

void tst_RipLog::finishSteps_data()
{
    QTest::addColumn<bool>("eject");
    QTest::addColumn<bool>("ejectFails");
    QTest::addColumn<QString>("playlist"); // empty: no playlist asked
    QTest::addColumn<bool>("writeFiles");  // the CUE sheet and the log
    QTest::addColumn<int>("tracks");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("failures");
    const QStringList all{"list.m3u", "日本.cue", "日本.log"};
    const QString ejectError = "The drive did not open";
    QTest::newRow("everything") << true << false << "list.m3u" << true << 2 << all << QStringList();
    QTest::newRow("nothing asked")
        << false << false << "" << false << 2 << QStringList() << QStringList();
    // The steps after a failure still run, and the log tells the failure.
    QTest::newRow("eject fails") << true << true << "list.m3u" << true << 2 << all
                                 << QStringList{ejectError};
    QTest::newRow("playlist unwritable")
        << false << false << "missing/list.m3u" << true << 2 << QStringList{"日本.cue", "日本.log"}
        << QStringList{"Cannot create file"};
    // No finished track: nothing to list, to describe or to log.
    QTest::newRow("no track") << false << false << "list.m3u" << true << 0 << QStringList()
                              << QStringList();
}

void tst_RipLog::finishSteps()
{
    QFETCH(bool, eject);
    QFETCH(bool, ejectFails);
    QFETCH(QString, playlist);
    QFETCH(bool, writeFiles);
    QFETCH(int, tracks);
    QFETCH(QStringList, files);
    QFETCH(QStringList, failures);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    RipSummary summary = finishedJob(dir.path());
    summary.tracks.resize(size_t(tracks));
    summary.playlistEntries = summary.playlistEntries.mid(0, tracks);
    summary.options = {eject,
                       3,
                       !playlist.isEmpty(),
                       playlist.isEmpty() ? QString() : dir.filePath(playlist)};
    summary.writeCue = writeFiles;
    summary.writeLog = writeFiles;
    QStringList events;
    FinishRip(
        summary,
        [&](int drive) {
            // The disc goes first: nothing is written yet.
            events << QString("eject %1, %2 files")
                          .arg(drive)
                          .arg(QDir(dir.path()).entryList(QDir::Files).size());
            if (ejectFails)
                throw std::runtime_error("The drive did not open");
        },
        [&](const QString &message) { events << message; });
    QStringList expected;
    if (eject)
        expected << "eject 3, 0 files";
    for (const QString &failure : failures)
        expected << failure;
    QCOMPARE(events.size(), expected.size());
    for (int i = 0; i < events.size(); ++i)
        QVERIFY2(events[i].startsWith(expected[i]), qPrintable(events[i]));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
    if (!files.contains("日本.log"))
        return;
    const QString log = QString::fromUtf8(TestSupport::readFile(dir.filePath("日本.log")));
    for (const QString &failure : failures)
        QVERIFY2(log.contains("  Error: " + failure), qPrintable(log));
    if (files.contains("list.m3u"))
        QCOMPARE(TestSupport::readFile(dir.filePath("list.m3u")).count("\r\n"), tracks);
}

QTEST_GUILESS_MAIN(tst_RipLog)
#include "tst_riplog.moc"
