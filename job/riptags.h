#pragma once

#include "job/trackinfo.h"

#include <QString>

class TAudioConvert;
namespace AudioConvertLib {
class IAudioConvertInformation;
}

// The tag fields of the main window, which stay as they are during a job
// (the window is disabled).
struct RipTagFields
{
    QString year;
    QString album;
    QString genre;       // the genre box's text
    int genreIndex = -1; // its item in the genre list, -1 for one typed by hand
    QString comment;
    QString copyright;
    QString url;
    QString encodedBy;
};

// Fills the converter's tag object with a track's title, number and artist
// and the disc's fields, for the track's conversion or its lossless file. A
// listed genre goes as its number, one typed by hand as its text.
void SetTrackTags(AudioConvertLib::IAudioConvertInformation &info,
                  const TTrackInfo &track,
                  const RipTagFields &tags);

// The converter's tag object filled for the track when the converter's
// "Write tags" switch is on; false (and nothing filled) when it is off or
// there is no converter or tag object.
bool FillTrackTags(TAudioConvert *convert,
                   AudioConvertLib::IAudioConvertInformation *info,
                   const TTrackInfo &track,
                   const RipTagFields &tags);
// The same tags written into the track's FLAC or APE file, which its writer
// has closed.
void WriteFileTags(TAudioConvert *convert,
                   AudioConvertLib::IAudioConvertInformation *info,
                   const TTrackInfo &track,
                   const RipTagFields &tags,
                   bool flac);
