#include "player/audioplayer.h"

#include <QTimer>

TAudioPlayer::TAudioPlayer(int32_t drive)
    : CDPlayer(new TCDPlayer(this, drive))
{
    setObjectName(QStringLiteral("AudioPlayer"));
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(30);
    connect(Timer, &QTimer::timeout, this, &TAudioPlayer::Tick);
    Timer->start();
}

TAudioPlayer::~TAudioPlayer() = default;

int32_t TAudioPlayer::TrackLength(int32_t track)
{
    if (track <= 0 || track > CDPlayer->NumberOfTracks())
        return 0;
    TTrackTime length;
    bool data = false;
    CDPlayer->TrackInfo(track, length, data);
    return int32_t(MSFToFrames(length));
}

void TAudioPlayer::PlayTrack(int32_t track)
{
    if (track == 0)
        track = 1;
    m_drivePlays = false;
    try {
        CDPlayer->PlayFromTrack(track);
        CurrentTrack = track;
        m_drivePlays = CDPlayer->Status() == TCDStatus::Playing;
        if (m_drivePlays)
            State = TPlayerState::Playing;
    } catch (const ENoAudioOutput &e) {
        State = TPlayerState::Stopped;
        if (OnNoAudioOutput)
            OnNoAudioOutput(e.message());
    } catch (const std::exception &) {
        // A data track, an empty drive or a bad number: nothing plays, and
        // that is all the user needs to see.
        State = TPlayerState::Stopped;
    }
    // Next or previous after a pause start a play the timer must follow.
    if (State != TPlayerState::Paused)
        Timer->start();
}

void TAudioPlayer::TogglePause()
{
    if (CDPlayer->Status() == TCDStatus::Playing) {
        CDPlayer->Pause();
        State = TPlayerState::Paused;
        Timer->stop();
    } else {
        CDPlayer->Resume();
        Timer->start();
    }
    const TCDStatus status = CDPlayer->Status();
    m_drivePlays = status == TCDStatus::Playing;
    if (status == TCDStatus::Playing)
        State = TPlayerState::Playing;
    else if (status == TCDStatus::Paused)
        State = TPlayerState::Paused;
}

void TAudioPlayer::playFrom(int32_t frames)
{
    TTrackPosition from;
    from.Track = CurrentTrack;
    from.Time = FramesToMSF(uint32_t(frames));
    TTrackPosition to;
    to.Track = EndOfDiscTrack;
    // On to the disc's end rather than the track's: the next track follows
    // as it would have after a play from the track's start.
    CDPlayer->PlayRange(from, to);
    m_drivePlays = CDPlayer->Status() == TCDStatus::Playing;
    if (m_drivePlays)
        State = TPlayerState::Playing;
}

void TAudioPlayer::Seek(int32_t frames)
{
    if (CDPlayer->Status() != TCDStatus::Playing)
        return;
    playFrom(std::max(frames, 0));
}

void TAudioPlayer::SkipForward()
{
    if (CDPlayer->Status() != TCDStatus::Playing)
        return;
    const int32_t offset = int32_t(MSFToFrames(CDPlayer->Position().Time)) + SkipFrames;
    if (offset > TrackLength(CurrentTrack))
        return;
    playFrom(offset);
}

void TAudioPlayer::SkipBack()
{
    if (CDPlayer->Status() != TCDStatus::Playing)
        return;
    const int32_t offset = int32_t(MSFToFrames(CDPlayer->Position().Time)) - SkipFrames;
    if (offset <= 0)
        return;
    playFrom(offset);
}

void TAudioPlayer::NextTrack()
{
    if (CurrentTrack + 1 > TrackCount)
        return;
    CDPlayer->Stop();
    ++CurrentTrack;
    PlayTrack(CurrentTrack);
}

void TAudioPlayer::PreviousTrack()
{
    if (CurrentTrack - 1 < 1)
        return;
    CDPlayer->Stop();
    --CurrentTrack;
    PlayTrack(CurrentTrack);
}

void TAudioPlayer::Stop()
{
    m_drivePlays = false;
    CDPlayer->Stop();
}

void TAudioPlayer::Tick()
{
    if (!OnPosition)
        return;
    int32_t position = 0;
    try {
        // Only a play of ours that the drive was last seen playing is
        // asked after: a stopped or finished one must not open the drive
        // and read its table of contents 33 times a second (State stays
        // Playing after those).
        if (State == TPlayerState::Playing && m_drivePlays
            && CDPlayer->Status() == TCDStatus::Playing) {
            const TTrackPosition at = CDPlayer->Position();
            if (at.Track != CurrentTrack && at.Track >= 1 && at.Track <= TrackCount) {
                CurrentTrack = at.Track;
                if (OnTrackChange)
                    OnTrackChange(this);
            }
            position = int32_t(MSFToFrames(at.Time));
        } else {
            m_drivePlays = false;
        }
    } catch (const EPcmException &) {
        // A drive that cannot be opened plays nothing: the position is 0.
        m_drivePlays = false;
    }
    OnPosition(this, position);
}
