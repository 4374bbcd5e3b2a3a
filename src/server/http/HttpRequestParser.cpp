#include "server/http/HttpRequestParser.h"

#include "server/http/HttpLimits.h"

#include <cstring>

namespace vistrel::server {

namespace {

enum class Field {
    ContentType, ContentLength, Accept, Referer, AcceptLanguage, AcceptEncoding,
    UserAgent, Authorization, Cookie, Host, Connection, Range, TransferEncoding
};

struct KnownHeader
{
    QByteArrayView name;
    Field field;
};

// Matched against the start of each line, in this order, first match wins.
constexpr KnownHeader kKnownHeaders[] = {
    {"content-type:", Field::ContentType},
    {"content-length:", Field::ContentLength},
    {"Accept:", Field::Accept},
    {"Referer:", Field::Referer},
    {"Accept-Language:", Field::AcceptLanguage},
    {"Accept-Encoding:", Field::AcceptEncoding},
    {"User-Agent:", Field::UserAgent},
    {"Authorization:", Field::Authorization},
    {"Cookie:", Field::Cookie},
    {"Host:", Field::Host},
    {"Connection:", Field::Connection},
    {"Range:", Field::Range},
    // Not a field of the request; noticed only so a chunked body is refused
    // instead of being read as the next request.
    {"Transfer-Encoding:", Field::TransferEncoding},
};

bool startsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

} // namespace

HttpRequestParser::HttpRequestParser(QByteArray defaultPort)
    : m_defaultPort(std::move(defaultPort))
{
}

void HttpRequestParser::reset()
{
    m_state = State::RequestLine;
    m_line.clear();
    m_emptyLines = 0;
    m_failureStatus = 0;
    m_failureReason = "";
}

namespace {
constexpr char kBodyTooLarge[] = "The posted data is larger than this server accepts (40,960,000 bytes, enough for "
                                 "the editor's form of 10,000 favourites). Nothing of it was kept or changed.";
static_assert(limits::kMaxPostedBody == 40960000, "the refusal names the limit");
} // namespace

void HttpRequestParser::fail(int status, const char *reason)
{
    if (m_state == State::RequestLine)
        m_request.clear(); // the answer must not borrow the previous request's version
    m_state = State::Failed;
    m_failureStatus = status;
    m_failureReason = reason;
    m_line.clear();
}

HttpRequestParser::Status HttpRequestParser::feed(QByteArrayView data, qsizetype *consumed)
{
    qsizetype pos = 0;
    while (pos < data.size() && (m_state == State::RequestLine || m_state == State::HeaderLines)) {
        const char *begin = data.data() + pos;
        const auto *newline = static_cast<const char *>(std::memchr(begin, '\n', size_t(data.size() - pos)));
        const qsizetype piece = newline ? newline - begin : data.size() - pos;
        const qsizetype limit = m_state == State::RequestLine ? limits::kMaxRequestLine : limits::kMaxHeaderLine;
        // One byte of slack for the "\r" that may precede the "\n".
        if (m_line.size() + piece > limit + 1) {
            pos += newline ? piece + 1 : piece;
            if (m_state == State::RequestLine)
                fail(414, "The request line is too long.");
            else
                fail(431, "A header line is too long.");
            break;
        }
        m_line.append(begin, piece);
        pos += piece;
        if (!newline)
            break;
        ++pos;
        if (m_line.endsWith('\r'))
            m_line.chop(1);
        if (m_line.size() > limit) {
            if (m_state == State::RequestLine)
                fail(414, "The request line is too long.");
            else
                fail(431, "A header line is too long.");
            break;
        }
        const QByteArray line = std::exchange(m_line, QByteArray());
        takeLine(line);
    }
    *consumed = pos;
    switch (m_state) {
    case State::Complete:
        return Status::HeaderComplete;
    case State::Failed:
        return Status::Failed;
    default:
        return Status::NeedMore;
    }
}

void HttpRequestParser::takeLine(QByteArrayView line)
{
    if (m_state == State::RequestLine) {
        // Some clients send an extra line end after a body; it is no request.
        if (line.isEmpty()) {
            if (++m_emptyLines > limits::kMaxLeadingEmptyLines)
                fail(400, "Too many empty lines before the request.");
            return;
        }
        m_request.clear();
        m_headerBytes = 0;
        parseRequestLine(line, m_request);
        m_state = State::HeaderLines;
        return;
    }
    if (line.isEmpty()) {
        m_state = State::Complete;
        return;
    }
    if (m_request.HeaderLines.size() >= limits::kMaxHeaderLines) {
        fail(431, "The request has too many header lines.");
        return;
    }
    m_headerBytes += line.size();
    if (m_headerBytes > limits::kMaxHeaderBytes) {
        fail(431, "The request header is too large.");
        return;
    }
    takeHeaderLine(line);
    if (m_state == State::HeaderLines)
        m_request.HeaderLines.append(line.toByteArray());
}

void HttpRequestParser::parseRequestLine(QByteArrayView line, HttpRequest &request)
{
    qsizetype pos = 0;
    auto word = [&]() {
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
        const qsizetype start = pos;
        while (pos < line.size() && line[pos] != ' ')
            ++pos;
        return line.sliced(start, pos - start);
    };
    // The method is what precedes the very first space, even an empty one.
    qsizetype firstSpace = line.indexOf(' ');
    if (firstSpace < 0)
        firstSpace = line.size();
    request.Method = line.first(firstSpace).toByteArray().toUpper();
    pos = firstSpace;
    const QByteArrayView target = word();
    request.Version = word().toByteArray().toUpper().trimmed();
    if (request.Version.isEmpty())
        request.Version = "HTTP/1.0";
    const qsizetype question = target.indexOf('?');
    if (question < 0) {
        request.Path = target.toByteArray();
        request.Params.clear();
    } else {
        request.Path = target.first(question).toByteArray();
        request.Params = target.sliced(question + 1).toByteArray();
    }
}

void HttpRequestParser::takeHeaderLine(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    qsizetype valueStart = colon + 1;
    while (valueStart < line.size() && line[valueStart] == ' ')
        ++valueStart;
    const QByteArrayView value = line.sliced(valueStart);

    const KnownHeader *known = nullptr;
    for (const KnownHeader &header : kKnownHeaders) {
        if (startsWithNoCase(line, header.name)) {
            known = &header;
            break;
        }
    }
    if (!known)
        return;

    HttpRequest &r = m_request;
    switch (known->field) {
    case Field::ContentType: r.ContentType = value.toByteArray(); break;
    case Field::ContentLength: {
        // A length we cannot trust would make the body bytes the next request.
        const QByteArrayView digits = value.trimmed();
        if (digits.isEmpty()) {
            fail(400, "The Content-Length is not a number.");
            return;
        }
        qint64 length = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                fail(400, "The Content-Length is not a number.");
                return;
            }
            if (length > limits::kMaxPostedBody) {
                fail(413, kBodyTooLarge);
                return;
            }
            length = length * 10 + (c - '0');
        }
        if (length > limits::kMaxPostedBody) {
            fail(413, kBodyTooLarge);
            return;
        }
        if (r.HasContentLength && r.ContentLength != length) {
            fail(400, "The request has two different Content-Length values.");
            return;
        }
        r.ContentLength = length;
        r.HasContentLength = true;
        break;
    }
    case Field::Accept: r.Accept = value.toByteArray(); break;
    case Field::Referer: r.Referer = value.toByteArray(); break;
    case Field::AcceptLanguage: r.AcceptLanguage = value.toByteArray(); break;
    case Field::AcceptEncoding: r.AcceptEncoding = value.toByteArray(); break;
    case Field::UserAgent: r.UserAgent = value.toByteArray(); break;
    case Field::Authorization: r.Authorization = value.toByteArray(); break;
    case Field::Cookie: r.Cookie = value.toByteArray(); break;
    case Field::Host: {
        r.Host = value.toByteArray();
        const qsizetype hostColon = r.Host.indexOf(':');
        if (hostColon < 0) {
            r.HostName = r.Host;
            r.HostPort = m_defaultPort;
        } else {
            r.HostName = r.Host.left(hostColon);
            r.HostPort = r.Host.mid(hostColon + 1);
        }
        break;
    }
    case Field::Connection: {
        r.Connection = value.toByteArray();
        const QByteArrayView token = value.trimmed();
        if (r.Version == "HTTP/1.0")
            r.KeepAlive = token.compare("keep-alive", Qt::CaseInsensitive) == 0;
        else if (r.Version == "HTTP/1.1")
            r.KeepAlive = token.compare("close", Qt::CaseInsensitive) != 0;
        else
            r.KeepAlive = false;
        break;
    }
    case Field::Range: r.Ranges = THttpRangeList::parse(value); break;
    case Field::TransferEncoding: r.HasTransferEncoding = true; break;
    }
}

} // namespace vistrel::server
