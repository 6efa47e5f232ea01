#include "pipeline/cdinput.h"
#include "player/audioplayer.h"
#include "player/cdplayer.h"
#include "tests/support/discdrive.h"
#include "tests/support/disclayouts.h"
#include "tests/support/playedaudio.h"
#include "tests/support/testsupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using PlayedAudio::compare;

// The player's plays reach SDL's disk driver (set for this test by CTest),
// which writes what it is handed into the file SDL_DISKAUDIOFILE names; the
// file is compared with the bytes of the generated disc's tracks.
class tst_CDPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void wholeTrackReachesTheOutputBitExact();
    void playRunsOnThroughTheNextTracksSkippingData();
    void refusedPlaysAndTheirMessages();
    void pauseAndResumeLoseAndRepeatNothing();
    void seekPlaysFromTheSoughtFrame();
    void skipsMove370FramesAndNotPastTheEnds();
    void nextAndPreviousStopAtTheDiscsEnds();
    void driveIsLeftAloneWhenThePlayEnds();
    void tickReportsPositionAndTheNextTrack();
    void volumeScalesEachChannel();
    void missingLibraryIsToldByName();

private:
    // Writes the disc, lists it as the last drive and returns its index.
    int install(const DiscGen::DiscSpec &plan);
    QByteArray track(int t) const
    {
        return TestSupport::readFile(QString::fromStdString(m_disc.trackFiles[size_t(t - 1)]));
    }
    QByteArray played() const { return PlayedAudio::read(m_output); }
    // The output's pace: 0 as fast as it can take, else milliseconds per
    // buffer of 2048 sample pairs (46 ms of audio).
    static void outputDelay(int ms) { qputenv("SDL_DISKAUDIODELAY", QByteArray::number(ms)); }
    static bool waitUntilStopped(TCDPlayer &player, int ms = 60000)
    {
        return QTest::qWaitFor([&] { return player.Status() != TCDStatus::Playing; }, ms);
    }

    QTemporaryDir m_home;
    QString m_output;
    DiscGen::WrittenDisc m_disc;
    int m_count = 0;
};

void tst_CDPlayer::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    QCOMPARE(qgetenv("SDL_AUDIODRIVER"), QByteArray("disk"));
}

void tst_CDPlayer::init()
{
    m_output = m_home.filePath(QStringLiteral("played-%1.raw").arg(++m_count));
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
    outputDelay(0);
    TCDPlayer volume(nullptr);
    volume.SetLVolume(65535);
    volume.SetRVolume(65535);
}

int tst_CDPlayer::install(const DiscGen::DiscSpec &plan)
{
    m_disc = TestSupport::installDisc(m_home.filePath(QStringLiteral("disc%1").arg(m_count)), plan);
    TCDIn lister;
    return lister.GetDriveCount() - 1;
}

void tst_CDPlayer::wholeTrackReachesTheOutputBitExact()
{
    TCDPlayer player(nullptr, install(TestSupport::audioDisc({300, 200})));
    QCOMPARE(player.NumberOfTracks(), 2);
    QCOMPARE(player.Status(), TCDStatus::Ready);
    player.PlayTrack(1);
    QVERIFY(waitUntilStopped(player));
    const auto m = compare(played(), track(1));
    QCOMPARE(m.bytes, track(1).size());
    QVERIFY(m.silentAfter);
    // The play ended with its range: the position is the range's end.
    QCOMPARE(player.Position().Track, 2);
    QCOMPARE(MSFToFrames(player.Position().Time), 0u);
    QCOMPARE(player.OpenCount(), 0);
}

void tst_CDPlayer::playRunsOnThroughTheNextTracksSkippingData()
{
    DiscGen::DiscSpec plan = TestSupport::audioDisc({120, 90, 100, 80});
    plan.tracks[2].data = true;
    plan.tracks[1].pregapFrames = 30;
    TAudioPlayer player(install(plan));
    player.TrackCount = 4;
    player.PlayTrack(1);
    QCOMPARE(player.State, TPlayerState::Playing);
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    // Tracks 1, 2 and 4 back to back, with every pregap; the data track
    // between them is not played.
    const QByteArray expected = track(1) + track(2) + track(4);
    const auto m = compare(played(), expected);
    QCOMPARE(m.bytes, expected.size());
    QVERIFY(m.silentAfter);
}

