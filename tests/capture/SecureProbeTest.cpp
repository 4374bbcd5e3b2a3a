#include "support/TestCertificates.h"
#include "support/TestHttpServer.h"

#include "capture/ProbeCodes.h"
#include "capture/RedirectionProbe.h"
#include "capture/http/TlsTrust.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace vistrel::capture;
using vistrel::test::TestCertificates;
using vistrel::test::TestHttpServer;

namespace {

constexpr int kTimeoutMs = 1500;

class SecureProbe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QSslSocket::supportsSsl())
            GTEST_FAIL() << "Qt has no TLS backend";
        ASSERT_TRUE(TestCertificates::instance().ok()) << TestCertificates::instance().error().toStdString();
        client.setTimeout(std::chrono::milliseconds(kTimeoutMs), std::chrono::milliseconds(kTimeoutMs));
        probe.setSecureSites(true);
    }

    static std::string url(const TestHttpServer &server, const char *path)
    {
        return server.url(QString::fromLatin1(path)).toStdString();
    }
    static QSslConfiguration tls(TestCertificates::Kind kind) { return TestCertificates::instance().server(kind); }

    vistrel::test::TrustTestCa trust;
    http::HttpClient client;
    RedirectionProbe probe{client};
};

} // namespace

TEST_F(SecureProbe, OffLeavesSecureSitesUnasked)
{
    TestHttpServer site(tls(TestCertificates::Good));
    site.on("/", TestHttpServer::page("<title>Secure</title>"));
    RedirectionProbe off(client);
    EXPECT_EQ(off.probe(url(site, "/"), true), kCodeSecure);
    EXPECT_EQ(off.title(url(site, "/")), "");
    EXPECT_EQ(fetchPageTitle(url(site, "/"), 5), "");
    // An http page that redirects to https ends at the secure address, unasked.
    TestHttpServer plain;
    plain.on("/go", TestHttpServer::redirect(301, QByteArray::fromStdString(url(site, "/"))));
    std::string address = url(plain, "/go");
    EXPECT_TRUE(off.followRedirections(address));
    EXPECT_EQ(address, url(site, "/"));
    EXPECT_EQ(off.probe(address, false), kCodeSecure);
    EXPECT_TRUE(site.requests().isEmpty());
}

TEST_F(SecureProbe, AVerifiedSiteAnswersLikeAPlainOne)
{
    TestHttpServer site(tls(TestCertificates::Good));
    site.on("/", TestHttpServer::page("<title>Caf\xe9</title>", "text/html; charset=iso-8859-1"));
    site.on("/gone", TestHttpServer::status(404));
    site.on("/moved", TestHttpServer::redirect(301, "/"));

    EXPECT_EQ(probe.probe(url(site, "/"), false), 200);
    EXPECT_EQ(probe.spkiPin(), TestCertificates::instance().opensslPin(TestCertificates::Good));
    EXPECT_EQ(probe.probe(url(site, "/gone"), false), 404);
    EXPECT_EQ(probe.probe(url(site, "/moved"), false), 301);
    EXPECT_TRUE(probe.isTextOrImage(url(site, "/")));
    EXPECT_EQ(probe.title(url(site, "/")), "Caf\xc3\xa9");
    EXPECT_EQ(fetchPageTitle(url(site, "/"), 5, 0, true), "Caf\xc3\xa9");
    EXPECT_EQ(site.requests().first().raw, "HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\nConnection: close\r\n\r\n");
}

TEST_F(SecureProbe, RedirectionsCrossBetweenHttpAndHttps)
{
    TestHttpServer secure(tls(TestCertificates::Good));
    TestHttpServer plain;
    plain.on("/start", TestHttpServer::redirect(302, QByteArray::fromStdString(url(secure, "/hop"))));
    secure.on("/hop", TestHttpServer::redirect(301, QByteArray::fromStdString(url(plain, "/refresh"))));
    plain.on("/refresh", TestHttpServer::page(
                             "<meta http-equiv=refresh content=\"0; URL=" + QByteArray::fromStdString(url(secure, "/meta")) + "\">"));
    secure.on("/meta", TestHttpServer::page(
                           "<meta http-equiv=refresh content='0; url=" + QByteArray::fromStdString(url(plain, "/end")) + "'>"));
    plain.on("/end", TestHttpServer::page("<title>End</title>"));

    std::string address = url(plain, "/start");
    EXPECT_TRUE(probe.followRedirections(address));
    EXPECT_EQ(address, url(plain, "/end"));
    EXPECT_EQ(probe.title(address), "End");

    // A loop that alternates schemes ends after the hop limit, at a redirection.
    plain.on("/ping", TestHttpServer::redirect(301, QByteArray::fromStdString(url(secure, "/pong"))));
    secure.on("/pong", TestHttpServer::redirect(301, QByteArray::fromStdString(url(plain, "/ping"))));
    address = url(plain, "/ping");
    const QDeadlineTimer bound(kTimeoutMs * 4);
    EXPECT_TRUE(probe.followRedirections(address));
    EXPECT_FALSE(bound.hasExpired());
    EXPECT_EQ(probe.probe(address, false), 301);
}

