// Finding a drive's read offset on the simulated drive (tests/simdrive),
// against a loopback AccurateRip server whose file this test writes from the
// disc's own audio with its own sums; and the detection dialog and the drive
// list's offer in the window.
#include "app/discmodel.h"
#include "app/offsetdetection.h"
#include "app/settings.h"
#include "app/sondrelcore.h"
#include "lookup/accuraterip.h"
#include "pipeline/cdinput.h"
#include "tests/support/discdrive.h"
#include "tests/support/loopbackhttpserver.h"
#include "tests/support/memorysettings.h"
#include "tests/support/simulateddrive.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtEndian>
#include <QtTest>

using namespace TestSupport;

Q_DECLARE_METATYPE(TOffsetDetectionResult::Kind)

class tst_OffsetDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void detects_data();
    void detects();
    void cancelDoesNotWait();
    void cancelDuringRead();
    void dialogKeepsWhatTheUserChose();
    void firstRipOffersTheListedOffset();

private:
    // The disc in the simulated drive; its AccurateRip file on the server
    // with records of the given kinds ("v1", "v2", "other").
    // Returns the file.
    QByteArray insert(const DiscGen::WrittenDisc &disc, int driveOffset, const QStringList &records);
    void listDrive(int offset);
    int simIndex(SondrelCore &core) const;

    TestHome m_home;
    std::unique_ptr<SimulatedDrive> m_drive;
    LoopbackHttpServer m_server;
    DiscGen::WrittenDisc m_disc;
    DiscGen::WrittenDisc m_oneTrack;
};

namespace {

void put32(QByteArray &bytes, uint32_t value)
{
    char b[4];
    qToLittleEndian(value, b);
    bytes.append(b, 4);
}

// The two AccurateRip sums of a track, written out from their definition.
std::pair<uint32_t, uint32_t> sumsOf(const QByteArray &pcm, bool first, bool last)
{
    const auto n = uint32_t(pcm.size() / 4);
    uint32_t v1 = 0;
    uint32_t v2 = 0;
    for (uint32_t p = 1; p <= n; ++p) {
        if ((first && p < 2940) || (last && p + 2940 > n))
            continue;
        const uint64_t product = uint64_t(qFromLittleEndian<uint32_t>(pcm.constData() + 4 * (p - 1)))
                                 * p;
        v1 += uint32_t(product);
        v2 += uint32_t(product) + uint32_t(product >> 32);
    }
    return {v1, v2};
}

AccurateRip::DiscIds idsOf(const DiscGen::WrittenDisc &disc)
{
    DiscLookup::DiscToc toc;
    for (size_t i = 0; i < disc.layout.tracks.size(); ++i)
        toc.tracks.push_back({int(i + 1), disc.layout.tracks[i].start + 150, false});
    toc.leadOutFrame = disc.layout.totalFrames + 150;
    return AccurateRip::discIds(toc);
}

DiscGen::DiscSpec randomDisc(std::initializer_list<uint32_t> frames)
{
    // Noise: no shift of it looks like another.
    DiscGen::DiscSpec plan = audioDisc(frames);
    for (DiscGen::TrackSpec &t : plan.tracks)
        t.content = DiscGen::AudioContent::Random;
    return plan;
}

TOffsetDetectionResult detect(SondrelCore &core, int drive)
{
    QSignalSpy done(core.OffsetDetection(), &TOffsetDetection::finished);
    core.StartOffsetDetection(drive);
    if (done.isEmpty() && !done.wait(120000))
        qFatal("the detection did not finish");
    return done.constFirst().constFirst().value<TOffsetDetectionResult>();
}

} // namespace

void tst_OffsetDetection::initTestCase()
{
    QVERIFY2(SimulatedDrive::preloaded(), "run through CTest, which preloads the simulated drive");
    QVERIFY(m_home.isValid());
    qRegisterMetaType<TOffsetDetectionResult>();
    m_drive = std::make_unique<SimulatedDrive>(m_home.filePath("drive"));
    QDir().mkpath(m_home.filePath("drive"));
    // The shortest three neighbours are tracks 2 to 4, the last among them.
    m_disc = makeDisc(m_home.filePath("drive"), randomDisc({900, 700, 800, 600}), "four");
    m_oneTrack = makeDisc(m_home.filePath("drive"), randomDisc({1200}), "one");
}

void tst_OffsetDetection::init()
{
    m_server.reset();
    QFile::remove(TCDIn::SettingsFolder() + QStringLiteral("DriveOffsets.bin"));
}

