// The CD input over the simulated drive (tests/simdrive): what a real drive
// does to the audio, under real libcdio and cdparanoia.
#include "job/ripverifier.h"
#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/drivetoc.h"
#include "lookup/accuraterip.h"
#include "pipeline/cdinput.h"
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
    QTest::addColumn<int>("picked"); // damaged sectors besides, at random

    // Sectors 300 .. 302 and 520 lie in track 2, 700 at the start of track 3.
    QTest::newRow("clean, paranoia off") << false << 0 << 0 << QByteArray() << 0;
    QTest::newRow("clean, paranoia on") << true << 0 << 0 << QByteArray() << 0;
    QTest::newRow("jitter") << true << 0 << 24 << QByteArray() << 0;
    QTest::newRow("damage that differs on each read")
        << true << 0 << 0 << QByteArray("300-302 520 700") << 0;
    QTest::newRow("damage at random sectors") << true << 0 << 0 << QByteArray() << 8;
    QTest::newRow("offset +667") << true << 667 << 0 << QByteArray() << 0;
    QTest::newRow("offset -1164") << true << -1164 << 0 << QByteArray() << 0;
    QTest::newRow("offset +667, paranoia off") << false << 667 << 0 << QByteArray() << 0;
}

void tst_CDDrive::readsBitExact()
{
    // With the drive's offset set in the program, every track reads as the
    // disc holds it; the samples the offset moves off the disc's audio are
    // silence.
    QFETCH(bool, paranoia);
    QFETCH(int, offset);
    QFETCH(int, jitter);
    QFETCH(QByteArray, damaged);
    QFETCH(int, picked);
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({240, 450, 300}), "exact");
    DriveBehaviour behaviour;
    behaviour.offset = offset;
    behaviour.jitter = jitter;
    behaviour.damaged = damaged;
    behaviour.damagedCount = picked;
    auto in = inputOn(disc, behaviour, paranoia);
    in->SetReadOffset(offset);
    m_drive->resetCounters();

    QByteArray expected;
    for (const std::string &file : disc.trackFiles)
        expected += readFile(QString::fromStdString(file));
    const int lost = 4 * std::abs(offset);
    if (offset > 0)
        expected.replace(expected.size() - lost, lost, QByteArray(lost, '\0'));
    else
        expected.replace(0, lost, QByteArray(lost, '\0'));

    QByteArray got;
    for (int t = 1; t <= 3; ++t)
        QVERIFY_THROWS_NO_EXCEPTION(got += readTracks(*in, t, t));
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
    QCOMPARE(stored == crc(got), !badCrc);
    QVERIFY(block.left(2352)
            == readFile(QString::fromStdString(disc.binPath)).mid(sector * 2352, 2352));
}

void tst_CDDrive::cdTextPacksAndMcn()
{
    // The drive's reply without its header; none from a disc without CD-Text.
    const DiscGen::WrittenDisc disc = makeDisc(m_home.path(), audioDisc({300, 300}), "text");
    const QByteArray packs = readFile(QFINDTESTDATA("../data/cdtext-krosis.cdt"));
    QCOMPARE(packs.size(), 846);
    const QString packFile = m_home.filePath("krosis.cdt");
    QVERIFY(DiscLayouts::writeText(packFile, packs));
    DriveBehaviour behaviour;
    behaviour.cdText = QFile::encodeName(packFile);
    behaviour.mcn = "0727361379704";
    auto in = inputOn(disc, behaviour, false);
    const CDRip::CdTextBytes onDrive = in->GetCDText();
    QVERIFY(onDrive.packs == packs);
    QVERIFY(onDrive.cueSheet.isEmpty());
    QCOMPARE(in->GetMCN(), "0727361379704");

    // Zeros are what drives give for none.
    DriveBehaviour plain;
    plain.mcn = "0000000000000";
    auto none = inputOn(disc, plain, false);
    QVERIFY(none->GetCDText().packs.isEmpty());
    QCOMPARE(none->GetMCN(), QString());
}

QTEST_GUILESS_MAIN(tst_CDDrive)
#include "tst_cddrive.moc"
