#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QSlider;
class QTableView;
class QTimer;
class QToolBar;
class TAudioPlayer;

// The window's controls of the CD player, named as the window names them.
struct PlayerWidgets
{
    QAction *ActcdPlay = nullptr;
    QAction *ActcdFirst = nullptr;
    QAction *ActcdPred = nullptr;
    QAction *ActcdNext = nullptr;
    QAction *ActcdLast = nullptr;
    QAction *ActcdStop = nullptr;
    QAction *ActcdPause = nullptr;
    QAction *ActcdEject = nullptr;
    QAction *ActClosetray = nullptr;
    QAction *ActopenVolume = nullptr;
    QSlider *TrackBar = nullptr;
    QTimer *TimerCD = nullptr;
    QTableView *CDList = nullptr; // its rows are the disc's tracks

    // The ten actions as `toolbar` shows them, in the player's toolbar
    // order (ActcdPlay .. ActopenVolume), and the other controls given.
    static PlayerWidgets fromToolbar(QToolBar *toolbar,
                                     QSlider *trackBar,
                                     QTimer *timerCD,
                                     QTableView *list);
};

// The main window's side of the player: the one player of the program, its
// toolbar actions and their enabled states, the seek bar and the track list
// following the playing track. Connects the controls it is given. Window
// thread.
class PlayerControls : public QObject
{
    Q_OBJECT

public:
    // `selectedDrive` gives the index chosen in the window's drive list,
    // the drive every new play plays.
    PlayerControls(const PlayerWidgets &widgets,
                   std::function<int32_t()> selectedDrive,
                   QObject *parent = nullptr);
    ~PlayerControls() override;

    // A new player for the listed disc, when the list has rows; one that
    // exists is stopped and released first.
    void CreatePlayer();
    // Stops and releases the player, if any.
    void DestroyPlayer();
    bool playerExists() const { return m_player != nullptr; }
    TAudioPlayer *player() const { return m_player.get(); }
    // What the window does before a rip or when it closes.
    void stopIfPlaying();
    // The actions' enabled states, from the rows, the selection and the
    // player's state.
    void UpdateActions();

    // The handlers, named as the window's are.
    void ActcdPlayExecute();
    void ActcdFirstExecute();
    void ActcdPredExecute();
    void ActcdNextExecute();
    void ActcdLastExecute();
    void ActcdStopExecute();
    void ActcdPauseExecute();
    void ActcdEjectExecute();
    void ActClosetrayExecute();
    void ActopenVolumeExecute();
    void PlayerPosition(TAudioPlayer *sender, int32_t position);
    void TimerCDTimer();
    void TrackBarMouseDown();
    void TrackBarMouseUp();

    // Number of the track the window last started or followed.
    int32_t PlayingTrack = 0;
    // True while a mouse button is held on the seek bar.
    bool SeekDragging = false;
    // Runs before each new play of a track (not a resume): the window sets
    // the drive's read speed there.
    std::function<void()> BeforePlay;

Q_SIGNALS:
    // For the message box of the application's errors.
    void errorRaised(const QString &message);
    // For the status bar's tip pane.
    void tipRaised(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int rowCount() const;
    int selectedRow() const; // -1 without a selection
    void startTrack(int32_t track);
    // The seek bar and PlayingTrack for the player's CurrentTrack, and its row selected.
    void followTrack();
    void ejectTray(bool open);
    void guarded(const std::function<void()> &step);

    PlayerWidgets w;
    std::function<int32_t()> m_selectedDrive;
    std::unique_ptr<TAudioPlayer> m_player;
    bool m_missingTold = false;
};
