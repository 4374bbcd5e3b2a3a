#include "capture/RedirectionProbe.h"

#include "platform/TextEncodings.h"

#include "capture/PageText.h"
#include "capture/ProbeCodes.h"
#include "capture/UrlCacheLookup.h"
#include "capture/UrlResolution.h"
#include "capture/http/HttpResponseParser.h"
#include "capture/http/HttpTarget.h"

#include <QHostAddress>

#include <algorithm>
#include <cctype>

namespace vistrel::capture {

namespace {

using http::HttpResponseParser;

std::string lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// "text/html; charset=..." gives "text".
std::string majorType(std::string_view value)
{
    return lower(platform::trimBlanks(value.substr(0, value.find('/'))));
}

bool isRedirect(int code)
{
    return code == 301 || code == 302 || code == 307;
}

// Every Content-Type line of the response, by header name.
template <typename Visit>
bool forEachContentType(const std::vector<std::string> &lines, Visit visit)
{
    bool any = false;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const std::string &line = lines[n];
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || lower(platform::trimBlanks(std::string_view(line).substr(0, colon))) != "content-type")
            continue;
        any = true;
        visit(std::string_view(line).substr(colon + 1));
    }
    return any;
}

// The URL a <meta http-equiv=refresh> element names with "URL=", if any.
bool metaRefreshTarget(const QByteArray &body, std::string &target)
{
    const QByteArray lowerBody = body.toLower();
    qsizetype found = -1;
    qsizetype matchLength = 0;
    for (const char *form : {"<meta http-equiv=refresh", "<meta http-equiv=\"refresh\"", "<meta http-equiv='refresh'"}) {
        const qsizetype at = lowerBody.indexOf(QByteArrayView(form));
        if (at >= 0 && (found < 0 || at < found)) {
            found = at;
            matchLength = qsizetype(std::char_traits<char>::length(form));
        }
    }
    if (found < 0)
        return false;
    const QByteArray rest = body.mid(found + matchLength);
    const qsizetype close = rest.indexOf('>');
    if (close < 0)
        return false;
    const QByteArray element = rest.left(close);
    const qsizetype url = element.toUpper().indexOf(QByteArrayView("URL="));
    if (url < 0)
        return false;
    QByteArray value = element.mid(url + 4).trimmed();
    // url='...' and url="..." are common; the opening quote is not part of the URL.
    if (value.startsWith('\'') || value.startsWith('"'))
        value.remove(0, 1);
    if (const qsizetype quote = value.indexOf('"'); quote >= 0)
        value.truncate(quote);
    if (const qsizetype apostrophe = value.indexOf('\''); apostrophe >= 0)
        value.truncate(apostrophe);
    target = std::string(platform::trimBlanks(value.toStdString()));
    return !target.empty();
}

} // namespace

RedirectionProbe::RedirectionProbe(http::HttpClient &client, const UrlCacheLookup *cache, quint16 ownServerPort)
    : m_client(client), m_cache(cache), m_ownPort(ownServerPort)
{
}

void RedirectionProbe::setSecureSites(bool on)
{
    m_secure = on;
    m_client.setSecureAllowed(on);
}

bool RedirectionProbe::isOwnServer(const std::string &lowerUrl) const
{
    if (startsWith(lowerUrl, "http://localhost"))
        return true;
    // The program's server speaks no TLS, so an https address on its port is
    // its own too; never sent a handshake it cannot answer.
    const bool secure = m_secure && startsWith(lowerUrl, "https://");
    if (m_ownPort == 0 || !(startsWith(lowerUrl, "http://") || secure))
        return false;
    const auto target = http::HttpTarget::parse(lowerUrl, secure);
    if (!target || target->port != m_ownPort)
        return false;
    const QHostAddress address(QString::fromStdString(target->host));
    return !address.isNull() && (address.isLoopback() || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6);
}

int RedirectionProbe::codeFor(const http::HttpResult &result) const
{
    switch (result.error) {
    case http::HttpError::None:
        return result.status;
    case http::HttpError::TimedOut:
        return kCodeTimedOut;
    case http::HttpError::Canceled:
        return kCodeCanceled;
    case http::HttpError::Protocol:
    case http::HttpError::InvalidUrl:
        return kCodeClientError;
    case http::HttpError::Certificate:
        return kCodeCertificate;
    case http::HttpError::Handshake:
        return kCodeSecureFailed;
    case http::HttpError::Socket:
        break;
    }
    return kCodeFailed;
}