TEST_F(SecureProbe, EveryBrokenCertificateHasTheCertificateCode)
{
    for (auto kind : {TestCertificates::SelfSigned, TestCertificates::Expired, TestCertificates::WrongHost,
                      TestCertificates::UnknownCa, TestCertificates::CnOnlyMatches}) {
        TestHttpServer site(tls(kind));
        site.on("/", TestHttpServer::page("<title>Should not be read</title>"));
        RedirectionProbe fresh(client);
        fresh.setSecureSites(true);
        EXPECT_EQ(fresh.probe(url(site, "/"), true), kCodeCertificate) << kind;
        EXPECT_EQ(fresh.spkiPin(), "") << kind;
        EXPECT_EQ(fresh.title(url(site, "/")), "") << kind;
        EXPECT_TRUE(site.requests().isEmpty()) << kind;
    }
    // The CA the bundle names is the whole trust: without it the good one fails too.
    TestHttpServer good(tls(TestCertificates::Good));
    qputenv("SSL_CERT_FILE", "/nonexistent/bundle.pem");
    EXPECT_EQ(probe.probe(url(good, "/"), false), kCodeCertificate);
}

TEST_F(SecureProbe, HandshakesThatCannotSucceed)
{
    // Plain http where TLS was expected.
    TestHttpServer plain;
    plain.on("/", TestHttpServer::page("<title>Plain</title>"));
    const std::string onPlain = "https://127.0.0.1:" + std::to_string(plain.port()) + "/";
    EXPECT_EQ(probe.probe(onPlain, false), kCodeSecureFailed);

    // A server that accepts and never says a word: the time-out, once.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const std::string onSilent = "https://127.0.0.1:" + std::to_string(silent.serverPort()) + "/";
    QDeadlineTimer bound(kTimeoutMs * 3 / 2);
    EXPECT_EQ(probe.probe(onSilent, true), kCodeTimedOut);
    EXPECT_FALSE(bound.hasExpired());

    // Nothing listening: a failed request, as for http.
    const quint16 closed = silent.serverPort();
    silent.close();
    RedirectionProbe fresh(client);
    fresh.setSecureSites(true);
    EXPECT_EQ(fresh.probe("https://127.0.0.1:" + std::to_string(closed) + "/", false), kCodeFailed);

    // The program's own server speaks no TLS and is never sent a handshake.
    RedirectionProbe own(client, nullptr, plain.port());
    own.setSecureSites(true);
    plain.clearRequests();
    EXPECT_EQ(own.probe(onPlain, false), kCodeOwnServer);
    EXPECT_TRUE(plain.requests().isEmpty());
}

TEST(SpkiPin, ReadsTheKeyOutOfTheCertificate)
{
    const auto &certificates = TestCertificates::instance();
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    for (auto kind : {TestCertificates::Good, TestCertificates::SelfSigned}) {
        const QSslCertificate certificate = certificates.server(kind).localCertificate();
        EXPECT_EQ(http::spkiPin(certificate), certificates.opensslPin(kind)) << kind;
    }
    // Cut short anywhere, a certificate gives no key rather than a wrong one.
    const QByteArray der = certificates.server(TestCertificates::Good).localCertificate().toDer();
    for (qsizetype cut = 0; cut < der.size(); cut += 7)
        EXPECT_TRUE(http::subjectPublicKeyInfo(der.left(cut)).isEmpty()) << cut;
    EXPECT_EQ(http::spkiPin(QSslCertificate()), "");
}

