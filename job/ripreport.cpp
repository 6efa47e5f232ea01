#include "job/ripreport.h"

#include "job/playlist.h"

#include <QDir>
#include <QFileInfo>

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

// A file holds its track up to the track's end.
uint32_t framesOf(const std::vector<TTocEntry> &toc, int trackNumber)
{
    uint32_t frames = 0;
    for (size_t i = 0; i + 1 < toc.size(); ++i)
        if (toc[i].TrackNumber == trackNumber)
            frames = toc[i].EndSector - toc[i].StartSector;
    return frames;
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
    for (const RipSummaryTrack &track : summary.tracks) {
        TRipLogTrack entry;
        entry.Number = track.record.Number;
        entry.FileName = QFileInfo(track.record.FileName).fileName();
        entry.Sums = track.sums;
        entry.Verdict = track.verdict;
        log.Tracks.push_back(entry);
    }
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
    for (const RipSummaryTrack &track : summary.tracks) {
        TCueTrack entry;
        entry.Number = track.record.Number;
        entry.FileName = folder.relativeFilePath(track.record.FileName);
        entry.Title = track.record.Title;
        entry.Performer = track.record.Artist;
        entry.Frames = framesOf(summary.toc, track.record.Number);
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