const http::HttpResult &RedirectionProbe::ask(bool get, const std::string &url)
{
    for (const Answer &answer : m_remembered) {
        if (answer.get == get && answer.url == url) {
            m_last = answer;
            return m_last.result;
        }
    }
    m_client.setUrl(url);
    Answer answer;
    answer.get = get;
    answer.url = url;
    answer.result = get ? m_client.get() : m_client.head();
    answer.headers = m_client.responseHeaders();
    answer.body = m_client.responseBody();
    answer.spkiPin = m_client.peerSpkiPin();
    // A cancelled request was not answered; it may be asked again.
    if (answer.result.error != http::HttpError::Canceled) {
        m_remembered.push_back(answer);
        qsizetype bodies = 0;
        for (const Answer &a : m_remembered)
            bodies += a.body.size();
        while (m_remembered.size() > kMaxRememberedAnswers
               || (m_remembered.size() > 1 && bodies > kMaxRememberedBodyBytes)) {
            bodies -= m_remembered.front().body.size();
            m_remembered.pop_front();
        }
    }
    m_last = std::move(answer);
    return m_last.result;
}

int RedirectionProbe::probe(const std::string &url, bool bodyWanted)
{
    m_bodyFetched = false;
    const std::string lowerUrl = lower(url);
    if (isOwnServer(lowerUrl))
        return kCodeOwnServer;
    if (!m_secure && startsWith(lowerUrl, "https://"))
        return kCodeSecure;
    if (startsWith(lowerUrl, "ftp://"))
        return kCodeFtp;

    const std::string target = stripFragment(url);
    if (const http::HttpResult &head = ask(false, target); head.ok()) {
        const int code = head.status;
        if (code != 501 && code != 403 && !bodyWanted)
            return code;
    } else if (head.secureSessionFailed) {
        // A GET would meet the same certificate or the same silence.
        return codeFor(head);
    }
    // The body is wanted, or the server mishandles HEAD: one GET decides.
    const http::HttpResult &get = ask(true, target);
    if (get.ok()) {
        m_bodyFetched = true;
        return get.status;
    }
    return codeFor(get);
}

bool RedirectionProbe::followRedirections(std::string &url)
{
    int hops = 0;
    bool answer = false;
    for (;;) {
        // Each round stands for one application of the procedure to a URL a
        // meta refresh named; all rounds share one hop budget, so a page that
        // refreshes to itself ends like a redirection loop.
        const bool answerBefore = answer;
        int code = probe(url, false);
        while (isRedirect(code) && hops < kMaxRedirectionHops) {
            ++hops;
            std::string location;
            if (HttpResponseParser::headerValue(responseHeaders(), "Location", location)) {
                answer = true;
                url = resolveTarget(url, location);
            }
            code = probe(url, false);
        }
        if (code < 0)
            return answer;
        std::string contentType;
        if (!HttpResponseParser::headerValue(responseHeaders(), "Content-Type", contentType)
            || majorType(contentType) != "text")
            return answer;
        if (!m_bodyFetched && !ask(true, stripFragment(url)).ok())
            return answerBefore;
        std::string target;
        if (!metaRefreshTarget(responseBody(), target) || hops >= kMaxRedirectionHops)
            return answer;
        ++hops;
        url = resolveTarget(url, target);
    }
}

bool RedirectionProbe::isTextOrImage(const std::string &url)
{
    if (probe(url, false) < 0)
        return false;
    bool textOrImage = false;
    auto look = [&](std::string_view value) {
        const std::string major = majorType(value);
        if (major == "text" || major == "image")
            textOrImage = true;
    };
    if (!forEachContentType(responseHeaders(), look)) {
        probe(url, true);
        forEachContentType(responseHeaders(), look);
    }
    return textOrImage;
}

std::string RedirectionProbe::title(const std::string &url)
{
    if (probe(url, true) < 0)
        return {};
    const QByteArray &body = responseBody();
    const QByteArray bytes = titleBytes(body);
    if (bytes.isEmpty())
        return {};
    return toUtf8(bytes, declaredCharset(responseHeaders(), body));
}

quint32 RedirectionProbe::visitCount(const std::string &url) const
{
    if (!m_cache)
        return 0;
    const auto entry = m_cache->lookup(stripFragment(url));
    return entry ? entry->hitCount : 0;
}

std::string fetchPageTitle(const std::string &url, int timeoutSeconds, quint16 ownServerPort, bool secureSites,
                           int wholeSeconds)
{
    http::HttpClient client;
    client.setTimeoutSeconds(timeoutSeconds);
    if (wholeSeconds > 0)
        client.setSharedDeadline(QDeadlineTimer(std::chrono::seconds(wholeSeconds)));
    RedirectionProbe probe(client, nullptr, ownServerPort);
    probe.setSecureSites(secureSites);
    return probe.title(url);
}

} // namespace vistrel::capture
