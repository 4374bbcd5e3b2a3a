#include "support/TestHttpServer.h"

#include "capture/ProbeCodes.h"
#include "capture/RedirectionProbe.h"
#include "capture/UrlCacheLookup.h"
#include "capture/UrlResolution.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vistrel::capture;
using vistrel::test::TestHttpServer;

namespace {

class Probe : public ::testing::Test
{
protected:
    Probe() { client.setTimeout(std::chrono::milliseconds(1500), std::chrono::milliseconds(1500)); }

    std::string url(const char *path) const { return server.url(QString::fromLatin1(path)).toStdString(); }
    QList<QByteArray> methods() const
    {
        QList<QByteArray> out;
        for (const auto &r : server.requests())
            out << r.method + ' ' + r.path;
        return out;
    }

    TestHttpServer server;
    http::HttpClient client;
    RedirectionProbe probe{client};
};

class FixedCache : public UrlCacheLookup
{
public:
    std::optional<UrlCacheEntry> lookup(const std::string &url) const override
    {
        if (url == "http://known.example/page")
            return UrlCacheEntry{7, {}, "Known"};
        return std::nullopt;
    }
};

} // namespace

TEST_F(Probe, SchemesThatAreNotProbed)
{
    EXPECT_EQ(probe.probe("HTTP://LocalHost:80/x", false), kCodeOwnServer);
    EXPECT_EQ(probe.probe("https://example.com/", false), kCodeSecure);
    EXPECT_EQ(probe.probe("FTP://example.com/", false), kCodeFtp);
    EXPECT_TRUE(server.requests().isEmpty());

    // The program's own server on a loopback address counts as its own too.
    RedirectionProbe own(client, nullptr, server.port());
    EXPECT_EQ(own.probe(url("/"), false), kCodeOwnServer);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Probe, StatusOfHeadAndTheGetRules)
{
    server.on("/ok", TestHttpServer::page("<title>x</title>"));
    EXPECT_EQ(probe.probe(url("/ok"), false), 200);
    EXPECT_FALSE(probe.bodyFetched());
    EXPECT_EQ(methods(), QList<QByteArray>{"HEAD /ok"});

    server.clearRequests();
    RedirectionProbe fresh(client);
    EXPECT_EQ(fresh.probe(url("/ok#part"), true), 200);
    EXPECT_TRUE(fresh.bodyFetched());
    EXPECT_EQ(fresh.responseBody(), "<title>x</title>");
    EXPECT_EQ(methods(), (QList<QByteArray>{"HEAD /ok", "GET /ok"}));

    // Asked again, the probe answers from memory.
    server.clearRequests();
    EXPECT_EQ(fresh.probe(url("/ok"), true), 200);
    EXPECT_EQ(fresh.probe(url("/ok"), false), 200);
    EXPECT_TRUE(server.requests().isEmpty());

    // 405 stands; 403 and 501 are asked again with GET, whose status counts.
    server.on("HEAD", "/m", TestHttpServer::status(405));
    server.on("GET", "/m", TestHttpServer::page("fine"));
    server.clearRequests();
    EXPECT_EQ(probe.probe(url("/m"), false), 405);
    EXPECT_EQ(server.requests().size(), 1);
    for (int code : {403, 501}) {
        const QByteArray path = "/h" + QByteArray::number(code);
        server.on("HEAD", path, TestHttpServer::status(code));
        server.on("GET", path, TestHttpServer::page("fine"));
        server.clearRequests();
        EXPECT_EQ(probe.probe(url(path.constData()), false), 200) << code;
        EXPECT_TRUE(probe.bodyFetched());
        EXPECT_EQ(methods(), (QList<QByteArray>{"HEAD " + path, "GET " + path}));
    }
    EXPECT_EQ(probe.probe(url("/missing"), false), 404);
}

