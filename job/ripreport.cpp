#include "job/ripreport.h"

#include "job/playlist.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString numbersOf(const std::vector<const RipSummaryTrack *> &tracks)
{
    QStringList numbers;
    for (const RipSummaryTrack *track : tracks)
        numbers << QString::number(track->record.Number);
    return numbers.join(QStringLiteral(", "));
}

} // namespace

RipSummaryTrack RipTrackOf(const TTrackInfo &record,
                           const TTrackReads &reads,
                           const TTrackReadResult &result)
{
    RipSummaryTrack track{record, std::nullopt, QString()};
    track.reads = reads.Reads();
    track.testCrc = reads.TestCrc();
    track.confirmed = reads.Confirmed();
    track.readResult = result.Text();
    return track;
}

RipSummaryTrack RipFailedTrackOf(const TTrackInfo &record,
                                 const TTrackReads &reads,
                                 const TTrackReadResult &result,
                                 const QString &message)
{
    RipSummaryTrack track{record, std::nullopt, QString()};
    track.reads = reads.Reads() + 1;
    if (result.Uncorrectable == 0) {
        track.readResult = QStringLiteral("failed: ") + message;
        return track;
    }
    track.readResult = result.Text();
    for (const QString &at : result.Positions)
        track.readErrors << QStringLiteral("uncorrectable at %1").arg(at);
    return track;
}

QStringList RipEndLines(const RipSummary &summary)
{
    QStringList lines;
    std::vector<const RipSummaryTrack *> failed;
    for (const RipSummaryTrack &track : summary.failedTracks)
        failed.push_back(&track);
    std::vector<const RipSummaryTrack *> differ;
    for (const RipSummaryTrack &track : summary.tracks) {
        if (summary.testAndCopy && !track.confirmed)
            differ.push_back(&track);
    }
    if (!differ.empty())
        lines << QStringLiteral("Test and copy differ, files kept: track(s) %1")
                     .arg(numbersOf(differ));
    if (failed.empty()) {
        lines << QStringLiteral("Completed!");
        return lines;
    }
    lines << QStringLiteral("Failed, no file: track(s) %1").arg(numbersOf(failed))
          << QStringLiteral("Completed with %1 failed track(s)!").arg(failed.size());
    return lines;
}

QString RipSideFilePath(const RipSummary &summary, const QString &extension)
{
    // "<album>.log" names the pair.
    const QString folder = QFileInfo(summary.tracks.front().record.FileName).absolutePath();
    QString name = RipLogFileName(summary.tags.album);
    name.chop(4);
    return folder + QLatin1Char('/') + name + extension;
}

namespace {

// The CDDB id is the last part of the AccurateRip ids.
QString cddbIdOf(const RipSummary &summary)
{
    return summary.accurateRipIds.section(QLatin1Char('-'), 3);
}

// The table's entry of a track, null when it holds none.
const TTocEntry *entryOf(const std::vector<TTocEntry> &toc, int trackNumber)
{
    for (size_t i = 0; i + 1 < toc.size(); ++i) {
        if (toc[i].TrackNumber == trackNumber)
            return &toc[i];
    }
    return nullptr;
}

} // namespace

TRipLog RipLogOf(const RipSummary &summary)
{
    TRipLog log;
    log.ProgramVersion = summary.programVersion;
    log.Date = summary.date;
    log.Drive = summary.drive;
    log.ReadMode = QStringLiteral("secure (cdparanoia)");
    log.ReadOffset = summary.readOffset;
    log.Artist = summary.performer;
    log.Album = summary.tags.album;
    log.AccurateRipIds = summary.accurateRipIds;
    log.CddbId = cddbIdOf(summary);
    const auto add = [&log, &summary](const RipSummaryTrack &track, bool failed) {
        TRipLogTrack entry;
        entry.Number = track.record.Number;
        entry.FileName = QFileInfo(track.record.FileName).fileName();
        entry.Sums = track.sums;
        entry.Verdict = track.verdict;
        entry.Failed = failed;
        entry.Reads = track.reads;
        entry.TestCrc = track.testCrc;
        entry.ReadResult = track.readResult;
        entry.ReadErrors = track.readErrors;
        const int number = track.record.Number;
        if (const TTocEntry *toc = entryOf(summary.toc, number))
            entry.PreEmphasis = (toc->Flag & 0x01) != 0;
        if (const TTrackIndexes *found = summary.indexes.find(number)) {
            entry.PreEmphasis = entry.PreEmphasis || found->PreEmphasis;
            switch (found->Pregap) {
            case TTrackIndexes::pgNotSearched:
                break;
            case TTrackIndexes::pgNone:
                entry.Pregap = QStringLiteral("none");
                break;
            case TTrackIndexes::pgFound:
                entry.Pregap = FormatMSF(FramesToMSF(found->PregapFrames()));
                break;
            case TTrackIndexes::pgNotDetected:
                entry.Pregap = QStringLiteral("not detected");
                break;
            }
            for (const uint32_t at : found->SubIndexes)
                entry.SubIndexes << FormatMSF(FramesToMSF(at - found->Start));
        }
        log.Tracks.push_back(entry);
    };
    for (const RipSummaryTrack &track : summary.tracks)
        add(track, false);
    for (const RipSummaryTrack &track : summary.failedTracks)
        add(track, true);
    std::stable_sort(log.Tracks.begin(), log.Tracks.end(), [](const auto &a, const auto &b) {
        return a.Number < b.Number;
    });
    if (!summary.hiddenTrackFile.isEmpty())
        log.HiddenTrackFile = QFileInfo(summary.hiddenTrackFile).fileName();
    log.Memo = summary.memo;
    return log;
}

