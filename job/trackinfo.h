#pragma once

#include <QString>

#include <cstdint>

// The rip job's record of one ticked track, made when the job starts from
// the track list's row and the disc's fields. Owned by the job's queue.
struct TTrackInfo
{
    int32_t Number = 0; // the row's "#" as a number
    QString Artist;     // the row's "Artist"
    QString Album;
    QString Genre; // the genre box's whole text, such as "17 - Rock"
    QString Year;
    QString Title;    // the row's "Title"
    QString FileName; // the full output path
};
