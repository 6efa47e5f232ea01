#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace DiscLookup {

// A lookup that has no answer; the message is one line for the user.
class LookupFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Texts of the failures the window shows as they are.
inline constexpr const char *NoEntryMessage = "No entry for this disc";
inline constexpr const char *NotReachableMessage = "Disc database not reachable";

// One lookup of the disc in `drive`: the disc library at `libraryPath`
// (empty: none) first, then MusicBrainz and CDDB, whose merged answer is
// kept in the disc library when neither failed. Returns the answer text (see
// formatAnswer); `warning` is set when the disc library cannot be used.
// `candidates` is set to every entry found (see toJson), the one chosen
// before first. Throws LookupFailure. Blocks the calling thread.
// `submitUrl` is set, also when the lookup fails, to the address at which
// MusicBrainz takes the disc (empty for a disc without a MusicBrainz id).
std::string lookUp(const std::string &libraryPath,
                   int32_t drive,
                   std::string &warning,
                   std::string &candidates,
                   std::string &submitUrl);

// Remembers in the disc library at `libraryPath` the entry the user chose
// for the disc of `tocKey`; the message of what failed, empty when it was
// kept.
std::string rememberChoice(const std::string &libraryPath,
                           const std::string &tocKey,
                           const std::string &candidateKey);

} // namespace DiscLookup
