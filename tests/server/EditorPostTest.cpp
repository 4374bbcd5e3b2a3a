#include "HandlersFixture.h"

#include "platform/TextEncodings.h"
#include "server/TMyHttpConnection.h"
#include "server/http/HttpLimits.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>

using vistrel::test::HandlersFixture;
using vistrel::test::LoopbackClient;
using vistrel::test::readAll;
using vistrel::test::spinFor;
using vistrel::test::spinUntil;
using vistrel::test::splitAnswer;
using vistrel::test::writeAll;

namespace {

// A client the server sees as coming from another machine.
class ForeignConnection : public vistrel::server::TMyHttpConnection
{
public:
    QString ClientAddress() const override { return QStringLiteral("192.168.1.20"); }
};

class EditorPost : public HandlersFixture
{
protected:
    void SetUp() override
    {
        HandlersFixture::SetUp();
        writeAll(t.paths.favoritesFolder + "/a.url", "[InternetShortcut]\r\nURL=http://a/\r\n");
        handlers->setTitleFetch([this](const std::string &url) {
            fetched.push_back(url);
            if (duringFetch)
                duringFetch();
            return std::string("Fetched Title");
        });
        start();
    }

    QByteArray renameBody(const QString &from, const QByteArray &to) const
    {
        const QByteArray path = QFile::encodeName(t.paths.favoritesFolder + "/" + from);
        return "Edit" + QByteArray::fromStdString(vistrel::platform::hexEncode(path.toStdString())) + "=" + to;
    }

    bool favouriteExists(const QString &name) const { return QFile::exists(t.paths.favoritesFolder + "/" + name); }

