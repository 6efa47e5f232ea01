#include "libs/disclookup/httpclient.h"

#include "libs/disclookup/lookuperror.h"

#include <curl/curl.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace DiscLookup {

namespace {

struct CurlDeleter
{
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};

// The transfer's state, reached from libcurl's callbacks through their
// user pointer.
struct Transfer
{
    size_t limit = 0;
    size_t headerBytes = 0;
    bool tooLarge = false;
    HttpReply reply;
};

size_t onBody(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    if (t->reply.body.size() + n > t->limit) {
        t->tooLarge = true;
        return 0; // ends the transfer with CURLE_WRITE_ERROR
    }
    t->reply.body.append(data, n);
    return n;
}

bool startsWithNoCase(const std::string &text, const char *prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size()
            || std::tolower(static_cast<unsigned char>(text[i]))
                   != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const size_t n = size * count;
    t->headerBytes += n;
    if (t->headerBytes > t->limit) {
        t->tooLarge = true;
        return 0;
    }
    const std::string line(data, n);
    // Each response of a redirect chain brings its own headers.
    if (startsWithNoCase(line, "HTTP/")) {
        t->reply.retryAfterSeconds.reset();
    } else if (startsWithNoCase(line, "Retry-After:")) {
        const char *value = line.c_str() + 12;
        char *end = nullptr;
        const long seconds = std::strtol(value, &end, 10);
        if (end != value && seconds >= 0)
            t->reply.retryAfterSeconds = seconds;
    }
    return n;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw LookupError(LookupError::Failed, "the network library cannot start");
    });
}

template<typename Value>
void setOption(CURL *curl, CURLoption option, Value value)
{
    const CURLcode rc = curl_easy_setopt(curl, option, value);
    if (rc != CURLE_OK)
        throw LookupError(LookupError::Failed, curl_easy_strerror(rc));
}

} // namespace

HttpClient::HttpClient(const HttpLimits &limits, std::string userAgent)
    : m_limits(limits)
    , m_userAgent(std::move(userAgent))
{}

HttpReply HttpClient::get(const std::string &url) const
{
    initCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        throw LookupError(LookupError::Failed, "the network library cannot start");
    Transfer t;
    t.limit = m_limits.maxReplyBytes;
    char error[CURL_ERROR_SIZE] = {};
    CURL *c = curl.get();
    setOption(c, CURLOPT_ERRORBUFFER, error);
    setOption(c, CURLOPT_URL, url.c_str());
    setOption(c, CURLOPT_PROTOCOLS_STR, "http,https");
    setOption(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    setOption(c, CURLOPT_FOLLOWLOCATION, 1L);
    setOption(c, CURLOPT_MAXREDIRS, 3L);
    setOption(c, CURLOPT_NOSIGNAL, 1L); // timeouts without SIGALRM: we run on any thread
    setOption(c, CURLOPT_CONNECTTIMEOUT_MS, m_limits.connectTimeoutMs);
    setOption(c, CURLOPT_TIMEOUT_MS, m_limits.timeoutMs);
    setOption(c, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_limits.maxReplyBytes));
    setOption(c, CURLOPT_ACCEPT_ENCODING, ""); // the size limit counts decoded bytes
    setOption(c, CURLOPT_USERAGENT, m_userAgent.c_str());
    setOption(c, CURLOPT_WRITEFUNCTION, onBody);
    setOption(c, CURLOPT_WRITEDATA, &t);
    setOption(c, CURLOPT_HEADERFUNCTION, onHeader);
    setOption(c, CURLOPT_HEADERDATA, &t);

    const CURLcode rc = curl_easy_perform(c);
    if (t.tooLarge || rc == CURLE_FILESIZE_EXCEEDED)
        throw LookupError(LookupError::Failed,
                          "reply larger than " + std::to_string(m_limits.maxReplyBytes) + " bytes");
    if (rc == CURLE_OPERATION_TIMEDOUT)
        throw LookupError(LookupError::Failed,
                          "no complete reply within " + std::to_string(m_limits.timeoutMs) + " ms");
    if (rc != CURLE_OK)
        throw LookupError(LookupError::Failed, error[0] ? error : curl_easy_strerror(rc));
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &t.reply.status) != CURLE_OK)
        throw LookupError(LookupError::Failed, "no status in the reply");
    return std::move(t.reply);
}

std::string HttpClient::escape(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        // Not std::isalnum: the locale must not decide what a URL holds.
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                           || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_'
                           || c == '~';
        if (plain) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace DiscLookup
