#pragma once

#include <QtGlobal>

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::capture::http {

// Where a request goes, worked out from the URL the way the probe client
// always has: an optional "http://" in any case, then host[:port], then the path.
// "https://" is understood only where the caller speaks TLS.
struct HttpTarget
{
    static constexpr quint16 kHttpPort = 80;
    static constexpr quint16 kHttpsPort = 443;

    std::string fullUrl;
    bool secure = false; // "https://"
    std::string host;
    quint16 port = kHttpPort;
    std::string path = "/";
    std::string fileName; // last path segment when the path has a ".", else empty

    // Empty when nothing may be sent: no host, a host too long or holding
    // blanks or control characters, or another scheme than http (file:,
    // https: unless allowed, mailto:, ...), which this client must not hand
    // to a socket.
    static std::optional<HttpTarget> parse(std::string_view url, bool allowHttps = false);
};

// True when the URL names a scheme ("file:", "javascript:", "https://", ...)
// rather than a host with a port ("example.com:8080/").
bool hasScheme(std::string_view url);

// The path as it may stand in a request line: blanks, control characters and
// bytes above 126 percent-encoded, everything else as written.
std::string requestPath(std::string_view path);

} // namespace vistrel::capture::http
