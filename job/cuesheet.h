#pragma once

#include "pipeline/cdripbinding.h"
#include "pipeline/gapsearch.h"

#include <QString>

#include <cstdint>
#include <vector>

// Where a track's pregap goes among per-track files.
enum class TCueLayout {
    GapsAppended = 0,  // to the end of the previous track's file (its disc range)
    GapsPrepended = 1, // to the start of the track's own file
    GapsLeftOut = 2,   // in no file: the sheet gives it as PREGAP (silence)
};

// Disc sectors [First, End).
struct TSectorRange
{
    uint32_t First = 0;
    uint32_t End = 0;
    uint32_t frames() const { return End > First ? End - First : 0; }
};

// The sectors of `track` its file holds in `layout`, from the disc's table
// (tracks, then the lead-out) and the indexes found on it: from INDEX 01 up
// to the next track's INDEX 01 (the end of the audio session before a later
// one) with its gaps appended, from its INDEX 00 up to the next INDEX 00
// with them prepended, from INDEX 01 to the next INDEX 00 with them left
// out. Track 1's pregap is in none of these (it is the hidden audio before
// track 1). An empty range for a track the table does not hold.
TSectorRange TrackFileRange(TCueLayout layout,
                            const std::vector<TTocEntry> &toc,
                            const TDiscIndexes &indexes,
                            int track);

// One track of a CUE sheet over per-track files, in disc positions.
struct TCueTrack
{
    int Number = 0;
    QString FileName; // relative to the sheet's folder
    QString Title;
    QString Performer;
    TSectorRange File;                // what the track's file holds
    uint32_t Start = 0;               // INDEX 01
    uint32_t PregapFrames = 0;        // INDEX 00 .. INDEX 01, 0 without one
    std::vector<uint32_t> SubIndexes; // INDEX 02, 03 ...
    bool PreEmphasis = false;         // FLAGS PRE
    bool CopyPermitted = false;       // FLAGS DCP
    QString Isrc;                     // empty when not known
};

struct TCueSheet
{
    QString Performer;
    QString Title;
    QString Genre;
    int Year = 0;    // 0: none
    QString DiscId;  // the CDDB id, eight hex digits
    QString Catalog; // the media catalogue number, empty when not known
    // The hidden audio before track 1 when it was ripped into a file of its
    // own (sectors 0 up to track 1's INDEX 01): track 1's INDEX 00 is there.
    QString HiddenFileName;
    std::vector<TCueTrack> Tracks;
};

// The sheet as text: REM DATE/GENRE/DISCID, CATALOG, the album's PERFORMER
// and TITLE, then per track its FILE (where its first index lies), TRACK,
// TITLE, PERFORMER, ISRC, FLAGS and INDEX lines, each index timed in the
// file that holds it: a pregap in the previous track's file is that file's
// last part, a pregap in no file is a PREGAP line. Quotes in texts become
// apostrophes, which a sheet cannot hold otherwise.
QString CueSheetText(const TCueSheet &sheet);

// Writes the sheet as UTF-8. Throws std::runtime_error
// "The CUE sheet could not be written to "<path>": <reason>".
void WriteCueSheet(const QString &path, const TCueSheet &sheet);
