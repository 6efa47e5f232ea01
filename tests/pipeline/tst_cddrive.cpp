// The CD input over the simulated drive (tests/simdrive): what a real drive
// does to the audio, under real libcdio and cdparanoia.
#include "job/ripverifier.h"
#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/drivetoc.h"
#include "lookup/accuraterip.h"
#include "pipeline/cdinput.h"
#include "pipeline/gapsearch.h"
#include "tests/support/disclayouts.h"
#include "tests/support/memoryoutput.h"
#include "tests/support/simulateddrive.h"
#include "tests/support/testsupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cdio/cdio.h>
#include <cdio/mmc_ll_cmds.h>

#include <memory>

using namespace TestSupport;

class tst_CDDrive : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void readsBitExact_data();
    void readsBitExact();
    void cdExtraEndsAudioAtSessionLeadOut();
    void readsAtTheDrivesPace_data();
    void readsAtTheDrivesPace();
    void subChannelQ_data();
    void subChannelQ();
    void findsIndexes_data();
    void findsIndexes();
    void cdTextPacksAndMcn();

private:
    // A CD input on the simulated drive holding `disc`.
    std::unique_ptr<TCDIn> inputOn(const DiscGen::WrittenDisc &disc,
                                   const DriveBehaviour &behaviour,
                                   bool paranoia);
    static QByteArray readTracks(TCDIn &in, int first, int last);

    QTemporaryDir m_home;
    std::unique_ptr<SimulatedDrive> m_drive;
};

void tst_CDDrive::initTestCase()
{
    QVERIFY2(SimulatedDrive::preloaded(), "run through CTest, which preloads the simulated drive");
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    m_drive = std::make_unique<SimulatedDrive>(m_home.path());
}

std::unique_ptr<TCDIn> tst_CDDrive::inputOn(const DiscGen::WrittenDisc &disc,
                                            const DriveBehaviour &behaviour,
                                            bool paranoia)
{
    if (!m_drive->insert(disc.cuePath, behaviour)
        || !DiscLayouts::writeText(TCDIn::SettingsFolder() + CDRipSettingsFileName,
                                   QByteArray("[Reading]\nParanoia=") + (paranoia ? "1" : "0")
                                       + '\n'))
        qFatal("cannot write the drive's settings");
    auto in = std::make_unique<TCDIn>();
    const int index = m_drive->indexIn(*in);
    if (index < 0)
        qFatal("the simulated drive is not listed");
    in->SetCurrentDrive(index);
    return in;
}

QByteArray tst_CDDrive::readTracks(TCDIn &in, int first, int last)
{
    in.SetStartTrack(first);
    in.SetEndTrack(last);
    in.BeginRead();
    QByteArray out;
    QByteArray buffer(65536, '\0');
    try {
        for (int32_t n; (n = in.ReadData(buffer.data(), buffer.size())) > 0;)
            out.append(buffer.constData(), n);
    } catch (...) {
        in.EndRead();
        throw;
    }
    in.EndRead();
    return out;
}

void tst_CDDrive::readsBitExact_data()
{
    QTest::addColumn<bool>("paranoia");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("jitter");
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<int>("picked");         // damaged sectors besides, at random
    QTest::addColumn<QByteArray>("refused"); // the ends the drive does not read beyond

    // Sectors 300 .. 302 and 520 lie in track 2, 700 at the start of track 3.
    QTest::newRow("clean, paranoia off") << false << 0 << 0 << QByteArray() << 0 << QByteArray();
    QTest::newRow("clean, paranoia on") << true << 0 << 0 << QByteArray() << 0 << QByteArray();
    QTest::newRow("jitter") << true << 0 << 24 << QByteArray() << 0 << QByteArray();
    QTest::newRow("damage that differs on each read")
        << true << 0 << 0 << QByteArray("300-302 520 700") << 0 << QByteArray();
    QTest::newRow("damage at random sectors")
        << true << 0 << 0 << QByteArray() << 8 << QByteArray();
    QTest::newRow("offset +667") << true << 667 << 0 << QByteArray() << 0 << QByteArray();
    QTest::newRow("offset -1164") << true << -1164 << 0 << QByteArray() << 0 << QByteArray();
    QTest::newRow("offset +667, lead-out refused")
        << true << 667 << 0 << QByteArray() << 0 << QByteArray("lead-out");
    QTest::newRow("offset -1164, lead-in refused")
        << true << -1164 << 0 << QByteArray() << 0 << QByteArray("lead-in");
    QTest::newRow("offset +667, paranoia off")
        << false << 667 << 0 << QByteArray() << 0 << QByteArray();
}

