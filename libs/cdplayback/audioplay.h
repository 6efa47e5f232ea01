#pragma once

#include "libs/cdrip/disc.h"

#include <SDL.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace CdPlayback {

// The one play of the process: a reader thread takes the range's audio
// sectors from the disc into a short queue, SDL's audio thread hands them to
// the sound output, and the position is the sector being handed over.
//
// The output callback waits for the reader rather than play silence in
// between, and while paused it waits rather than return: every sample of the
// range reaches the output once, in order, also through a pause and on an
// output that asks faster than real time (SDL's disk driver).
class AudioPlay
{
public:
    AudioPlay() = default;
    ~AudioPlay();
    AudioPlay(const AudioPlay &) = delete;
    AudioPlay &operator=(const AudioPlay &) = delete;

    // Stops what plays, then plays [from, to) of the drive, skipping the
    // data tracks of `toc`. False, nothing playing and the reason in `error`
    // when the disc cannot be opened or no sound output can.
    bool start(int drive,
               const CdRip::Drive &source,
               const CdRip::Toc &toc,
               uint32_t from,
               uint32_t to,
               std::string &error);
    // Waits until the reader has let go of the output.
    void stop();
    void pause();
    void resume();

    // The drive of the current or last play; -1 before the first.
    int drive() const;
    bool isPlaying() const; // started, not yet ended or stopped; also paused
    bool isPaused() const;
    uint32_t position() const;
    // The table of contents the play was started with.
    CdRip::Toc toc() const;

    // The error text of a range that holds no audio sector.
    static constexpr const char *NoAudioInRange = "the range holds no audio";

    static void setVolume(uint16_t left, uint16_t right);
    static void volume(uint16_t &left, uint16_t &right);

private:
    struct Sector
    {
        uint32_t frame = 0;
        std::vector<uint8_t> bytes;
    };

    static void SDLCALL feed(void *self, Uint8 *stream, int length);
    void fill(Uint8 *stream, int length);
    void read(CdRip::CdIoPtr cdio, bool bigEndian, SDL_AudioDeviceID output);
    bool waitForSpace();
    void finish(SDL_AudioDeviceID output);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::thread m_reader;

    // Guarded by m_mutex.
    int m_drive = -1;
    CdRip::Toc m_toc;
    std::vector<std::pair<uint32_t, uint32_t>> m_spans; // audio sectors to read
    std::deque<Sector> m_queue;
    size_t m_frontOffset = 0; // bytes of the front sector handed over
    uint32_t m_position = 0;
    bool m_active = false; // started and not yet ended or stopped
    bool m_paused = false;
    bool m_readerDone = false; // every sector is in the queue
    bool m_drained = false;    // every sector has been handed over
    bool m_stopping = false;   // stop() or the end: the output is closing
};

} // namespace CdPlayback
