#include "tests/support/testsupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace DiscGen;
using namespace TestSupport;

class tst_DiscGen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cueSheet_data();
    void cueSheet();
    void binAndTrackFiles();
    void contentDiffersAndRepeats();
    void dataSectors();
    void parseLength_data();
    void parseLength();
    void rejectsImpossibleDiscs();
    void commandLine();
};

void tst_DiscGen::cueSheet_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one track") << 0
                               << "FILE \"d.bin\" BINARY\r\n"
                                  "  TRACK 01 AUDIO\r\n"
                                  "    INDEX 01 00:00:00\r\n";
    QTest::newRow("pregap and flags") << 1
                                      << "FILE \"d.bin\" BINARY\r\n"
                                         "  TRACK 01 AUDIO\r\n"
                                         "    FLAGS DCP PRE\r\n"
                                         "    INDEX 01 00:00:00\r\n"
                                         "  TRACK 02 AUDIO\r\n"
                                         "    INDEX 00 03:20:37\r\n"
                                         "    INDEX 01 03:22:37\r\n";
    QTest::newRow("data first") << 2
                                << "FILE \"d.bin\" BINARY\r\n"
                                   "  TRACK 01 MODE1/2352\r\n"
                                   "    INDEX 01 00:00:00\r\n"
                                   "  TRACK 02 AUDIO\r\n"
                                   "    INDEX 00 00:04:00\r\n"
                                   "    INDEX 01 00:06:00\r\n";
}

static DiscSpec layoutNumber(int n)
{
    DiscSpec plan;
    if (n == 0) {
        plan = audioDisc({75});
    } else if (n == 1) {
        plan = audioDisc({(3 * 60 + 20) * 75 + 37, 100});
        plan.tracks[0].flags = {"DCP", "PRE"};
        plan.tracks[1].pregapFrames = 150;
    } else {
        plan = audioDisc({300, 50});
        plan.tracks[0].data = true;
        plan.tracks[1].pregapFrames = 150;
    }
    return plan;
}

void tst_DiscGen::cueSheet()
{
    QFETCH(int, layout);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(DiscGen::cueSheet(layoutNumber(layout), "d.bin")), expected);
}

void tst_DiscGen::binAndTrackFiles()
{
    QTemporaryDir dir;
    DiscSpec plan = audioDisc({37, 38, 200});
    plan.tracks[1].pregapFrames = 10;
    plan.tracks[2].pregapFrames = 3;
    const WrittenDisc disc = makeDisc(dir.path(), plan);

    const QByteArray bin = readFile(QString::fromStdString(disc.binPath));
    QCOMPARE(bin.size(), (37 + 10 + 38 + 3 + 200) * SectorBytes);
    QCOMPARE(disc.trackFiles.size(), size_t(3));

    // A reader by the table of contents gets the next track's pregap at the
    // end of a track; the track files must say exactly that.
    const int expectedSectors[] = {37 + 10, 38 + 3, 200};
    int offset = 0;
    for (int i = 0; i < 3; ++i) {
        const QByteArray track = readFile(QString::fromStdString(disc.trackFiles[size_t(i)]));
        QCOMPARE(track.size(), expectedSectors[i] * SectorBytes);
        QVERIFY2(track == bin.mid(offset, track.size()), qPrintable(QString("track %1").arg(i + 1)));
        offset += track.size();
    }
    QCOMPARE(offset, bin.size());
    QCOMPARE(disc.layout.tracks[1].start, 37u + 10u);
    QCOMPARE(disc.layout.tracks[1].pregapStart, 37u);
}

void tst_DiscGen::contentDiffersAndRepeats()
{
    QTemporaryDir a;
    QTemporaryDir b;
    const DiscSpec plan = audioDisc({150, 150, 150});
    const WrittenDisc first = makeDisc(a.path(), plan);
    const WrittenDisc second = makeDisc(b.path(), plan);

    QByteArray tracks[3];
    for (int i = 0; i < 3; ++i) {
        tracks[i] = readFile(QString::fromStdString(first.trackFiles[size_t(i)]));
        QCOMPARE(tracks[i], readFile(QString::fromStdString(second.trackFiles[size_t(i)])));
    }
    QVERIFY(tracks[0] != tracks[1]);
    QVERIFY(tracks[1] != tracks[2]);

    // A shift by one sample must not match either.
    QVERIFY(tracks[0].mid(4, 4000) != tracks[0].mid(0, 4000));

    // Not silence, not full scale, and not constant: real work for an encoder.
    int16_t l = 0;
    int16_t r = 0;
    int peak = 0;
    int distinct = 0;
    int last = 1 << 20;
    for (uint64_t n = 0; n < 44100; ++n) {
        audioSample(1, n, l, r);
        peak = std::max({peak, std::abs(int(l)), std::abs(int(r))});
        if (l != last)
            ++distinct;
        last = l;
    }
    QVERIFY(peak > 8000);
    QVERIFY(peak < 32767);
    QVERIFY(distinct > 40000);
}

