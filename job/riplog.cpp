#include "job/riplog.h"

#include "job/textfile.h"

#include <QRegularExpression>

namespace {

QString hex8(uint32_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

QString orNone(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("(unknown)") : text;
}

} // namespace

QString RipLogText(const TRipLog &log)
{
    QStringList lines;
    lines << QStringLiteral("Orvanel Sondrel %1 rip log").arg(log.ProgramVersion)
          << QStringLiteral("Date: %1").arg(log.Date.toString(Qt::ISODate)) << QString()
          << QStringLiteral("Drive: %1").arg(orNone(log.Drive))
          << QStringLiteral("Read mode: %1").arg(orNone(log.ReadMode))
          << QStringLiteral("Read offset: %1 samples").arg(log.ReadOffset) << QString()
          << QStringLiteral("Artist: %1").arg(log.Artist)
          << QStringLiteral("Album: %1").arg(log.Album)
          << QStringLiteral("CDDB disc id: %1").arg(orNone(log.CddbId))
          << QStringLiteral("AccurateRip disc id: %1").arg(orNone(log.AccurateRipIds));
    if (!log.HiddenTrackFile.isEmpty())
        lines << QString() << QStringLiteral("Hidden audio before track 1")
              << QStringLiteral("  File: %1").arg(log.HiddenTrackFile)
              << QStringLiteral("  AccurateRip: not checked (no database holds it)");
    for (const TRipLogTrack &track : log.Tracks) {
        lines << QString() << QStringLiteral("Track %1").arg(track.Number, 2, 10, QLatin1Char('0'))
              << QStringLiteral("  File: %1")
                     .arg(track.Failed ? QStringLiteral("none, the track failed") : track.FileName);
        if (track.Reads > 0)
            lines << QStringLiteral("  Reads: %1").arg(track.Reads);
        if (!track.ReadResult.isEmpty())
            lines << QStringLiteral("  Result: %1").arg(track.ReadResult);
        if (track.TestCrc)
            lines << QStringLiteral("  Test CRC32: %1").arg(hex8(*track.TestCrc));
        // A failed track's sums are of audio no file holds.
        if (track.Sums && !track.Failed) {
            lines << QStringLiteral("  CRC32: %1").arg(hex8(track.Sums->Crc32))
                  << QStringLiteral("  AccurateRip v1: %1").arg(hex8(track.Sums->AccurateRipV1))
                  << QStringLiteral("  AccurateRip v2: %1").arg(hex8(track.Sums->AccurateRipV2));
        } else if (!track.Failed) {
            lines << QStringLiteral("  CRC32: not computed, the track was not read to its end");
        }
        if (!track.Verdict.isEmpty())
            lines << QStringLiteral("  AccurateRip: %1").arg(track.Verdict);
        if (!track.Pregap.isEmpty())
            lines << QStringLiteral("  Pregap: %1").arg(track.Pregap);
        for (int i = 0; i < track.SubIndexes.size(); ++i)
            lines << QStringLiteral("  Index %1: %2")
                         .arg(i + 2, 2, 10, QLatin1Char('0'))
                         .arg(track.SubIndexes[i]);
        if (track.PreEmphasis)
            lines << QStringLiteral("  Pre-emphasis: yes (the file holds the audio as read)");
        if (track.ReadErrors.isEmpty())
            lines << QStringLiteral("  Read errors: none");
        for (const QString &error : track.ReadErrors)
            lines << QStringLiteral("  Read error: %1").arg(error);
    }
    lines << QString() << QStringLiteral("Job");
    for (const QString &line : log.Memo)
        lines << QStringLiteral("  %1").arg(line);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void WriteRipLog(const QString &path, const TRipLog &log)
{
    WriteWholeFile(path, RipLogText(log).toUtf8(), QStringLiteral("rip log"));
}

QString RipLogFileName(const QString &album)
{
    QString name = album.trimmed();
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]"));
    name.replace(unsafe, QStringLiteral("_"));
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("rip");
    return name + QStringLiteral(".log");
}