TCueSheet CueSheetOf(const RipSummary &summary, const QString &path)
{
    const QDir folder = QFileInfo(path).absoluteDir();
    TCueSheet sheet;
    sheet.Performer = summary.performer;
    sheet.Title = summary.tags.album;
    sheet.Genre = summary.tags.genre.section(QStringLiteral(" - "), -1);
    sheet.Year = summary.tags.year.toInt();
    sheet.DiscId = cddbIdOf(summary);
    sheet.Catalog = summary.catalog;
    if (!summary.hiddenTrackFile.isEmpty())
        sheet.HiddenFileName = folder.relativeFilePath(summary.hiddenTrackFile);
    for (const RipSummaryTrack &track : summary.tracks) {
        TCueTrack entry;
        entry.Number = track.record.Number;
        entry.FileName = folder.relativeFilePath(track.record.FileName);
        entry.Title = track.record.Title;
        entry.Performer = track.record.Artist;
        const int number = track.record.Number;
        if (const auto isrc = summary.isrcs.find(number); isrc != summary.isrcs.end())
            entry.Isrc = isrc->second;
        entry.File = TrackFileRange(summary.cueLayout, summary.toc, summary.indexes, number);
        if (const TTocEntry *toc = entryOf(summary.toc, number)) {
            entry.Start = toc->StartSector;
            entry.PreEmphasis = (toc->Flag & 0x01) != 0;
            entry.CopyPermitted = (toc->Flag & 0x02) != 0;
        }
        // Before the first track lies its own INDEX 00, found or not.
        if (!summary.toc.empty() && summary.toc.front().TrackNumber == number)
            entry.PregapFrames = summary.toc.front().StartSector;
        if (const TTrackIndexes *found = summary.indexes.find(number)) {
            entry.PregapFrames = found->PregapFrames();
            entry.SubIndexes = found->SubIndexes;
            entry.PreEmphasis = entry.PreEmphasis || found->PreEmphasis;
        }
        sheet.Tracks.push_back(entry);
    }
    return sheet;
}

void FinishRip(RipSummary &summary,
               const std::function<void(int drive)> &eject,
               const std::function<void(const QString &message)> &failed)
{
    auto step = [&](bool wanted, const std::function<void()> &run) {
        if (!wanted)
            return;
        try {
            run();
        } catch (const std::exception &e) {
            const QString message = QString::fromUtf8(e.what());
            summary.memo << QStringLiteral("Error: ") + message;
            if (failed)
                failed(message);
        }
    };
    const RipEndOptions &options = summary.options;
    const bool finished = !summary.tracks.empty();
    // The disc goes first, whatever becomes of the playlist.
    step(options.eject && eject, [&] { eject(options.drive); });
    step(options.makeList && !summary.playlistEntries.isEmpty() && !options.playlistFile.isEmpty(),
         [&] { Playlist::write(options.playlistFile, summary.playlistEntries); });
    step(summary.writeCue && finished, [&] {
        const QString path = RipSideFilePath(summary, QStringLiteral(".cue"));
        WriteCueSheet(path, CueSheetOf(summary, path));
    });
    step(summary.writeLog && finished,
         [&] { WriteRipLog(RipSideFilePath(summary, QStringLiteral(".log")), RipLogOf(summary)); });
}