TEST_F(Probe, FailuresBecomeCodes)
{
    // Nobody listens.
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 deadPort = closed.serverPort();
    closed.close();
    EXPECT_EQ(probe.probe("http://127.0.0.1:" + std::to_string(deadPort) + "/", false), kCodeFailed);

    // Not http at all (a redirection may lead there): nothing is sent.
    EXPECT_EQ(probe.probe("file:///etc/passwd", false), kCodeClientError);
    EXPECT_EQ(probe.probe("javascript:alert(1)", false), kCodeClientError);

    // A response without a status line, and one in the style of HTTP/0.9.
    server.on("/nostatus", TestHttpServer::Reply{"", 0, false, true, {}, 0});
    EXPECT_EQ(probe.probe(url("/nostatus"), false), kCodeNoStatus);
    server.on("/old", TestHttpServer::Reply{"<html>plain old page</html>", 0, false, true, {}, 0});
    EXPECT_EQ(probe.probe(url("/old"), false), kCodeNoStatus);

    // Broken chunk sizes and endless header lines are the client's errors.
    server.on("/chunks", TestHttpServer::Reply{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nxyz\r\n", 0, false,
                                               true, {}, 0});
    EXPECT_EQ(probe.probe(url("/chunks"), true), kCodeClientError);
    server.on("/headers", TestHttpServer::Reply{"HTTP/1.1 200 OK\r\n", 0, false, true, "X-More: yes\r\n", 0});
    EXPECT_EQ(probe.probe(url("/headers"), false), kCodeClientError);
}

TEST_F(Probe, SilentAndDrippingSitesTimeOut)
{
    client.setTimeout(std::chrono::milliseconds(300), std::chrono::milliseconds(300));
    TestHttpServer::Reply silent;
    silent.silent = true;
    server.on("/silent", silent);
    EXPECT_EQ(probe.probe(url("/silent"), false), kCodeTimedOut);
    // HEAD timed out, then one GET decided.
    EXPECT_EQ(server.requests().size(), 2);

    // One byte every 50 ms never lets the idle countdown run out; the
    // request's deadline does.
    client.setTimeout(std::chrono::milliseconds(300), std::chrono::milliseconds(600));
    TestHttpServer::Reply drip;
    drip.bytes = "HTTP/1.1 200 OK\r\nX-Padding: " + QByteArray(500, 'p') + "\r\n\r\n";
    drip.dripMilliseconds = 50;
    server.on("/drip", drip);
    EXPECT_EQ(probe.probe(url("/drip"), false), kCodeTimedOut);
}

