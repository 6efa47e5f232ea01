#pragma once

#include <QString>

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
