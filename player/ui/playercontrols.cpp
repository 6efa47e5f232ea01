#include "player/ui/playercontrols.h"

#include "pipeline/cdinput.h"
#include "player/audioplayer.h"
#include "player/desktopmixer.h"

#include <QAction>
#include <QEvent>
#include <QItemSelectionModel>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

PlayerWidgets PlayerWidgets::fromToolbar(QToolBar *toolbar,
                                         QSlider *trackBar,
                                         QTimer *timerCD,
                                         QTableView *list)
{
    const QList<QAction *> a = toolbar->actions();
    Q_ASSERT(a.size() >= 10);
    return {a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], trackBar, timerCD, list};
}

PlayerControls::PlayerControls(const PlayerWidgets &widgets,
                               std::function<int32_t()> selectedDrive,
                               QObject *parent)
    : QObject(parent)
    , w(widgets)
    , m_selectedDrive(std::move(selectedDrive))
{
    connect(w.ActcdPlay, &QAction::triggered, this, &PlayerControls::ActcdPlayExecute);
    connect(w.ActcdFirst, &QAction::triggered, this, &PlayerControls::ActcdFirstExecute);
    connect(w.ActcdPred, &QAction::triggered, this, &PlayerControls::ActcdPredExecute);
    connect(w.ActcdNext, &QAction::triggered, this, &PlayerControls::ActcdNextExecute);
    connect(w.ActcdLast, &QAction::triggered, this, &PlayerControls::ActcdLastExecute);
    connect(w.ActcdStop, &QAction::triggered, this, &PlayerControls::ActcdStopExecute);
    connect(w.ActcdPause, &QAction::triggered, this, &PlayerControls::ActcdPauseExecute);
    connect(w.ActcdEject, &QAction::triggered, this, &PlayerControls::ActcdEjectExecute);
    connect(w.ActClosetray, &QAction::triggered, this, &PlayerControls::ActClosetrayExecute);
    connect(w.ActopenVolume, &QAction::triggered, this, &PlayerControls::ActopenVolumeExecute);
    connect(w.TimerCD, &QTimer::timeout, this, &PlayerControls::TimerCDTimer);
    w.TrackBar->installEventFilter(this);
    // The list's model and selection model come and go with the window's
    // disc: follow whichever is current.
    auto watchSelection = [this] {
        if (QItemSelectionModel *selection = w.CDList->selectionModel())
            connect(selection,
                    &QItemSelectionModel::selectionChanged,
                    this,
                    &PlayerControls::UpdateActions,
                    Qt::UniqueConnection);
        if (QAbstractItemModel *model = w.CDList->model())
            connect(model,
                    &QAbstractItemModel::modelReset,
                    this,
                    &PlayerControls::UpdateActions,
                    Qt::UniqueConnection);
    };
    watchSelection();
    UpdateActions();
}

PlayerControls::~PlayerControls()
{
    DestroyPlayer();
}

int PlayerControls::rowCount() const
{
    return w.CDList->model() ? w.CDList->model()->rowCount() : 0;
}