void tst_CDPlayer::refusedPlaysAndTheirMessages()
{
    auto raised = [](const std::function<void()> &call) {
        try {
            call();
        } catch (const EPcmException &e) {
            return e.message();
        }
        return QStringLiteral("nothing raised");
    };
    const int drive = install(DiscLayouts::plan("data track first"));
    TCDPlayer player(nullptr, drive);
    QCOMPARE(raised([&] { player.PlayTrack(1); }), QStringLiteral("Trying to play a data track."));
    QCOMPARE(raised([&] { player.PlayTrack(4); }), QStringLiteral("Track out of range."));
    QCOMPARE(raised([&] {
                 player.PlayRange({3, {}}, {2, {}});
             }),
             QStringLiteral("Track out of range."));
    TTrackTime length;
    bool data = false;
    QCOMPARE(raised([&] { player.TrackInfo(0, length, data); }),
             QStringLiteral("Track out of range."));
    player.TrackInfo(1, length, data);
    QVERIFY(data);
    player.TrackInfo(2, length, data);
    QVERIFY(!data);
    QCOMPARE(MSFToFrames(length), 500u);
    QCOMPARE(player.OpenCount(), 0);

    // A data track plays nothing and says nothing.
    TAudioPlayer audio(drive);
    audio.TrackCount = 3;
    bool told = false;
    audio.OnNoAudioOutput = [&](const QString &) { told = true; };
    audio.PlayTrack(1);
    QCOMPARE(audio.State, TPlayerState::Stopped);
    QVERIFY(!told);
    QVERIFY(played().isEmpty());

    TCDPlayer nowhere(nullptr, drive + 5);
    QCOMPARE(raised([&] { nowhere.Status(); }), QStringLiteral("Cannot open audiocd device"));

    QString fifo;
    QVERIFY(QDir().mkpath(m_home.filePath("broken")));
    const QString broken = DiscLayouts::writeBrokenImage(m_home.filePath("broken"),
                                                         "1000-byte BIN",
                                                         fifo);
    QVERIFY(!broken.isEmpty());
    QVERIFY(DiscLayouts::writeText(TCDIn::SettingsFolder() + "cdr.ini",
                                   DiscLayouts::imagesSection({broken})));
    TCDPlayer empty(nullptr, drive);
    QCOMPARE(empty.Status(), TCDStatus::NotReady);
    QCOMPARE(empty.NumberOfTracks(), 0);
    QCOMPARE(raised([&] { empty.PlayTrack(1); }), QStringLiteral("Device is not ready"));
    QCOMPARE(empty.OpenCount(), 0);
}

void tst_CDPlayer::pauseAndResumeLoseAndRepeatNothing()
{
    outputDelay(10); // about five times as fast as it would sound
    TAudioPlayer player(install(TestSupport::audioDisc({900})));
    player.TrackCount = 1;
    player.PlayTrack(1);
    QTest::qWait(100);
    player.TogglePause();
    QCOMPARE(player.State, TPlayerState::Paused);
    QVERIFY(!player.Timer->isActive());
    QCOMPARE(player.CDPlayer->Status(), TCDStatus::Paused);
    QTest::qWait(50);
    const qsizetype atPause = played().size();
    QVERIFY(atPause > 0);
    QVERIFY(atPause < track(1).size());
    QTest::qWait(300);
    QCOMPARE(played().size(), atPause);
    player.TogglePause();
    QCOMPARE(player.State, TPlayerState::Playing);
    QVERIFY(player.Timer->isActive());
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    const auto m = compare(played(), track(1));
    QCOMPARE(m.bytes, track(1).size());
    QVERIFY(m.silentAfter);
}

