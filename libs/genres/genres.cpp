#include "libs/genres/genres.h"

#include <array>
#include <cstddef>
#include <cstdio>

namespace Genres {

namespace {

// The names of the ID3v1 genres with the extensions that followed; some
// spellings ("Psychadelic", "Rhytmic Soul") and the blank after "Acoustic"
// are as the files in the world carry them.
// clang-format off
const std::array<const char *, Count> Names = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk",
    "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age", "Oldies",
    "Other", "Pop", "R&B", "Rap", "Reggae", "Rock",
    "Techno", "Industrial", "Alternative", "Ska", "Death Metal", "Pranks",
    "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk",
    "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House",
    "Game", "Sound Clip", "Gospel", "Noise", "Alternative Rock", "Bass",
    "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock",
    "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta",
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native US", "Cabaret",
    "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock", "Folk", "Folk-Rock", "National Folk", "Swing",
    "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic ", "Humour", "Speech",
    "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass",
    "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango",
    "Samba", "Folklore", "Ballad", "Power Ballad", "Rhytmic Soul", "Freestyle",
    "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall",
    "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary C", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "SynthPop"};
// clang-format on

// Lower-case letters and digits only.
std::string folded(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c >= 'A' && c <= 'Z')
            out += char(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

} // namespace

const char *name(int number)
{
    if (number < 0 || number >= Count)
        return nullptr;
    return Names[static_cast<std::size_t>(number)];
}

std::string listItem(int number)
{
    if (number < 0 || number >= Count)
        return {};
    std::array<char, 8> prefix{};
    std::snprintf(prefix.data(), prefix.size(), "%02d - ", number);
    return prefix.data() + std::string(name(number));
}

int find(std::string_view text)
{
    const std::string wanted = folded(text);
    if (wanted.empty())
        return -1;
    for (int i = 0; i < Count; ++i) {
        if (folded(Names[static_cast<std::size_t>(i)]) == wanted)
            return i;
    }
    return -1;
}

} // namespace Genres