void tst_CDDrive::readsBitExact()
{
    // With the drive's offset set in the program, every track reads as the
    // disc holds it.
    QFETCH(bool, paranoia);
    QFETCH(int, offset);
    QFETCH(int, jitter);
    QFETCH(QByteArray, damaged);
    QFETCH(int, picked);
    QFETCH(QByteArray, refused);
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({240, 450, 300}), "exact");
    DriveBehaviour behaviour;
    behaviour.offset = offset;
    behaviour.jitter = jitter;
    behaviour.damaged = damaged;
    behaviour.damagedCount = picked;
    behaviour.refuseOverread = refused;
    auto in = inputOn(disc, behaviour, paranoia);
    in->SetReadOffset(offset);
    m_drive->resetCounters();

    QByteArray expected;
    for (const std::string &file : disc.trackFiles)
        expected += readFile(QString::fromStdString(file));
    // What the offset moves beyond the disc's ends comes from the drive's
    // lead-in or lead-out side, or is silence where the drive refuses it.
    const int lost = refused.isEmpty() ? 0 : 4 * std::abs(offset);
    if (offset > 0)
        expected.replace(expected.size() - lost, lost, QByteArray(lost, '\0'));
    else
        expected.replace(0, lost, QByteArray(lost, '\0'));

    QByteArray got;
    int silenced = 0;
    for (int t = 1; t <= 3; ++t) {
        QVERIFY_THROWS_NO_EXCEPTION(got += readTracks(*in, t, t));
        silenced += in->LastReadResult().SilencedSamples;
    }
    QCOMPARE(silenced, lost / 4);
    QCOMPARE(got.size(), expected.size());
    QVERIFY(got == expected);
    // The drive did what the row says, and cdparanoia set it right.
    const SimDriveCounters done = m_drive->counters();
    QCOMPARE(done.jitteredReads > 0, jitter > 0);
    QCOMPARE(done.damagedSectors > 0, !damaged.isEmpty() || picked > 0);
}

void tst_CDDrive::cdExtraEndsAudioAtSessionLeadOut()
{
    // Three audio tracks at 0, 300 and 750 and a data track: on the drive the
    // data session starts 11,400 sectors after the audio session's lead-out
    // at 1125, at 12525, and the disc ends at 13125.
    DiscGen::DiscSpec plan = audioDisc({300, 450, 375, 600});
    plan.tracks[3].data = true;
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), plan, "extra");
    DriveBehaviour behaviour;
    behaviour.secondSession = 4;
    auto in = inputOn(disc, behaviour, true);

    const std::vector<TTocEntry> toc = in->GetToc();
    QCOMPARE(toc.size(), size_t(5));
    QCOMPARE(toc[3].StartSector, 12525u);
    QCOMPARE(toc[4].StartSector, 13125u);
    QCOMPARE(MSFToFrames(in->GetTrackInfo(3).Length), 375u);
    QCOMPARE(MSFToFrames(in->GetTrackInfo(4).Length), 600u);

    // The rip's checksums take the track as long as it is read.
    const AccurateRip::Toc arToc = AccurateRip::tocOf(toc);
    TRipVerifier verifier(arToc, false, TAccurateRipSettings());
    TTrackChecksummer &sums = verifier.BeginTrack(3);
    in->SetTap(&sums);
    m_drive->resetCounters();
    QByteArray track3;
    QVERIFY_THROWS_NO_EXCEPTION(track3 = readTracks(*in, 3, 3));
    in->SetTap(nullptr);
    QVERIFY(track3 == readFile(QString::fromStdString(disc.trackFiles[2])));
    QCOMPARE(m_drive->counters().gapReads, 0u);
    QVERIFY(sums.Complete());

    // CDDB over every track to the disc's end; AccurateRip over the audio
    // tracks to the disc's end; MusicBrainz over the audio session.
    const AccurateRip::DiscIds ids = AccurateRip::discIds(arToc);
    QCOMPARE(ids.audioTracks, 3);
    QCOMPARE(ids.id1, 0x375fu);
    QCOMPARE(ids.id2, 0xd837u);
    QCOMPARE(ids.cddb, 0x1b00af04u);
    const DiscLookup::DiscToc driveToc
        = DiscLookup::readDriveToc(in->CurrentDrive(), TCDIn::SettingsFolder().toStdString());
    QCOMPARE(DiscLookup::cddbId(driveToc), std::string("1b00af04"));
    QCOMPARE(DiscLookup::musicBrainzId(DiscLookup::audioSession(driveToc)),
             std::string("O6v0TwqrCgqz__uYEDeU7.DJYIY-"));
}

