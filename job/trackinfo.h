#pragma once

#include "libs/audioconvert/information.h"

#include <QList>
#include <QString>
#include <QStringList>

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
    QString Title;     // the row's "Title"
    QString FileName;  // the full output path
    bool Data = false; // a data track, which the job skips with a memo line
    // Album artist, disc of a set, identifiers: the disc's and the row's.
    AudioConvertLib::TReleaseTags Release{};
};

// Takes the data tracks out of `records` (read as audio, one is full-scale
// noise) and returns the memo line of each, in record order.
inline QStringList takeDataTracks(QList<TTrackInfo> &records)
{
    QStringList lines;
    for (const TTrackInfo &record : records) {
        if (record.Data)
            lines << QStringLiteral("Track %1 is a data track: skipped.").arg(record.Number);
    }
    records.removeIf([](const TTrackInfo &record) { return record.Data; });
    return lines;
}
