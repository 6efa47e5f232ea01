#pragma once

#include <QString>

#include <condition_variable>
#include <mutex>

class TPcmOutput;

namespace TestSupport {

// How a sink's runs end, as its worker reports them: takes over the sink's
// OnDone and OnThreadException and counts them, from whichever thread raises
// them. Must outlive the sink's runs.
class OutputRun
{
public:
    explicit OutputRun(TPcmOutput &output);

    // Starts the output and waits for the end of that run.
    bool startAndWait();
    // Waits, two minutes at most, for an end after those already seen.
    bool wait();

    int done() const;
    int errors() const;
    // The message of the last OnThreadException.
    QString message() const;

private:
    TPcmOutput &m_output;
    mutable std::mutex m_mutex;
    std::condition_variable m_ended;
    int m_done = 0;
    int m_errors = 0;
    int m_seen = 0;
    QString m_message;
};

} // namespace TestSupport