    std::vector<std::string> fetched;
    std::function<void()> duringFetch;
};

TEST_F(EditorPost, AnswersWithTheReportPageByteForByte)
{
    t.settings.displayHeaderValue = true;
    const QByteArray body = renameBody("a.url", "Alpha");
    const QByteArray answer = exchange(post("/cgi-bin/CGIFRM1.exe", body));
    ASSERT_TRUE(favouriteExists("Alpha.URL"));

    const QByteArray record = readAll(t.paths.formRecordPath());
    ASSERT_TRUE(QRegularExpression(R"(^\d{8} \d{6} there were 1 results from127\.0\.0\.1<br>Action taken : )"
                                   R"(Renamed Favourite a to Alpha<br>\r\n$)")
                    .match(QString::fromUtf8(record))
                    .hasMatch())
        << record.toStdString();
    const QByteArray page = "<HTML><HEAD><TITLE>Vistrel Reporter</TITLE></HEAD>\r\n"
                            "<BODY background=\"_back.jpg\"><H2>Your data has been recorded:</H2>\r\n<P>"
                            + record
                            + "</P><FORM><INPUT TYPE=\"button\" VALUE=\"Back to Vistrel\" "
                              "onClick=\"history.go(-1)\"></FORM></BODY></HTML>\r\n";
    EXPECT_EQ(answer, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                          + QByteArray::number(page.size())
                          + "\r\nX-Content-Type-Options: nosniff\r\nX-Frame-Options: SAMEORIGIN\r\n\r\n" + page);
    EXPECT_EQ(readAll(t.paths.valuesLogPath()), body + "\r\n");

    const QStringList lines = t.display.lines();
    EXPECT_TRUE(lines.contains("1: POST /cgi-bin/CGIFRM1.exe"));
    EXPECT_TRUE(lines.contains(QStringLiteral("HDR1) Host: localhost:%1").arg(port)));
    EXPECT_TRUE(lines.contains("Data: '" + QString::fromUtf8(body) + "'"));
}

TEST_F(EditorPost, ABodyArrivingInPiecesIsProcessedOnceWhenComplete)
{
    QSignalSpy answered(handlers.get(), &vistrel::server::DocumentHandlers::formAnswered);
    const QByteArray body = renameBody("a.url", "Alpha");
    const QByteArray request = post("/cgi-bin/cgifrm1.exe", body);
    LoopbackClient client(port);
    client.send(request.left(request.size() - 10));
    spinFor(100);
    EXPECT_FALSE(favouriteExists("Alpha.URL"));
    client.send(request.right(10));
    const auto answer = splitAnswer(client.readUntilClosed());
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK"));
    EXPECT_TRUE(favouriteExists("Alpha.URL"));
    EXPECT_EQ(answered.size(), 1);
    int dataLines = 0;
    for (const QString &line : t.display.lines())
        dataLines += line.startsWith("Data: '");
    EXPECT_EQ(dataLines, 2);
    EXPECT_TRUE(t.display.lines().contains("Data: '" + QString::fromUtf8(body) + "'"));
}

TEST_F(EditorPost, KeepAliveConnectionServesTheNextRequestAfterTheReport)
{
    writeAll(t.paths.dataFolder + "viewer.htm", "viewer");
    LoopbackClient client(port);
    const QByteArray body = renameBody("a.url", "Alpha");
    client.send("POST /cgi-bin/cgifrm1.exe HTTP/1.1\r\n" + hostLine() + "Connection: keep-alive\r\nContent-Length: "
                + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    const auto first = splitAnswer(client.readAnswer());
    EXPECT_TRUE(first.header.startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(first.body.contains("Renamed Favourite a to Alpha"));
    client.send("GET / HTTP/1.1\r\n" + hostLine() + "Connection: close\r\n\r\n");
    const auto second = splitAnswer(client.readUntilClosed());
    EXPECT_EQ(second.body, "viewer");
}

TEST_F(EditorPost, PostsFromElsewhereAreForbiddenAndChangeNothing)
{
    const QByteArray body = renameBody("a.url", "Alpha");
    const QByteArray p = QByteArray::number(port);
    const QByteArray contentLength = "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    const QByteArray post = "POST /cgi-bin/cgifrm1.exe HTTP/1.0\r\n";
    const QByteArray host = "Host: localhost:" + p + "\r\n";
    const struct
    {
        const char *name;
        QByteArray request;
    } rows[] = {
        // Pages of other sites posting through the user's browser.
        {"Origin of another site", post + host + "Origin: http://evil.example\r\n" + contentLength + "\r\n" + body},
        {"Referer of another site",
         post + host + "Referer: http://evil.example/form.htm\r\n" + contentLength + "\r\n" + body},
        {"Origin on another port", post + host + "Origin: http://localhost:1\r\n" + contentLength + "\r\n" + body},
        {"Origin null", post + host + "Origin: null\r\n" + contentLength + "\r\n" + body},
        // A foreign name that resolves to this machine, or none at all.
        {"foreign Host", "POST /cgi-bin/cgifrm2.exe HTTP/1.0\r\nHost: rebound.example:" + p + "\r\n" + contentLength
                             + "\r\n" + body},
        {"no Host", post + contentLength + "\r\n" + body},
        // The browser itself says another site's page sent it, whatever the rest says.
        {"Sec-Fetch-Site cross-site", post + host + "Origin: http://localhost:" + p
                                          + "\r\nSec-Fetch-Site: Cross-Site\r\n" + contentLength + "\r\n" + body},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray answer = exchange(row.request);
        EXPECT_TRUE(answer.startsWith("HTTP/1.0 403 Forbidden\r\n")) << answer.toStdString();
    }
    EXPECT_TRUE(favouriteExists("a.url"));
    EXPECT_FALSE(QFile::exists(t.paths.formRecordPath()));
    EXPECT_FALSE(QFile::exists(t.paths.valuesLogPath()));
    EXPECT_TRUE(fetched.empty());

    // The same post from the program's own page is accepted.
    const QByteArray accepted = exchange("POST /cgi-bin/cgifrm1.exe HTTP/1.0\r\nHost: 127.0.0.1:" + p
                                         + "\r\nReferer: http://127.0.0.1:" + p + "/edit.htm\r\n"
                                         + "Sec-Fetch-Site: same-origin\r\n" + contentLength + "\r\n" + body);
    EXPECT_TRUE(accepted.startsWith("HTTP/1.0 200 OK\r\n")) << accepted.toStdString();
    // The report page may not be framed by another site's page or sniffed.
    EXPECT_TRUE(accepted.contains("\r\nX-Content-Type-Options: nosniff\r\nX-Frame-Options: SAMEORIGIN\r\n"));
    EXPECT_TRUE(favouriteExists("Alpha.URL"));
}

TEST_F(EditorPost, PostsFromAnotherMachineAreForbidden)
{
    handlers->stop();
    handlers->setConnectionFactory([] { return new ForeignConnection; });
    start();
    const QByteArray answer = exchange(post("/cgi-bin/cgifrm1.exe", renameBody("a.url", "Alpha")));
    EXPECT_TRUE(answer.startsWith("HTTP/1.0 403 Forbidden\r\n")) << answer.toStdString();
    EXPECT_TRUE(favouriteExists("a.url"));
    EXPECT_FALSE(QFile::exists(t.paths.formRecordPath()));
}

TEST_F(EditorPost, OtherAddressesAndOversizedBodiesAreRefusedUnrecorded)
{
    EXPECT_TRUE(exchange(post("/cgi-bin/other.exe", "x=1")).startsWith("HTTP/1.0 404 Not Found\r\n"));
    const QByteArray huge = "POST /cgi-bin/cgifrm1.exe HTTP/1.0\r\n" + hostLine() + "Content-Length: "
                            + QByteArray::number(vistrel::server::limits::kMaxPostedBody + 1) + "\r\n\r\n";
    const QByteArray refused = exchange(huge);
    EXPECT_TRUE(refused.startsWith("HTTP/1.0 413 ")) << refused.toStdString();
    EXPECT_TRUE(refused.contains("larger than this server accepts")) << refused.toStdString();
    EXPECT_FALSE(QFile::exists(t.paths.formRecordPath()));
}

TEST_F(EditorPost, TheFormOfTenThousandFavouritesIsSaved)
{
    // Three fields per favourite, as the editing page posts them; one of them
    // renames a real favourite, so the save is seen to take effect.
    QByteArray body = renameBody("a.url", "Alpha");
    const int links = int(vistrel::server::limits::kMaxFavouritesOnOnePage);
    for (int i = 0; i < links; ++i) {
        const QString name = QStringLiteral("Favourite number %1 of a large collection.url").arg(i);
        const QByteArray hex = QByteArray::fromStdString(vistrel::platform::hexEncode(
            QFile::encodeName(t.paths.favoritesFolder + "/" + name).toStdString()));
        body += "&Edit" + hex + "=Favourite+number+" + QByteArray::number(i) + "+of+a+large+collection";
        body += "&Combo" + hex + "=Root&OB" + hex + "=-1";
    }
    ASSERT_GT(body.size(), 4 * 1024 * 1024);
    LoopbackClient client(port);
    client.send(post("/cgi-bin/cgifrm1.exe", body));
    const auto answer = splitAnswer(client.readUntilClosed(60000));
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK")) << answer.header.toStdString();
    EXPECT_TRUE(answer.body.contains("there were " + QByteArray::number(3 * links + 1) + " results from"));
    EXPECT_TRUE(favouriteExists("Alpha.URL"));
    EXPECT_EQ(readAll(t.paths.valuesLogPath()).size(), body.size() + 2 * (3 * links + 1) - 3 * links);
}

TEST_F(EditorPost, AnAnswerStillBeingWorkedOnIsNeverIdle)
{
    // The title fetch lets events run for longer than the idle time-out, as a
    // slow site does; the connection waits for its answer all the same.
    server.SetIdleTimeout(200);
    duringFetch = [] { spinFor(700); };
    LoopbackClient client(port);
    client.send(post("/cgi-bin/cgifrm2.exe", "http%3A%2F%2Fsite.example%2F=Add+to+favourites"));
    const auto answer = splitAnswer(client.readUntilClosed());
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK")) << answer.header.toStdString();
    EXPECT_TRUE(answer.body.contains("Added Favourite Fetched Title <br>"));
    // Idle connections are still closed.
    LoopbackClient idle(port);
    EXPECT_TRUE(idle.waitClosed(3000));
}

TEST_F(EditorPost, APostArrivingDuringAnotherPostsTitleFetchWaitsAndKeepsItsOwnReport)
{
    // The history post's title fetch lets events run, as a real fetch does;
    // the editor post arrives meanwhile.
    std::unique_ptr<LoopbackClient> second;
    bool secondSent = false;
    duringFetch = [&] {
        second = std::make_unique<LoopbackClient>(port);
        second->send(post("/cgi-bin/cgifrm1.exe", renameBody("a.url", "Alpha")));
        secondSent = true;
        spinFor(200);
        // Not processed while the first post is still being processed.
        EXPECT_TRUE(favouriteExists("a.url"));
    };
    LoopbackClient first(port);
    first.send(post("/cgi-bin/cgifrm2.exe", "http%3A%2F%2Fsite.example%2F=Add+to+favourites"));
    const auto firstAnswer = splitAnswer(first.readUntilClosed());
    ASSERT_TRUE(secondSent);
    const auto secondAnswer = splitAnswer(second->readUntilClosed());

    EXPECT_TRUE(firstAnswer.body.contains("there were 1 results from127.0.0.1<br>Action taken : Added Favourite "
                                          "Fetched Title <br>\r\n</P>"))
        << firstAnswer.body.toStdString();
    EXPECT_TRUE(secondAnswer.body.contains("Action taken : Renamed Favourite a to Alpha<br>\r\n</P>"))
        << secondAnswer.body.toStdString();
    EXPECT_EQ(fetched, std::vector<std::string>{"http://site.example/"});
    EXPECT_TRUE(favouriteExists("Fetched Title.URL"));
    EXPECT_TRUE(favouriteExists("Alpha.URL"));
}

TEST_F(EditorPost, AClientThatLeavesBeforeTheAnswerCostsNothing)
{
    auto client = std::make_unique<LoopbackClient>(port);
    duringFetch = [&] {
        client.reset();
        spinFor(200);
    };
    QSignalSpy answered(handlers.get(), &vistrel::server::DocumentHandlers::formAnswered);
    client->send(post("/cgi-bin/cgifrm2.exe", "http%3A%2F%2Fsite.example%2F=Add+to+favourites"));
    ASSERT_TRUE(spinUntil([&] { return answered.size() == 1; }));
    EXPECT_FALSE(client);
    EXPECT_TRUE(favouriteExists("Fetched Title.URL"));
    EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }));
}

} // namespace
