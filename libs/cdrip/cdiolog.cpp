#include "libs/cdrip/cdiolog.h"

#include <cdio/logging.h>

#include <mutex>

namespace CdRip {

namespace {

thread_local unsigned t_errors = 0;

// Guarded by handlerMutex.
std::mutex handlerMutex;
bool installed = false;
cdio_log_handler_t previous = nullptr;

void countErrors(cdio_log_level_t level, const char *)
{
    // Warnings and below concern image details no user needs to see; the
    // failure an error stands for reaches the caller as a result code.
    if (level >= CDIO_LOG_ERROR)
        ++t_errors;
}

} // namespace

void installLogHandler()
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    if (installed)
        return;
    previous = cdio_log_set_handler(countErrors);
    installed = true;
}

void restoreLogHandler()
{
    std::lock_guard<std::mutex> lock(handlerMutex);
    if (!installed)
        return;
    // libcdrip and libcdplayback each carry a copy of this handler. One
    // installed after ours stays: putting ours or the one before back would
    // take its counting away from the library still in use.
    const cdio_log_handler_t current = cdio_log_set_handler(previous);
    if (current != countErrors)
        cdio_log_set_handler(current);
    installed = false;
}

LogErrorWatch::LogErrorWatch()
    : m_start(t_errors)
{}

bool LogErrorWatch::failed() const
{
    return t_errors != m_start;
}

} // namespace CdRip