void tst_CDPlayer::seekPlaysFromTheSoughtFrame()
{
    outputDelay(40); // about as fast as it would sound
    TAudioPlayer player(install(TestSupport::audioDisc({200, 1500, 100})));
    player.TrackCount = 3;
    player.PlayTrack(2);
    QVERIFY(QTest::qWaitFor([&] { return MSFToFrames(player.CDPlayer->Position().Time) > 0; }));
    player.Seek(1000);
    QVERIFY(QTest::qWaitFor([&] { return played().size() > 20 * 2352; }));
    player.Stop();
    const auto m = compare(played(), track(2), 1000 * 2352);
    QVERIFY2(m.bytes > 20 * 2352, qPrintable(QString::number(m.bytes)));
    QVERIFY(m.silentAfter);
    // Stop leaves the state as it was.
    QCOMPARE(player.State, TPlayerState::Playing);
    QCOMPARE(player.CDPlayer->Status(), TCDStatus::Ready);

    // Not playing: no seek.
    QFile::remove(m_output);
    player.Seek(10);
    QVERIFY(!QFile::exists(m_output));
}

void tst_CDPlayer::skipsMove370FramesAndNotPastTheEnds()
{
    // Slow enough that the position stands still between two steps here.
    outputDelay(400);
    TAudioPlayer player(install(TestSupport::audioDisc({1200})));
    player.TrackCount = 1;
    auto offset = [&] { return int(MSFToFrames(player.CDPlayer->Position().Time)); };
    auto startsAt = [&](int frame) {
        return QTest::qWaitFor([&] { return played().size() > 0; })
               && compare(played(), track(1), qsizetype(frame) * 2352).bytes == played().size();
    };
    player.PlayTrack(1);
    QVERIFY(startsAt(0));
    // Within the first 370 frames a skip back does nothing.
    player.SkipBack();
    QVERIFY(startsAt(0));
    int at = offset();
    player.SkipForward();
    QVERIFY(startsAt(at + 370));
    player.SkipForward();
    QVERIFY(QTest::qWaitFor([&] { return offset() > at + 370; }));
    at = offset();
    QVERIFY(at > 370);
    player.SkipBack();
    QVERIFY(startsAt(at - 370));
    // Fewer than 370 frames left: a skip forward does nothing.
    player.Seek(1200 - 300);
    QVERIFY(startsAt(900));
    player.SkipForward();
    QVERIFY(startsAt(900));
    QCOMPARE(player.State, TPlayerState::Playing);
    player.Stop();
}

void tst_CDPlayer::nextAndPreviousStopAtTheDiscsEnds()
{
    TAudioPlayer player(install(TestSupport::audioDisc({100, 120, 90})));
    player.TrackCount = 3;
    player.PlayTrack(3);
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    QFile::remove(m_output);
    player.NextTrack();
    QCOMPARE(player.CurrentTrack, 3);
    QVERIFY(!QFile::exists(m_output));

    player.PlayTrack(0); // track 1
    QCOMPARE(player.CurrentTrack, 1);
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    QFile::remove(m_output);
    player.PreviousTrack();
    QCOMPARE(player.CurrentTrack, 1);
    QVERIFY(!QFile::exists(m_output));

    player.NextTrack();
    QCOMPARE(player.CurrentTrack, 2);
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    const QByteArray expected = track(2) + track(3);
    QCOMPARE(compare(played(), expected).bytes, expected.size());
}

