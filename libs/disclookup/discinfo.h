#pragma once

#include <string>
#include <vector>

namespace DiscLookup {

// What a disc database knows of a disc. An empty album, artist, genre or year
// is not known; `titles` is empty when the titles are not known. Owned by
// the thread of the lookup.
struct DiscInfo
{
    std::string album;
    std::string artist;
    std::string genre; // a genre's name as the source gives it ("Rock", "Trip-Hop")
    std::string year;  // four digits
    std::vector<std::string> titles;

    bool operator==(const DiscInfo &other) const
    {
        return album == other.album && artist == other.artist && genre == other.genre
               && year == other.year && titles == other.titles;
    }
};

} // namespace DiscLookup
