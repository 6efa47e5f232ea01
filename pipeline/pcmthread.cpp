#include "pipeline/pcmthread.h"

#include "pipeline/pcmexception.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <chrono>

TPcmThread::TPcmThread(StepCallback step, DoneCallback done, ErrorCallback error, WorkTest hasWork)
    : m_step(std::move(step))
    , m_done(std::move(done))
    , m_error(std::move(error))
    , m_hasWork(std::move(hasWork))
    , m_thread([this] { run(); })
{}

TPcmThread::~TPcmThread()
{
    shutdown(false);
}

bool TPcmThread::isSuspended() const
{
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_suspended;
}

void TPcmThread::resume()
{
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        if (!m_suspended)
            return;
        m_suspended = false;
    }
    m_stateChanged.notify_all();
}

void TPcmThread::shutdown(bool finalStep)
{
    if (!m_thread.joinable())
        return;
    m_finalStep = finalStep;
    m_shutdownRequested = true;
    resume();

    // A handler on the worker may be blocked in a queued call to this thread;
    // deliver such calls while waiting, or neither side would ever move on.
    const bool pumpCalls = QCoreApplication::instance()
                           && QThread::currentThread() == QCoreApplication::instance()->thread();
    std::unique_lock<std::mutex> lock(m_stateMutex);
    while (!m_finished) {
        if (pumpCalls) {
            lock.unlock();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
            lock.lock();
            m_stateChanged.wait_for(lock, std::chrono::milliseconds(2), [this] {
                return m_finished;
            });
        } else {
            m_stateChanged.wait(lock, [this] { return m_finished; });
        }
    }
    lock.unlock();
    m_thread.join();
}

void TPcmThread::suspendSelf()
{
    std::unique_lock<std::mutex> lock(m_stateMutex);
    if (m_shutdownRequested || m_hasWork())
        return;
    m_suspended = true;
    m_stateChanged.wait(lock, [this] { return !m_suspended; });
}

void TPcmThread::reportError(const std::exception &error)
{
    try {
        m_error(error);
    } catch (...) {
        // An exception leaving a thread's top frame would end the program.
    }
}

void TPcmThread::run()
{
    {
        std::unique_lock<std::mutex> lock(m_stateMutex);
        m_stateChanged.wait(lock, [this] { return !m_suspended; });
    }
    while (!m_shutdownRequested) {
        std::lock_guard<std::mutex> lock(m_workerLock);
        bool finished = false;
        try {
            if (!m_step(m_stopRequested)) {
                m_stopRequested = false;
                finished = true;
                m_done();
            }
        } catch (const std::exception &error) {
            m_stopRequested = false;
            finished = true;
            reportError(error);
        } catch (...) {
            m_stopRequested = false;
            finished = true;
            reportError(EPcmException("Unknown error in the audio worker."));
        }
        // Idle with nothing to do: sleep instead of calling the step in a
        // tight loop. hasWork() keeps a run started meanwhile from being lost.
        if (m_suspendWhenIdle && !m_hasWork())
            suspendSelf();
        else if (!finished && !m_hasWork())
            std::this_thread::yield();
    }
    if (m_finalStep) {
        try {
            m_step(true);
        } catch (...) {
            // Its result is ignored, and so is its failure: the owner is going away.
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_shutdownRequested = false;
        m_finished = true;
    }
    m_stateChanged.notify_all();
}
