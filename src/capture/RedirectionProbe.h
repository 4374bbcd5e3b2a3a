#pragma once

#include "capture/http/HttpClient.h"

#include <QtGlobal>

#include <string>

namespace vistrel::capture {

class UrlCacheLookup;

// Asks a favourite's site how it answers: its probe code, where it redirects,
// whether it is a page or a download, its title. Every question goes through
// the one client given, which must not be in use elsewhere meanwhile. No
// question lets an error escape: failures become codes, false or empty text.
class RedirectionProbe
{
public:
    // Redirection hops followed per question, meta refreshes included.
    static constexpr int kMaxRedirectionHops = 6;

    // ownServerPort: the program's web server; loopback addresses on that
    // port count as the program's own server, like "http://localhost".
    explicit RedirectionProbe(http::HttpClient &client, const UrlCacheLookup *cache = nullptr,
                              quint16 ownServerPort = 0);

    int probe(const std::string &url, bool bodyWanted);
    // True when a redirection was followed; the URL may be rewritten.
    bool followRedirections(std::string &url);
    bool isTextOrImage(const std::string &url);
    // UTF-8, in the page's own letter case and line breaks; empty when none.
    std::string title(const std::string &url);
    quint32 visitCount(const std::string &url) const;

    // The last probe ended with a GET, so its body is in the client.
    bool bodyFetched() const { return m_bodyFetched; }
    http::HttpClient &client() { return m_client; }

private:
    bool isOwnServer(const std::string &lowerUrl) const;
    bool followOnce(std::string &url, int &hops);
    int codeFor(const http::HttpResult &result) const;

    http::HttpClient &m_client;
    const UrlCacheLookup *m_cache;
    quint16 m_ownPort;
    bool m_bodyFetched = false;
};

// The title of a page through a client of its own, for callers that may run
// while a capture's probe is waiting (the favourites editor, the history pass).
std::string fetchPageTitle(const std::string &url, int timeoutSeconds, quint16 ownServerPort = 0);

} // namespace vistrel::capture