QByteArray tst_OffsetDetection::insert(const DiscGen::WrittenDisc &disc,
                                       int driveOffset,
                                       const QStringList &records)
{
    DriveBehaviour behaviour;
    behaviour.offset = driveOffset;
    if (!m_drive->insert(disc.cuePath, behaviour))
        qFatal("cannot write the drive's configuration");
    const AccurateRip::DiscIds ids = idsOf(disc);
    QByteArray file;
    for (const QString &kind : records) {
        file.append(char(ids.audioTracks));
        for (uint32_t v : {ids.id1, ids.id2, ids.cddb})
            put32(file, v);
        const size_t n = disc.trackFiles.size();
        for (size_t t = 0; t < n; ++t) {
            const auto [v1, v2] = sumsOf(readFile(QString::fromStdString(disc.trackFiles[t])),
                                         t == 0,
                                         t + 1 == n);
            // "other": sums of some other audio, which no shift gives.
            file.append(char(kind == QLatin1String("v2") ? 9 : 3));
            put32(file, kind == QLatin1String("v1") ? v1 : kind == QLatin1String("v2") ? v2 : ~v1);
            put32(file, 0);
        }
    }
    if (!records.isEmpty())
        m_server.route(AccurateRip::filePath(ids).toLatin1(), LoopbackHttpServer::text(200, file));
    return file;
}

namespace {

QByteArray driveList(int offset)
{
    QByteArray record(69, '\0');
    qToLittleEndian(int16_t(offset), record.data());
    record.replace(2, 25, "SONDREL - SIMULATED DRIVE");
    return record;
}

} // namespace

void tst_OffsetDetection::listDrive(int offset)
{
    QFile list(TCDIn::SettingsFolder() + QStringLiteral("DriveOffsets.bin"));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(driveList(offset));
}

int tst_OffsetDetection::simIndex(SondrelCore &core) const
{
    core.FillDriveList();
    return int(core.disc()->drives().indexOf(DriveBehaviour().driveName()));
}

void tst_OffsetDetection::detects_data()
{
    QTest::addColumn<bool>("oneTrack");
    QTest::addColumn<int>("driveOffset");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<int>("listed"); // 0: the drive list does not hold the drive
    QTest::addColumn<TOffsetDetectionResult::Kind>("kind");

    const QStringList both{"v1", "v2"};
    const auto found = TOffsetDetectionResult::Found;
    // v2 sums cannot be shifted: +6 and -472 are found among the common
    // offsets, +667 from the v1 sums of every shift.
    QTest::newRow("+6, v2 record") << false << 6 << QStringList{"v2"} << 0 << found;
    QTest::newRow("+667, v1 record") << false << 667 << QStringList{"v1"} << 0 << found;
    QTest::newRow("-472, both records") << false << -472 << both << 0 << found;
    QTest::newRow("+102, the drive list agrees") << false << 102 << both << 102 << found;
    QTest::newRow("+667, the drive list says +6") << false << 667 << both << 6 << found;
    QTest::newRow("no offset matches")
        << false << 6 << QStringList{"other"} << 0 << TOffsetDetectionResult::NoAgreement;
    QTest::newRow("one track") << true << 6 << both << 0 << TOffsetDetectionResult::TooFewTracks;
    QTest::newRow("not in the database")
        << false << 6 << QStringList() << 0 << TOffsetDetectionResult::NotInDatabase;
}

void tst_OffsetDetection::detects()
{
    QFETCH(bool, oneTrack);
    QFETCH(int, driveOffset);
    QFETCH(QStringList, records);
    QFETCH(int, listed);
    QFETCH(TOffsetDetectionResult::Kind, kind);
    insert(oneTrack ? m_oneTrack : m_disc, driveOffset, records);
    if (listed != 0)
        listDrive(listed);
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values[SettingsKeys::AccurateRipServer] = m_server.url(QString());
    SondrelCore core(std::make_unique<SettingsStore>(std::move(storage)));
    const int drive = simIndex(core);
    QVERIFY(drive >= 0);
    core.CDIn()->SetReadOffset(-30);

    const TOffsetDetectionResult result = detect(core, drive);
    QCOMPARE(result.kind, kind);
    QVERIFY2(!result.Text().isEmpty(), "every answer is told");
    if (kind == TOffsetDetectionResult::Found) {
        QCOMPARE(result.offset, driveOffset);
        QCOMPARE(result.matched, 3);
        QCOMPARE(result.listed.value_or(0), listed);
        QCOMPARE(result.disagreesWithList(), listed != 0 && listed != driveOffset);
    } else {
        QVERIFY2(result.Text().endsWith(QLatin1String("Try another disc.")),
                 qPrintable(result.Text()));
    }
    // Nothing is kept, and the input reads as it did.
    QVERIFY(!core.settings().HasReadOffset(DriveBehaviour().driveName()));
    QCOMPARE(core.CDIn()->ReadOffset(), -30);
    QCOMPARE(core.CDIn()->ReadMargin(), 0);
    QCOMPARE(core.CDIn()->Tap(), nullptr);
}

