#pragma once

#include <stdexcept>
#include <string>

namespace DiscLookup {

// A table of contents no disc could have.
class InvalidToc : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A disc database that could not give an answer. NoEntry: it answered that
// it does not know the disc. Failed: no usable answer (not reachable, an
// error status, a malformed, oversized or unfinished reply); the message says
// which, without the database's name.
class LookupError : public std::runtime_error
{
public:
    enum Kind { NoEntry, Failed };

    LookupError(Kind kind, const std::string &message)
        : std::runtime_error(message)
        , m_kind(kind)
    {}

    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace DiscLookup
