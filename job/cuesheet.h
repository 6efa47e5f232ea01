#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// One track of a CUE sheet over per-track files. A track's file holds its
// audio from INDEX 01 up to the next track's INDEX 01, so the next track's
// pregap lies at the end of it.
struct TCueTrack
{
    int Number = 0;
    QString FileName; // relative to the sheet's folder
    QString Title;
    QString Performer;
    uint32_t Frames = 0;       // the file's length in sectors (1/75 s)
    uint32_t PregapFrames = 0; // this track's INDEX 00 .. INDEX 01, 0 without one
};

struct TCueSheet
{
    QString Performer;
    QString Title;
    QString Genre;
    int Year = 0;   // 0: none
    QString DiscId; // the CDDB id, eight hex digits
    std::vector<TCueTrack> Tracks;
};

// The sheet as text: REM DATE/GENRE/DISCID, the album's PERFORMER and TITLE,
// then one FILE per track with its TITLE, PERFORMER and INDEX 01, and each
// pregap as INDEX 00 in the file before it. Quotes in texts become
// apostrophes, which a sheet cannot hold otherwise.
QString CueSheetText(const TCueSheet &sheet);

// Writes the sheet as UTF-8. Throws std::runtime_error
// "The CUE sheet could not be written to "<path>": <reason>".
void WriteCueSheet(const QString &path, const TCueSheet &sheet);
