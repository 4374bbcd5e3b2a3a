#include "server/http/HttpRequestParser.h"

#include "server/http/HttpLimits.h"

#include <cstring>

namespace vistrel::server {

void HttpRequest::clear()
{
    Method.clear();
    Path.clear();
    Params.clear();
    Version.clear();
    Headers.clear();
    ContentLength = 0;
    HasTransferEncoding = false;
    KeepAlive = false;
    Ranges.clear();
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
        takeHeader();
        if (m_state == State::HeaderLines)
            m_state = State::Complete;
        return;
    }
    if (m_request.Headers.size() >= limits::kMaxHeaderLines) {
        fail(431, "The request has too many header lines.");
        return;
    }
    m_headerBytes += line.size();
    if (m_headerBytes > limits::kMaxHeaderBytes) {
        fail(431, "The request header is too large.");
        return;
    }
    m_request.Headers.append(line.toByteArray());
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

std::optional<qint64> HttpRequestParser::contentLength(QByteArrayView value)
{
    // A length we cannot trust would make the body bytes the next request.
    const QByteArrayView digits = value.trimmed();
    if (digits.isEmpty()) {
        fail(400, "The Content-Length is not a number.");
        return std::nullopt;
    }
    qint64 length = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            fail(400, "The Content-Length is not a number.");
            return std::nullopt;
        }
        if (length > limits::kMaxPostedBody) {
            fail(413, kBodyTooLarge);
            return std::nullopt;
        }
        length = length * 10 + (c - '0');
    }
    if (length > limits::kMaxPostedBody) {
        fail(413, kBodyTooLarge);
        return std::nullopt;
    }
    return length;
}

void HttpRequestParser::takeHeader()
{
    HttpRequest &r = m_request;
    const HttpHeaders &h = r.Headers;
    bool haveLength = false;
    for (const QByteArrayView value : h.values("content-length")) {
        const std::optional<qint64> length = contentLength(value);
        if (!length)
            return;
        if (haveLength && r.ContentLength != *length) {
            fail(400, "The request has two different Content-Length values.");
            return;
        }
        r.ContentLength = *length;
        haveLength = true;
    }
    // Not read, only noticed, so a chunked body is refused instead of being
    // taken as the next request.
    r.HasTransferEncoding = h.contains("transfer-encoding");

    if (const QByteArrayView connection = h.value("connection"); !connection.isNull()) {
        const QByteArrayView token = connection.trimmed();
        if (r.Version == "HTTP/1.0")
            r.KeepAlive = token.compare("keep-alive", Qt::CaseInsensitive) == 0;
        else if (r.Version == "HTTP/1.1")
            r.KeepAlive = token.compare("close", Qt::CaseInsensitive) != 0;
    }
    if (const QByteArrayView range = h.value("range"); !range.isNull())
        r.Ranges = THttpRangeList::parse(range);
}

} // namespace vistrel::server
