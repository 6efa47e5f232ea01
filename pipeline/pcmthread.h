#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// The worker of one sink. Created suspended; runs the owner's step back to
// back while a run is active and sleeps on a condition variable otherwise.
//
// Threads: resume(), the flags' setters and shutdown() are called by the
// owner on the GUI thread; the callbacks run on the worker.
class TPcmThread
{
public:
    using StepCallback = std::function<bool(bool abort)>;
    using DoneCallback = std::function<void()>;
    using ErrorCallback = std::function<void(const std::exception &)>;
    using WorkTest = std::function<bool()>;

    // hasWork tells whether a run is active; the worker never suspends itself
    // while it is true, so a run started while the worker was about to go
    // idle is not lost.
    TPcmThread(StepCallback step, DoneCallback done, ErrorCallback error, WorkTest hasWork);
    ~TPcmThread();
    TPcmThread(const TPcmThread &) = delete;
    TPcmThread &operator=(const TPcmThread &) = delete;

    bool SuspendWhenIdle() const { return m_suspendWhenIdle; }
    void SetSuspendWhenIdle(bool value) { m_suspendWhenIdle = value; }
    bool StopRequested() const { return m_stopRequested; }
    void SetStopRequested(bool value) { m_stopRequested = value; }
    bool ShutdownRequested() const { return m_shutdownRequested; }

    bool isSuspended() const;
    // Wakes a suspended worker; does nothing to a running one.
    void resume();

    // Ends the worker loop and joins the thread. With finalStep the step is
    // called once more with abort = true, as the loop's end prescribes; the
    // owner passes false when its step may no longer be called. While waiting,
    // queued calls posted to the calling thread are delivered, so a handler
    // blocked on a call into that (GUI) thread can return. Idempotent.
    void shutdown(bool finalStep = true);

    bool isWorkerThread() const { return std::this_thread::get_id() == m_thread.get_id(); }

private:
    void run();
    void suspendSelf();
    void reportError(const std::exception &error);

    StepCallback m_step;
    DoneCallback m_done;
    ErrorCallback m_error;
    WorkTest m_hasWork;

    std::atomic<bool> m_suspendWhenIdle{true};
    std::atomic<bool> m_shutdownRequested{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finalStep{true};

    std::mutex m_workerLock; // held by the worker around each step and while suspended

    mutable std::mutex m_stateMutex; // guards the two flags below
    std::condition_variable m_stateChanged;
    bool m_suspended = true;
    bool m_finished = false;

    std::thread m_thread; // last: started once everything above exists
};
