#include "app/sondrelcore.h"
#include "pipeline/cdinput.h"
#include "player/audioplayer.h"
#include "player/ui/playercontrols.h"
#include "tests/support/discdrive.h"
#include "tests/support/playedaudio.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowrig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <memory>

using PlayedAudio::compare;

// The player's side of the main window, over generated discs listed as
// drives and SDL's disk driver as the sound output (set by CTest).
class tst_MainWindowPlayer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void playStartsTheSelectedTrackOrTheFirstOrResumes();
    void seekBarSpansTheTrackAndArmsTheTimerAtItsEnd();
    void draggingIgnoresReportsUntilRelease();
    void selectionFollowsThePlayIntoTheNextTrack();
    void previousAndNextSelectTheirTrack();
    void playEndsWhereTheDataTrackBegins();
    void previousAndNextAfterPauseAreFollowed();
    void actionsFollowTheirRules();
    void removalClearsTheListAndDestroysThePlayer();
    void arrivalReplacesAPlayingPlayer();
    void playPlaysTheSelectedDrive();
    void speedListActsBeforeEachPlay();
    void noSoundOutputIsToldInTheTipPane();
    void closingStopsThePlay();
    void trayActionsWorkWithoutAPlayer();

private:
    // A window with `drive` chosen and shown.
    std::unique_ptr<TfrmMain> show(int drive);
    QAction *action(const char *name) const
    {
        return m_w->findChild<QAction *>(QLatin1String(name));
    }
    QSlider *bar() const { return m_w->findChild<QSlider *>("TrackBar"); }
    QTableView *list() const { return m_w->findChild<QTableView *>("CDList"); }
    PlayerControls *controls() const { return m_w->playerControls(); }
    TAudioPlayer *player() const { return controls()->player(); }
    QByteArray track(const DiscGen::WrittenDisc &disc, int t) const
    {
        return TestSupport::readFile(QString::fromStdString(disc.trackFiles[size_t(t - 1)]));
    }
    QByteArray played() const { return PlayedAudio::read(m_output); }
    static void outputDelay(int ms) { qputenv("SDL_DISKAUDIODELAY", QByteArray::number(ms)); }
    bool devicePlays() const { return player()->CDPlayer->Status() == TCDStatus::Playing; }

    TestSupport::TestHome m_home;
    QString m_output;
    int m_count = 0;
    int m_firstImage = 0; // the three-track disc's drive; the short one and the data one follow
    DiscGen::WrittenDisc m_three;
    DiscGen::WrittenDisc m_short;
    std::unique_ptr<TfrmMain> m_w;
};

void tst_MainWindowPlayer::initTestCase()
{
    QVERIFY(m_home.isValid());
    QCOMPARE(qgetenv("SDL_AUDIODRIVER"), QByteArray("disk"));
    // Three tracks, the second one of four minutes; then two short ones; then
    // two short ones and a data track.
    DiscGen::DiscSpec withData = TestSupport::audioDisc({120, 150, 75});
    withData.tracks[2].data = true;
    const auto discs = TestSupport::installDiscs(m_home.filePath("discs"),
                                                 {{"three",
                                                   TestSupport::audioDisc({600, 18000, 450})},
                                                  {"short", TestSupport::audioDisc({120, 150})},
                                                  {"data", withData}});
    m_three = discs[0];
    m_short = discs[1];
    TCDIn lister;
    m_firstImage = lister.GetDriveCount() - 3;
}

void tst_MainWindowPlayer::init()
{
    m_output = m_home.filePath(QStringLiteral("played-%1.raw").arg(++m_count));
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_output));
    // Slow enough that a play is still going when the test looks.
    outputDelay(300);
}

void tst_MainWindowPlayer::cleanup()
{
    m_w.reset();
}

std::unique_ptr<TfrmMain> tst_MainWindowPlayer::show(int drive)
{
    TestSupport::WindowRig rig;
    if (!rig.show(drive))
        return nullptr;
    return std::move(rig.w);
}

