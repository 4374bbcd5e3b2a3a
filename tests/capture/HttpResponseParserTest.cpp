#include "capture/http/HttpLimits.h"
#include "capture/http/HttpRequestWriter.h"
#include "capture/http/HttpResponseParser.h"
#include "capture/http/HttpTarget.h"

#include <gtest/gtest.h>

using namespace vistrel::capture::http;

namespace {

// Feeds the text in pieces of the given size, as a socket might deliver it.
HttpResponseParser parse(const QByteArray &text, bool body, int piece = 3, bool close = true)
{
    HttpResponseParser parser(body);
    for (qsizetype at = 0; at < text.size() && !parser.finished(); at += piece)
        parser.feed(QByteArrayView(text).sliced(at, std::min<qsizetype>(piece, text.size() - at)));
    if (close && !parser.finished())
        parser.endOfStream();
    return parser;
}

} // namespace

TEST(HttpResponseParser, StatusAndHeaderLines)
{
    const auto p = parse("HTTP/1.1 301 Moved\r\nLocation: /x\r\nContent-Location: /y\r\n\r\n", false);
    EXPECT_TRUE(p.done());
    EXPECT_EQ(p.status(), 301);
    ASSERT_EQ(p.headerLines().size(), 4u);
    EXPECT_EQ(p.headerLines()[0], "HTTP/1.1 301 Moved");
    EXPECT_EQ(p.headerLines()[3], "");
    std::string value;
    ASSERT_TRUE(HttpResponseParser::headerValue(p.headerLines(), "LOCATION", value));
    EXPECT_EQ(value, "/x");
}

TEST(HttpResponseParser, MissingOrBrokenStatusGivesMinusOne)
{
    EXPECT_EQ(parse("", false).status(), -1);
    EXPECT_EQ(parse("HTTP/1.1 abc\r\n\r\n", false).status(), -1);
    EXPECT_EQ(parse("HTTP/1.1\r\n\r\n", false).status(), -1);
    EXPECT_EQ(parse("HTTP/1.1 99999999999 Big\r\n\r\n", false).status(), -1);
    // An HTTP/0.9 answer is only a body: its first line is no status line.
    const auto old = parse("<html><body>hello</body></html>", true);
    EXPECT_TRUE(old.done());
    EXPECT_EQ(old.status(), -1);
}

TEST(HttpResponseParser, HeadStopsAtTheEmptyLine)
{
    const auto p = parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, 100, false);
    EXPECT_TRUE(p.done());
    EXPECT_TRUE(p.body().isEmpty());
}

TEST(HttpResponseParser, BodyByLengthChunkedOrClose)
{
    auto p = parse("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello and more", true, 4, false);
    EXPECT_TRUE(p.done());
    EXPECT_EQ(p.body(), "hello");

    p = parse("HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n5\r\nhello\r\n1; ext=1\r\n!\r\n0\r\n\r\n", true,
              2, false);
    EXPECT_TRUE(p.done());
    EXPECT_EQ(p.body(), "hello!");

    // No usable length (missing, zero or no number): read until the server closes.
    for (const char *length : {"", "Content-Length: 0\r\n", "Content-Length: many\r\n"}) {
        SCOPED_TRACE(std::string("length line '") + length + "'");
        p = parse(QByteArray("HTTP/1.1 200 OK\r\n") + length + "\r\nall of it", true, 5, false);
        EXPECT_FALSE(p.done());
        p.endOfStream();
        EXPECT_TRUE(p.done());
        EXPECT_EQ(p.body(), "all of it");
    }
}

TEST(HttpResponseParser, ShortBodiesAndBrokenChunksEndCleanly)
{
    // A Content-Length larger than what comes: the connection's end ends the body.
    auto p = parse("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nshort", true);
    EXPECT_TRUE(p.done());
    EXPECT_TRUE(p.bodyTruncated());
    EXPECT_EQ(p.body(), "short");

    for (const char *size : {"zz", "", "-5", "1FFFFFFFFFFFFFFFFFFF"}) {
        SCOPED_TRACE(std::string("chunk size '") + size + "'");
        p = parse(QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + size + "\r\ndata\r\n", true);
        EXPECT_TRUE(p.failed());
        EXPECT_EQ(p.errorText(), "Error receiving the stream");
        EXPECT_EQ(p.status(), 200);
    }
}

