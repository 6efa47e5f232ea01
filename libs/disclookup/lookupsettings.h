#pragma once

#include <cstddef>
#include <string>

namespace DiscLookup {

// The INI file of these settings, in the disc library's folder.
inline constexpr const char *SettingsFileName = "disclookup.ini";

// Keys of the settings file ("Section/Key").
namespace SettingsKey {
inline constexpr const char *CddbServer = "CDDB/Server";
inline constexpr const char *CddbHello = "CDDB/Hello";
inline constexpr const char *MusicBrainzServer = "MusicBrainz/Server";
inline constexpr const char *MusicBrainzContact = "MusicBrainz/Contact";
inline constexpr const char *ConnectTimeout = "Network/ConnectTimeout";
inline constexpr const char *Timeout = "Network/Timeout";
inline constexpr const char *MaxReplySize = "Network/MaxReplySize";
} // namespace SettingsKey

// Where and how the lookup asks. Read afresh for every lookup; owned by the
// calling thread.
struct LookupSettings
{
    std::string cddbServer = "http://gnudb.gnudb.org/~cddb/cddb.cgi"; // empty: not asked
    std::string cddbUser;                                             // the hello's user word
    std::string cddbHost;                                             // and its host word
    std::string musicBrainzServer = "https://musicbrainz.org/ws/2";   // empty: not asked
    std::string musicBrainzContact;
    long connectTimeoutMs = 5000;
    long timeoutMs = 15000; // one request, from connecting to the reply's last byte
    size_t maxReplySize = 4 * 1024 * 1024;
};

// The defaults, with the login and host name in the CDDB hello.
LookupSettings defaultSettings();

// The defaults overridden by the keys the INI file holds; a missing file or
// key, or a number that is not one, keeps the default.
LookupSettings readSettings(const std::string &iniPath);

} // namespace DiscLookup
