#include "tests/support/outputrun.h"

#include "pipeline/pcmoutput.h"

#include <chrono>

namespace TestSupport {

OutputRun::OutputRun(TPcmOutput &output)
    : m_output(output)
{
    output.OnDone = [this](TPcmOutput *) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_done;
        m_ended.notify_all();
    };
    output.OnThreadException = [this](TPcmOutput *, const std::exception &e) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_errors;
        m_message = QString::fromUtf8(e.what());
        m_ended.notify_all();
    };
}

bool OutputRun::startAndWait()
{
    m_output.StartOutput();
    return wait();
}

bool OutputRun::wait()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const int seen = m_seen;
    const bool ended = m_ended.wait_for(lock, std::chrono::minutes(2), [&] {
        return m_done + m_errors > seen;
    });
    m_seen = m_done + m_errors;
    return ended;
}

int OutputRun::done() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

int OutputRun::errors() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_errors;
}

QString OutputRun::message() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_message;
}

} // namespace TestSupport
