#pragma once

#include <QString>

#include <cstdint>

// Times and positions on a CD. One frame is one 2352-byte sector; 75 frames
// make one second.

// A time on the disc as minutes, seconds and frames.
struct TTrackTime
{
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
};

// A track (1-based) and an offset into it.
struct TTrackPosition
{
    int32_t Track = 0;
    TTrackTime Time;
};

// Minutes are not limited to 99 (but are a byte, as the record has it).
TTrackTime FramesToMSF(uint32_t frames);
uint32_t MSFToFrames(const TTrackTime &time);
// "mm:ss:ff", each part at least two digits.
QString FormatMSF(const TTrackTime &time);
