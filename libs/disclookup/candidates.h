#pragma once

#include "libs/disclookup/discinfo.h"

#include <string>
#include <vector>

namespace DiscLookup {

// Most candidates a lookup offers.
inline constexpr size_t MaxCandidates = 20;

// One entry a source knows for the disc, with the answer text the window
// reads when the user takes it.
struct Candidate
{
    DiscInfo info;
    std::string answer; // formatAnswer() of the entry, data tracks filled in
};

// Every entry found for a disc, the one to preselect, and the disc's key in
// the disc library (which the choice is remembered by).
struct CandidateList
{
    std::string toc;
    size_t preselected = 0;
    bool remembered = false; // the preselected entry is the one the user chose before
    std::vector<Candidate> candidates;

    // The list with the entry of `key` first and preselected; unchanged when
    // no entry has that key.
    CandidateList withFirst(const std::string &key) const;
};

// The JSON text beside the answer:
//   {"toc": "...", "preselected": n, "remembered": bool, "candidates": [{"key", "source", "album",
//    "artist", "albumArtist", "genre", "year", "date", "country", "label",
//    "catalogNumber", "barcode", "media", "disambiguation", "discNumber",
//    "discTotal", "trackCount", "releaseId", "releaseGroupId", "discId",
//    "albumArtistIds": [...], "answer", "tracks": [{"title", "artist",
//    "recordingId", "releaseTrackId", "isrc", "artistIds": [...]}]}]}
// Empty values are left out.
std::string toJson(const CandidateList &list);
// The list a toJson() text holds; an empty list for text that is not one.
CandidateList fromJson(const std::string &json);

} // namespace DiscLookup
