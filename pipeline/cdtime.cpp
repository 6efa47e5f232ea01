#include "pipeline/cdtime.h"

TTrackTime FramesToMSF(uint32_t frames)
{
    const uint32_t seconds = frames / 75;
    TTrackTime t;
    t.Minutes = static_cast<uint8_t>(seconds / 60);
    t.Seconds = static_cast<uint8_t>(seconds % 60);
    t.Frames = static_cast<uint8_t>(frames % 75);
    return t;
}

uint32_t MSFToFrames(const TTrackTime &time)
{
    return (uint32_t(time.Minutes) * 60 + time.Seconds) * 75 + time.Frames;
}

QString FormatMSF(const TTrackTime &time)
{
    return QStringLiteral("%1:%2:%3")
        .arg(time.Minutes, 2, 10, QLatin1Char('0'))
        .arg(time.Seconds, 2, 10, QLatin1Char('0'))
        .arg(time.Frames, 2, 10, QLatin1Char('0'));
}
