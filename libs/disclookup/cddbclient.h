#pragma once

#include "libs/disclookup/discinfo.h"
#include "libs/disclookup/disctoc.h"
#include "libs/disclookup/lookupsettings.h"

#include <string>
#include <vector>

namespace DiscLookup {

class HttpClient;

// Asks a CDDB server over HTTP (protocol level 6, the form gnudb serves):
// one "cddb query" for the disc, then "cddb read" of up to three of the
// matches it lists, exact ones and the disc's own id first. Of the entries
// read, one with a title per track wins, then the earliest year, then the
// server's order; a close match (211) counts only with a title per track.
// The calling thread owns it.
class CddbClient
{
public:
    CddbClient(const HttpClient &http, const LookupSettings &settings);

    // The entries read, best first: titles only when there is one per track
    // of the full table; the genre is DGENRE, else the category unless that
    // is "misc" or "data". A compilation ("Various") has the album artist
    // "Various Artists" and each track's artist from its "Artist / Title".
    // Throws LookupError.
    std::vector<DiscInfo> lookup(const DiscToc &toc, const std::string &discId) const;

    // The request URL of a command ("cddb query ...").
    std::string url(const std::string &command) const;

private:
    std::string get(const std::string &command) const;

    const HttpClient &m_http;
    LookupSettings m_settings;
};

} // namespace DiscLookup
