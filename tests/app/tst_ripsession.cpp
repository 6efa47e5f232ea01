#include "app/discmodel.h"
#include "app/ripsession.h"
#include "app/sondrelcore.h"
#include "job/ripjob.h"
#include "pipeline/cdinput.h"
#include "tests/support/lineview.h"
#include "tests/support/mediaprobe.h"
#include "tests/support/memorysettings.h"
#include "tests/support/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// A rip started from the user's choices, with no widget anywhere.
class tst_RipSession : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void refusals_data();
    void refusals();
    void ripFromChoices();

private:
    std::unique_ptr<SondrelCore> makeCore() const;
    RipChoices choices(const QString &folder) const;

    QTemporaryDir m_home;
    DiscGen::WrittenDisc m_disc;
};

void tst_RipSession::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    QVERIFY(QDir().mkpath(TCDIn::SettingsFolder()));
    m_disc = TestSupport::makeDisc(m_home.path(), TestSupport::audioDisc({100, 80}), "session");
    QFile ini(TCDIn::SettingsFolder() + "cdr.ini");
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Images]\nImage1=" + QFile::encodeName(QString::fromStdString(m_disc.cuePath))
              + "\n");
}

std::unique_ptr<SondrelCore> tst_RipSession::makeCore() const
{
    auto core = std::make_unique<SondrelCore>(
        std::make_unique<SettingsStore>(std::make_unique<MemorySettingsStorage>()));
    core->CreateAudioConvert();
    core->ConfigureAudioConvert();
    core->CreateRipJob();
    core->FillDriveList();
    core->FillTrackList(int(core->disc()->drives().size()) - 1);
    return core;
}

RipChoices tst_RipSession::choices(const QString &folder) const
{
    RipChoices c;
    c.format = OutputFormats::Flac;
    c.filenameTemplate = "<album>\\<title>";
    c.outputFolder = folder;
    c.drive = 1;
    c.speedItem = "Default";
    c.album = "Album";
    return c;
}

void tst_RipSession::refusals_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("no folder") << QString() << true;
    QTest::newRow("relative folder") << "music" << true;
    QTest::newRow("nothing ticked") << m_home.filePath("out") << false;
}

void tst_RipSession::refusals()
{
    QFETCH(QString, folder);
    QFETCH(bool, ticked);
    auto core = makeCore();
    core->disc()->setAllTicks([ticked](bool) { return ticked; });
    TestSupport::LineView log;
    const RipChoices c = choices(folder);
    const QString refused = core->ripSession()->start(c, log);
    QVERIFY(!refused.isEmpty());
    QCOMPARE(refused, core->ripSession()->refusal(c));
    QVERIFY(!core->RipJob()->Running());
    QVERIFY(log.lines.isEmpty());
}

void tst_RipSession::ripFromChoices()
{
    auto core = makeCore();
    DiscModel *disc = core->disc();
    disc->setTrackTitle(0, "First");
    disc->setTrackTitle(1, "First");
    disc->setAllTicks([](bool) { return true; });
    QList<QPair<int, int>> asked;
    core->setSpeedControl([&asked](int drive, int speed) {
        asked.append({drive, speed});
        return false;
    });

    RipChoices c = choices(m_home.filePath("rip"));
    c.drive = int(disc->drives().size()) - 1;
    c.speedItem = "8X";
    c.makeList = true;
    c.playlistFile = m_home.filePath("rip/list.m3u");
    // Disc 2 of a set by several artists; identifiers left out of the tags.
    c.filenameTemplate = "<albumartist>\\<album>\\Disc <disc>\\<title>";
    c.albumArtist = "Various Artists";
    c.discNumber = "2";
    c.discTotal = "3";
    c.writeMusicBrainzIds = false;
    AudioConvertLib::TReleaseTags release;
    release.releaseId = "5f8a3c1e-1111-4a2b-9c3d-000000000001";
    release.label = "Ørn Records";
    disc->setRelease(release);
    disc->setTrackIds(0, "GBAYE9912345", "5f8a3c1e-3333-4a2b-9c3d-000000000003", {}, {});
    const QStringList names = core->ripSession()->outputNames(c);
    // Alike titles never overwrite each other.
    QCOMPARE(names,
             QStringList({m_home.filePath("rip/Various Artists/Album/Disc 2/First.flac"),
                          m_home.filePath("rip/Various Artists/Album/Disc 2/First (2).flac")}));

    TestSupport::LineView log;
    QSignalSpy ended(core->RipJob(), &TRipJob::ended);
    QCOMPARE(core->ripSession()->start(c, log), QString());
    QVERIFY(ended.wait(60000));
    QCOMPARE(asked, (QList<QPair<int, int>>{{c.drive, 8}}));
    // The refused speed is told once, in the job's log.
    QCOMPARE(log.lines.count("The drive did not take the speed \"8X\" and reads at its own."), 1);
    QCOMPARE(log.lines.first(), "Initialization...");
    QCOMPARE(log.lines.last(), "Completed!");
    for (int t = 0; t < 2; ++t)
        QCOMPARE(TestSupport::ffmpegDecode(names.at(t)),
                 TestSupport::readFile(QString::fromStdString(m_disc.trackFiles[size_t(t)])));
    QCOMPARE(TestSupport::readFile(c.playlistFile), (names.join("\r\n") + "\r\n").toUtf8());

    const QString tags = QString::fromUtf8(
        TestSupport::run("metaflac", {"--export-tags-to=-", names.at(0)}).out);
    for (const char *line : {"ALBUMARTIST=Various Artists",
                             "DISCNUMBER=2",
                             "DISCTOTAL=3",
                             "TRACKTOTAL=2",
                             "ISRC=GBAYE9912345",
                             "LABEL=Ørn Records"})
        QVERIFY2(tags.contains(QString::fromUtf8(line)), qPrintable(tags));
    QVERIFY2(!tags.contains("MUSICBRAINZ"), qPrintable(tags));
}

QTEST_GUILESS_MAIN(tst_RipSession)
#include "tst_ripsession.moc"
