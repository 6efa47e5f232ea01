#include "libs/audioconvert/information.h"

#include "libs/genres/genres.h"

namespace AudioConvertLib {

// TagLib's own ID3v1 table spells some genres differently ("Jazz-Funk",
// "Bebop"); the tag names the genre the user picked, without the blank that
// ends "Acoustic " in the list.
QString genreName(int32_t number)
{
    return QString::fromLatin1(Genres::name(number)).trimmed();
}

} // namespace AudioConvertLib
