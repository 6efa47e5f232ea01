#pragma once

#include <QStringList>

// The flac command's options for reading a raw CD-format file (16-bit
// little-endian signed stereo at 44.1 kHz), quietly, overwriting its output.
inline QStringList flacRawCdInputOptions()
{
    return {"-s",
            "-f",
            "--force-raw-format",
            "--endian=little",
            "--sign=signed",
            "--channels=2",
            "--bps=16",
            "--sample-rate=44100"};
}