void tst_DiscGen::dataSectors()
{
    QTemporaryDir dir;
    DiscSpec plan = audioDisc({75, 20});
    plan.tracks[1].data = true;
    const WrittenDisc disc = makeDisc(dir.path(), plan);
    const QByteArray data = readFile(QString::fromStdString(disc.trackFiles[1]));
    QCOMPARE(data.size(), 20 * SectorBytes);
    const QByteArray sync = QByteArray::fromHex("00ffffffffffffffffffff00");
    for (int s = 0; s < 20; ++s)
        QCOMPARE(data.mid(s * SectorBytes, 12), sync);
    // Address of the first data sector: sector 75 of the disc, plus the
    // two-second lead-in, is 00:03:00 in BCD; mode 1.
    QCOMPARE(data.mid(12, 4), QByteArray::fromHex("00030001"));
}

void tst_DiscGen::parseLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("frames");
    QTest::newRow("msf") << "03:20:00" << uint((3 * 60 + 20) * 75);
    QTest::newRow("frames part") << "0:00:74" << 74u;
    QTest::newRow("over 99 minutes") << "100:00:00" << uint(100 * 60 * 75);
    QTest::newRow("sector count") << "4500" << 4500u;
}

void tst_DiscGen::parseLength()
{
    QFETCH(QString, text);
    QFETCH(uint, frames);
    QCOMPARE(DiscGen::parseLength(text.toStdString()), frames);
}

void tst_DiscGen::rejectsImpossibleDiscs()
{
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, layoutOf(DiscSpec{}));
    DiscSpec tooMany;
    tooMany.tracks.resize(100, TrackSpec{1, 0, false, {}});
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, layoutOf(tooMany));
    tooMany.tracks.resize(99);
    QCOMPARE(layoutOf(tooMany).totalFrames, 99u);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, layoutOf(audioDisc({10, 0})));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DiscGen::parseLength("1:60:00"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DiscGen::parseLength("1:00:75"));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DiscGen::parseLength("ten"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             writeDisc(audioDisc({1}), "/nonexistent/folder", "d", false));
}

void tst_DiscGen::commandLine()
{
    QTemporaryDir dir;
    const QString tool = binDir() + "/sondrel-discgen";
    ProcessResult r = run(tool,
                          {"--data-last",
                           "100",
                           "--pregap",
                           "2=0:02:00",
                           "--flags",
                           "1=DCP,PRE",
                           "--track-files",
                           dir.path(),
                           "cli",
                           "0:01:00",
                           "50"});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QString cue = QString::fromLatin1(readFile(dir.filePath("cli.cue")));
    QVERIFY(cue.contains("TRACK 01 AUDIO\r\n    FLAGS DCP PRE\r\n"));
    QVERIFY(cue.contains("TRACK 02 AUDIO\r\n    INDEX 00 00:01:00\r\n    INDEX 01 00:03:00\r\n"));
    QVERIFY(cue.contains("TRACK 03 MODE1/2352\r\n    INDEX 01 00:03:50\r\n"));
    QCOMPARE(QFileInfo(dir.filePath("cli.bin")).size(), qint64((75 + 150 + 50 + 100) * SectorBytes));
    QVERIFY(QFileInfo::exists(dir.filePath("cli-03.pcm")));

    r = run(tool, {"--flags", "1=LOUD", dir.path(), "bad", "10"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("unknown flag LOUD"));
    QVERIFY(!QFileInfo::exists(dir.filePath("bad.cue")));
}

QTEST_GUILESS_MAIN(tst_DiscGen)
#include "tst_discgen.moc"
