#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class TPcmInput;

// Mutual-exclusion flag between a reader of a source and whoever swaps that
// source. Unlike a mutex it may be cleared by any thread, which error recovery
// needs (the worker may have died holding it). Waiters are served in turn, so
// a swap of the source is not starved by a worker that reads back to back.
class TInputGuard
{
public:
    void acquire(); // waits until clear, then sets, in one step
    void release(); // clears; harmless when already clear
    bool isHeld() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cleared;
    bool m_held = false;
    uint64_t m_nextTicket = 0;
    uint64_t m_serving = 0;
};

class TInputGuardLocker
{
public:
    explicit TInputGuardLocker(TInputGuard &guard)
        : m_guard(guard)
    {
        m_guard.acquire();
    }
    ~TInputGuardLocker() { m_guard.release(); }
    TInputGuardLocker(const TInputGuardLocker &) = delete;
    TInputGuardLocker &operator=(const TInputGuardLocker &) = delete;

private:
    TInputGuard &m_guard;
};

// Told when a source it reads from is being destroyed (sinks and converters).
class TPcmInputListener
{
public:
    virtual void PcmInputRemoved(TPcmInput *input) = 0;

protected:
    ~TPcmInputListener() = default;
};

// A source of raw interleaved little-endian PCM. The component's name is its
// objectName, its owner the QObject parent.
//
// Threads: BeginRead/EndRead and the setters of descendants run on the GUI
// thread; ReadData runs on the worker of the sink reading it. The counters are
// atomics because the sink's progress reads them from the worker while the
// GUI thread may open or close the read.
class TPcmInput : public QObject
{
public:
    explicit TPcmInput(QObject *owner = nullptr, const QString &name = {});
    ~TPcmInput() override;

    int32_t BitsPerSample() { return GetBitsPerSample(); }
    int32_t Channels() { return GetChannels(); }
    int32_t SampleRate() { return GetSampleRate(); }

    int32_t Position() const { return m_position; }
    int32_t Size() const { return m_size; } // -1 unknown, 0 while idle
    bool IsBusy() const { return m_isBusy; }
    int32_t ChunkPos() const { return m_chunkPos; }
    int32_t ChunkEnd() const { return m_chunkEnd; }

    virtual int32_t GetBitsPerSample() = 0;
    virtual int32_t GetChannels() = 0;
    virtual int32_t GetSampleRate() = 0;
    // Copies at most `size` bytes into buffer; 0 means the end of the data.
    virtual int32_t ReadData(void *buffer, int32_t size) = 0;
    // EndRead with every error swallowed, then not busy.
    virtual void ResetQuietly();
    // Opens the read: Size valid, Position 0.
    virtual void BeginRead() = 0;
    // Closes the read: IsBusy false.
    virtual void EndRead() = 0;
    // A sink stops: a ReadData under way on the worker may end early with
    // the end of the data rather than finish a slow read. BeginRead reads
    // normally again. Any thread.
    virtual void AbortRead() {}

    void addListener(TPcmInputListener *listener);
    void removeListener(TPcmInputListener *listener);

protected:
    // Detaches every sink and converter reading this source. ~TPcmInput calls
    // it too, but by then the descendant's members are gone: a descendant
    // whose ReadData may be running on a worker calls it first in its own
    // destructor, so that the detach waits for that read to end.
    void releaseListeners();

    std::atomic<int32_t> m_position{0};
    std::atomic<int32_t> m_size{0};
    std::atomic<bool> m_isBusy{false};
    std::atomic<int32_t> m_chunkPos{0};
    std::atomic<int32_t> m_chunkEnd{0};

private:
    std::mutex m_listenersMutex;
    std::vector<TPcmInputListener *> m_listeners;
};

// The Input of a sink or converter with its guard: swapping, forgetting a
// source that is going away, and reading under the guard.
class TInputSlot
{
public:
    TPcmInput *get() const { return m_input; }
    TInputGuard &guard() { return m_guard; }
    // While busy, opens the new source, swaps under the guard, then closes the
    // old one; listener is moved from the old source to the new.
    void set(TPcmInput *value, bool busy, TPcmInputListener *listener);
    // The source is half destroyed: it is neither closed nor reopened, only
    // forgotten once no read is under way.
    void removed(TPcmInput *input);
    // Raises "Input is not assigned" when the source went away.
    int32_t read(void *buffer, int32_t size);
    void detach(TPcmInputListener *listener);

private:
    TInputGuard m_guard;
    std::atomic<TPcmInput *> m_input{nullptr};
};

// A source that reads another source. No concrete converter exists yet; the
// sinks' error recovery unlocks a chain of them.
class TPcmConverter : public TPcmInput, public TPcmInputListener
{
public:
    explicit TPcmConverter(QObject *owner = nullptr, const QString &name = {});
    ~TPcmConverter() override;

    TPcmInput *Input() const { return m_input.get(); }
    // Ignores the converter itself. While busy, opens the new source, swaps it
    // under the guard and closes the old one.
    virtual void SetInput(TPcmInput *value);
    // Clears the guard of this converter and of every converter below it.
    void UnlockInputChain();

    TInputGuard &InputGuard() { return m_input.guard(); }

    void PcmInputRemoved(TPcmInput *input) override;

protected:
    // Reads from Input under the guard; raises "Input is not assigned" when
    // the source has gone.
    int32_t readInput(void *buffer, int32_t size) { return m_input.read(buffer, size); }

private:
    TInputSlot m_input;
};
