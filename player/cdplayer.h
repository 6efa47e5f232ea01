#pragma once

#include "pipeline/cdtime.h"
#include "pipeline/pcmexception.h"

#include <QObject>

#include <cstdint>
#include <memory>

class PlaybackDevice;

// The track number of a position that counts from the disc's end.
inline constexpr int32_t EndOfDiscTrack = 100;

inline constexpr const char *CDPlaybackMissingMessage
    = "libcdplayback.so could not be loaded: the CD player cannot play.";

// What the drive reports.
enum class TCDStatus { NotReady, Ready, Playing, Paused };

// A play that could not start because no sound output could be opened; the
// message says why. The player's other failures are plain EPcmExceptions.
class ENoAudioOutput : public EPcmException
{
public:
    using EPcmException::EPcmException;
};

// The CD audio device of one drive: its status, table of contents and
// playing. Plays go on by themselves after the call that started them
// (through libcdplayback); the program learns of them by asking. Every
// operation holds the device open for its own length: nested ones share the
// outer one's opening. Window thread.
class TCDPlayer : public QObject
{
    Q_OBJECT

public:
    // Raises CDPlaybackMissingMessage without the playback library. `drive`
    // is an index in the CD input's drive list.
    explicit TCDPlayer(QObject *owner, int32_t drive = 0);
    ~TCDPlayer() override;

    // The drive the next opening opens; one already open stays.
    int32_t Drive() const { return m_drive; }
    void SetDrive(int32_t drive) { m_drive = drive; }

    void OpenDevice();
    void CloseDevice();
    void ForceCloseDevice();
    int32_t OpenCount() const { return m_openCount; }
    // How often the drive has been opened: an opening of a drive that is
    // not playing reads its table of contents.
    int64_t Openings() const { return m_openings; }

    TCDStatus Status();
    int32_t NumberOfTracks();
    // From the disc's start; past the last track, the disc's length.
    TTrackTime TrackStart(int32_t track);
    void TrackInfo(int32_t track, TTrackTime &length, bool &dataTrack);
    // The whole track.
    void PlayTrack(int32_t track);
    // The track and every audio track after it, without a gap between them.
    void PlayFromTrack(int32_t track);
    void PlayRange(const TTrackPosition &from, const TTrackPosition &to);
    // The track being played and the time into it.
    TTrackPosition Position();
    void Pause();
    void Resume();
    void Stop();

    // A gain on the played samples, 65535 leaving them as they are.
    uint16_t LVolume() const;
    void SetLVolume(uint16_t value);
    uint16_t RVolume() const;
    void SetRVolume(uint16_t value);

private:
    class Hold;
    PlaybackDevice &device();
    void checkPlayableTrack(int32_t track);
    void play(uint32_t from, uint32_t to);

    int32_t m_openCount = 0;
    int64_t m_openings = 0;
    std::unique_ptr<PlaybackDevice> m_device;
    int32_t m_drive = 0;
};