TEST(HostNames, OnlyTheAlternativeNamesCount)
{
    using http::dnsNameMatchesHost;
    EXPECT_TRUE(dnsNameMatchesHost("Example.COM", "example.com."));
    EXPECT_TRUE(dnsNameMatchesHost("*.example.com", "www.example.com"));
    EXPECT_FALSE(dnsNameMatchesHost("*.example.com", "example.com"));
    EXPECT_FALSE(dnsNameMatchesHost("*.example.com", "a.b.example.com"));
    EXPECT_FALSE(dnsNameMatchesHost("*.example.com", "wwwexample.com"));
    EXPECT_FALSE(dnsNameMatchesHost("*.com", "example.com"));
    EXPECT_FALSE(dnsNameMatchesHost("w*.example.com", "www.example.com"));
    EXPECT_FALSE(dnsNameMatchesHost("www.*.com", "www.example.com"));
    EXPECT_TRUE(dnsNameMatchesHost("xn--caf-dma.example", "caf\u00e9.example"));
    EXPECT_FALSE(dnsNameMatchesHost("127.0.0.1", "127.0.0.1")); // an address is never a DNS name

    const auto &certificates = TestCertificates::instance();
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    const QSslCertificate good = certificates.server(TestCertificates::Good).localCertificate();
    EXPECT_TRUE(http::alternativeNamesAllowHost(good, "127.0.0.1"));
    EXPECT_TRUE(http::alternativeNamesAllowHost(good, "LOCALHOST"));
    EXPECT_FALSE(http::alternativeNamesAllowHost(good, "127.0.0.2"));
    EXPECT_FALSE(http::alternativeNamesAllowHost(good, "::1"));
    // The subject says 127.0.0.1, the alternative names say otherwise.
    const QSslCertificate cnOnly = certificates.server(TestCertificates::CnOnlyMatches).localCertificate();
    EXPECT_FALSE(http::alternativeNamesAllowHost(cnOnly, "127.0.0.1"));
    EXPECT_TRUE(http::alternativeNamesAllowHost(cnOnly, "other.example"));
}

// A server that resumes sessions (the fixture site cannot: each of its
// connections has a TLS context of its own) says on its page whether it did.
TEST(TlsSessions, ResumedWithinOneClientOnly)
{
    const auto &certificates = TestCertificates::instance();
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    vistrel::test::TrustTestCa trust;
    QTemporaryDir dir;
    const QSslConfiguration good = certificates.server(TestCertificates::Good);
    QFile cert(dir.filePath("good.pem"));
    QFile key(dir.filePath("good.key"));
    ASSERT_TRUE(cert.open(QIODevice::WriteOnly) && cert.write(good.localCertificate().toPem()) > 0);
    ASSERT_TRUE(key.open(QIODevice::WriteOnly) && key.write(good.privateKey().toPem()) > 0);
    cert.close();
    key.close();
    QTcpServer probePort;
    ASSERT_TRUE(probePort.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probePort.serverPort();
    probePort.close();
    QProcess server;
    server.start("openssl", {"s_server", "-accept", QStringLiteral("127.0.0.1:%1").arg(port), "-cert", cert.fileName(),
                             "-key", key.fileName(), "-www", "-quiet"});
    ASSERT_TRUE(server.waitForStarted());
    const auto stop = qScopeGuard([&] {
        server.kill();
        server.waitForFinished();
    });
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    auto fetch = [&](http::HttpClient &client) {
        client.setUrl(url);
        client.setSecureAllowed(true);
        client.setTimeout(std::chrono::milliseconds(kTimeoutMs), std::chrono::milliseconds(kTimeoutMs));
        const http::HttpResult result = client.get();
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        EXPECT_EQ(client.peerSpkiPin(), certificates.opensslPin(TestCertificates::Good));
        return client.responseBody();
    };
    http::HttpClient first;
    for (QDeadlineTimer listening(kTimeoutMs * 4); !listening.hasExpired(); QThread::msleep(20)) {
        QTcpSocket attempt;
        attempt.connectToHost(QHostAddress::LocalHost, port);
        if (attempt.waitForConnected(kTimeoutMs))
            break;
    }
    EXPECT_TRUE(fetch(first).contains("New, TLS")) << "a first session is new";
    EXPECT_TRUE(fetch(first).contains("Reused, TLS")) << "the same client resumes it";
    http::HttpClient second;
    EXPECT_TRUE(fetch(second).contains("New, TLS")) << "another client does not";
}
