#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace DiscLookup {

struct HttpReply
{
    long status = 0;
    std::string body;
    std::optional<long> retryAfterSeconds; // a Retry-After header in seconds
};

struct HttpLimits
{
    long connectTimeoutMs = 5000;
    long timeoutMs = 15000; // the whole request, connecting included
    size_t maxReplyBytes = 4 * 1024 * 1024;
};

// Plain GET requests over HTTP or HTTPS through libcurl, each bounded in time
// and size. Redirects are followed (a few, HTTP and HTTPS only); the proxy
// settings of the environment apply. Any thread; one object per thread.
class HttpClient
{
public:
    HttpClient(const HttpLimits &limits, std::string userAgent);

    // Any status counts as a reply. Throws LookupError(Failed) when no whole
    // reply arrived: no connection, the time limit passed, more than the
    // reply limit, a broken transfer.
    HttpReply get(const std::string &url) const;

    // The text with every byte but letters, digits and "-._~" percent-encoded.
    static std::string escape(const std::string &text);

private:
    HttpLimits m_limits;
    std::string m_userAgent;
};

} // namespace DiscLookup
