#pragma once

#include <string>
#include <vector>

namespace CdRip {

// What the library takes from its settings file.
struct Settings
{
    int activeDrive = 0;
    bool paranoia = true;
    std::vector<std::string> images; // in file order
};

// Parses INI text: "[Section]" lines, "key=value" lines, ';' or '#' comments,
// CR LF or LF. Section and key names compare without case, as the Windows
// INI functions do; values keep their case and inner blanks, surrounding
// blanks and one pair of enclosing double quotes are dropped.
Settings parseSettings(const std::string &text);

// Reads and parses a file; false (and default settings) when it cannot be read.
bool readSettingsFile(const std::string &path, Settings &settings);

} // namespace CdRip
