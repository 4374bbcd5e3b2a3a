#include "HandlersFixture.h"

#include "server/TMyHttpConnection.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>

using vistrel::test::HandlersFixture;
using vistrel::test::LoopbackClient;
using vistrel::test::spinUntil;
using vistrel::test::splitAnswer;
using vistrel::test::writeAll;

namespace {

class Handlers : public HandlersFixture
{
protected:
    void SetUp() override
    {
        HandlersFixture::SetUp();
        writeAll(t.paths.dataFolder + "viewer.htm", "<html>viewer</html>");
        start();
    }

    QStringList linesMatching(const QString &pattern) const
    {
        QStringList out;
        const QRegularExpression re(pattern);
        for (const QString &line : t.display.lines())
            if (re.match(line).hasMatch())
                out << line;
        return out;
    }
};

TEST_F(Handlers, CountsGetHeadAndPostInOneSequenceAndShowsEach)
{
    exchange("GET / HTTP/1.0\r\n\r\n");
    exchange("HEAD /viewer.htm HTTP/1.0\r\n\r\n");
    exchange("POST /elsewhere HTTP/1.0\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(handlers->requestCount(), 3);
    const QStringList get = linesMatching(R"(^\[\d\d.\d\d.\d\d 127\.0\.0\.1\] 1: GET /$)");
    EXPECT_EQ(get.size(), 1) << t.display.lines().join('\n').toStdString();
    EXPECT_TRUE(t.display.lines().contains("2: HEAD /viewer.htm"));
    EXPECT_TRUE(t.display.lines().contains("3: POST /elsewhere"));
    // No header lines unless asked for.
    EXPECT_TRUE(linesMatching("^HDR").isEmpty());
}

TEST_F(Handlers, ServesTheDefaultDocumentAndPlainFilesThatMerelyStartLikeTheRedirection)
{
    const auto root = splitAnswer(exchange("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(root.header.startsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(root.body, "<html>viewer</html>");
    // No other site's page may frame the pages, and no browser guesses a type.
    EXPECT_TRUE(root.header.contains("\r\nX-Content-Type-Options: nosniff\r\n"));
    EXPECT_TRUE(root.header.contains("\r\nX-Frame-Options: SAMEORIGIN\r\n"));

    writeAll(t.paths.dataFolder + "site=x.htm", "a file");
    const auto file = splitAnswer(exchange("GET /site=x.htm?http://elsewhere/ HTTP/1.0\r\n\r\n"));
    EXPECT_TRUE(file.header.startsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_EQ(file.body, "a file");
}

TEST_F(Handlers, RedirectsSiteWithTheWholeQueryInEitherLetterCase)
{
    EXPECT_EQ(exchange("GET /site=?http://example.com/a?b=1&c=2 HTTP/1.0\r\n\r\n"),
              "HTTP/1.0 301 Moved Permanently \r\nContent-Type: text/html\r\nLocation: http://example.com/a?b=1&c=2\r\n\r\n");
    EXPECT_EQ(exchange("GET /SITE=?http://example.com/ HTTP/1.1\r\nHost: localhost\r\n\r\n"),
              "HTTP/1.1 301 Moved Permanently \r\nContent-Type: text/html\r\nLocation: http://example.com/\r\n\r\n");
}

TEST_F(Handlers, RefusesToCopyLineBreaksOrZeroBytesIntoTheLocation)
{
    for (const QByteArray &query : {QByteArray("http://a/\rSet-Cookie:x=1"), QByteArray("http://a/\0b", 11)}) {
        const QByteArray answer = exchange("GET /site=?" + query + " HTTP/1.0\r\n\r\n");
        EXPECT_TRUE(answer.startsWith("HTTP/1.0 400 Bad Request\r\n")) << answer.toStdString();
        EXPECT_FALSE(answer.contains("Location")) << answer.toStdString();
        EXPECT_FALSE(answer.contains("Set-Cookie")) << answer.toStdString();
    }
}

TEST_F(Handlers, ShowsHeaderLinesWhenAskedFor)
{
    t.settings.displayHeaderValue = true;
    exchange("GET / HTTP/1.0\r\nHost: localhost\r\nX-Test: yes\r\n\r\n");
    EXPECT_EQ(linesMatching("^HDR"), QStringList({"HDR1) Host: localhost", "HDR2) X-Test: yes"}));
}

TEST_F(Handlers, ClientCountFollowsConnectionsAndServerStateFollowsStartAndStop)
{
    QSignalSpy counts(handlers.get(), &vistrel::server::DocumentHandlers::clientCountChanged);
    QSignalSpy states(handlers.get(), &vistrel::server::DocumentHandlers::listeningChanged);
    {
        LoopbackClient client(port);
        ASSERT_TRUE(spinUntil([&] { return counts.size() == 1; }));
        EXPECT_EQ(counts.last().at(0).toInt(), 1);
    }
    ASSERT_TRUE(spinUntil([&] { return counts.size() == 2; }));
    EXPECT_EQ(counts.last().at(0).toInt(), 0);

    handlers->stop();
    ASSERT_EQ(states.size(), 1);
    EXPECT_FALSE(states.last().at(0).toBool());
    EXPECT_EQ(t.display.lines().last(), "Server stopped");
    ASSERT_TRUE(handlers->start(QString::number(port)).listening);
    EXPECT_TRUE(states.last().at(0).toBool());
    EXPECT_EQ(t.display.lines().last(), "Server is waiting for connections");
    // Every connection is the program's own class, with its posted-data buffer.
    LoopbackClient again(port);
    ASSERT_TRUE(spinUntil([&] { return server.ClientCount() == 1; }));
    EXPECT_NE(qobject_cast<vistrel::server::TMyHttpConnection *>(server.Client(0)), nullptr);
}

TEST_F(Handlers, StartOnAPortInUseShowsTheBoxAndStaysStopped)
{
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    handlers->stop();
    QSignalSpy states(handlers.get(), &vistrel::server::DocumentHandlers::listeningChanged);
    EXPECT_FALSE(handlers->start(QString::number(occupant.serverPort())).listening);
    EXPECT_FALSE(server.IsListening());
    EXPECT_TRUE(states.isEmpty());
    EXPECT_EQ(t.messages.texts(),
              QStringList("Unable to start internal Web server. Try choosing a different Web Server Port."));
}

} // namespace
