#include "capture/http/HttpTarget.h"

#include "capture/http/HttpLimits.h"
#include "platform/TextEncodings.h"

#include <cctype>

namespace vistrel::capture::http {

namespace {

std::optional<quint16> portNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + unsigned(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

} // namespace

bool hasScheme(std::string_view url)
{
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return false;
    std::size_t i = 1;
    while (i < url.size()) {
        const unsigned char c = static_cast<unsigned char>(url[i]);
        if (std::isalnum(c) || c == '+' || c == '-' || c == '.')
            ++i;
        else
            break;
    }
    if (i >= url.size() || url[i] != ':')
        return false;
    // "host:8080" and "host:8080/path" are a host with a port, not a scheme.
    std::size_t j = i + 1;
    while (j < url.size() && url[j] >= '0' && url[j] <= '9')
        ++j;
    const bool port = j > i + 1 && (j == url.size() || url[j] == '/');
    return !port;
}

std::optional<HttpTarget> HttpTarget::parse(std::string_view url, bool allowHttps)
{
    constexpr std::string_view kHttp = "http://";
    constexpr std::string_view kHttps = "https://";
    HttpTarget target;
    target.fullUrl = std::string(url);
    std::string_view rest = url;
    if (platform::startsWithNoCase(rest, kHttp)) {
        rest.remove_prefix(kHttp.size());
    } else if (allowHttps && platform::startsWithNoCase(rest, kHttps)) {
        rest.remove_prefix(kHttps.size());
        target.secure = true;
    } else if (hasScheme(rest)) {
        return std::nullopt;
    }

    const std::size_t slash = rest.find('/');
    std::string_view hostPart = rest.substr(0, slash);
    target.path = slash == std::string_view::npos ? std::string("/") : std::string(rest.substr(slash));

    std::string_view hostName = hostPart;
    std::string_view portText;
    bool hasPort = false;
    if (!hostPart.empty() && hostPart.front() == '[') {
        // A bracketed IPv6 literal, optionally followed by ":port".
        const std::size_t close = hostPart.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        hostName = hostPart.substr(1, close - 1);
        if (close + 1 < hostPart.size() && hostPart[close + 1] == ':') {
            portText = hostPart.substr(close + 2);
            hasPort = true;
        }
    } else if (const std::size_t colon = hostPart.find(':'); colon != std::string_view::npos) {
        hostName = hostPart.substr(0, colon);
        portText = hostPart.substr(colon + 1);
        hasPort = true;
    }
    if (hostName.empty() || hostName.size() > kMaxHostNameLength)
        return std::nullopt;
    for (char c : hostName) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            return std::nullopt;
    }
    target.host = std::string(hostName);
    target.port = target.secure ? kHttpsPort : kHttpPort;
    if (hasPort) {
        if (const auto port = portNumber(portText))
            target.port = *port;
    }

    if (target.path.find('.') != std::string::npos) {
        const std::size_t last = target.path.rfind('/');
        target.fileName = target.path.substr(last + 1);
        if (target.fileName.empty())
            target.fileName = "index.htm";
    }
    return target;
}

std::string requestPath(std::string_view path)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u >= 0x7F) {
            out += '%';
            out += digits[u >> 4];
            out += digits[u & 15];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace vistrel::capture::http