void tst_CDDrive::readsAtTheDrivesPace_data()
{
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("paranoia");
    QTest::newRow("8x") << 8 << true;
    QTest::newRow("24x") << 24 << true;
    QTest::newRow("8x, paranoia off") << 8 << false;
}

void tst_CDDrive::readsAtTheDrivesPace()
{
    // A second of reading at the drive's speed: the copy takes at least
    // that long and its progress never runs ahead of the drive; without
    // cdparanoia it moves chunk by chunk (cdparanoia's read-ahead delivers
    // in bursts of its cache model, 1,200 sectors). A stop in the middle of
    // a read answers within a second.
    QFETCH(int, speed);
    QFETCH(bool, paranoia);
    const uint32_t sectors = uint32_t(75 * speed);
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({sectors}), "pace");
    DriveBehaviour behaviour;
    behaviour.speed = speed;
    auto in = inputOn(disc, behaviour, paranoia);
    in->SetStartTrack(1);
    in->SetEndTrack(1);
    TMemoryOutput out;
    out.setChunkSize(16384);
    out.SetInput(in.get());

    const double bytesPerMs = speed * 176.4;
    const qint64 slack = 3 * 176400; // the chunk being read, and cdparanoia's read-ahead
    QElapsedTimer clock;
    clock.start();
    out.StartOutput();
    QList<qint64> progress;
    while (out.IsBusy()) {
        const qint64 bytes = out.data().size();
        QVERIFY2(bytes <= qint64(clock.elapsed() * bytesPerMs) + slack,
                 qPrintable(QString("%1 bytes after %2 ms").arg(bytes).arg(clock.elapsed())));
        if (progress.isEmpty() || progress.last() != bytes)
            progress << bytes;
        QTest::qWait(20);
    }
    QCOMPARE(out.data().size(), int(sectors) * 2352);
    QVERIFY(clock.elapsed() >= 950);
    if (!paranoia)
        QVERIFY2(progress.size() >= 4, "the progress moves as the drive reads");

    out.StartOutput();
    QTest::qWait(200);
    QVERIFY(out.IsBusy());
    clock.restart();
    out.RequestStop();
    QTRY_VERIFY_WITH_TIMEOUT(!out.IsBusy(), 5000);
    QVERIFY2(clock.elapsed() < 1000,
             qPrintable(QString("stopped after %1 ms").arg(clock.elapsed())));
}

void tst_CDDrive::subChannelQ_data()
{
    // Track 1 at 0, track 2's pregap (INDEX 00) at 300 and its INDEX 01 at
    // 375. Q: control and ADR, track, index, relative M:S:F (counting down
    // in a pregap), 0, absolute M:S:F (sector + 150).
    QTest::addColumn<int>("sector");
    QTest::addColumn<bool>("binary");
    QTest::addColumn<bool>("badCrc");
    QTest::addColumn<QByteArray>("q");
    QTest::newRow("track 1") << 10 << false << false << QByteArray("01010100001000000210");
    QTest::newRow("pregap start") << 300 << false << false << QByteArray("01020000007400000600");
    QTest::newRow("pregap end") << 374 << false << false << QByteArray("01020000000000000674");
    QTest::newRow("index 01") << 375 << false << false << QByteArray("01020100000000000700");
    QTest::newRow("binary drive") << 10 << true << false << QByteArray("01010100000a0000020a");
    QTest::newRow("bad CRC") << 10 << false << true << QByteArray("01010100001000000210");
}