int PlayerControls::selectedRow() const
{
    QItemSelectionModel *selection = w.CDList->selectionModel();
    if (!selection)
        return -1;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void PlayerControls::guarded(const std::function<void()> &step)
{
    try {
        step();
    } catch (const EPcmException &e) {
        Q_EMIT errorRaised(e.message());
    }
    UpdateActions();
}

// ---------------------------------------------------------------------------
// The player's life

void PlayerControls::CreatePlayer()
{
    // A disc that arrives while another's player exists replaces it: the
    // old one must not go on playing a disc that is no longer listed.
    DestroyPlayer();
    if (rowCount() == 0)
        return;
    try {
        m_player = std::make_unique<TAudioPlayer>(m_selectedDrive());
    } catch (const EPcmException &e) {
        // Once is enough: every disc change would tell it again.
        if (!m_missingTold)
            Q_EMIT errorRaised(e.message());
        m_missingTold = true;
        UpdateActions();
        return;
    }
    m_player->OnPosition = [this](TAudioPlayer *sender, int32_t position) {
        PlayerPosition(sender, position);
    };
    m_player->OnTrackChange = [this](TAudioPlayer *) { followTrack(); };
    m_player->OnNoAudioOutput = [this](const QString &message) { Q_EMIT tipRaised(message); };
    m_player->TrackCount = rowCount();
    w.TrackBar->setEnabled(true);
    UpdateActions();
}

void PlayerControls::DestroyPlayer()
{
    if (m_player) {
        // Nothing may play on without a player to stop it.
        try {
            m_player->Stop();
        } catch (const EPcmException &) {
            // No device to stop: nothing plays.
        }
        m_player.reset();
    }
    w.TimerCD->stop();
    w.TrackBar->setEnabled(false);
    UpdateActions();
}

void PlayerControls::stopIfPlaying()
{
    if (m_player && m_player->State == TPlayerState::Playing)
        guarded([this] { m_player->Stop(); });
}

void PlayerControls::UpdateActions()
{
    // Without a player (no playback library) nothing can be played.
    const int rows = m_player ? rowCount() : 0;
    const int row = selectedRow();
    const bool playing = m_player && rows > 0 && m_player->State == TPlayerState::Playing;
    w.ActcdPlay->setEnabled(rows > 0);
    w.ActcdFirst->setEnabled(rows > 0 && row > 0);
    w.ActcdPred->setEnabled(playing);
    w.ActcdNext->setEnabled(playing);
    w.ActcdLast->setEnabled(rows > 0 && row != rows - 1);
    w.ActcdStop->setEnabled(playing);
    w.ActcdPause->setEnabled(
        m_player && rows > 0
        && (m_player->State == TPlayerState::Playing || m_player->State == TPlayerState::Paused));
    w.ActcdEject->setEnabled(true);
    w.ActClosetray->setEnabled(true);
    w.ActopenVolume->setEnabled(true);
}

// ---------------------------------------------------------------------------
// Playing

void PlayerControls::startTrack(int32_t track)
{
    if (BeforePlay)
        BeforePlay();
    w.TrackBar->setMaximum(m_player->TrackLength(track));
    m_player->PlayTrack(track);
    PlayingTrack = track;
}

void PlayerControls::followTrack()
{
    const int32_t track = m_player->CurrentTrack;
    w.TrackBar->setMaximum(m_player->TrackLength(track));
    PlayingTrack = track;
    w.CDList->setFocus();
    w.CDList->selectRow(track - 1);
    UpdateActions();
}

void PlayerControls::ActcdPlayExecute()
{
    if (!m_player)
        return;
    w.TrackBar->setMinimum(1);
    if (m_player->State == TPlayerState::Paused) {
        guarded([this] { m_player->TogglePause(); });
        return;
    }
    // A new play plays the drive chosen now, with the tracks listed now.
    m_player->CDPlayer->SetDrive(m_selectedDrive());
    m_player->TrackCount = rowCount();
    const int row = selectedRow();
    if (row >= 0) {
        guarded([this, row] { startTrack(row + 1); });
    } else if (rowCount() > 0) {
        try {
            startTrack(1);
        } catch (const EPcmException &) {
            // As a play of a track that cannot play: nothing plays.
        }
        UpdateActions();
    }
}

void PlayerControls::ActcdFirstExecute()
{
    if (!m_player)
        return;
    guarded([this] {
        const int32_t before = m_player->CurrentTrack;
        m_player->CDPlayer->SetDrive(m_selectedDrive());
        m_player->PreviousTrack();
        if (m_player->CurrentTrack != before)
            followTrack();
    });
}

void PlayerControls::ActcdLastExecute()
{
    if (!m_player)
        return;
    guarded([this] {
        const int32_t before = m_player->CurrentTrack;
        m_player->CDPlayer->SetDrive(m_selectedDrive());
        m_player->NextTrack();
        if (m_player->CurrentTrack != before)
            followTrack();
    });
}

void PlayerControls::ActcdPredExecute()
{
    if (m_player)
        guarded([this] { m_player->SkipBack(); });
}

void PlayerControls::ActcdNextExecute()
{
    if (m_player)
        guarded([this] { m_player->SkipForward(); });
}

void PlayerControls::ActcdStopExecute()
{
    if (m_player)
        guarded([this] { m_player->Stop(); });
}

void PlayerControls::ActcdPauseExecute()
{
    if (m_player)
        guarded([this] { m_player->TogglePause(); });
}

void PlayerControls::PlayerPosition(TAudioPlayer *, int32_t position)
{
    if (SeekDragging)
        return;
    w.TrackBar->setValue(position);
    const int max = w.TrackBar->maximum();
    if (max > 10 && position >= max - 300 && position <= max && !w.TimerCD->isActive())
        w.TimerCD->start();
    UpdateActions();
}

void PlayerControls::TimerCDTimer()
{
    w.TimerCD->stop();
    // A play goes on into the next track by itself; this one-shot, armed in
    // a track's last 300 frames, only starts the next track when the play
    // ended before it (a range that stopped at the track's end).
    if (!m_player || PlayingTrack + 1 > rowCount())
        return;
    guarded([this] {
        if (m_player->State != TPlayerState::Playing
            || m_player->CDPlayer->Status() == TCDStatus::Playing)
            return;
        // The audio ended where a data track begins: so did the play.
        TTrackTime length;
        bool data = false;
        m_player->CDPlayer->TrackInfo(PlayingTrack + 1, length, data);
        if (data)
            return;
        startTrack(PlayingTrack + 1);
        w.CDList->setFocus();
        w.CDList->selectRow(PlayingTrack - 1);
    });
}

void PlayerControls::TrackBarMouseDown()
{
    SeekDragging = true;
}

void PlayerControls::TrackBarMouseUp()
{
    SeekDragging = false;
    if (m_player && m_player->State == TPlayerState::Playing)
        guarded([this] { m_player->Seek(w.TrackBar->value()); });
}

bool PlayerControls::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == w.TrackBar) {
        if (event->type() == QEvent::MouseButtonPress)
            TrackBarMouseDown();
        else if (event->type() == QEvent::MouseButtonRelease)
            // After the bar has taken the release's position.
            QTimer::singleShot(0, this, &PlayerControls::TrackBarMouseUp);
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Tray and mixer

void PlayerControls::ejectTray(bool open)
{
    guarded([this, open] {
        TCDIn input(nullptr, QStringLiteral("CDIn"));
        input.SetCurrentDrive(m_selectedDrive());
        if (open)
            input.EjectDisc();
        else
            input.CloseDiscTray();
    });
}

void PlayerControls::ActcdEjectExecute()
{
    ejectTray(true);
}

void PlayerControls::ActClosetrayExecute()
{
    ejectTray(false);
}

void PlayerControls::ActopenVolumeExecute()
{
    QString error;
    if (!DesktopMixer::start(error))
        Q_EMIT errorRaised(error);
}
