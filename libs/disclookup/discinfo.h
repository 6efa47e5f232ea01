#pragma once

#include <string>
#include <vector>

namespace DiscLookup {

// One track as a source knows it beyond the answer's title line.
struct TrackFacts
{
    std::string title;  // without the artist
    std::string artist; // the track's own credit; empty: the album's
    std::string recordingId;
    std::string releaseTrackId;
    std::string isrc;
    std::vector<std::string> artistIds;
};

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

    // Beside the answer's fields: which entry of which source this is, and
    // what the chooser shows and the tags carry. Empty or 0: not known.
    std::string source{}; // "MusicBrainz", "CDDB", "CD-Text"
    std::string key{};    // the entry: "musicbrainz <release> <medium>", "cddb <category> <id>"
    std::string albumArtist{};
    std::string date{};
    std::string country{};
    std::string label{};
    std::string catalogNumber{};
    std::string barcode{};
    std::string media{}; // the medium's format, "CD"
    std::string disambiguation{};
    int discNumber = 0;
    int discTotal = 0;
    int trackCount = 0;
    std::string releaseId{};
    std::string releaseGroupId{};
    std::string discId{};
    std::vector<std::string> albumArtistIds{};
    std::vector<TrackFacts> tracks{}; // one per title when the titles are known

    // The answer's fields only.
    bool operator==(const DiscInfo &other) const
    {
        return album == other.album && artist == other.artist && genre == other.genre
               && year == other.year && titles == other.titles;
    }
};

} // namespace DiscLookup
