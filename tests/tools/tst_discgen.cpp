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
    void audioContent_data();
    void audioContent();
    void motorolaSwapsAudioOnly();
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

void tst_DiscGen::audioContent_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("random") << "random";
    QTest::newRow("square") << "square";
    QTest::newRow("silence") << "silence";
}

void tst_DiscGen::audioContent()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    DiscSpec plan = audioDisc({75, 75});
    for (TrackSpec &t : plan.tracks)
        t.content = DiscGen::parseContent(kind.toStdString());
    const WrittenDisc disc = makeDisc(dir.path(), plan);
    const QByteArray one = readFile(QString::fromStdString(disc.trackFiles[0]));
    const QByteArray two = readFile(QString::fromStdString(disc.trackFiles[1]));
    QCOMPARE(one.size(), 75 * SectorBytes);
    QCOMPARE(readFile(QString::fromStdString(disc.binPath)), one + two);

    if (kind == "silence") {
        QCOMPARE(one, QByteArray(one.size(), '\0'));
        return;
    }
    QVERIFY(one != two);
    if (kind == "square") {
        // Full scale both ways, nothing in between, and both channels alike.
        const QByteArray high = QByteArray::fromHex("ff7fff7f");
        const QByteArray low = QByteArray::fromHex("00800080");
        int highs = 0;
        for (int i = 0; i < one.size(); i += 4) {
            const QByteArray frame = one.mid(i, 4);
            QVERIFY2(frame == high || frame == low, qPrintable(QString("frame %1").arg(i / 4)));
            highs += frame == high;
        }
        const int frames = one.size() / 4;
        QVERIFY(highs > frames * 49 / 100 && highs < frames * 51 / 100);
        return;
    }
    // Random: every byte value turns up about equally often.
    int counts[256] = {};
    for (char c : one)
        ++counts[uint8_t(c)];
    const int expected = one.size() / 256;
    for (int count : counts)
        QVERIFY(count > expected * 3 / 4 && count < expected * 5 / 4);
}

void tst_DiscGen::motorolaSwapsAudioOnly()
{
    QTemporaryDir dir;
    DiscSpec plan = audioDisc({40, 30});
    plan.tracks[1].data = true;
    plan.motorola = true;
    const WrittenDisc disc = makeDisc(dir.path(), plan);
    QVERIFY(
        readFile(QString::fromStdString(disc.cuePath)).startsWith("FILE \"disc.bin\" MOTOROLA\r\n"));

    // The track files hold what a reader gets: little-endian audio.
    const QByteArray audio = readFile(QString::fromStdString(disc.trackFiles[0]));
    const QByteArray data = readFile(QString::fromStdString(disc.trackFiles[1]));
    const QByteArray bin = readFile(QString::fromStdString(disc.binPath));
    QCOMPARE(bin.size(), audio.size() + data.size());
    for (int i = 0; i < audio.size(); i += 2) {
        if (bin[i] != audio[i + 1] || bin[i + 1] != audio[i])
            QFAIL(qPrintable(QString("sample at byte %1 not big-endian").arg(i)));
    }
    QCOMPARE(bin.mid(audio.size()), data);
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
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, DiscGen::parseContent("noise"));
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

    // Square waves in track 1, silence in every other one, stored big-endian.
    r = run(tool,
            {"--content",
             "silence",
             "--content",
             "1=square",
             "--motorola",
             "--track-files",
             dir.path(),
             "kinds",
             "10",
             "10"});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY(readFile(dir.filePath("kinds.cue")).contains("\" MOTOROLA\r\n"));
    QCOMPARE(readFile(dir.filePath("kinds-01.pcm")).left(4), QByteArray::fromHex("ff7fff7f"));
    QCOMPARE(readFile(dir.filePath("kinds.bin")).left(4), QByteArray::fromHex("7fff7fff"));
    QCOMPARE(readFile(dir.filePath("kinds-02.pcm")), QByteArray(10 * SectorBytes, '\0'));

    r = run(tool, {"--content", "2=noise", dir.path(), "bad", "10", "10"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("unknown content noise"));

    r = run(tool, {"--flags", "1=LOUD", dir.path(), "bad", "10"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("unknown flag LOUD"));
    QVERIFY(!QFileInfo::exists(dir.filePath("bad.cue")));
}

QTEST_GUILESS_MAIN(tst_DiscGen)
#include "tst_discgen.moc"
