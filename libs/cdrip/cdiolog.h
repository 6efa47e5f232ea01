#pragma once

namespace CdRip {

// libcdio reports through one process-wide log handler, and its default one
// ends the process on an error-level message (an image file that cannot be
// read, a drive that fails mid-read). Ours never ends anything: it counts
// the errors of each thread, so that the call that met one fails instead.

// Puts our handler in place; again after restoreLogHandler. Any thread.
void installLogHandler();
// Puts back the handler found by the first install (before the library
// goes), unless another one has replaced ours since.
void restoreLogHandler();

// Whether libcdio reported an error on this thread since construction.
class LogErrorWatch
{
public:
    LogErrorWatch();
    bool failed() const;

private:
    unsigned m_start;
};

} // namespace CdRip