void tst_CDDrive::subChannelQ()
{
    QFETCH(int, sector);
    QFETCH(bool, binary);
    QFETCH(bool, badCrc);
    QFETCH(QByteArray, q);
    // CRC-16 (polynomial 0x1021, inverted), checked against a real drive's
    // frames first.
    const auto crc = [](const QByteArray &bytes) {
        uint16_t c = 0;
        for (const char byte : bytes) {
            c ^= uint16_t(uint8_t(byte) << 8);
            for (int bit = 0; bit < 8; ++bit)
                c = uint16_t(c & 0x8000 ? (c << 1) ^ 0x1021 : c << 1);
        }
        return uint16_t(~c);
    };
    QCOMPARE(crc(QByteArray::fromHex("01090103241000601120")), uint16_t(0x758F));
    QCOMPARE(crc(QByteArray::fromHex("01090103241200601122")), uint16_t(0x114E));

    DiscGen::DiscSpec plan = audioDisc({300, 300});
    plan.tracks[1].pregapFrames = 75;
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), plan, "q");
    DriveBehaviour behaviour;
    behaviour.qBinary = binary;
    behaviour.qCrcErrors = badCrc ? QByteArray::number(sector) : QByteArray();
    QVERIFY(m_drive->insert(disc.cuePath, behaviour));
    CdIo_t *cdio = cdio_open("/dev/sondrel-simcd", DRIVER_DEVICE);
    QVERIFY(cdio);
    QByteArray block(2368, '\0');
    const driver_return_code_t rc
        = mmc_read_cd(cdio, block.data(), sector, 1, false, false, 0, true, false, 0, 2, 2368, 1);
    cdio_destroy(cdio);
    QCOMPARE(int(rc), int(DRIVER_OP_SUCCESS));
    const QByteArray got = block.mid(2352, 10);
    QCOMPARE(got.toHex(), q);
    const uint16_t stored = uint16_t(uint8_t(block[2362]) << 8 | uint8_t(block[2363]));
    // A binary drive passes the disc's CRC on, which is over the BCD numbers.
    const QByteArray onDisc = binary ? QByteArray::fromHex("01010100001000000210") : got;
    QCOMPARE(stored == crc(onDisc), !badCrc);
    QVERIFY(block.left(2352)
            == readFile(QString::fromStdString(disc.binPath)).mid(sector * 2352, 2352));
}

void tst_CDDrive::findsIndexes_data()
{
    // Tracks of 600 sectors: track 1 after 32 sectors of hidden audio, then
    // pregaps of 0, 1, 75 (with INDEX 02 and 03) and 150 sectors. Each track
    // shows as number:INDEX 00 ("none", "?" for not detected), its
    // sub-indexes and P when pre-emphasised; track 5 is so in its Q alone.
    QTest::addColumn<bool>("binary");
    QTest::addColumn<QByteArray>("badCrc");
    QTest::addColumn<QByteArray>("unreadable");
    QTest::addColumn<QString>("found");
    const QString exact = "1:0 2:none 3:1232 4:1833[2008,2158] 5:2508P";
    QTest::newRow("BCD") << false << QByteArray() << QByteArray() << exact;
    QTest::newRow("binary") << true << QByteArray() << QByteArray() << exact;
    // The image itself as a drive: its sheet says all but the Q's flag.
    QTest::newRow("image") << false << QByteArray("image") << QByteArray()
                           << "1:0 2:none 3:1232 4:1833[2008,2158] 5:2508";
    // Sectors the search reads on its way, but none that alone tells a boundary.
    QTest::newRow("bad frames apart")
        << true << QByteArray("1758 1795") << QByteArray("1907 2207") << exact;
    // Good frames of the next sector, right before two boundaries: they
    // would put the pregaps one sector early; taken for no frame at all,
    // the boundaries cannot be told.
    QTest::newRow("frames of other sectors")
        << false << QByteArray("wrong:1231 1832") << QByteArray()
        << "1:0 2:none 3:? 4:?[2008,2158] 5:2508P";
    // Around a boundary only unreadable sectors: nothing is guessed.
    QTest::newRow("bad at a boundary") << false << QByteArray("1832") << QByteArray("1833")
                                       << "1:0 2:none 3:1232 4:?[2008,2158] 5:2508P";
    QTest::newRow("no Q at all") << false << QByteArray() << QByteArray("0-3300")
                                 << "1:0 2:? 3:? 4:? 5:?";
}

