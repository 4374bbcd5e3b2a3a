#include "server/http/HttpLimits.h"
#include "server/http/HttpRequestParser.h"

#include <gtest/gtest.h>

using namespace vistrel::server;
using Status = HttpRequestParser::Status;

namespace {

struct Parsed
{
    Status status;
    qsizetype consumed;
    HttpRequest request;
    int failure;
};

Parsed parse(const QByteArray &text)
{
    HttpRequestParser parser;
    qsizetype consumed = 0;
    const Status status = parser.feed(text, &consumed);
    return {status, consumed, parser.request(), parser.failureStatus()};
}

} // namespace

TEST(HttpRequestParser, RequestLineFields)
{
    const Parsed p = parse("get /a/b.htm?x=1?y HTTP/1.1\r\n\r\n");
    ASSERT_EQ(p.status, Status::HeaderComplete);
    EXPECT_EQ(p.request.Method, "GET");
    EXPECT_EQ(p.request.Path, "/a/b.htm");
    EXPECT_EQ(p.request.Params, "x=1?y");
    EXPECT_EQ(p.request.Version, "HTTP/1.1");

    // Extra spaces between the words, a lower-case version, no version at all.
    EXPECT_EQ(parse("POST   /x    http/1.0 \r\n\r\n").request.Version, "HTTP/1.0");
    EXPECT_EQ(parse("POST   /x    http/1.0 \r\n\r\n").request.Path, "/x");
    const Parsed bare = parse("GET /only\n\n");
    EXPECT_EQ(bare.request.Version, "HTTP/1.0");
    EXPECT_EQ(bare.request.Params, "");
    // The method is what precedes the first space, even nothing.
    EXPECT_EQ(parse(" /x HTTP/1.1\r\n\r\n").request.Method, "");
    EXPECT_EQ(parse("PUT\r\n\r\n").request.Path, "");
}

TEST(HttpRequestParser, HeaderLinesAndTheirLookUp)
{
    const Parsed p = parse("POST /f HTTP/1.1\r\n"
                           "Content-Type:   text/plain\r\n"
                           "CONTENT-LENGTH: 12\r\n"
                           "Accept: */*\r\n"
                           "Accept-Language: en\r\n"
                           "Host:example:8080\r\n"
                           "no colon here\r\n"
                           "Content-Type : not matched\r\n"
                           "X-Twice: first\r\n"
                           "x-twice: second \r\n"
                           "\r\n");
    ASSERT_EQ(p.status, Status::HeaderComplete);
    const HttpHeaders &h = p.request.Headers;
    EXPECT_EQ(p.request.ContentLength, 12);
    // Names compare without case, values start after the colon's spaces; a
    // name is exactly what precedes the colon.
    EXPECT_EQ(h.value("content-type"), "text/plain");
    EXPECT_EQ(h.value("accept"), "*/*");
    EXPECT_EQ(h.value("Accept-Language"), "en");
    EXPECT_EQ(h.value("HOST"), "example:8080");
    EXPECT_TRUE(h.value("Referer").isNull());
    EXPECT_FALSE(h.contains("no colon here"));
    // A later line overrides an earlier one; all of them stay in order.
    EXPECT_EQ(h.value("X-Twice"), "second ");
    EXPECT_EQ(h.values("x-twice"), QList<QByteArrayView>({"first", "second "}));
    ASSERT_EQ(h.lines().size(), 9);
    EXPECT_EQ(h.lines()[0], "Content-Type:   text/plain");
    EXPECT_EQ(h.lines()[5], "no colon here");

    // An empty value is there, not missing.
    const Parsed empty = parse("GET / HTTP/1.1\r\nX-Empty:\r\n\r\n");
    EXPECT_TRUE(empty.request.Headers.contains("x-empty"));
    EXPECT_FALSE(empty.request.Headers.value("x-empty").isNull());
}

TEST(HttpRequestParser, KeepAliveMatrix)
{
    struct Case
    {
        const char *version;
        const char *connection; // nullptr: no Connection line
        bool keepAlive;
    };
    const Case cases[] = {
        {"HTTP/1.0", nullptr, false},     {"HTTP/1.0", "keep-alive", true}, {"HTTP/1.0", "Keep-Alive", true},
        {"HTTP/1.0", "close", false},     {"HTTP/1.1", nullptr, false},     {"HTTP/1.1", "keep-alive", true},
        {"HTTP/1.1", "CLOSE", false},     {"HTTP/1.1", "upgrade", true},    {"HTTP/2.0", "keep-alive", false},
        {"", "keep-alive", true}, // no version means HTTP/1.0
    };
    for (const Case &c : cases) {
        QByteArray text = QByteArray("GET / ") + c.version + "\r\n";
        if (c.connection)
            text += QByteArray("Connection: ") + c.connection + "\r\n";
        text += "\r\n";
        EXPECT_EQ(parse(text).request.KeepAlive, c.keepAlive) << text.constData();
    }
}

