#pragma once

#include "job/cuesheet.h"
#include "job/riplog.h"
#include "job/riptags.h"
#include "job/trackinfo.h"
#include "job/trackreads.h"
#include "pipeline/cdinput.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/trackchecksums.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// What a completed job does at its end.
struct RipEndOptions
{
    bool eject = false;
    int drive = 0; // the drive to eject, the one the job read from
    bool makeList = false;
    QString playlistFile;
};

// A track the job finished, with what its reads and checksums said; or one
// that failed (the summary's failedTracks), which left no file.
struct RipSummaryTrack
{
    TTrackInfo record;
    std::optional<TTrackChecksums> sums; // none when incomplete or not computed
    QString verdict;                     // the AccurateRip verdict, empty when not asked
    int reads = 1;                       // of the whole track, a test read included
    std::optional<uint32_t> testCrc{};   // with test & copy
    bool confirmed = false;              // with test & copy: another read agrees
    QString readResult{};                // "read cleanly", from the read kept or failed
    QStringList readErrors{};            // failed: the positions of the bad sectors
};

// What a completed job knows, for the files written at its end. Made by the
// job once its last track is finished; a plain value, any thread.
struct RipSummary
{
    std::vector<RipSummaryTrack> tracks; // in finishing order
    std::vector<RipSummaryTrack> failedTracks;
    bool testAndCopy = false;
    QStringList playlistEntries;
    QStringList memo;           // the job's lines, "Completed!" included
    std::vector<TTocEntry> toc; // the disc's table as the drive read it; may be empty
    TDiscIndexes indexes;       // what the gap search found; no tracks when it did not run
    TCueLayout cueLayout = TCueLayout::GapsAppended;
    QString hiddenTrackFile;      // the hidden audio before track 1, when it was ripped
    QString catalog;              // the disc's media catalogue number, empty when unknown
    std::map<int, QString> isrcs; // per track number, those the disc carries
    RipTagFields tags;
    QString performer; // the disc's artist
    QString programVersion;
    QString drive;          // the drive's name
    int readOffset = 0;     // samples
    QString accurateRipIds; // "012-0013bd5a-00b8d489-c60af50d"; empty when unknown
    QDateTime date;
    RipEndOptions options;
    bool writeLog = false;
    bool writeCue = false;
};

// The summary's entry of a finished track: its reads, and the result of the
// read kept.
RipSummaryTrack RipTrackOf(const TTrackInfo &record,
                           const TTrackReads &reads,
                           const TTrackReadResult &result);
// The entry of a track that failed with `message`, its last read's result
// being `result`: the read that failed counts, and its bad positions are
// its read errors.
RipSummaryTrack RipFailedTrackOf(const TTrackInfo &record,
                                 const TTrackReads &reads,
                                 const TTrackReadResult &result,
                                 const QString &message);

// The lines a completed job ends with: the failed tracks, the tracks whose
// test and copy never agreed, then "Completed!", which names how many
// tracks failed.
QStringList RipEndLines(const RipSummary &summary);

// The rip log's or CUE sheet's path: beside the first finished track's file,
// named after the album as RipLogFileName names the log, with `extension`
// (".log", ".cue"). The summary has at least one track.
QString RipSideFilePath(const RipSummary &summary, const QString &extension);

// The rip log of the summary's tracks.
TRipLog RipLogOf(const RipSummary &summary);
// The CUE sheet of the summary's tracks, whose files it names relative to
// the folder of `path`, the sheet's.
TCueSheet CueSheetOf(const RipSummary &summary, const QString &path);

// The end of a completed job, in this order: the disc is ejected (through
// `eject`), the playlist, the CUE sheet and the rip log are written, each
// when its option is set and there is something to write. The log comes last
// so that it holds what became of the others: a step that fails adds
// "Error: " + its message to the summary's memo and tells `failed`, and the
// steps after it still run.
void FinishRip(RipSummary &summary,
               const std::function<void(int drive)> &eject,
               const std::function<void(const QString &message)> &failed);
