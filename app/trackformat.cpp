#include "trackformat.h"

namespace TrackFormat {

namespace {
QString twoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
} // namespace

QString FormatDuration(int seconds)
{
    if (seconds <= 0)
        return QString();
    if (seconds < 3600)
        return QStringLiteral("00:") + twoDigits(seconds / 60) + QLatin1Char(':')
               + twoDigits(seconds % 60);
    return twoDigits(seconds / 3600) + QLatin1Char(':') + twoDigits((seconds % 3600) / 60)
           + QLatin1Char(':') + twoDigits(seconds % 60);
}

int roundedSeconds(int minutes, int seconds, int frames)
{
    return minutes * 60 + seconds + (frames >= 38 ? 1 : 0);
}

QString trackNumberText(int track)
{
    return twoDigits(track);
}

} // namespace TrackFormat
