#pragma once

#include <QString>

class DiscModel;
struct FreedbReply;

// Spreads a lookup's reply over the disc: the album, artist, genre and year
// that are known, and, when the answer has exactly one title per track, every
// track's title with the disc's artist (the looked-up one, or the one it had).
// Nothing changes without an answer. Returns what the status bar should say,
// empty when there is nothing to tell: why there is no answer, why the titles
// were left as they were, or the library's warning.
QString FillFromFreedb(DiscModel &disc, const FreedbReply &reply);
