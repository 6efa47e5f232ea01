#pragma once

// The genre list of the program and of the tags it writes: item index =
// genre number. Plain C++ so that the conversion component can share it.
namespace Genres {

constexpr int Count = 148;

// The genre's name as the list shows it ("Blues"); null outside 0..147.
const char *name(int number);

} // namespace Genres