void tst_MainWindowPlayer::playStartsTheSelectedTrackOrTheFirstOrResumes()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    QVERIFY(m_w->playerExists());
    QCOMPARE(player()->TrackCount, 3);
    QVERIFY(list()->selectionModel()->selectedRows().isEmpty());
    action("ActcdPlay")->trigger();
    QCOMPARE(controls()->PlayingTrack, 1);
    QCOMPARE(player()->State, TPlayerState::Playing);
    QVERIFY(devicePlays());
    QCOMPARE(bar()->minimum(), 1);
    QCOMPARE(bar()->maximum(), 600);

    list()->selectRow(2);
    action("ActcdPlay")->trigger();
    QCOMPARE(controls()->PlayingTrack, 3);
    QCOMPARE(player()->CurrentTrack, 3);
    QVERIFY(QTest::qWaitFor([&] { return !played().isEmpty(); }));
    QCOMPARE(compare(played(), track(m_three, 3)).bytes, played().size());

    action("ActcdPause")->trigger();
    QCOMPARE(player()->State, TPlayerState::Paused);
    list()->selectRow(0);
    action("ActcdPlay")->trigger();
    QCOMPARE(player()->State, TPlayerState::Playing);
    QCOMPARE(player()->CurrentTrack, 3);
    QCOMPARE(controls()->PlayingTrack, 3);
}

void tst_MainWindowPlayer::seekBarSpansTheTrackAndArmsTheTimerAtItsEnd()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    list()->selectRow(1);
    action("ActcdPlay")->trigger();
    QCOMPARE(bar()->minimum(), 1);
    QCOMPARE(bar()->maximum(), 18000);
    auto timerCD = m_w->findChild<QTimer *>("TimerCD");
    player()->Stop();
    controls()->PlayerPosition(player(), 17699);
    QCOMPARE(bar()->value(), 17699);
    QVERIFY(!timerCD->isActive());
    controls()->PlayerPosition(player(), 17700);
    QVERIFY(timerCD->isActive());
    // The play ended with its range: the timer starts the next track.
    QVERIFY(QTest::qWaitFor([&] { return controls()->PlayingTrack == 3; }, 3000));
    QVERIFY(devicePlays());
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 2);
}

void tst_MainWindowPlayer::draggingIgnoresReportsUntilRelease()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    list()->selectRow(1);
    action("ActcdPlay")->trigger();
    QTest::mousePress(bar(), Qt::LeftButton, {}, QPoint(5, bar()->height() / 2));
    QVERIFY(controls()->SeekDragging);
    bar()->setValue(9000);
    controls()->PlayerPosition(player(), 40);
    QCOMPARE(bar()->value(), 9000);
    QTest::mouseRelease(bar(), Qt::LeftButton, {}, QPoint(5, bar()->height() / 2));
    QTRY_VERIFY(!controls()->SeekDragging);
    // The play jumped to the bar's position.
    QTRY_VERIFY(!played().isEmpty()
                && compare(played(), track(m_three, 2), qsizetype(9000) * 2352).bytes
                       == played().size());
    controls()->PlayerPosition(player(), 9003);
    QCOMPARE(bar()->value(), 9003);
}

void tst_MainWindowPlayer::selectionFollowsThePlayIntoTheNextTrack()
{
    outputDelay(10);
    m_w = show(m_firstImage + 1);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    QCOMPARE(controls()->PlayingTrack, 1);
    QVERIFY(QTest::qWaitFor([&] { return controls()->PlayingTrack == 2; }, 20000));
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(bar()->maximum(), 150);
    QVERIFY(QTest::qWaitFor([&] { return !devicePlays(); }, 20000));
    const QByteArray both = track(m_short, 1) + track(m_short, 2);
    QCOMPARE(compare(played(), both).bytes, both.size());
}

void tst_MainWindowPlayer::previousAndNextSelectTheirTrack()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    action("ActcdLast")->trigger();
    QCOMPARE(controls()->PlayingTrack, 2);
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
    QCOMPARE(bar()->maximum(), 18000);
    action("ActcdFirst")->trigger();
    QCOMPARE(controls()->PlayingTrack, 1);
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 0);
    QVERIFY(devicePlays());
}

