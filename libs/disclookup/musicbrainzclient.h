#pragma once

#include "libs/disclookup/discinfo.h"
#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/lookupsettings.h"

#include <string>
#include <vector>

namespace DiscLookup {

class HttpClient;

// Asks MusicBrainz web service 2 for the releases of a disc id, with the
// table of contents for a fuzzy match when the id is unknown. Requests of
// the whole process keep at least a second apart; a 503 ("slow down") is
// tried again after its Retry-After when that fits in the time limit, twice
// at most. The calling thread owns it.
class MusicBrainzClient
{
public:
    MusicBrainzClient(const HttpClient &http, const LookupSettings &settings);

    // Every matching medium, best first (see MusicBrainz::candidates),
    // titles for the tracks of the audio session. Throws LookupError: NoEntry
    // for a 404 or no matching medium.
    std::vector<DiscInfo> lookup(const AudioSession &session, const std::string &discId) const;

    std::string url(const AudioSession &session, const std::string &discId) const;

    // The User-Agent MusicBrainz asks for: "OrvanelSondrel/1.5 ( contact )".
    static std::string userAgent(const std::string &contact);

private:
    const HttpClient &m_http;
    LookupSettings m_settings;
};

} // namespace DiscLookup
