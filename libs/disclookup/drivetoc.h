#pragma once

#include "libs/disclookup/disctoc.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace DiscLookup {

// The drive's table of contents cannot be had; the message is for the user.
class DriveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The CD library's file name, loaded by plain name and kept loaded: it is the
// same process-wide library the program's CD input uses.
inline constexpr const char *CdRipLibraryName = "libcdrip.so";
inline constexpr const char *CdRipSettingsName = "cdr.ini";

// Reads the table of contents of drive `drive` (the CD library's numbering)
// and selects the drive that was active before again, with its table of
// contents re-read when it had one. When the CD library lists no drive yet,
// it is first initialised with settingsFolder + "cdr.ini" (settingsFolder
// empty or ending in '/'). Throws DriveError.
DiscToc readDriveToc(int32_t drive, const std::string &settingsFolder);

} // namespace DiscLookup