void tst_MainWindowPlayer::playEndsWhereTheDataTrackBegins()
{
    m_w = show(m_firstImage + 2);
    QVERIFY(m_w);
    list()->selectRow(1);
    action("ActcdPlay")->trigger();
    QCOMPARE(controls()->PlayingTrack, 2);
    // The play ended with the audio; the timer armed at the track's end
    // leaves the data track alone.
    player()->Stop();
    controls()->PlayerPosition(player(), 140);
    QVERIFY(m_w->findChild<QTimer *>("TimerCD")->isActive());
    QTest::qWait(1500);
    QCOMPARE(controls()->PlayingTrack, 2);
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
}

void tst_MainWindowPlayer::previousAndNextAfterPauseAreFollowed()
{
    outputDelay(40); // about as fast as it would sound
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    auto timerCD = m_w->findChild<QTimer *>("TimerCD");
    auto barMoves = [&] {
        bar()->setValue(bar()->minimum());
        return QTest::qWaitFor([&] { return bar()->value() > bar()->minimum(); }, 5000);
    };
    action("ActcdPlay")->trigger();
    action("ActcdPause")->trigger();
    action("ActcdLast")->trigger();
    QCOMPARE(controls()->PlayingTrack, 2);
    QVERIFY(barMoves());
    action("ActcdPause")->trigger();
    action("ActcdLast")->trigger();
    QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 2);
    // Track 3 is 450 frames: the timer is armed from frame 150 on.
    QVERIFY(QTest::qWaitFor([&] { return timerCD->isActive(); }, 5000));
    action("ActcdPause")->trigger();
    action("ActcdFirst")->trigger();
    QCOMPARE(controls()->PlayingTrack, 2);
    QVERIFY(barMoves());
}

void tst_MainWindowPlayer::actionsFollowTheirRules()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    auto enabled = [&] {
        QString flags;
        for (const char *name : {"ActcdPlay",
                                 "ActcdFirst",
                                 "ActcdPred",
                                 "ActcdNext",
                                 "ActcdLast",
                                 "ActcdStop",
                                 "ActcdPause",
                                 "ActcdEject",
                                 "ActClosetray",
                                 "ActopenVolume"})
            flags += action(name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return flags;
    };
    // Play First Pred Next Last Stop Pause Eject Closetray Volume
    QCOMPARE(enabled(), QString("1000100111")); // rows, no selection, nothing played
    list()->selectRow(0);
    QCOMPARE(enabled(), QString("1000100111"));
    list()->selectRow(1);
    QCOMPARE(enabled(), QString("1100100111"));
    list()->selectRow(2);
    QCOMPARE(enabled(), QString("1100000111"));
    action("ActcdPlay")->trigger();
    QCOMPARE(enabled(), QString("1111011111"));
    action("ActcdPause")->trigger();
    QCOMPARE(enabled(), QString("1100001111"));
    action("ActcdPause")->trigger();
    QCOMPARE(enabled(), QString("1111011111"));
    m_w->WMDeviceChange(0x8004);
    QCOMPARE(enabled(), QString("0000000111"));
    QVERIFY(!bar()->isEnabled());
}

void tst_MainWindowPlayer::removalClearsTheListAndDestroysThePlayer()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    TCDPlayer watcher(nullptr, m_firstImage);
    QCOMPARE(watcher.Status(), TCDStatus::Playing);
    m_w->WMDeviceChange(0x8004);
    QCOMPARE(list()->model()->rowCount(), 0);
    QVERIFY(!m_w->playerExists());
    QCOMPARE(watcher.Status(), TCDStatus::Ready);
    // Without a player the buttons do nothing.
    action("ActcdPlay")->trigger();
    action("ActcdLast")->trigger();
    QCOMPARE(watcher.Status(), TCDStatus::Ready);
}

