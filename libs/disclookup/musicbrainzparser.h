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
    std::string id;     // the release track
    std::string recordingId;
    std::string isrc; // the recording's first
    std::vector<std::string> artistIds;
};

struct Medium
{
    int position = 0;
    std::string format; // "CD"
    std::vector<std::string> discIds;
    std::vector<Track> tracks; // sorted by position
};

struct Release
{
    std::string title;
    std::string artist; // the release's artist credit, joined
    std::string date;   // "YYYY", "YYYY-MM", "YYYY-MM-DD" or empty
    std::vector<Medium> media;
    std::string id;
    std::string releaseGroupId;
    std::string country;
    std::string barcode;
    std::string label;         // the first label's name
    std::string catalogNumber; // the first catalogue number
    std::string disambiguation;
    std::vector<std::string> artistIds;
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

// Every matching medium of every release as a candidate, best first (the
// order choose() ranks by), with the release's and medium's facts: disc
// number = the medium's position, disc total = the release's media, album
// artist = the release's credit, and each track's credit, ids and ISRC.
// Throws LookupError(NoEntry) when no medium matches.
std::vector<DiscInfo> candidates(const std::vector<Release> &releases,
                                 const std::string &discId,
                                 int trackCount);

} // namespace DiscLookup::MusicBrainz
