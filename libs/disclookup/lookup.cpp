#include "libs/disclookup/lookup.h"

#include "libs/disclookup/answer.h"
#include "libs/disclookup/candidates.h"
#include "libs/disclookup/cddbclient.h"
#include "libs/disclookup/disclibrary.h"
#include "libs/disclookup/drivetoc.h"
#include "libs/disclookup/httpclient.h"
#include "libs/disclookup/lookuperror.h"
#include "libs/disclookup/lookupsettings.h"
#include "libs/disclookup/musicbrainzclient.h"

#include <functional>
#include <optional>
#include <vector>

namespace DiscLookup {

namespace {

// What the asked databases said, for the message of a lookup without answer.
class Outcome
{
public:
    // Runs one database's lookup; a LookupError becomes part of the outcome.
    template<typename Lookup>
    auto ask(const char *database, const Lookup &lookup) -> std::optional<decltype(lookup())>
    {
        ++m_asked;
        try {
            return lookup();
        } catch (const LookupError &e) {
            if (e.kind() == LookupError::NoEntry)
                m_noEntry = true;
            else
                m_failures.push_back(std::string(database) + ": " + e.what());
        }
        return std::nullopt;
    }

    bool anyFailed() const { return !m_failures.empty(); }
    int asked() const { return m_asked; }

    std::string message() const
    {
        std::string failures;
        for (const std::string &f : m_failures)
            failures += (failures.empty() ? "" : "; ") + f;
        if (m_noEntry)
            return failures.empty() ? NoEntryMessage
                                    : std::string(NoEntryMessage) + " (" + failures + ")";
        return std::string(NotReachableMessage) + ": " + failures;
    }

private:
    int m_asked = 0;
    bool m_noEntry = false;
    std::vector<std::string> m_failures;
};

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Every entry of both sources, MusicBrainz's first, at most MaxCandidates,
// each with its answer; the entry merge() builds the answer on is
// preselected and carries the merged answer.
CandidateList candidatesOf(const DiscToc &toc,
                           const std::vector<DiscInfo> &musicBrainz,
                           const std::vector<DiscInfo> &cddb,
                           const DiscInfo &merged,
                           bool fromCddb)
{
    CandidateList list;
    list.toc = toc.key();
    for (const DiscInfo &m : musicBrainz) {
        if (list.candidates.size() < MaxCandidates)
            list.candidates.push_back({m, formatAnswer(merge(toc, m, std::nullopt))});
    }
    const size_t firstCddb = list.candidates.size();
    for (const DiscInfo &c : cddb) {
        if (list.candidates.size() < MaxCandidates)
            list.candidates.push_back({c, formatAnswer(merge(toc, std::nullopt, c))});
    }
    list.preselected = fromCddb && firstCddb < list.candidates.size() ? firstCddb : 0;
    if (!list.candidates.empty())
        list.candidates[list.preselected].answer = formatAnswer(merged);
    return list;
}

} // namespace

std::string lookUp(const std::string &libraryPath,
                   int32_t drive,
                   std::string &warning,
                   std::string &candidates,
                   std::string &submitUrl)
{
    const std::string folder = folderOf(libraryPath);
    const LookupSettings settings = libraryPath.empty() ? defaultSettings()
                                                        : readSettings(folder + SettingsFileName);
    DiscToc toc;
    std::string cddb;
    try {
        toc = readDriveToc(drive, folder);
        cddb = cddbId(toc);
    } catch (const DriveError &e) {
        throw LookupFailure(e.what());
    } catch (const InvalidToc &e) {
        throw LookupFailure(std::string("The disc's table of contents is not valid: ") + e.what());
    }
    // A disc without an audio session MusicBrainz knows is still one for CDDB.
    std::optional<AudioSession> session;
    std::string musicBrainz;
    std::string noMusicBrainzId;
    try {
        session = audioSession(toc);
        const MusicBrainzDisc disc = musicBrainzDisc(*session);
        musicBrainz = disc.id;
        submitUrl = disc.submissionUrl;
    } catch (const InvalidToc &e) {
        noMusicBrainzId = std::string("The disc has no MusicBrainz id: ") + e.what();
    }

    std::optional<DiscLibrary> library;
    if (!libraryPath.empty()) {
        try {
            library.emplace(libraryPath);
            if (const std::optional<DiscLibrary::Known> known = library->find(toc)) {
                // The entry chosen before comes first, and is the answer.
                CandidateList list = fromJson(known->candidates).withFirst(known->chosen);
                if (list.candidates.empty())
                    return formatAnswer(known->info);
                list.toc = toc.key();
                candidates = toJson(list);
                return list.candidates[list.preselected].answer;
            }
        } catch (const LibraryError &e) {
            warning = std::string("The disc library cannot be used: ") + e.what();
            library.reset();
        }
    }

    const HttpClient http({settings.connectTimeoutMs, settings.timeoutMs, settings.maxReplySize},
                          MusicBrainzClient::userAgent(settings.musicBrainzContact));
    Outcome outcome;
    std::optional<std::vector<DiscInfo>> fromMusicBrainz;
    if (!settings.musicBrainzServer.empty() && !musicBrainz.empty()) {
        const MusicBrainzClient client(http, settings);
        fromMusicBrainz = outcome.ask("MusicBrainz",
                                      [&] { return client.lookup(*session, musicBrainz); });
    }
    std::optional<std::vector<DiscInfo>> fromCddb;
    if (!settings.cddbServer.empty()) {
        const CddbClient client(http, settings);
        fromCddb = outcome.ask("CDDB", [&] { return client.lookup(toc, cddb); });
    }
    if (outcome.asked() == 0) {
        throw LookupFailure(settings.cddbServer.empty() && settings.musicBrainzServer.empty()
                                ? "No disc database is set up"
                                : noMusicBrainzId);
    }
    if (!fromMusicBrainz && !fromCddb)
        throw LookupFailure(outcome.message());

    const auto best = [](const std::optional<std::vector<DiscInfo>> &found) {
        return found && !found->empty() ? std::optional<DiscInfo>(found->front()) : std::nullopt;
    };
    const DiscInfo info = merge(toc, best(fromMusicBrainz), best(fromCddb));
    const CandidateList list = candidatesOf(toc,
                                            fromMusicBrainz.value_or(std::vector<DiscInfo>()),
                                            fromCddb.value_or(std::vector<DiscInfo>()),
                                            info,
                                            mergeTakesCddb(toc,
                                                           best(fromMusicBrainz),
                                                           best(fromCddb)));
    candidates = toJson(list);
    // A partial answer (one database failed) is not kept: the library answers
    // first, and would keep giving it after the database is back.
    if (library && !outcome.anyFailed()) {
        try {
            library->store(toc, cddb, musicBrainz, info, candidates);
        } catch (const LibraryError &e) {
            warning = std::string("The disc library cannot be used: ") + e.what();
        }
    }
    return formatAnswer(info);
}

std::string rememberChoice(const std::string &libraryPath,
                           const std::string &tocKey,
                           const std::string &candidateKey)
{
    if (libraryPath.empty())
        return "No disc library to keep the choice in";
    try {
        DiscLibrary library(libraryPath);
        if (!library.choose(tocKey, candidateKey))
            return "The disc is not in the disc library";
    } catch (const LibraryError &e) {
        return std::string("The disc library cannot be used: ") + e.what();
    }
    return {};
}

} // namespace DiscLookup