void tst_MainWindowPlayer::arrivalReplacesAPlayingPlayer()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    TAudioPlayer *old = player();
    QPointer<QObject> oldPlayer(old);
    m_w->WMDeviceChange(0x8000);
    QVERIFY(m_w->playerExists());
    QVERIFY(oldPlayer.isNull());
    QCOMPARE(player()->State, TPlayerState::Stopped);
    QCOMPARE(player()->TrackCount, 3);
    QVERIFY(!devicePlays());
}

void tst_MainWindowPlayer::playPlaysTheSelectedDrive()
{
    outputDelay(0);
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    // Another drive chosen: its track list, and a play plays it.
    m_w->findChild<QComboBox *>("cmbDevice")->setCurrentIndex(m_firstImage + 1);
    QCOMPARE(list()->model()->rowCount(), 2);
    list()->selectRow(1);
    action("ActcdPlay")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !devicePlays(); }, 20000));
    QCOMPARE(compare(played(), track(m_short, 2)).bytes, track(m_short, 2).size());
}

void tst_MainWindowPlayer::speedListActsBeforeEachPlay()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    QList<QPair<int, int>> asked;
    bool take = true;
    m_w->core()->setSpeedControl([&](int drive, int speed) {
        asked.append({drive, speed});
        return take;
    });
    auto speed = m_w->findChild<QComboBox *>("cmbSpeed");
    action("ActcdPlay")->trigger();
    QVERIFY(asked.isEmpty()); // "Default"
    action("ActcdStop")->trigger();
    speed->setCurrentText("24X");
    take = false;
    action("ActcdPlay")->trigger();
    QCOMPARE(asked, (QList<QPair<int, int>>{{m_firstImage, 24}}));
    const QString tip = m_w->findChild<QLabel *>("spTips")->text();
    QVERIFY2(tip.contains("\"24X\""), qPrintable(tip));
    // A resume is no new play.
    action("ActcdPause")->trigger();
    action("ActcdPlay")->trigger();
    QCOMPARE(asked.size(), 1);
}

void tst_MainWindowPlayer::noSoundOutputIsToldInTheTipPane()
{
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_home.filePath("no/such/folder/out.raw")));
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    QCOMPARE(player()->State, TPlayerState::Stopped);
    QCOMPARE(player()->CDPlayer->Status(), TCDStatus::Ready); // the drive was not started
    const QString tip = m_w->findChild<QLabel *>("spTips")->text();
    QVERIFY2(tip.startsWith("No audio output: ") && tip.size() > 17, qPrintable(tip));
}

void tst_MainWindowPlayer::closingStopsThePlay()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    action("ActcdPlay")->trigger();
    QVERIFY(devicePlays());
    m_w->stopPlayerIfPlaying();
    QVERIFY(!devicePlays());
    action("ActcdPlay")->trigger();
    QVERIFY(devicePlays());
    QVERIFY(m_w->close());
    QVERIFY(!devicePlays());
}

void tst_MainWindowPlayer::trayActionsWorkWithoutAPlayer()
{
    m_w = show(m_firstImage);
    QVERIFY(m_w);
    m_w->WMDeviceChange(0x8004);
    QVERIFY(!m_w->playerExists());
    // An image has no tray: both succeed without a word.
    QStringList messages;
    auto closeMessages = new QTimer(this);
    connect(closeMessages, &QTimer::timeout, this, [&messages] {
        if (auto box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            messages << box->text();
            box->accept();
        }
    });
    closeMessages->start(20);
    action("ActcdEject")->trigger();
    action("ActClosetray")->trigger();
    QCOMPARE(messages, QStringList());

    // No mixer on the PATH: the user is told so.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_home.filePath("empty")));
    action("ActopenVolume")->trigger();
    qputenv("PATH", path);
    delete closeMessages;
    QCOMPARE(messages,
             QStringList{"No sound mixer was found. Install pavucontrol to set the volume."});
}

QTEST_MAIN(tst_MainWindowPlayer)
#include "tst_mainwindowplayer.moc"
