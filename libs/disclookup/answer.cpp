#include "libs/disclookup/answer.h"

#include "libs/genres/genres.h"

namespace DiscLookup {

namespace {

// The value on one line, without blanks at either end.
std::string oneLine(const std::string &value)
{
    std::string out = value;
    for (char &c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    }
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

std::string knownOrNil(const std::string &value)
{
    const std::string line = oneLine(value);
    return line.empty() ? NilLine : line;
}

const std::string &either(const std::string &first, const std::string &second)
{
    return first.empty() ? second : first;
}

} // namespace

std::string genreLine(const std::string &genre)
{
    const int number = Genres::find(genre);
    return number >= 0 ? Genres::listItem(number) : knownOrNil(genre);
}

std::string formatAnswer(const DiscInfo &info)
{
    std::string text = knownOrNil(info.album) + '\n' + knownOrNil(info.artist) + '\n'
                       + genreLine(info.genre) + '\n' + knownOrNil(info.year) + '\n';
    if (info.titles.empty())
        return text + NoTitlesLine + '\n';
    text += std::string(NilLine) + '\n';
    for (const std::string &title : info.titles)
        text += oneLine(title) + '\n';
    return text;
}

namespace {

size_t sessionTracksOf(const DiscToc &toc)
{
    return toc.tracks.size() - (toc.tracks.size() > 1 && toc.tracks.back().data ? 1 : 0);
}

} // namespace

bool mergeTakesCddb(const DiscToc &toc,
                    const std::optional<DiscInfo> &musicBrainz,
                    const std::optional<DiscInfo> &cddb)
{
    const bool musicBrainzFits = musicBrainz && musicBrainz->titles.size() == sessionTracksOf(toc);
    const bool cddbFits = cddb && cddb->titles.size() == toc.tracks.size();
    return cddb && !musicBrainzFits && (cddbFits || !musicBrainz);
}

DiscInfo merge(const DiscToc &toc,
               const std::optional<DiscInfo> &musicBrainz,
               const std::optional<DiscInfo> &cddb)
{
    const size_t sessionTracks = sessionTracksOf(toc);
    const bool musicBrainzFits = musicBrainz && musicBrainz->titles.size() == sessionTracks;
    const bool cddbFits = cddb && cddb->titles.size() == toc.tracks.size();

    const std::optional<DiscInfo> &best = mergeTakesCddb(toc, musicBrainz, cddb) ? cddb
                                                                                 : musicBrainz;
    const std::optional<DiscInfo> &other = &best == &musicBrainz ? cddb : musicBrainz;
    if (!best)
        return {};
    DiscInfo info = *best;
    info.titles.clear();
    if (other) {
        info.year = either(info.year, other->year);
        info.genre = either(info.genre, other->genre);
    }
    if (musicBrainzFits) {
        info.titles = musicBrainz->titles;
        for (size_t i = sessionTracks; i < toc.tracks.size(); ++i)
            info.titles.push_back(cddbFits ? cddb->titles[i] : DataTrackTitle);
    } else if (cddbFits) {
        info.titles = cddb->titles;
    }
    return info;
}

} // namespace DiscLookup
