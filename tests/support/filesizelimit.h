#pragma once

#include <sys/resource.h>

#include <csignal>

// Stands in for a full disk: while it lives, writes that would make any file
// of this process larger than `bytes` fail with EFBIG (the signal that would
// end the process is ignored). Restores the previous limit when it goes.
// Process-wide, so the test must not write elsewhere meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        m_active = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_active = m_active && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_saved);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // False when the limit could not be set.
    bool isActive() const { return m_active; }

private:
    rlimit m_saved{};
    bool m_active = false;
};
