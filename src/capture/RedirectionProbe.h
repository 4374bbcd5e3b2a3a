#pragma once

#include "capture/http/HttpClient.h"

#include <QByteArray>
#include <QtGlobal>

#include <deque>
#include <string>
#include <vector>

namespace vistrel::capture {

class UrlCacheLookup;

// Asks a favourite's site how it answers: its probe code, where it redirects,
// whether it is a page or a download, its title. Every question goes through
// the one client given, which must not be in use elsewhere meanwhile. No
// question lets an error escape: failures become codes, false or empty text.
// One probe serves one capture and asks each URL at most once per method:
// the capture's questions repeat themselves, and a site that is slow or never
// answers would otherwise cost that time again at every question.
class RedirectionProbe
{
public:
    // Redirection hops followed per question, meta refreshes included.
    static constexpr int kMaxRedirectionHops = 6;
    // Answers kept for asking again; fewer when their bodies are large.
    static constexpr std::size_t kMaxRememberedAnswers = 8;
    static constexpr qsizetype kMaxRememberedBodyBytes = 4 * 1024 * 1024;

    // ownServerPort: the program's web server; loopback addresses on that
    // port count as the program's own server, like "http://localhost".
    explicit RedirectionProbe(http::HttpClient &client, const UrlCacheLookup *cache = nullptr,
                              quint16 ownServerPort = 0);

    // Off (the default): "https://" answers kCodeSecure unasked. On: secure
    // sites are asked over verified TLS like any other.
    void setSecureSites(bool on);
    bool secureSites() const { return m_secure; }

    int probe(const std::string &url, bool bodyWanted);
    // True when a redirection was followed; the URL may be rewritten.
    bool followRedirections(std::string &url);
    bool isTextOrImage(const std::string &url);
    // UTF-8, in the page's own letter case and line breaks; empty when none.
    std::string title(const std::string &url);
    quint32 visitCount(const std::string &url) const;

    // The last probe ended with a GET, so the page's body is at hand.
    bool bodyFetched() const { return m_bodyFetched; }
    // The last answer's header lines (status line first) and body.
    const std::vector<std::string> &responseHeaders() const { return m_last.headers; }
    const QByteArray &responseBody() const { return m_last.body; }
    // The pin of the certificate the last answer's site verified with; empty
    // for plain http and for failures.
    const std::string &spkiPin() const { return m_last.spkiPin; }

private:
    struct Answer
    {
        bool get = false;
        std::string url;
        http::HttpResult result;
        std::vector<std::string> headers;
        QByteArray body;
        std::string spkiPin;
    };

    // HEAD or GET of a URL (fragment stripped), from memory when asked before.
    const http::HttpResult &ask(bool get, const std::string &url);
    bool isOwnServer(const std::string &lowerUrl) const;
    int codeFor(const http::HttpResult &result) const;

    http::HttpClient &m_client;
    const UrlCacheLookup *m_cache;
    quint16 m_ownPort;
    bool m_secure = false;
    bool m_bodyFetched = false;
    Answer m_last;
    std::deque<Answer> m_remembered;
};

// The title of a page through a client of its own, for callers that may run
// while a capture's probe is waiting (the favourites editor, the history pass).
// secureSites: as RedirectionProbe::setSecureSites. Each request waits at most
// timeoutSeconds; with wholeSeconds above 0 all of them together end within that too.
std::string fetchPageTitle(const std::string &url, int timeoutSeconds, quint16 ownServerPort = 0,
                           bool secureSites = false, int wholeSeconds = 0);

} // namespace vistrel::capture
