#include "libs/disclookup/lookup.h"

#include "libs/disclookup/answer.h"
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
    std::optional<DiscInfo> ask(const char *database, const std::function<DiscInfo()> &lookup)
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

} // namespace

std::string lookUp(const std::string &libraryPath, int32_t drive, std::string &warning)
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
        musicBrainz = musicBrainzId(*session);
    } catch (const InvalidToc &e) {
        noMusicBrainzId = std::string("The disc has no MusicBrainz id: ") + e.what();
    }

    std::optional<DiscLibrary> library;
    if (!libraryPath.empty()) {
        try {
            library.emplace(libraryPath);
            if (const std::optional<DiscInfo> known = library->find(toc))
                return formatAnswer(*known);
        } catch (const LibraryError &e) {
            warning = std::string("The disc library cannot be used: ") + e.what();
            library.reset();
        }
    }

    const HttpClient http({settings.connectTimeoutMs, settings.timeoutMs, settings.maxReplySize},
                          MusicBrainzClient::userAgent(settings.musicBrainzContact));
    Outcome outcome;
    std::optional<DiscInfo> fromMusicBrainz;
    if (!settings.musicBrainzServer.empty() && !musicBrainz.empty()) {
        const MusicBrainzClient client(http, settings);
        fromMusicBrainz = outcome.ask("MusicBrainz",
                                      [&] { return client.lookup(*session, musicBrainz); });
    }
    std::optional<DiscInfo> fromCddb;
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

    const DiscInfo info = merge(toc, fromMusicBrainz, fromCddb);
    // A partial answer (one database failed) is not kept: the library answers
    // first, and would keep giving it after the database is back.
    if (library && !outcome.anyFailed()) {
        try {
            library->store(toc, cddb, musicBrainz, info);
        } catch (const LibraryError &e) {
            warning = std::string("The disc library cannot be used: ") + e.what();
        }
    }
    return formatAnswer(info);
}

} // namespace DiscLookup
