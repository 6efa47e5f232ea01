#include "cdplaybackbinding_p.h"

#include "libs/cdplayback/cdplayback.h"
#include "pipeline/runtimelibrary.h"

#include <QFile>

#include <memory>

namespace {

struct Api
{
#define SONDREL_CDP_ENTRIES(X) \
    X(CDP_Init) \
    X(CDP_Open) \
    X(CDP_Close) \
    X(CDP_IsMediaPresent) \
    X(CDP_GetMode) \
    X(CDP_GetNumTracks) \
    X(CDP_GetTrackStart) \
    X(CDP_IsAudioTrack) \
    X(CDP_Play) \
    X(CDP_Pause) \
    X(CDP_Resume) \
    X(CDP_Stop) \
    X(CDP_GetPosition) \
    X(CDP_SetVolume) \
    X(CDP_GetVolume) \
    X(CDP_GetLastError)
    SONDREL_CDP_ENTRIES(SONDREL_ENTRY_POINT)
};

// The library is never unloaded (libcdio keeps its log handler), so the
// table stays valid once filled.
struct LoaderState
{
    std::unique_ptr<RuntimeLibrary> library;
    Api api;
    bool loaded = false;
};

LoaderState &loader()
{
    static LoaderState state;
    return state;
}

const Api &api()
{
    return loader().api;
}

} // namespace

bool LoadCDPlaybackLibrary(const QString &settingsPath)
{
    LoaderState &s = loader();
    if (!s.loaded) {
        auto library = std::make_unique<RuntimeLibrary>(QLatin1String(CDPlaybackLibraryFileName));
        Api entries;
#define SONDREL_CDP_REQUIRE(name) library->require(entries.name, #name);
        SONDREL_CDP_ENTRIES(SONDREL_CDP_REQUIRE)
#undef SONDREL_CDP_REQUIRE
        if (!library->isLoaded()) {
            qWarning("%s: %s", CDPlaybackLibraryFileName, qPrintable(library->errorText()));
            return false;
        }
        s.library = std::move(library);
        s.api = entries;
        s.loaded = true;
    }
    // A missing settings file only means no images: the drives are listed.
    s.api.CDP_Init(QFile::encodeName(settingsPath).constData());
    return true;
}

PlaybackDevice *PlaybackDevice::open(int32_t drive)
{
    CDP_Device *handle = api().CDP_Open(drive);
    return handle ? new PlaybackDevice(handle) : nullptr;
}

PlaybackDevice::~PlaybackDevice()
{
    api().CDP_Close(m_handle);
}

bool PlaybackDevice::mediaPresent() const
{
    return api().CDP_IsMediaPresent(m_handle) != 0;
}

PlaybackDevice::Mode PlaybackDevice::mode() const
{
    switch (api().CDP_GetMode(m_handle)) {
    case CDP_MODE_PLAYING:
        return Playing;
    case CDP_MODE_PAUSED:
        return Paused;
    case CDP_MODE_STOPPED:
        return Stopped;
    default:
        return NotReady;
    }
}

int32_t PlaybackDevice::trackCount() const
{
    return api().CDP_GetNumTracks(m_handle);
}

uint32_t PlaybackDevice::trackStart(int32_t track) const
{
    uint32_t frame = 0;
    api().CDP_GetTrackStart(m_handle, track, &frame);
    return frame;
}

bool PlaybackDevice::isAudioTrack(int32_t track) const
{
    return api().CDP_IsAudioTrack(m_handle, track) != 0;
}

PlaybackDevice::Result PlaybackDevice::play(uint32_t from, uint32_t to)
{
    switch (api().CDP_Play(m_handle, from, to)) {
    case CDP_OK:
        return Ok;
    case CDP_ERR_NO_DISC:
        return NoDisc;
    case CDP_ERR_RANGE:
        return OutOfRange;
    case CDP_ERR_AUDIO:
        return NoAudioOutput;
    default:
        return Failed;
    }
}

void PlaybackDevice::pause()
{
    api().CDP_Pause(m_handle);
}

void PlaybackDevice::resume()
{
    api().CDP_Resume(m_handle);
}

void PlaybackDevice::stop()
{
    api().CDP_Stop(m_handle);
}

uint32_t PlaybackDevice::position() const
{
    uint32_t frame = 0;
    api().CDP_GetPosition(m_handle, &frame);
    return frame;
}

QString PlaybackDevice::lastError()
{
    return QString::fromUtf8(api().CDP_GetLastError());
}

void PlaybackDevice::setVolume(uint16_t left, uint16_t right)
{
    api().CDP_SetVolume(left, right);
}

void PlaybackDevice::volume(uint16_t &left, uint16_t &right)
{
    api().CDP_GetVolume(&left, &right);
}