void tst_CDDrive::findsIndexes()
{
    QFETCH(bool, binary);
    QFETCH(QByteArray, badCrc);
    QFETCH(QByteArray, unreadable);
    QFETCH(QString, found);
    DiscGen::DiscSpec plan = audioDisc({600, 600, 600, 600, 600});
    const uint32_t pregaps[] = {32, 0, 1, 75, 150};
    for (size_t i = 0; i < 5; ++i)
        plan.tracks[i].pregapFrames = pregaps[i];
    plan.tracks[3].subIndexes = {100, 250};
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), plan, "gaps");
    DriveBehaviour behaviour;
    behaviour.qBinary = binary;
    behaviour.qCrcErrors = badCrc;
    if (badCrc.startsWith("wrong:")) {
        behaviour.qWrongSector = badCrc.mid(6);
        behaviour.qCrcErrors.clear();
    }
    behaviour.qUnreadable = unreadable;
    behaviour.qPreEmphasis = "5";
    const bool image = badCrc == "image";
    if (image) {
        behaviour.qCrcErrors.clear();
        QVERIFY(DiscLayouts::writeText(TCDIn::SettingsFolder() + CDRipSettingsFileName,
                                       "[Images]\nImage1=" + QByteArray::fromStdString(disc.cuePath)
                                           + '\n'));
    }
    const std::unique_ptr<TCDIn> in = image ? std::make_unique<TCDIn>()
                                            : inputOn(disc, behaviour, false);
    if (image) {
        in->SetCurrentDrive(in->GetDriveCount() - 1);
        m_drive->resetCounters();
    }
    const std::vector<TTocEntry> toc = in->GetToc();
    QCOMPARE(toc.size(), size_t(6));

    const TDiscIndexes indexes = FindDiscIndexes(in->CurrentDrive(), toc);
    QVERIFY(indexes.Searched);
    QStringList shown;
    for (const TTrackIndexes &t : indexes.Tracks) {
        QString text = QString::number(t.Track) + ':';
        if (t.Pregap == TTrackIndexes::pgFound)
            text += QString::number(t.PregapStart);
        else
            text += t.Pregap == TTrackIndexes::pgNone ? "none" : "?";
        QStringList subs;
        for (const uint32_t at : t.SubIndexes)
            subs << QString::number(at);
        if (!subs.isEmpty())
            text += '[' + subs.join(',') + ']';
        shown << text + (t.PreEmphasis ? "P" : "");
    }
    const SimDriveCounters counters = m_drive->counters();
    qInfo("%d sub-channel reads, %d failed", int(counters.subchannelReads), indexes.FailedReads);
    QCOMPARE(shown.join(' '), found);
    QCOMPARE(indexes.FailedReads > 0, (!badCrc.isEmpty() && !image) || !unreadable.isEmpty());
    // A disc without a readable Q costs the reads the search may fail, no more.
    QVERIFY(counters.subchannelReads <= 400);
    QCOMPARE(counters.subchannelReads == 0, image);
    if (unreadable == "0-3300") {
        QVERIFY(indexes.GaveUp);
        QCOMPARE(int(counters.subchannelReads), GapSearch::MaxFailedReads);
    }
}

void tst_CDDrive::cdTextPacksAndMcn()
{
    // The drive's reply without its header; none from a disc without CD-Text.
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({300, 300}), "text");
    // Any 47 packs: the drive hands them on as they are, the parser's
    // business is tested on its own.
    QByteArray packs;
    for (int i = 0; i < 47 * 18; ++i)
        packs += char((i * 37 + 11) & 0xff);
    const QString packFile = m_home.filePath("packs.cdt");
    QVERIFY(DiscLayouts::writeText(packFile, packs));
    DriveBehaviour behaviour;
    behaviour.cdText = QFile::encodeName(packFile);
    behaviour.mcn = "0727361379704";
    auto in = inputOn(disc, behaviour, false);
    const CDRip::CdTextBytes onDrive = in->GetCDText();
    QVERIFY(onDrive.packs == packs);
    QVERIFY(onDrive.cueSheet.isEmpty());
    QCOMPARE(in->GetCatalog(), "0727361379704");

    // Zeros are what drives give for none.
    DriveBehaviour plain;
    plain.mcn = "0000000000000";
    auto none = inputOn(disc, plain, false);
    QVERIFY(none->GetCDText().packs.isEmpty());
    QCOMPARE(none->GetCatalog(), QString());
}

QTEST_GUILESS_MAIN(tst_CDDrive)
#include "tst_cddrive.moc"
