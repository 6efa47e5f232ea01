#pragma once

// The genre list of the program and of the tags it writes: item index =
// genre number. Plain C++ so that the conversion component can share it.
#include <string>
#include <string_view>

namespace Genres {

constexpr int Count = 148;

// The genre's name as the list shows it ("Blues"); null outside 0..147.
const char *name(int number);

// The genre list's item text: "00 - Blues" ... "147 - SynthPop"; empty
// outside 0..147.
std::string listItem(int number);

// The number of the genre a free-text name means, -1 for none. Case, blanks
// and punctuation do not count ("hip hop" is Hip-Hop, "newage" New Age).
int find(std::string_view name);

} // namespace Genres
