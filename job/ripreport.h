#pragma once

#include "job/cuesheet.h"
#include "job/riplog.h"
#include "job/riptags.h"
#include "job/trackinfo.h"
#include "pipeline/cdripbinding.h"
#include "pipeline/trackchecksums.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
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

// A track the job finished, with what its checksums said.
struct RipSummaryTrack
{
    TTrackInfo record;
    std::optional<TTrackChecksums> sums; // none when incomplete or not computed
    QString verdict;                     // the AccurateRip verdict, empty when not asked
};

// What a completed job knows, for the files written at its end. Made by the
// job once its last track is finished; a plain value, any thread.
struct RipSummary
{
    std::vector<RipSummaryTrack> tracks; // in finishing order
    QStringList playlistEntries;
    QStringList memo;           // the job's lines, "Completed!" included
    std::vector<TTocEntry> toc; // the disc's table as the drive read it; may be empty
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
