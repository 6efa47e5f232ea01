#pragma once

#include "libs/disclookup/discinfo.h"
#include "libs/disclookup/disctoc.h"

#include <optional>
#include <string>

namespace DiscLookup {

// The word of an unknown value in lines 1 to 4, and of line 5 when titles follow.
inline constexpr const char *NilLine = "nil";
// Line 5 when no titles follow.
inline constexpr const char *NoTitlesLine = "no titles";
// The title of a data track that MusicBrainz leaves out and CDDB did not name.
inline constexpr const char *DataTrackTitle = "Data track";

// The answer text: album, artist, genre, year ("nil" when not known), then
// "nil" and one title per line, or "no titles". Every line ends in "\n";
// control characters in a value become blanks, so that a value is one line.
// The genre is its genre list item ("17 - Rock") when it names one of the
// program's genres.
std::string formatAnswer(const DiscInfo &info);

// Line 3 for a genre as a source gives it.
std::string genreLine(const std::string &genre);

// One answer from both sources. MusicBrainz's titles cover the tracks of the
// audio session, CDDB's every track of the table. Titles and the album and
// artist come from the source that has a title for every track, MusicBrainz
// first; the year and genre from that source, else from the other. A data
// track after the audio session takes CDDB's title, else "Data track".
DiscInfo merge(const DiscToc &toc,
               const std::optional<DiscInfo> &musicBrainz,
               const std::optional<DiscInfo> &cddb);

// Whether merge() takes the album, artist and titles from CDDB's entry.
bool mergeTakesCddb(const DiscToc &toc,
                    const std::optional<DiscInfo> &musicBrainz,
                    const std::optional<DiscInfo> &cddb);

} // namespace DiscLookup
