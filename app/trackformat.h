#pragma once

#include <QString>

// How the track list shows numbers and times.
namespace TrackFormat {

// "" for 0 seconds, "00:MM:SS" under an hour, "HH:MM:SS" from an hour on
// (hours in full past 99).
QString FormatDuration(int seconds);

// A track's length in whole seconds: 38 frames or more of a started second
// count as a whole one, 37 or fewer are dropped.
int roundedSeconds(int minutes, int seconds, int frames);

// The "#" text: at least two digits.
QString trackNumberText(int track);

} // namespace TrackFormat
