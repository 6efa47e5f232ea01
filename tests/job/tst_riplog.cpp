#include "job/riplog.h"
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

QTEST_GUILESS_MAIN(tst_RipLog)
#include "tst_riplog.moc"
