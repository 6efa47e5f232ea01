#include "job/cuesheet.h"

#include "job/textfile.h"

#include <QStringList>

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

QString CueSheetText(const TCueSheet &sheet)
{
    QStringList lines;
    if (sheet.Year > 0)
        lines << QStringLiteral("REM DATE %1").arg(sheet.Year);
    if (!sheet.Genre.isEmpty())
        lines << QStringLiteral("REM GENRE %1").arg(quoted(sheet.Genre));
    if (!sheet.DiscId.isEmpty())
        lines << QStringLiteral("REM DISCID %1").arg(sheet.DiscId.toUpper());
    if (!sheet.Performer.isEmpty())
        lines << QStringLiteral("PERFORMER %1").arg(quoted(sheet.Performer));
    if (!sheet.Title.isEmpty())
        lines << QStringLiteral("TITLE %1").arg(quoted(sheet.Title));
    for (size_t i = 0; i < sheet.Tracks.size(); ++i) {
        const TCueTrack &track = sheet.Tracks[i];
        const TCueTrack *previous = i > 0 ? &sheet.Tracks[i - 1] : nullptr;
        // A pregap that lies in the file before, and fits in it, is that
        // file's last part; the track itself starts its own file.
        const bool pregapBefore = previous && track.PregapFrames > 0
                                  && track.PregapFrames <= previous->Frames;
        if (!pregapBefore)
            lines << QStringLiteral("FILE %1 WAVE").arg(quoted(track.FileName));
        lines << QStringLiteral("  TRACK %1 AUDIO").arg(track.Number, 2, 10, QLatin1Char('0'));
        if (!track.Title.isEmpty())
            lines << QStringLiteral("    TITLE %1").arg(quoted(track.Title));
        if (!track.Performer.isEmpty())
            lines << QStringLiteral("    PERFORMER %1").arg(quoted(track.Performer));
        if (pregapBefore) {
            lines << QStringLiteral("    INDEX 00 %1").arg(msf(previous->Frames - track.PregapFrames))
                  << QStringLiteral("FILE %1 WAVE").arg(quoted(track.FileName));
        }
        lines << QStringLiteral("    INDEX 01 %1").arg(msf(0));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void WriteCueSheet(const QString &path, const TCueSheet &sheet)
{
    WriteWholeFile(path, CueSheetText(sheet).toUtf8(), QStringLiteral("CUE sheet"));
}
