// The C entry points over the drive list and the process's one play.
#include "libs/cdplayback/cdplayback.h"

#include "libs/cdplayback/audioplay.h"
#include "libs/cdrip/cdiolog.h"
#include "libs/cdrip/disc.h"
#include "libs/cdrip/settingsfile.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

using namespace CdRip;
using CdPlayback::AudioPlay;

struct CDP_Device
{
    int32_t drive = 0;
    Drive source;
    bool present = false;
    Toc toc;
};

namespace {

struct State
{
    std::mutex mutex; // guards drives
    std::vector<Drive> drives;
    AudioPlay play;
};

// Made on first use, freed when the process ends (the library is never
// unloaded: libcdio keeps our log handler).
State *g_state = nullptr;

State &state()
{
    static State *const made = g_state = new State;
    return *made;
}

thread_local std::string t_lastError;

__attribute__((destructor)) void freeState()
{
    delete g_state;
    g_state = nullptr;
}

bool playsDrive(const CDP_Device *device)
{
    AudioPlay &play = state().play;
    return play.isPlaying() && play.drive() == device->drive;
}

} // namespace

extern "C" {

int32_t CDP_Init(const char *settingsPath)
{
    // Ours stays for good: libcdio's own ends the process on an error.
    installLogHandler();
    Settings settings;
    std::vector<Drive> drives;
    const bool read = drivesFromSettings(settingsPath, settings, drives);
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.drives = std::move(drives);
    return read ? CDP_OK : CDP_ERR_FAILED;
}

void CDP_DeInit(void)
{
    State &s = state();
    s.play.stop();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.drives.clear();
}

int32_t CDP_GetNumDrives(void)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int32_t(s.drives.size());
}

CDP_Device *CDP_Open(int32_t drive)
{
    State &s = state();
    auto device = std::make_unique<CDP_Device>();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (drive < 0 || drive >= int32_t(s.drives.size()))
            return nullptr;
        device->drive = drive;
        device->source = s.drives[size_t(drive)];
    }
    if (playsDrive(device.get())) {
        // A disc being played is there: no need to read it again.
        device->toc = s.play.toc();
        device->present = true;
    } else if (CdIoPtr cdio = openDrive(device->source)) {
        device->present = readToc(cdio.get(), device->toc);
    }
    return device.release();
}

void CDP_Close(CDP_Device *device)
{
    delete device;
}

int32_t CDP_IsMediaPresent(CDP_Device *device)
{
    return device && device->present ? 1 : 0;
}

int32_t CDP_GetMode(CDP_Device *device)
{
    if (!device)
        return CDP_MODE_NOT_READY;
    if (playsDrive(device))
        return state().play.isPaused() ? CDP_MODE_PAUSED : CDP_MODE_PLAYING;
    return device->present ? CDP_MODE_STOPPED : CDP_MODE_NOT_READY;
}

int32_t CDP_GetNumTracks(CDP_Device *device)
{
    return device ? device->toc.trackCount() : 0;
}

int32_t CDP_GetTrackStart(CDP_Device *device, int32_t track, uint32_t *frame)
{
    if (!device || !frame || track < 1 || track > device->toc.trackCount() + 1)
        return CDP_ERR_RANGE;
    *frame = device->toc.entries[size_t(track - 1)].startSector;
    return CDP_OK;
}

int32_t CDP_IsAudioTrack(CDP_Device *device, int32_t track)
{
    if (!device || track < 1 || track > device->toc.trackCount())
        return 0;
    return device->toc.isData(size_t(track - 1)) ? 0 : 1;
}

int32_t CDP_Play(CDP_Device *device, uint32_t from, uint32_t to)
{
    if (!device)
        return CDP_ERR_FAILED;
    if (!device->present)
        return CDP_ERR_NO_DISC;
    const uint32_t length = device->toc.entries.back().startSector;
    if (from >= to || to > length)
        return CDP_ERR_RANGE;
    std::string error;
    if (state().play.start(device->drive, device->source, device->toc, from, to, error))
        return CDP_OK;
    t_lastError = error;
    // Only a range without audio is no fault of the sound output.
    return error == AudioPlay::NoAudioInRange ? CDP_ERR_RANGE : CDP_ERR_AUDIO;
}

int32_t CDP_Pause(CDP_Device *device)
{
    if (!device)
        return CDP_ERR_FAILED;
    if (playsDrive(device))
        state().play.pause();
    return CDP_OK;
}

int32_t CDP_Resume(CDP_Device *device)
{
    if (!device)
        return CDP_ERR_FAILED;
    if (playsDrive(device))
        state().play.resume();
    return CDP_OK;
}

int32_t CDP_Stop(CDP_Device *device)
{
    if (!device)
        return CDP_ERR_FAILED;
    if (state().play.drive() == device->drive)
        state().play.stop();
    return CDP_OK;
}

int32_t CDP_GetPosition(CDP_Device *device, uint32_t *frame)
{
    if (!device || !frame)
        return CDP_ERR_FAILED;
    AudioPlay &play = state().play;
    *frame = play.drive() == device->drive ? play.position() : 0;
    return CDP_OK;
}

void CDP_SetVolume(uint16_t left, uint16_t right)
{
    AudioPlay::setVolume(left, right);
}

void CDP_GetVolume(uint16_t *left, uint16_t *right)
{
    uint16_t l = 0, r = 0;
    AudioPlay::volume(l, r);
    if (left)
        *left = l;
    if (right)
        *right = r;
}

const char *CDP_GetLastError(void)
{
    return t_lastError.c_str();
}

} // extern "C"
