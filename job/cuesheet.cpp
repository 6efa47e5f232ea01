#include "job/cuesheet.h"

#include "job/textfile.h"

#include <QStringList>

#include <algorithm>

namespace {

QString quoted(QString text)
{
    text.replace(QLatin1Char('"'), QLatin1Char('\''));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.remove(QLatin1Char('\r'));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString msf(uint32_t frames)
{
    return QStringLiteral("%1:%2:%3")
        .arg(frames / (75 * 60), 2, 10, QLatin1Char('0'))
        .arg(frames / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(frames % 75, 2, 10, QLatin1Char('0'));
}

} // namespace

TSectorRange TrackFileRange(TCueLayout layout,
                            const std::vector<TTocEntry> &toc,
                            const TDiscIndexes &indexes,
                            int track)
{
    // Track 1's pregap is the hidden audio, the lead-out has none.
    const auto pregapOf = [&](size_t entry) -> uint32_t {
        if (entry == 0 || entry + 1 >= toc.size())
            return 0;
        const TTrackIndexes *t = indexes.find(toc[entry].TrackNumber);
        return t ? t->PregapFrames() : 0;
    };
    for (size_t i = 0; i + 1 < toc.size(); ++i) {
        if (toc[i].TrackNumber != track)
            continue;
        TSectorRange range{toc[i].StartSector, toc[i].EndSector};
        if (layout == TCueLayout::GapsAppended || range.End <= range.First)
            return range;
        if (layout == TCueLayout::GapsPrepended)
            range.First -= std::min(pregapOf(i), range.First);
        // The next track's pregap, where it lies in this track's range.
        if (toc[i].EndSector == toc[i + 1].StartSector)
            range.End -= std::min(pregapOf(i + 1), toc[i].EndSector - toc[i].StartSector - 1);
        return range;
    }
    return {};
}

QString CueSheetText(const TCueSheet &sheet)
{
    QStringList lines;
    if (sheet.Year > 0)
        lines << QStringLiteral("REM DATE %1").arg(sheet.Year);
    if (!sheet.Genre.isEmpty())
        lines << QStringLiteral("REM GENRE %1").arg(quoted(sheet.Genre));
    if (!sheet.DiscId.isEmpty())
        lines << QStringLiteral("REM DISCID %1").arg(sheet.DiscId.toUpper());
    if (!sheet.Catalog.isEmpty())
        lines << QStringLiteral("CATALOG %1").arg(sheet.Catalog);
    if (!sheet.Performer.isEmpty())
        lines << QStringLiteral("PERFORMER %1").arg(quoted(sheet.Performer));
    if (!sheet.Title.isEmpty())
        lines << QStringLiteral("TITLE %1").arg(quoted(sheet.Title));
    const auto file = [&lines](const QString &name) {
        lines << QStringLiteral("FILE %1 WAVE").arg(quoted(name));
    };
    const auto index = [&lines](int number, uint32_t frames) {
        lines << QStringLiteral("    INDEX %1 %2")
                     .arg(number, 2, 10, QLatin1Char('0'))
                     .arg(msf(frames));
    };
    for (size_t i = 0; i < sheet.Tracks.size(); ++i) {
        const TCueTrack &track = sheet.Tracks[i];
        // The file before this track's: the previous track's, or for track
        // 1 the hidden audio's.
        const bool hidden = i == 0 && track.Number == 1 && !sheet.HiddenFileName.isEmpty();
        QString beforeName = hidden ? sheet.HiddenFileName : QString();
        TSectorRange before{0, hidden ? track.Start : 0};
        if (i > 0) {
            beforeName = sheet.Tracks[i - 1].FileName;
            before = sheet.Tracks[i - 1].File;
        }
        const uint32_t pregapStart = track.Start - std::min(track.PregapFrames, track.Start);
        const bool pregap = track.PregapFrames > 0;
        const bool inOwn = pregap && pregapStart >= track.File.First
                           && pregapStart < track.File.End;
        // A pregap that is the previous file's last part.
        const bool inBefore = pregap && !inOwn && !beforeName.isEmpty()
                              && pregapStart >= before.First && before.End == track.Start;
        if (hidden && inBefore)
            file(beforeName);
        else if (!inBefore)
            file(track.FileName);
        lines << QStringLiteral("  TRACK %1 AUDIO").arg(track.Number, 2, 10, QLatin1Char('0'));
        QStringList flags;
        if (track.CopyPermitted)
            flags << QStringLiteral("DCP");
        if (track.PreEmphasis)
            flags << QStringLiteral("PRE");
        if (!flags.isEmpty())
            lines << QStringLiteral("    FLAGS ") + flags.join(QLatin1Char(' '));
        if (!track.Isrc.isEmpty())
            lines << QStringLiteral("    ISRC %1").arg(track.Isrc);
        if (!track.Title.isEmpty())
            lines << QStringLiteral("    TITLE %1").arg(quoted(track.Title));
        if (!track.Performer.isEmpty())
            lines << QStringLiteral("    PERFORMER %1").arg(quoted(track.Performer));
        if (inBefore) {
            index(0, pregapStart - before.First);
            file(track.FileName);
        } else if (inOwn) {
            index(0, pregapStart - track.File.First);
        } else if (pregap) {
            lines << QStringLiteral("    PREGAP %1").arg(msf(track.PregapFrames));
        }
        index(1, track.Start - std::min(track.File.First, track.Start));
        int number = 2;
        for (const uint32_t at : track.SubIndexes)
            index(number++, at - std::min(track.File.First, at));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void WriteCueSheet(const QString &path, const TCueSheet &sheet)
{
    WriteWholeFile(path, CueSheetText(sheet).toUtf8(), QStringLiteral("CUE sheet"));
}
