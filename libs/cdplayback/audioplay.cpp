#include "libs/cdplayback/audioplay.h"

#include "libs/cdrip/cdiolog.h"

#include <cdio/cdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

namespace CdPlayback {

namespace {

constexpr size_t SectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr size_t QueueSectors = 150; // two seconds ahead of the output
constexpr lsn_t ReadSectors = 15;    // one read of the drive
// An output that asks for more than the reader has waits this long, as a
// drive spinning up needs, before it gets silence instead.
constexpr auto UnderrunWait = std::chrono::seconds(5);

std::atomic<uint32_t> g_volume{0xFFFFFFFFu}; // right << 16 | left

int16_t scaled(int16_t sample, uint32_t gain)
{
    if (gain >= 65535)
        return sample;
    return static_cast<int16_t>(int32_t(sample) * int32_t(gain) / 65535);
}

} // namespace

AudioPlay::~AudioPlay()
{
    stop();
}

int AudioPlay::drive() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_drive;
}

bool AudioPlay::isPlaying() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active;
}

bool AudioPlay::isPaused() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active && m_paused;
}

uint32_t AudioPlay::position() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position;
}

CdRip::Toc AudioPlay::toc() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_toc;
}

void AudioPlay::setVolume(uint16_t left, uint16_t right)
{
    g_volume = uint32_t(right) << 16 | left;
}

void AudioPlay::volume(uint16_t &left, uint16_t &right)
{
    const uint32_t v = g_volume;
    left = uint16_t(v & 0xFFFF);
    right = uint16_t(v >> 16);
}

bool AudioPlay::start(int drive,
                      const CdRip::Drive &source,
                      const CdRip::Toc &toc,
                      uint32_t from,
                      uint32_t to,
                      std::string &error)
{
    stop();
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    for (int t = 0; t < toc.trackCount(); ++t) {
        const uint32_t begin = std::max(from, toc.entries[size_t(t)].startSector);
        const uint32_t end = std::min(to, toc.entries[size_t(t) + 1].startSector);
        if (begin < end && !toc.isData(size_t(t)))
            spans.emplace_back(begin, end);
    }
    if (spans.empty()) {
        error = NoAudioInRange;
        return false;
    }
    CdRip::CdIoPtr cdio = CdRip::openDrive(source);
    if (!cdio) {
        error = "the disc cannot be read";
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = 44100;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = 2048;
    wanted.callback = &AudioPlay::feed;
    wanted.userdata = this;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_drive = drive;
        m_toc = toc;
        m_spans = std::move(spans);
        m_queue.clear();
        m_frontOffset = 0;
        m_position = m_spans.front().first;
        m_paused = false;
        m_readerDone = false;
        m_drained = false;
        m_stopping = false;
        m_active = true;
    }
    // SDL converts to whatever the output takes.
    const SDL_AudioDeviceID output = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (output == 0) {
        error = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_active = false;
        return false;
    }
    // The output waits for the reader's first sectors.
    SDL_PauseAudioDevice(output, 0);
    m_reader = std::thread(&AudioPlay::read,
                           this,
                           std::move(cdio),
                           CdRip::audioIsBigEndian(source),
                           output);
    return true;
}

void AudioPlay::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_reader.joinable())
        m_reader.join();
}

void AudioPlay::pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_active)
        m_paused = true;
}

void AudioPlay::resume()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paused = false;
    }
    m_changed.notify_all();
}

bool AudioPlay::waitForSpace()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopping || m_queue.size() < QueueSectors; });
    return !m_stopping;
}

void AudioPlay::read(CdRip::CdIoPtr cdio, bool bigEndian, SDL_AudioDeviceID output)
{
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        spans = m_spans;
    }
    std::vector<uint8_t> chunk(SectorBytes * ReadSectors);
    for (const auto &[begin, end] : spans) {
        for (uint32_t sector = begin; sector < end;) {
            if (!waitForSpace())
                return finish(output);
            const auto count = static_cast<uint32_t>(
                std::min<lsn_t>(ReadSectors, lsn_t(end - sector)));
            const CdRip::LogErrorWatch watch;
            if (cdio_read_audio_sectors(cdio.get(), chunk.data(), lsn_t(sector), count)
                    != DRIVER_OP_SUCCESS
                || watch.failed()) {
                // A sector that cannot be read ends the play there, as an
                // end of the range would: nothing false is played.
                return finish(output);
            }
            if (bigEndian) {
                for (size_t i = 0; i + 1 < count * SectorBytes; i += 2)
                    std::swap(chunk[i], chunk[i + 1]);
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t *bytes = chunk.data() + i * SectorBytes;
                m_queue.push_back({sector + i, std::vector<uint8_t>(bytes, bytes + SectorBytes)});
            }
            sector += count;
            m_changed.notify_all();
        }
    }
    finish(output);
}

// The reader's last step: when every sector has been handed over (or the
// play is being stopped) it closes the output.
void AudioPlay::finish(SDL_AudioDeviceID output)
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_readerDone = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_drained || m_stopping; });
        m_stopping = true;
    }
    m_changed.notify_all();
    SDL_CloseAudioDevice(output);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_active = false;
    m_paused = false;
    m_queue.clear();
}

void SDLCALL AudioPlay::feed(void *self, Uint8 *stream, int length)
{
    static_cast<AudioPlay *>(self)->fill(stream, length);
}

void AudioPlay::fill(Uint8 *stream, int length)
{
    const uint32_t v = g_volume;
    const uint32_t left = v & 0xFFFF;
    const uint32_t right = v >> 16;
    size_t done = 0;
    const size_t wanted = size_t(length);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (done < wanted && !m_stopping) {
        if (m_paused) {
            m_changed.wait(lock, [this] { return !m_paused || m_stopping; });
            continue;
        }
        if (m_queue.empty()) {
            if (m_readerDone) {
                m_drained = true;
                m_changed.notify_all();
                // The reader closes the output now; silence until it has.
                m_changed.wait_for(lock, std::chrono::milliseconds(50), [this] {
                    return m_stopping;
                });
                break;
            }
            if (!m_changed.wait_for(lock, UnderrunWait, [this] {
                    return !m_queue.empty() || m_readerDone || m_stopping;
                }))
                break;
            continue;
        }
        Sector &front = m_queue.front();
        const size_t n = std::min(wanted - done, SectorBytes - m_frontOffset);
        std::memcpy(stream + done, front.bytes.data() + m_frontOffset, n);
        if (left < 65535 || right < 65535) {
            // Whole stereo sample pairs: a sector holds 588 of them, and the
            // output asks in pairs.
            for (size_t i = 0; i + 3 < n; i += 4) {
                int16_t l, r;
                std::memcpy(&l, stream + done + i, 2);
                std::memcpy(&r, stream + done + i + 2, 2);
                l = scaled(l, left);
                r = scaled(r, right);
                std::memcpy(stream + done + i, &l, 2);
                std::memcpy(stream + done + i + 2, &r, 2);
            }
        }
        done += n;
        m_frontOffset += n;
        m_position = front.frame;
        if (m_frontOffset == SectorBytes) {
            m_position = front.frame + 1;
            m_queue.pop_front();
            m_frontOffset = 0;
            m_changed.notify_all();
        }
    }
    if (done < wanted)
        std::memset(stream + done, 0, wanted - done);
}

} // namespace CdPlayback
