#pragma once

#include "pipeline/trackchecksums.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// One ripped (or failed) track as the rip log tells it.
struct TRipLogTrack
{
    int Number = 0;
    QString FileName;                    // the output file's name, without its folder
    std::optional<TTrackChecksums> Sums; // none when the track was not read to its end
    QString Verdict;                     // the AccurateRip verdict, empty when not asked
    QStringList ReadErrors;              // the read's error messages
    bool Failed = false;                 // no file was kept
    int Reads = 0;                       // of the whole track; 0 when not counted
    std::optional<uint32_t> TestCrc{};   // the test read's, with test & copy
    QString ReadResult{};                // "read cleanly", "read, 4 positions re-read"
    QString Pregap{};                    // "00:02:00", "none", "not detected"; empty: not searched
    QStringList SubIndexes{};            // INDEX 02 and up, as times in the track
    bool PreEmphasis = false;
};

// What a rip log holds: the setting of the rip, the disc, each track, and
// the job's memo lines.
struct TRipLog
{
    QString ProgramVersion;
    QDateTime Date;
    QString Drive;
    QString ReadMode;
    int ReadOffset = 0; // samples
    QString Artist;
    QString Album;
    QString CddbId;
    QString AccurateRipIds; // "012-0013bd5a-00b8d489-c60af50d"; empty when unknown
    std::vector<TRipLogTrack> Tracks;
    QString HiddenTrackFile; // the hidden audio before track 1, when a file holds it
    QStringList Memo;
};

// The log as text, one line per LF.
QString RipLogText(const TRipLog &log);

// Writes the log as UTF-8 into `path`, replacing a file there only once the
// new one is complete. Throws std::runtime_error "The rip log could not be
// written to "<path>": <reason>".
void WriteRipLog(const QString &path, const TRipLog &log);

// The log's name in the output folder: "<album>.log", or "rip.log" without an
// album; characters that cannot be in a file name become '_'.
QString RipLogFileName(const QString &album);
