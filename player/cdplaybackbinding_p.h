#pragma once

#include <QString>

#include <cstdint>

struct CDP_Device;

// Run-time binding of the CD playback library libcdplayback.so, loaded by
// plain name and never linked: a machine without it runs the program
// without the player. Its C interface stays in the .cpp and here.

inline constexpr const char *CDPlaybackLibraryFileName = "libcdplayback.so";

// Loads the library once (it stays for the rest of the process) and has it
// read the drive list from the CD ripping library's settings file at
// settingsPath, so that both number the drives alike. False when the
// library cannot be loaded or lacks an entry point. Window thread.
bool LoadCDPlaybackLibrary(const QString &settingsPath);

// One open handle on a drive; closed with the object. The library must be
// loaded.
class PlaybackDevice
{
public:
    // Null when `drive` is no drive of the list.
    static PlaybackDevice *open(int32_t drive);
    ~PlaybackDevice();
    PlaybackDevice(const PlaybackDevice &) = delete;
    PlaybackDevice &operator=(const PlaybackDevice &) = delete;

    enum Mode { NotReady, Stopped, Playing, Paused };
    enum Result { Ok, Failed, NoDisc, OutOfRange, NoAudioOutput };

    bool mediaPresent() const;
    Mode mode() const;
    int32_t trackCount() const;
    // Frames from the disc's start; trackCount() + 1 gives its length.
    uint32_t trackStart(int32_t track) const;
    bool isAudioTrack(int32_t track) const;
    Result play(uint32_t from, uint32_t to);
    void pause();
    void resume();
    void stop();
    uint32_t position() const;

    // Why the last play of this thread found no sound output.
    static QString lastError();
    static void setVolume(uint16_t left, uint16_t right);
    static void volume(uint16_t &left, uint16_t &right);

private:
    explicit PlaybackDevice(CDP_Device *handle)
        : m_handle(handle)
    {}
    CDP_Device *m_handle;
};