void tst_OffsetDetection::cancelDoesNotWait()
{
    // A slow server: Cancel does not wait for it, and its late answer
    // starts no read; the next detection runs as ever.
    const QByteArray file = insert(m_disc, 48, {"v1"});
    const QByteArray path = AccurateRip::filePath(idsOf(m_disc)).toLatin1();
    LoopbackHttpServer::Reply slow = LoopbackHttpServer::text(200, file);
    slow.pieceDelayMs = 100;
    m_server.reset();
    m_server.route(path, {slow, LoopbackHttpServer::text(200, file)});
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values[SettingsKeys::AccurateRipServer] = m_server.url(QString());
    SondrelCore core(std::make_unique<SettingsStore>(std::move(storage)));
    const int drive = simIndex(core);
    QSignalSpy stage(core.OffsetDetection(), &TOffsetDetection::stage);
    QSignalSpy done(core.OffsetDetection(), &TOffsetDetection::finished);
    core.StartOffsetDetection(drive);
    QCOMPARE(stage.size(), 1);
    core.OffsetDetection()->Cancel();
    QCOMPARE(done.size(), 1);
    QCOMPARE(done.constFirst().constFirst().value<TOffsetDetectionResult>().kind,
             TOffsetDetectionResult::Cancelled);
    QVERIFY(!core.OffsetDetection()->IsRunning());
    QTest::qWait(300);
    QCOMPARE(stage.size(), 1);

    const TOffsetDetectionResult again = detect(core, drive);
    QCOMPARE(again.kind, TOffsetDetectionResult::Found);
    QCOMPARE(again.offset, 48);
}

void tst_OffsetDetection::cancelDuringRead()
{
    // At 4x the read takes seconds; Cancel ends it within a read command,
    // and the input is as it was.
    DriveBehaviour behaviour;
    behaviour.offset = 48;
    behaviour.speed = 4;
    insert(m_disc, 48, {"v1"});
    QVERIFY(m_drive->insert(m_disc.cuePath, behaviour));
    auto storage = std::make_unique<MemorySettingsStorage>();
    storage->values[SettingsKeys::AccurateRipServer] = m_server.url(QString());
    SondrelCore core(std::make_unique<SettingsStore>(std::move(storage)));
    const int drive = simIndex(core);
    QSignalSpy progress(core.OffsetDetection(), &TOffsetDetection::progress);
    QSignalSpy done(core.OffsetDetection(), &TOffsetDetection::finished);
    core.StartOffsetDetection(drive);
    QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty(), 10000);
    QTest::qWait(500);
    QElapsedTimer clock;
    clock.start();
    core.OffsetDetection()->Cancel();
    QVERIFY(done.wait(20000));
    QVERIFY2(clock.elapsed() < 3000, "a cancelled read stops at once");
    QCOMPARE(done.constFirst().constFirst().value<TOffsetDetectionResult>().kind,
             TOffsetDetectionResult::Cancelled);
    QCOMPARE(core.CDIn()->Tap(), nullptr);
    QCOMPARE(core.CDIn()->ReadMargin(), 0);
}

void tst_OffsetDetection::dialogKeepsWhatTheUserChose()
{
    // The drive list's +6 is wrong for this drive: the dialog says so, and
    // +667 is kept only when the user asks for it.
    insert(m_disc, 667, {"v1", "v2"});
    listDrive(6);
    WindowRig rig({{SettingsKeys::AccurateRipServer, m_server.url(QString())}});
    QVERIFY(rig.show(0));
    auto detectButton = rig.child<QPushButton>("btnDetectOffset");
    QVERIFY(detectButton->isEnabled());
    QString answer;
    onNextModal([&answer](QWidget *dialog) {
        auto use = dialog->findChild<QPushButton *>(QStringLiteral("btnUse"));
        QTRY_VERIFY_WITH_TIMEOUT(use->isVisible(), 120000);
        answer = dialog->findChild<QLabel *>(QStringLiteral("lblAnswer"))->text();
        QCOMPARE(use->text(), QStringLiteral("Use +667 anyway"));
        use->click();
    });
    detectButton->click();
    QVERIFY2(answer.contains(QLatin1String("gives +6 for this drive")), qPrintable(answer));
    QCOMPARE(rig.child<QSpinBox>("edtReadOffset")->value(), 667);
    QCOMPARE(rig.core().settings().ReadReadOffset(DriveBehaviour().driveName()), 667);
    QCOMPARE(rig.core().CDIn()->ReadOffset(), 667);
}

void tst_OffsetDetection::firstRipOffersTheListedOffset()
{
    // The list is fetched when the drive without an offset is chosen.
    insert(m_disc, 6, {});
    m_server.route("/accuraterip/DriveOffsets.bin", LoopbackHttpServer::text(200, driveList(6)));
    WindowRig rig({{SettingsKeys::AccurateRipServer, m_server.url(QString())}});
    QVERIFY(rig.show(0));
    QTRY_VERIFY(QFile::exists(TCDIn::SettingsFolder() + QStringLiteral("DriveOffsets.bin")));
    rig.prepareRip(m_home.filePath("out"), 3);
    QString question;
    onNextModal([&question](QWidget *box) {
        question = static_cast<QMessageBox *>(box)->text();
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
    });
    rig.ripAll();
    QCOMPARE(question,
             QStringLiteral(
                 "This drive's read offset is +6 in the AccurateRip drive list: use it?"));
    QCOMPARE(rig.core().settings().ReadReadOffset(DriveBehaviour().driveName()), 6);
    // Asked once: the drive has an offset now.
    QVERIFY(!rig.core().OffsetToOffer(0));
}

QTEST_MAIN(tst_OffsetDetection)
#include "tst_offsetdetection.moc"
