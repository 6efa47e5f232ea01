#include "libs/disclookup/cddbclient.h"

#include "libs/disclookup/cddbparser.h"
#include "libs/disclookup/clientname.h"
#include "libs/disclookup/httpclient.h"
#include "libs/disclookup/lookuperror.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

namespace DiscLookup {

namespace {

// Each match listed is one more request: enough for the reissues a disc id
// usually gathers.
constexpr size_t MaxReads = 10;

// The artist CDDB entries of compilations name.
bool isVarious(const std::string &artist)
{
    std::string lower;
    for (const char c : artist)
        lower += char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "various" || lower == "various artists";
}

// "Artist / Title" split at the first " / "; without one, no artist.
std::pair<std::string, std::string> splitTitle(const std::string &text)
{
    const size_t slash = text.find(" / ");
    if (slash == std::string::npos)
        return {std::string(), text};
    return {text.substr(0, slash), text.substr(slash + 3)};
}

struct ReadEntry
{
    Cddb::Entry entry;
    std::string category;
    std::string discId; // as the match lists it: with the category, the entry's key
    bool fits = false;
};

bool ranksBefore(const ReadEntry &a, const ReadEntry &b)
{
    if (a.fits != b.fits)
        return a.fits;
    if (a.entry.year.empty() != b.entry.year.empty())
        return b.entry.year.empty();
    return a.entry.year < b.entry.year;
}

DiscInfo infoOf(const ReadEntry &e)
{
    DiscInfo info;
    info.album = e.entry.album;
    info.artist = e.entry.artist;
    info.year = e.entry.year;
    info.genre = e.entry.genre;
    if (info.genre.empty() && e.category != "misc" && e.category != "data")
        info.genre = e.category;
    info.source = "CDDB";
    info.key = "cddb " + e.category + ' ' + e.discId;
    info.albumArtist = isVarious(info.artist) ? "Various Artists" : info.artist;
    info.date = info.year;
    info.trackCount = int(e.entry.titles.size());
    if (!e.fits)
        return info;
    info.titles = e.entry.titles;
    // A compilation names each track's artist in its title; on a disc of
    // one artist, " / " may be part of a title.
    const bool various = isVarious(info.artist);
    for (const std::string &title : e.entry.titles) {
        auto [artist, name] = various ? splitTitle(title)
                                      : std::pair<std::string, std::string>(info.artist, title);
        info.tracks.push_back({name, artist, {}, {}, {}, {}});
    }
    return info;
}

} // namespace

CddbClient::CddbClient(const HttpClient &http, const LookupSettings &settings)
    : m_http(http)
    , m_settings(settings)
{}

std::string CddbClient::url(const std::string &command) const
{
    std::string cmd;
    size_t start = 0;
    while (start <= command.size()) {
        size_t end = command.find(' ', start);
        if (end == std::string::npos)
            end = command.size();
        cmd += (cmd.empty() ? "" : "+") + HttpClient::escape(command.substr(start, end - start));
        start = end + 1;
    }
    return m_settings.cddbServer + "?cmd=" + cmd + "&hello="
           + HttpClient::escape(m_settings.cddbUser) + '+' + HttpClient::escape(m_settings.cddbHost)
           + '+' + ClientName + '+' + HttpClient::escape(ClientVersion) + "&proto=6";
}

std::string CddbClient::get(const std::string &command) const
{
    const HttpReply reply = m_http.get(url(command));
    if (reply.status != 200)
        throw LookupError(LookupError::Failed, "HTTP status " + std::to_string(reply.status));
    return reply.body;
}

std::vector<DiscInfo> CddbClient::lookup(const DiscToc &toc, const std::string &discId) const
{
    std::string query = "cddb query " + discId + ' ' + std::to_string(toc.tracks.size());
    for (const TocTrack &t : toc.tracks)
        query += ' ' + std::to_string(t.startFrame);
    query += ' ' + std::to_string(toc.leadOutFrame / FramesPerSecond);
    Cddb::QueryResult result = Cddb::parseQuery(get(query));
    std::stable_partition(result.matches.begin(), result.matches.end(), [&](const Cddb::Match &m) {
        return m.discId == discId;
    });

    std::vector<ReadEntry> entries;
    std::optional<LookupError> failure;
    for (size_t i = 0; i < result.matches.size() && i < MaxReads; ++i) {
        const Cddb::Match &m = result.matches[i];
        try {
            ReadEntry e{Cddb::parseRead(get("cddb read " + m.category + ' ' + m.discId)),
                        m.category,
                        m.discId};
            e.fits = e.entry.titles.size() == toc.tracks.size();
            if (result.exact || e.fits)
                entries.push_back(std::move(e));
        } catch (const LookupError &error) {
            if (error.kind() == LookupError::Failed && !failure)
                failure = error;
        }
    }
    if (entries.empty()) {
        if (failure)
            throw *failure;
        throw LookupError(LookupError::NoEntry, "no entry for this disc");
    }
    std::stable_sort(entries.begin(), entries.end(), ranksBefore);
    std::vector<DiscInfo> infos;
    for (const ReadEntry &e : entries)
        infos.push_back(infoOf(e));
    return infos;
}

} // namespace DiscLookup
