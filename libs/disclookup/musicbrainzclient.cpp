#include "libs/disclookup/musicbrainzclient.h"

#include "libs/disclookup/clientname.h"
#include "libs/disclookup/httpclient.h"
#include "libs/disclookup/lookuperror.h"
#include "libs/disclookup/musicbrainzparser.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace DiscLookup {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto MinInterval = std::chrono::seconds(1);
constexpr int MaxAttempts = 3;

// MusicBrainz allows one request a second from a client: the time of the
// last one, for every thread of the process.
class RequestPacer
{
public:
    void waitTurn()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const Clock::time_point now = Clock::now();
        if (m_last && now < *m_last + MinInterval)
            std::this_thread::sleep_until(*m_last + MinInterval);
        m_last = Clock::now();
    }

private:
    std::mutex m_mutex;
    std::optional<Clock::time_point> m_last;
};

RequestPacer &pacer()
{
    static RequestPacer p;
    return p;
}

} // namespace

MusicBrainzClient::MusicBrainzClient(const HttpClient &http, const LookupSettings &settings)
    : m_http(http)
    , m_settings(settings)
{}

std::string MusicBrainzClient::userAgent(const std::string &contact)
{
    std::string agent = std::string(ClientName) + '/' + ClientVersion;
    return contact.empty() ? agent : agent + " ( " + contact + " )";
}

std::string MusicBrainzClient::url(const AudioSession &session, const std::string &discId) const
{
    std::string toc = std::to_string(session.first) + '+' + std::to_string(session.last) + '+'
                      + std::to_string(session.leadOutFrame);
    for (const uint32_t offset : session.offsets)
        toc += '+' + std::to_string(offset);
    return m_settings.musicBrainzServer + "/discid/" + HttpClient::escape(discId) + "?toc=" + toc
           + "&cdstubs=no&inc=artist-credits+labels+recordings+release-groups+isrcs&fmt=json";
}

std::vector<DiscInfo> MusicBrainzClient::lookup(const AudioSession &session,
                                                const std::string &discId) const
{
    const std::string request = url(session, discId);
    for (int attempt = 1;; ++attempt) {
        pacer().waitTurn();
        const HttpReply reply = m_http.get(request);
        if (reply.status == 200)
            return MusicBrainz::candidates(MusicBrainz::parseReleases(reply.body),
                                           discId,
                                           session.trackCount());
        if (reply.status == 404)
            throw LookupError(LookupError::NoEntry, "unknown disc");
        if (reply.status != 503)
            throw LookupError(LookupError::Failed, "HTTP status " + std::to_string(reply.status));
        const long wait = reply.retryAfterSeconds.value_or(1);
        if (attempt == MaxAttempts || wait > m_settings.timeoutMs / 1000)
            throw LookupError(LookupError::Failed,
                              "busy (503), asks to wait " + std::to_string(wait) + " s");
        std::this_thread::sleep_for(std::chrono::seconds(wait));
    }
}

} // namespace DiscLookup
