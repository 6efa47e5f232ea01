#pragma once

#include <QString>

namespace CdText {
struct Texts;
}
class DiscModel;
struct FreedbCandidate;
struct FreedbReply;

// Spreads a lookup's reply over the disc: the album, artist, genre and year
// that are known, and, when the answer has exactly one title per track, every
// track's title with the disc's artist (the looked-up one, or the one it had).
// Nothing changes without an answer. Returns what the status bar should say,
// empty when there is nothing to tell: why there is no answer, why the titles
// were left as they were, or the library's warning.
QString FillFromFreedb(DiscModel &disc, const FreedbReply &reply);

// One entry of the lookup spread as FillFromFreedb spreads its answer, then
// what it knows beyond the answer: the album artist, the disc of a set, the
// release's facts and, when it has one track per row, each track's own
// artist, plain title and identifiers. `reply` gives the library's message.
QString FillFromCandidate(DiscModel &disc,
                          const FreedbCandidate &candidate,
                          const FreedbReply &reply);

// The disc's CD-Text as an entry to choose or fill from: album, artist and,
// when it names every one of `rows` tracks, their titles and performers
// with their ISRCs.
FreedbCandidate CdTextCandidate(const CdText::Texts &texts, int rows);

// At a disc's arrival: the CD-Text fills the fields when every one is still
// empty (the album, the artist and each row's artist and title); true when it did.
bool FillFromCdText(DiscModel &disc, const CdText::Texts &texts);