TEST(HttpResponseParser, LimitsBoundMemory)
{
    // An overlong header line is cut, the rest of it dropped.
    QByteArray longLine = "HTTP/1.1 200 OK\r\nX-Long: " + QByteArray(3 * kMaxHeaderLineBytes, 'a') + "\r\nX-After: 1\r\n\r\n";
    auto p = parse(longLine, false, 1000);
    EXPECT_TRUE(p.done());
    EXPECT_EQ(p.headerLines()[1].size(), kMaxHeaderLineBytes);
    EXPECT_EQ(p.headerLines()[2], "X-After: 1");

    // Endless header lines end in failure, not in endless memory.
    QByteArray endless = "HTTP/1.1 200 OK\r\n";
    for (std::size_t n = 0; n < kMaxHeaderLines + 10; ++n)
        endless += "X-Header: value\r\n";
    p = parse(endless, false, 4096, false);
    EXPECT_TRUE(p.failed());
    EXPECT_LE(p.headerLines().size(), kMaxHeaderLines);

    // Bodies stop at the limit, however long the server goes on.
    HttpResponseParser big(true);
    big.feed("HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n");
    const QByteArray block(64 * 1024, 'x');
    int fed = 0;
    while (!big.finished() && fed < 1000) {
        big.feed(block);
        ++fed;
    }
    EXPECT_TRUE(big.done());
    EXPECT_TRUE(big.bodyTruncated());
    EXPECT_EQ(std::size_t(big.body().size()), kMaxBodyBytes);

    // A body of exactly the limit is complete.
    HttpResponseParser exact(true);
    exact.feed("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(qulonglong(kMaxBodyBytes)) + "\r\n\r\n");
    exact.feed(QByteArray(qsizetype(kMaxBodyBytes), 'y'));
    EXPECT_TRUE(exact.done());
    EXPECT_FALSE(exact.bodyTruncated());
}

TEST(HttpTarget, SetsHostPortAndPath)
{
    auto t = HttpTarget::parse("HTTP://Example.com:8080/a/b.html?x=1");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->host, "Example.com");
    EXPECT_EQ(t->port, 8080);
    EXPECT_EQ(t->path, "/a/b.html?x=1");
    EXPECT_EQ(t->fileName, "b.html?x=1");

    t = HttpTarget::parse("http://example.com");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->path, "/");
    EXPECT_EQ(t->port, 80);
    EXPECT_EQ(HttpTarget::parse("http://example.com:web/")->port, 80);
    EXPECT_EQ(HttpTarget::parse("www.example.com/x")->host, "www.example.com");
    EXPECT_EQ(HttpTarget::parse("http://[::1]:81/")->host, "::1");
    EXPECT_EQ(HttpTarget::parse("http://host.example/dir.d/")->fileName, "index.htm");

    // Nothing is sent for these.
    for (const char *bad : {"file:///etc/passwd", "https://example.com/", "mailto:a@b", "javascript:alert(1)", "http:///x",
                            "http://bad host/", ""})
        EXPECT_FALSE(HttpTarget::parse(bad)) << bad;
    EXPECT_FALSE(HttpTarget::parse("http://" + std::string(300, 'a') + "/"));
    EXPECT_TRUE(HttpTarget::parse("localhost:8080/x"));
}

TEST(HttpRequestWriter, WritesTheRequestAsTheProgramSendsIt)
{
    const auto t = HttpTarget::parse("http://example.com/a b/c");
    EXPECT_EQ(writeRequest("HEAD", *t, {}),
              "HEAD /a%20b/c HTTP/1.1\r\nHost: example.com\r\nAccept: */*\r\nConnection: close\r\n\r\n");

    HttpRequestOptions options;
    options.proxyHost = "proxy";
    options.proxyPort = 3128;
    options.authorization = true;
    options.userName = "u";
    options.password = "p";
    options.userAgent = "Agent";
    const auto bare = HttpTarget::parse("http://example.com");
    EXPECT_EQ(writeRequest("GET", *bare, options),
              "GET http://example.com/ HTTP/1.1\r\nHost: example.com\r\nAccept: */*\r\n"
              "Authorization: Basic dTpw\r\nUser-Agent: Agent\r\nConnection: close\r\n\r\n");
}