TEST_F(Probe, Cancel)
{
    TestHttpServer::Reply silent;
    silent.silent = true;
    server.on("/silent", silent);
    QTimer::singleShot(50, [&] { client.cancel(); });
    client.setUrl(url("/silent"));
    const auto result = client.head();
    EXPECT_EQ(result.error, http::HttpError::Canceled);

    // A refresh's cancel ends the wait, and the probe's later requests, without
    // waiting for the Site Timeout.
    bool refreshCancelled = false;
    client.setCancelCheck([&] { return refreshCancelled; });
    client.setTimeoutSeconds(30);
    QTimer::singleShot(50, [&] { refreshCancelled = true; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(probe.probe(url("/silent"), false), kCodeCanceled);
    EXPECT_EQ(probe.probe(url("/silent"), true), kCodeCanceled);
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(Probe, HugeBodyIsReadOnlyUpToTheLimit)
{
    TestHttpServer::Reply huge;
    huge.bytes = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10737418240\r\n\r\n<title>Big</title>";
    huge.endless = QByteArray(1024, 'x');
    server.on("/huge", huge);
    EXPECT_EQ(probe.title(url("/huge")), "Big");
    EXPECT_EQ(probe.probe(url("/huge"), true), 200);
}

TEST_F(Probe, FollowsRedirectionsWithinSixHops)
{
    for (int n = 0; n < 10; ++n)
        server.on("/r" + QByteArray::number(n), TestHttpServer::redirect(302, "/r" + QByteArray::number(n + 1)));
    std::string u = url("/r0");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/r6"));
    // The last response counts: still a redirection.
    EXPECT_EQ(probe.probe(u, false), 302);

    // A loop ends the same way.
    server.on("/loop", TestHttpServer::redirect(301, "/loop"));
    u = url("/loop");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/loop"));

    // A 3xx without Location is asked again, within the same limit; the site
    // sees the question once.
    server.on("/nowhere", TestHttpServer::status(307));
    server.clearRequests();
    u = url("/nowhere");
    EXPECT_FALSE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/nowhere"));
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(Probe, ResolvesLocationsAgainstTheCurrentUrl)
{
    server.on("/x/y", TestHttpServer::redirect(302, "/a/b"));
    server.on("/a/b", TestHttpServer::page("done"));
    std::string u = url("/x/y");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/a/b"));

    server.on("/x/z", TestHttpServer::redirect(301, "c"));
    server.on("/x/c", TestHttpServer::page("done"));
    u = url("/x/z");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/x/c"));

    // Only a header named Location counts.
    server.on("/cl", TestHttpServer::status(200, "Content-Location: /elsewhere\r\nContent-Type: text/plain\r\n", "x"));
    u = url("/cl");
    EXPECT_FALSE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/cl"));

    // Absolute targets stand; the probe then classifies them without a request.
    server.on("/secure", TestHttpServer::redirect(302, "https://example.com/"));
    u = url("/secure");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, "https://example.com/");
    server.on("/file", TestHttpServer::redirect(302, "file:///etc/passwd"));
    u = url("/file");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, "file:///etc/passwd");
}

TEST(UrlResolution, Rules)
{
    EXPECT_EQ(resolveTarget("http://h/x/y", "/a/b"), "http://h/a/b");
    EXPECT_EQ(resolveTarget("http://h/x/y", "c"), "http://h/x/c");
    EXPECT_EQ(resolveTarget("http://h/x/y", "HTTP://other/"), "HTTP://other/");
    EXPECT_EQ(resolveTarget("http://h/x/y", "https://other/"), "https://other/");
    EXPECT_EQ(resolveTarget("http://h/x/y", "//other/p"), "http://other/p");
    EXPECT_EQ(resolveTarget("http://h", "/a"), "http://h/a");
    EXPECT_EQ(resolveTarget("http://h", "c"), "http://h/c");
    EXPECT_EQ(stripFragment("http://h/p#a#b"), "http://h/p");
    EXPECT_EQ(stripFragment("http://h/p"), "http://h/p");
}

TEST_F(Probe, MetaRefresh)
{
    server.on("/refresh", TestHttpServer::page("<html><meta http-equiv=refresh content=\"0; URL=/target\"></html>"));
    server.on("/target", TestHttpServer::page("<title>Target</title>"));
    std::string u = url("/refresh");
    // The rewritten URL is kept; the answer tells only of redirections.
    EXPECT_FALSE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/target"));

    server.on("/quoted", TestHttpServer::page("<META HTTP-EQUIV=\"Refresh\" CONTENT=\"2;url='/target'\">"));
    u = url("/quoted");
    probe.followRedirections(u);
    EXPECT_EQ(u, url("/target"));

    // A plain reload timer is not followed.
    server.on("/timer", TestHttpServer::page("<meta http-equiv=refresh content=30>"));
    u = url("/timer");
    EXPECT_FALSE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/timer"));

    // A redirection behind a meta refresh makes the answer true.
    server.on("/via", TestHttpServer::page("<meta http-equiv=refresh content=\"0;URL=/moved\">"));
    server.on("/moved", TestHttpServer::redirect(302, "/target"));
    u = url("/via");
    EXPECT_TRUE(probe.followRedirections(u));
    EXPECT_EQ(u, url("/target"));

    // A page that refreshes to itself ends within the hop limit.
    server.on("/self", TestHttpServer::page("<meta http-equiv=refresh content=\"0;URL=/self\">"));
    server.clearRequests();
    u = url("/self");
    EXPECT_FALSE(probe.followRedirections(u));
    EXPECT_LE(server.requests().size(), 2 * (RedirectionProbe::kMaxRedirectionHops + 1));
}

TEST_F(Probe, ContentTypeTest)
{
    server.on("/img", TestHttpServer::status(200, "Content-Type: image/png\r\n", "png"));
    server.on("/pdf", TestHttpServer::status(200, "Content-Type: application/pdf\r\n", "pdf"));
    server.on("HEAD", "/late", TestHttpServer::status(200));
    server.on("GET", "/late", TestHttpServer::status(200, "Content-Type: Text/Plain\r\n", "text"));
    server.on("/x-ct", TestHttpServer::status(200, "X-Original-Content-Type: text/html\r\n"
                                                   "Content-Type: application/zip\r\n", "zip"));
    EXPECT_TRUE(probe.isTextOrImage(url("/img")));
    EXPECT_FALSE(probe.isTextOrImage(url("/pdf")));
    EXPECT_TRUE(probe.isTextOrImage(url("/late")));
    EXPECT_FALSE(probe.isTextOrImage(url("/x-ct")));
    EXPECT_FALSE(probe.isTextOrImage("https://example.com/"));
}

TEST_F(Probe, TitleInTheDeclaredCharacterSet)
{
    server.on("/plain", TestHttpServer::page("<HTML><Title>Hello\r\nWorld</TITLE>"));
    server.on("/latin", TestHttpServer::page("<title>Caf\xe9</title>", "text/html; charset=ISO-8859-1"));
    server.on("/meta", TestHttpServer::page("<meta charset=\"windows-1252\"><title>\x93quoted\x94</title>"));
    server.on("/utf8", TestHttpServer::page("<title>Caf\xc3\xa9</title>"));
    server.on("/none", TestHttpServer::page("<p>no title</p>"));
    server.on("/open", TestHttpServer::page("<title>never closed"));
    EXPECT_EQ(probe.title(url("/plain")), "Hello\r\nWorld");
    EXPECT_EQ(probe.title(url("/latin")), "Caf\xc3\xa9");
    EXPECT_EQ(probe.title(url("/meta")), "\xe2\x80\x9cquoted\xe2\x80\x9d");
    EXPECT_EQ(probe.title(url("/utf8")), "Caf\xc3\xa9");
    EXPECT_EQ(probe.title(url("/none")), "");
    EXPECT_EQ(probe.title(url("/open")), "");
    EXPECT_EQ(probe.title(url("/missing")), "Not here");
    EXPECT_EQ(fetchPageTitle(url("/latin"), 5), "Caf\xc3\xa9");
}

TEST(ProbeVisits, CountsFromTheUrlCache)
{
    http::HttpClient client;
    FixedCache cache;
    RedirectionProbe probe(client, &cache);
    EXPECT_EQ(probe.visitCount("http://known.example/page#section"), 7u);
    EXPECT_EQ(probe.visitCount("http://unknown.example/"), 0u);
    RedirectionProbe without(client);
    EXPECT_EQ(without.visitCount("http://known.example/page"), 0u);
}

TEST_F(Probe, ARequestDuringAWaitTakesItsOwnClient)
{
    auto slow = TestHttpServer::page("<title>Slow</title>");
    slow.delayMilliseconds = 300;
    server.on("/slow", slow);
    server.on("/quick", TestHttpServer::page("<title>Quick</title>"));
    http::HttpResult reentered;
    std::string title;
    // Fired while the probe waits for /slow, as a form post of the web server would be.
    QTimer::singleShot(100, [&] {
        client.setUrl(url("/quick"));
        reentered = client.head();
        title = fetchPageTitle(url("/quick"), 5);
    });
    EXPECT_EQ(probe.title(url("/slow")), "Slow");
    EXPECT_EQ(reentered.error, http::HttpError::Socket);
    EXPECT_EQ(title, "Quick");
}

TEST_F(Probe, ATitleFetchWithAWholeBudgetAsksNoMoreOnceItIsSpent)
{
    // A site that never answers its HEAD would cost the per-request time
    // twice, HEAD then GET; with a whole budget of one second the GET is never
    // sent.
    TestHttpServer::Reply silent;
    silent.silent = true;
    server.on("/never", silent);
    EXPECT_EQ(fetchPageTitle(url("/never"), 1, 0, false, 1), "");
    EXPECT_EQ(server.requests().size(), 1);
    server.clearRequests();
    EXPECT_EQ(fetchPageTitle(url("/never"), 1), "");
    EXPECT_EQ(server.requests().size(), 2); // without it, each request has its own time
}
