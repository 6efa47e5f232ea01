#pragma once

#include "player/cdplayer.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QTimer;

enum class TPlayerState { Playing, Paused, Stopped };

// Track-level playing of one drive over TCDPlayer: play a track (and the
// ones after it), previous and next, skips and seeking within the track,
// pause, and every 30 ms a report of the position within the playing track.
// A play runs on through the following tracks without a gap; the tick sees
// it enter the next one and says so. Window thread.
class TAudioPlayer : public QObject
{
    Q_OBJECT

public:
    // Frames a skip moves by.
    static constexpr int32_t SkipFrames = 370;

    // Raises CDPlaybackMissingMessage without the playback library.
    explicit TAudioPlayer(int32_t drive = 0);
    ~TAudioPlayer() override;

    // Frames of the track; 0 for a number that is no track of the disc.
    int32_t TrackLength(int32_t track);
    // Track 0 counts as 1. Any failure leaves State at Stopped; one for lack
    // of a sound output is told to OnNoAudioOutput as well.
    void PlayTrack(int32_t track);
    void TogglePause();
    // To `frames` into the current track, while playing.
    void Seek(int32_t frames);
    void SkipForward();
    void SkipBack();
    void NextTrack();
    void PreviousTrack();
    // The drive stops; State stays as it was.
    void Stop();
    // Asks the drive only while a play of this player goes on.
    void Tick();

    QTimer *Timer = nullptr; // 30 ms, runs except while paused
    TPlayerState State = TPlayerState::Stopped;
    int32_t CurrentTrack = 0;
    TCDPlayer *CDPlayer = nullptr;
    // Called by Tick with the offset in frames into the playing track, 0
    // while nothing plays.
    std::function<void(TAudioPlayer *sender, int32_t position)> OnPosition;
    // Called by Tick when the play has gone on into the next track, which
    // is CurrentTrack by then.
    std::function<void(TAudioPlayer *sender)> OnTrackChange;
    // Called when a play cannot start for lack of a sound output, with why.
    std::function<void(const QString &message)> OnNoAudioOutput;
    int32_t TrackCount = 0;

private:
    // From `frames` into the current track on to the disc's end.
    void playFrom(int32_t frames);

    // The drive was last seen playing what this player started.
    bool m_drivePlays = false;
};
