#include "choicelists.h"

#include <array>

namespace ChoiceLists {

namespace {

// The names of the ID3v1 genres with the extensions that followed; some
// spellings ("Psychadelic", "Rhytmic Soul") and the blank after "Acoustic"
// are as the files in the world carry them.
// clang-format off
const std::array<const char *, GenreCount> GenreNames = {
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

} // namespace

QString genreName(int number)
{
    if (number < 0 || number >= GenreCount)
        return QString();
    return QString::fromLatin1(GenreNames[size_t(number)]);
}

QStringList genres()
{
    QStringList list;
    for (int i = 0; i < GenreCount; ++i)
        list << QStringLiteral("%1 - %2").arg(i, 2, 10, QLatin1Char('0')).arg(genreName(i));
    return list;
}

QStringList outputFormats()
{
    return {QStringLiteral("Mp3 (Mpeg Layer-3)"),
            QStringLiteral("WMA (Windows Media Audio 9)"),
            QStringLiteral("Ogg (Ogg Vorbis 1.1)"),
            QStringLiteral("Wav(Standard)"),
            QStringLiteral("WAV (ADPCM) "),
            QStringLiteral("FLAC(Free Lossless Audio Codec)"),
            QStringLiteral("APE(Monkey's Audio)")};
}

QString extensionOf(int formatIndex)
{
    static const char *const extensions[] = {".mp3", ".wma", ".ogg", ".wav", ".wav", ".flac", ".ape"};
    if (formatIndex < 0 || formatIndex >= int(std::size(extensions)))
        return QString();
    return QString::fromLatin1(extensions[formatIndex]);
}

QStringList filenameTemplates()
{
    return {QStringLiteral("track <number>"),
            QStringLiteral("<artist> - <title>"),
            QStringLiteral("<artist> - <album>\\<number>. <title>"),
            QStringLiteral("<artist> - <album>\\<number> - <title>"),
            QStringLiteral("<artist>\\<album>\\<number>. <title>"),
            QStringLiteral("<artist>\\<album>\\<number> - <title>"),
            QStringLiteral("<album>\\<number>. <artist> - <title>"),
            QStringLiteral("<album>\\<number> - <artist> - <title>"),
            QStringLiteral("<number>. <title>"),
            QStringLiteral("<number> - <title>"),
            QStringLiteral("<artist> - <album> - <number> - <title>"),
            QStringLiteral("<title>"),
            QStringLiteral("<artist> - <album>"),
            QStringLiteral("<album>")};
}

QStringList driveSpeeds()
{
    return {QStringLiteral("Default"),
            QStringLiteral("Maximum"),
            QStringLiteral("40X"),
            QStringLiteral("32X"),
            QStringLiteral("24X"),
            QStringLiteral("12X"),
            QStringLiteral("8X"),
            QStringLiteral("4X"),
            QStringLiteral("2X"),
            QStringLiteral("1X")};
}

} // namespace ChoiceLists
