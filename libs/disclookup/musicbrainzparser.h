#pragma once

#include "libs/disclookup/discinfo.h"

#include <string>
#include <vector>

// The reply of MusicBrainz web service 2 to a disc id lookup (JSON), and the
// choice of the release and medium that describe the disc.
namespace DiscLookup::MusicBrainz {

struct Track
{
    int position = 0;
    std::string title;
    std::string artist; // the track's artist credit, joined
};

struct Medium
{
    int position = 0;
    std::vector<std::string> discIds;
    std::vector<Track> tracks; // sorted by position
};

struct Release
{
    std::string title;
    std::string artist; // the release's artist credit, joined
    std::string date;   // "YYYY", "YYYY-MM", "YYYY-MM-DD" or empty
    std::vector<Medium> media;
};

// The releases of a reply, in reply order. Throws LookupError(Failed) when
// the body is not a JSON object with a "releases" array; values of the wrong
// type count as missing.
std::vector<Release> parseReleases(const std::string &json);

// The disc's data from the best medium: media that hold the disc id come
// first, then media with `trackCount` tracks (the reply of a lookup by table
// of contents), then the earliest release date (a release without a date
// last), then reply order. Media of neither kind are no match. Titles come
// only from a medium with `trackCount` tracks; a track credited to another
// artist than the release reads "Artist / Title". Throws
// LookupError(NoEntry) when no medium matches.
DiscInfo choose(const std::vector<Release> &releases, const std::string &discId, int trackCount);

} // namespace DiscLookup::MusicBrainz