TEST(HttpRequestParser, RangeHeader)
{
    const Parsed p = parse("GET /f HTTP/1.1\r\nRange: bytes=0-9, 20- ,-5,x-3,7\r\n\r\n");
    const QList<THttpRange> expected = {{0, 9}, {20, -1}, {-1, 5}};
    EXPECT_EQ(p.request.Ranges.items(), expected);
    EXPECT_TRUE(parse("GET /f HTTP/1.1\r\nRange: items=0-9\r\n\r\n").request.Ranges.isEmpty());

    const THttpRangeList list = THttpRangeList::parse("bytes=0-9,-10,90-");
    const auto spans = list.resolve(100);
    ASSERT_TRUE(spans);
    const QList<THttpByteSpan> want = {{0, 9}, {90, 99}, {90, 99}};
    EXPECT_EQ(*spans, want);
    EXPECT_FALSE(THttpRangeList::parse("bytes=200-").resolve(100));
    EXPECT_FALSE(THttpRangeList::parse("bytes=0-100").resolve(100));
    EXPECT_FALSE(THttpRangeList::parse("bytes=-101").resolve(100));
    EXPECT_FALSE(THttpRangeList::parse("bytes=5-4").resolve(100));
    EXPECT_FALSE(THttpRangeList::parse("bytes=0-0").resolve(0));
    // A position too large to be a number is skipped like any other non-number.
    EXPECT_TRUE(THttpRangeList::parse("bytes=0-99999999999999999999999").isEmpty());

    QByteArray many = "bytes=";
    for (int i = 0; i <= limits::kMaxRanges; ++i)
        many += "0-0,";
    const THttpRangeList tooMany = THttpRangeList::parse(many);
    EXPECT_FALSE(tooMany.isEmpty());
    EXPECT_FALSE(tooMany.resolve(100));
}

TEST(HttpRequestParser, StopsAtTheEndOfTheHeaderAndAcceptsAnyFeedSplit)
{
    const QByteArray head = "POST /cgi HTTP/1.1\r\nContent-Length: 5\r\nConnection: keep-alive\r\n\r\n";
    const QByteArray text = head + "abcdeGET /next HTTP/1.1\r\n\r\n";
    const Parsed whole = parse(text);
    ASSERT_EQ(whole.status, Status::HeaderComplete);
    EXPECT_EQ(whole.consumed, head.size());

    // Byte by byte gives the same request and stops at the same place.
    HttpRequestParser parser;
    qsizetype offset = 0;
    Status status = Status::NeedMore;
    while (status == Status::NeedMore && offset < text.size()) {
        qsizetype consumed = 0;
        status = parser.feed(QByteArrayView(text).sliced(offset, 1), &consumed);
        offset += consumed;
    }
    EXPECT_EQ(status, Status::HeaderComplete);
    EXPECT_EQ(offset, head.size());
    EXPECT_EQ(parser.request().ContentLength, 5);
    EXPECT_TRUE(parser.request().KeepAlive);

    // The next request, after a stray line end, once the caller resets.
    parser.reset();
    qsizetype consumed = 0;
    EXPECT_EQ(parser.feed("\r\nGET /next HTTP/1.1\r\n\r\n", &consumed), Status::HeaderComplete);
    EXPECT_EQ(parser.request().Path, "/next");
    EXPECT_EQ(parser.request().ContentLength, 0);
}

TEST(HttpRequestParser, RefusesOversizedAndUntrustworthyRequests)
{
    const QByteArray longTarget(limits::kMaxRequestLine, 'a');
    EXPECT_EQ(parse("GET /" + longTarget + " HTTP/1.1\r\n\r\n").failure, 414);
    // Refused before the line ends, so memory stays bounded.
    EXPECT_EQ(parse("GET /" + longTarget + longTarget).status, Status::Failed);
    EXPECT_EQ(parse("GET / HTTP/1.1\r\nX: " + QByteArray(limits::kMaxHeaderLine, 'b') + "\r\n\r\n").failure, 431);
    // A line of exactly the limit is fine.
    EXPECT_EQ(parse("GET / HTTP/1.1\r\n" + QByteArray(limits::kMaxHeaderLine, 'c') + "\r\n\r\n").status,
              Status::HeaderComplete);

    QByteArray lines = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < limits::kMaxHeaderLines; ++i)
        lines += "X-N: " + QByteArray::number(i) + "\r\n";
    EXPECT_EQ(parse(lines + "\r\n").status, Status::HeaderComplete);
    EXPECT_EQ(parse(lines + "X-Last: 1\r\n\r\n").failure, 431);
    // Lines each within the limit, but too many bytes together.
    const QByteArray wide = "X-Wide: " + QByteArray(8000, 'w') + "\r\n";
    EXPECT_EQ(parse("GET / HTTP/1.1\r\n" + wide.repeated(int(limits::kMaxHeaderBytes / 8000) + 1) + "\r\n").failure,
              431);

    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n").failure, 400);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: 12abc\r\n\r\n").failure, 400);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length:\r\n\r\n").failure, 400);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n").failure, 400);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(limits::kMaxPostedBody + 1)
                    + "\r\n\r\n")
                  .failure,
              413);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999999\r\n\r\n").failure, 413);
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(limits::kMaxPostedBody)
                    + "\r\n\r\n")
                  .status,
              Status::HeaderComplete);
    EXPECT_TRUE(parse("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").request.HasTransferEncoding);
    // Repeating the same length is fine.
    EXPECT_EQ(parse("POST / HTTP/1.1\r\nContent-Length: 5\r\ncontent-length: 5\r\n\r\n").request.ContentLength, 5);
}