void tst_CDPlayer::driveIsLeftAloneWhenThePlayEnds()
{
    TAudioPlayer player(install(TestSupport::audioDisc({40, 3000})));
    player.TrackCount = 2;
    QList<int> reports;
    player.OnPosition = [&](TAudioPlayer *, int32_t position) { reports.append(position); };
    auto openingsMeanwhile = [&] {
        const int64_t before = player.CDPlayer->Openings();
        QTest::qWait(300); // ten ticks
        return player.CDPlayer->Openings() - before;
    };
    // At the disc's end the next tick sees it, and the drive is left alone.
    player.PlayTrack(2);
    QVERIFY(waitUntilStopped(*player.CDPlayer));
    QTest::qWait(100);
    QCOMPARE(player.State, TPlayerState::Playing);
    QCOMPARE(openingsMeanwhile(), 0);

    outputDelay(40);
    player.PlayTrack(2);
    QVERIFY(QTest::qWaitFor([&] { return reports.last() > 0; }, 20000));
    QVERIFY(openingsMeanwhile() > 0); // while it plays
    player.Stop();
    QCOMPARE(openingsMeanwhile(), 0);
    // A stopped player still reports that nothing plays.
    reports.clear();
    QTest::qWait(100);
    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.last(), 0);
}

void tst_CDPlayer::tickReportsPositionAndTheNextTrack()
{
    outputDelay(10);
    TAudioPlayer player(install(TestSupport::audioDisc({150, 300})));
    player.TrackCount = 2;
    QList<QPair<int, int>> reports; // track, position
    QList<int> changes;
    player.OnPosition = [&](TAudioPlayer *sender, int32_t position) {
        QCOMPARE(sender, &player);
        reports.append({sender->CurrentTrack, position});
    };
    player.OnTrackChange = [&](TAudioPlayer *sender) { changes.append(sender->CurrentTrack); };
    QTest::qWait(100);
    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.last().second, 0); // nothing plays yet
    player.PlayTrack(1);
    QVERIFY(QTest::qWaitFor([&] { return player.CDPlayer->Status() != TCDStatus::Playing; }, 60000));
    QCOMPARE(changes, QList<int>{2});
    int lastOfTrack1 = -1, lastOfTrack2 = -1;
    for (const auto &[t, position] : reports) {
        int &last = t == 1 ? lastOfTrack1 : lastOfTrack2;
        if (position == 0)
            continue;
        QVERIFY(position >= last);
        QVERIFY(position <= (t == 1 ? 150 : 300));
        last = position;
    }
    QVERIFY(lastOfTrack1 > 0);
    QVERIFY(lastOfTrack2 > 0);
}

void tst_CDPlayer::volumeScalesEachChannel()
{
    DiscGen::DiscSpec plan = TestSupport::audioDisc({40});
    plan.tracks[0].content = DiscGen::AudioContent::Square;
    TCDPlayer player(nullptr, install(plan));
    player.SetLVolume(32768);
    player.SetRVolume(0);
    QCOMPARE(player.LVolume(), uint16_t(32768));
    QCOMPARE(player.RVolume(), uint16_t(0));
    player.PlayTrack(1);
    QVERIFY(waitUntilStopped(player));
    const QByteArray out = played();
    const QByteArray in = track(1);
    QVERIFY(out.size() >= in.size());
    for (qsizetype i = 0; i < in.size(); i += 4) {
        int16_t l, r, source;
        std::memcpy(&l, out.constData() + i, 2);
        std::memcpy(&r, out.constData() + i + 2, 2);
        std::memcpy(&source, in.constData() + i, 2);
        QCOMPARE(r, int16_t(0));
        QCOMPARE(int(l), int(source) * 32768 / 65535);
    }
}

void tst_CDPlayer::missingLibraryIsToldByName()
{
    auto runHelper = [&](const QString &libraryPath) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("LD_LIBRARY_PATH");
        if (!libraryPath.isEmpty())
            env.insert("LD_LIBRARY_PATH", libraryPath);
        p.setProcessEnvironment(env);
        p.start(TestSupport::binDir() + "/cdplayer-noload-helper", {});
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    // The helper has no path to our libraries of its own.
    QCOMPARE(runHelper({}),
             QString("libcdplayback.so could not be loaded: the CD player cannot play."));
    QCOMPARE(runHelper(TestSupport::libDir()), QString("loaded"));
}

QTEST_GUILESS_MAIN(tst_CDPlayer)
#include "tst_cdplayer.moc"
