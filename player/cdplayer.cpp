#include "player/cdplayer.h"

#include "cdplaybackbinding_p.h"
#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"

#include <algorithm>

namespace {

const char *const CannotOpenMessage = "Cannot open audiocd device";
const char *const NotReadyMessage = "Device is not ready";
const char *const DataTrackMessage = "Trying to play a data track.";
const char *const OutOfRangeMessage = "Track out of range.";

} // namespace

// OpenDevice .. CloseDevice around one operation, also when it raises.
class TCDPlayer::Hold
{
public:
    explicit Hold(TCDPlayer &player)
        : m_player(player)
    {
        m_player.OpenDevice();
    }
    ~Hold() { m_player.CloseDevice(); }
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;

private:
    TCDPlayer &m_player;
};

TCDPlayer::TCDPlayer(QObject *owner, int32_t drive)
    : QObject(owner)
    , m_drive(drive)
{
    setObjectName(QStringLiteral("CDPlayer"));
    if (!LoadCDPlaybackLibrary(TCDIn::SettingsFolder() + QLatin1String(CDRipSettingsFileName)))
        throw EPcmException(CDPlaybackMissingMessage);
}

TCDPlayer::~TCDPlayer()
{
    ForceCloseDevice();
}

void TCDPlayer::OpenDevice()
{
    if (m_openCount <= 0) {
        m_openCount = 0;
        m_device.reset(PlaybackDevice::open(m_drive));
        ++m_openings;
        if (!m_device)
            throw EPcmException(CannotOpenMessage);
    }
    ++m_openCount;
}

void TCDPlayer::CloseDevice()
{
    if (m_openCount <= 1)
        m_device.reset();
    // Never below 0: a force-close inside an operation has already closed.
    m_openCount = std::max(0, m_openCount - 1);
}

void TCDPlayer::ForceCloseDevice()
{
    m_device.reset();
    m_openCount = 0;
}

PlaybackDevice &TCDPlayer::device()
{
    // An inner operation that found no disc has force-closed the device.
    if (!m_device)
        throw EPcmException(NotReadyMessage);
    return *m_device;
}

TCDStatus TCDPlayer::Status()
{
    Hold hold(*this);
    if (!device().mediaPresent())
        return TCDStatus::NotReady;
    switch (device().mode()) {
    case PlaybackDevice::NotReady:
        return TCDStatus::NotReady;
    case PlaybackDevice::Playing:
        return TCDStatus::Playing;
    case PlaybackDevice::Paused:
        return TCDStatus::Paused;
    default:
        return TCDStatus::Ready;
    }
}

int32_t TCDPlayer::NumberOfTracks()
{
    Hold hold(*this);
    if (Status() == TCDStatus::NotReady) {
        ForceCloseDevice();
        return 0;
    }
    return device().trackCount();
}

TTrackTime TCDPlayer::TrackStart(int32_t track)
{
    Hold hold(*this);
    const int32_t count = device().trackCount();
    return FramesToMSF(device().trackStart(std::min(track, count + 1)));
}

void TCDPlayer::TrackInfo(int32_t track, TTrackTime &length, bool &dataTrack)
{
    length = TTrackTime();
    dataTrack = false;
    Hold hold(*this);
    if (Status() == TCDStatus::NotReady)
        return;
    if (track < 1 || track > NumberOfTracks()) {
        ForceCloseDevice();
        throw EPcmException(OutOfRangeMessage);
    }
    length = FramesToMSF(MSFToFrames(TrackStart(track + 1)) - MSFToFrames(TrackStart(track)));
    dataTrack = !device().isAudioTrack(track);
}

void TCDPlayer::checkPlayableTrack(int32_t track)
{
    if (Status() == TCDStatus::NotReady) {
        ForceCloseDevice();
        throw EPcmException(NotReadyMessage);
    }
    TTrackTime length;
    bool data = false;
    TrackInfo(track, length, data);
    if (data) {
        ForceCloseDevice();
        throw EPcmException(DataTrackMessage);
    }
}

void TCDPlayer::PlayTrack(int32_t track)
{
    Hold hold(*this);
    checkPlayableTrack(track);
    play(MSFToFrames(TrackStart(track)), MSFToFrames(TrackStart(track + 1)));
}

void TCDPlayer::PlayFromTrack(int32_t track)
{
    Hold hold(*this);
    checkPlayableTrack(track);
    play(MSFToFrames(TrackStart(track)), MSFToFrames(TrackStart(NumberOfTracks() + 1)));
}

void TCDPlayer::PlayRange(const TTrackPosition &from, const TTrackPosition &to)
{
    Hold hold(*this);
    if (Status() == TCDStatus::NotReady) {
        ForceCloseDevice();
        throw EPcmException(NotReadyMessage);
    }
    const int32_t count = NumberOfTracks();
    if (from.Track < 1 || from.Track > count || to.Track < from.Track) {
        ForceCloseDevice();
        throw EPcmException(OutOfRangeMessage);
    }
    const uint32_t start = MSFToFrames(TrackStart(from.Track)) + MSFToFrames(from.Time);
    const int32_t endTrack = to.Track == EndOfDiscTrack ? count + 1 : to.Track;
    const uint32_t end = MSFToFrames(TrackStart(endTrack)) + MSFToFrames(to.Time);
    play(start, end);
}

void TCDPlayer::play(uint32_t from, uint32_t to)
{
    // As a drive ignores a range it cannot play, so does this; only a
    // missing sound output is told, since nothing else would explain the
    // silence.
    if (device().play(from, to) == PlaybackDevice::NoAudioOutput)
        throw ENoAudioOutput(QStringLiteral("No audio output: %1").arg(PlaybackDevice::lastError()));
}

TTrackPosition TCDPlayer::Position()
{
    Hold hold(*this);
    TTrackPosition position;
    const int32_t count = device().trackCount();
    if (count == 0)
        return position;
    const uint32_t frame = device().position();
    int32_t track = 1;
    while (track < count && device().trackStart(track + 1) <= frame)
        ++track;
    const uint32_t start = device().trackStart(track);
    position.Track = track;
    position.Time = FramesToMSF(frame > start ? frame - start : 0);
    return position;
}

void TCDPlayer::Pause()
{
    Hold hold(*this);
    if (Status() == TCDStatus::Playing)
        device().pause();
}

void TCDPlayer::Resume()
{
    Hold hold(*this);
    if (Status() != TCDStatus::Playing)
        device().resume();
}

void TCDPlayer::Stop()
{
    Hold hold(*this);
    device().stop();
}

uint16_t TCDPlayer::LVolume() const
{
    uint16_t left = 0, right = 0;
    PlaybackDevice::volume(left, right);
    return left;
}

void TCDPlayer::SetLVolume(uint16_t value)
{
    PlaybackDevice::setVolume(value, RVolume());
}

uint16_t TCDPlayer::RVolume() const
{
    uint16_t left = 0, right = 0;
    PlaybackDevice::volume(left, right);
    return right;
}

void TCDPlayer::SetRVolume(uint16_t value)
{
    PlaybackDevice::setVolume(LVolume(), value);
}
