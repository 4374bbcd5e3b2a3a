#include "support/LoopbackClient.h"

#include "server/http/HttpLimits.h"
#include "server/http/THttpConnection.h"
#include "server/http/THttpHandler.h"
#include "server/http/THttpServer.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <functional>
#include <stdexcept>
#include <unistd.h>

using namespace vistrel::server;
using vistrel::test::LoopbackClient;
using vistrel::test::spinFor;
using vistrel::test::spinUntil;
using vistrel::test::splitAnswer;

namespace {

// The last lines before Connection of every document answer.
constexpr char kModified[] = "Last-Modified: Tue, 31 Dec 2024 23:59:59 GMT\r\n"
                             "X-Content-Type-Options: nosniff\r\nX-Frame-Options: SAMEORIGIN\r\n";

int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size());
}

QByteArray hundredBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 100; ++i)
        bytes.append(char('A' + i % 26));
    return bytes;
}

// Every event goes to the log; the answers are the test's to choose.
class TestHandler : public THttpHandler
{
public:
    QStringList log;
    std::function<THttpAnswer(THttpConnection &, THttpAnswer)> get = [](THttpConnection &, THttpAnswer a) { return a; };
    std::function<THttpAnswer(THttpConnection &, THttpAnswer)> post = [](THttpConnection &, THttpAnswer a) { return a; };
    std::function<THttpAnswer(THttpConnection &)> posted = [](THttpConnection &) { return THttpAnswer::none(); };

    void OnServerStarted() override { log << "started"; }
    void OnServerStopped() override { log << "stopped"; }
    void OnClientConnect(THttpConnection &c) override { log << "connect " + c.objectName(); }
    void OnClientDisconnect(THttpConnection &) override { log << "disconnect"; }
    void OnBeforeProcessRequest(THttpConnection &c) override { log << "before " + QString::fromUtf8(c.Path()); }
    void OnHttpRequestDone(THttpConnection &c) override { log << "done " + QString::fromUtf8(c.Path()); }
    THttpAnswer OnGetDocument(THttpConnection &c, THttpAnswer proposed) override { return get(c, std::move(proposed)); }
    THttpAnswer OnPostDocument(THttpConnection &c, THttpAnswer proposed) override { return post(c, std::move(proposed)); }
    THttpAnswer OnPostedData(THttpConnection &c) override { return posted(c); }
};

class HttpServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.SetHandler(&handler);
        m_docs = m_dir.filePath("docs");
        ASSERT_TRUE(QDir().mkpath(m_docs + "/sub"));
        writeFile("../secret.txt", "secret");
        server.setObjectName("HttpServer1");
        server.SetDocDir(m_docs + "/");
        server.SetDefaultDoc("viewer.htm");
        server.SetAddr("127.0.0.1");
        server.SetPort("0");
        ASSERT_TRUE(server.Start()) << server.ErrorString().toStdString();
        port = server.ListeningPort();
    }

    void TearDown() override
    {
        server.Stop();
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }));
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(m_docs + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.flush();
        file.setFileTime(QDateTime::fromSecsSinceEpoch(1735689599, Qt::UTC), QFileDevice::FileModificationTime);
    }

    QByteArray request(const QByteArray &text)
    {
        LoopbackClient client(port);
        client.send(text);
        return client.readUntilClosed();
    }

    QTemporaryDir m_dir;
    QString m_docs;
    TestHandler handler;
    THttpServer server;
    quint16 port = 0;
};

} // namespace

TEST_F(HttpServerTest, NotFoundWritesThePathAsHtmlText)
{
    const QByteArray body = "<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY><H1>404 Not Found</H1>"
                            "The requested URL /x&lt;y&gt;&amp;&#39;z&#34;&eacute;.htm was not found on this server."
                            "<P></BODY></HTML>\r\n";
    EXPECT_EQ(request("GET /x<y>&'z\"\xc3\xa9.htm HTTP/1.1\r\n\r\n"),
              "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);
}

TEST_F(HttpServerTest, NothingOutsideTheDocumentFolderIsServed)
{
    const QByteArray body = "<HTML><HEAD><TITLE>403 Forbidden</TITLE></HEAD><BODY><H1>403 Forbidden</H1>"
                            "The requested URL /../secret.txt is Forbidden on this server.<P></BODY></HTML>\r\n";
    EXPECT_EQ(request("GET /../secret.txt HTTP/1.0\r\n\r\n"),
              "HTTP/1.0 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: "
                  + QByteArray::number(body.size()) + "\r\n\r\n" + body);

    ASSERT_EQ(::symlink(QFile::encodeName(m_dir.filePath("secret.txt")).constData(),
                        QFile::encodeName(m_docs + "/link.txt").constData()),
              0);
    ASSERT_EQ(::symlink("..", QFile::encodeName(m_docs + "/sub/up").constData()), 0);
    const char *paths[] = {"/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/..\\secret.txt",
                           "/%2e%2e%5csecret.txt", "/sub/../../secret.txt", "/link.txt",
                           "/sub/up/../secret.txt", "/sub/up/%2e%2e/secret.txt", "/secret.txt%00.htm",
                           "/%c0%ae%c0%ae/secret.txt", "/%%32e%%32e/secret.txt"};
    for (const char *path : paths) {
        const QByteArray answer = request(QByteArray("GET ") + path + " HTTP/1.1\r\n\r\n");
        EXPECT_FALSE(answer.contains("secret\r\n") || answer.endsWith("secret")) << path;
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 403") || answer.startsWith("HTTP/1.1 404")) << path;
    }
}

TEST_F(HttpServerTest, DocumentAnswerAndItsName)
{
    writeFile("a b.htm", "<p>a b</p>");
    EXPECT_EQ(request("GET /a%20b.htm HTTP/1.0\r\n\r\n"),
              QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 10\r\nAccept-Ranges: bytes\r\n")
                  + kModified + "Connection: Close\r\n\r\n<p>a b</p>");

    // The default document, for the root and for a folder with or without "/".
    EXPECT_TRUE(request("GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404 Not Found"));
    writeFile("viewer.htm", "root viewer");
    writeFile("sub/viewer.htm", "sub viewer");
    EXPECT_TRUE(request("GET / HTTP/1.1\r\n\r\n").endsWith("\r\n\r\nroot viewer"));
    EXPECT_TRUE(request("GET /sub/ HTTP/1.1\r\n\r\n").endsWith("\r\n\r\nsub viewer"));
    EXPECT_TRUE(request("GET /sub HTTP/1.1\r\n\r\n").endsWith("\r\n\r\nsub viewer"));

    // Neither a folder nor a FIFO is a document, and the FIFO must not hang the server.
    ASSERT_EQ(::mkfifo(QFile::encodeName(m_docs + "/pipe.htm").constData(), 0600), 0);
    EXPECT_TRUE(request("GET /pipe.htm HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));
    ASSERT_TRUE(QDir().mkpath(m_docs + "/empty"));
    EXPECT_TRUE(request("GET /empty HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"));

    writeFile("nothing.txt", "");
    EXPECT_EQ(request("HEAD /nothing.txt HTTP/1.1\r\n\r\n"),
              QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 0\r\nAccept-Ranges: bytes\r\n")
                  + kModified + "Connection: Close\r\n\r\n");
}

TEST_F(HttpServerTest, ByteRanges)
{
    writeFile("data.bin", hundredBytes());
    EXPECT_EQ(request("GET /data.bin HTTP/1.1\r\nRange: bytes=0-9\r\n\r\n"),
              QByteArray("HTTP/1.1 206 Partial Content\r\nContent-Type: application/binary\r\nContent-Length: 10\r\n"
                         "Content-Range: bytes 0-9/100\r\n")
                  + kModified + "Connection: Close\r\n\r\nABCDEFGHIJ");

    const QByteArray parts = "--[lka9uw3et5vxybtp87ghq23dpu7djv84nhls9p]\r\nContent-Type: application/binary\r\n"
                             "Content-Range: bytes 0-1/100\r\n\r\nAB\r\n"
                             "--[lka9uw3et5vxybtp87ghq23dpu7djv84nhls9p]\r\nContent-Type: application/binary\r\n"
                             "Content-Range: bytes 97-99/100\r\n\r\nTUV"
                             "\r\n--[lka9uw3et5vxybtp87ghq23dpu7djv84nhls9p]--\r\n";
    EXPECT_EQ(request("GET /data.bin HTTP/1.1\r\nRange: bytes=0-1, -3\r\n\r\n"),
              QByteArray("HTTP/1.1 206 Partial Content\r\n"
                         "Content-Type: multipart/byteranges; boundary=[lka9uw3et5vxybtp87ghq23dpu7djv84nhls9p]\r\n"
                         "Content-Length: ")
                  + QByteArray::number(parts.size()) + "\r\n" + kModified + "Connection: Close\r\n\r\n" + parts);

    EXPECT_EQ(request("GET /data.bin HTTP/1.1\r\nRange: bytes=200-\r\n\r\n"),
              QByteArray("HTTP/1.1 416 Request range not satisfiable\r\nContent-Length: 0\r\n") + kModified
                  + "Connection: Close\r\n\r\n");
}

TEST_F(HttpServerTest, UnimplementedMethodReadsItsBodyAndKeepsTheConnection)
{
    writeFile("f.txt", "after");
    EXPECT_EQ(request("PUT /x HTTP/1.1\r\nContent-Length: 17\r\n\r\n12345678901234567"),
              "HTTP/1.1 501 Unimplemented\r\nContent-Type: text/plain\r\nContent-Length: 17\r\n\r\n501 Unimplemented");

    LoopbackClient client(port);
    // The 17 body bytes look like a request line but are dropped as a body.
    client.send("PUT /x HTTP/1.1\r\nConnection: keep-alive\r\nContent-Length: 17\r\n\r\nGET /x HTTP/1.1\r\n"
                "GET /f.txt HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.readAnswer().startsWith("HTTP/1.1 501 Unimplemented"));
    const QByteArray second = client.readUntilClosed();
    EXPECT_TRUE(second.startsWith("HTTP/1.1 200 OK")) << second.constData();
    EXPECT_TRUE(second.endsWith("after"));
}

TEST_F(HttpServerTest, KeepAliveFollowsVersionAndConnectionLine)
{
    writeFile("f.txt", "0123456789");
    {
        // HTTP/1.1 without a Connection line: "Connection: Close", then the
        // server shuts its side.
        LoopbackClient client(port);
        client.send("GET /f.txt HTTP/1.1\r\n\r\n");
        const QByteArray answer = client.readUntilClosed(3000);
        EXPECT_TRUE(client.peerClosed());
        EXPECT_TRUE(answer.contains("\r\nConnection: Close\r\n"));
        EXPECT_TRUE(answer.endsWith("0123456789"));
    }
    for (const char *version : {"HTTP/1.0", "HTTP/1.1"}) {
        LoopbackClient client(port);
        const QByteArray get = QByteArray("GET /f.txt ") + version + "\r\nConnection: keep-alive\r\n\r\n";
        client.send(get + get); // pipelined
        const QByteArray first = client.readAnswer();
        EXPECT_TRUE(first.contains("\r\nConnection: Keep-Alive\r\n")) << version;
        EXPECT_TRUE(first.endsWith("0123456789"));
        EXPECT_TRUE(client.readAnswer().endsWith("0123456789"));
        client.send(get);
        EXPECT_TRUE(client.readAnswer().endsWith("0123456789"));
        EXPECT_FALSE(client.peerClosed());
    }
    {
        // A body on a GET is read and dropped; the next request follows it.
        LoopbackClient client(port);
        client.send("GET /f.txt HTTP/1.1\r\nConnection: keep-alive\r\nContent-Length: 25\r\n\r\n"
                    "GET /nothere HTTP/1.1\r\n\r\n"
                    "HEAD /f.txt HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
        EXPECT_TRUE(client.readAnswer().endsWith("0123456789"));
        const QByteArray head = client.readHeader();
        EXPECT_TRUE(head.startsWith("HTTP/1.1 200 OK")) << head.constData();
        EXPECT_TRUE(head.contains("Content-Length: 10\r\n"));
        client.send("GET /f.txt HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
        EXPECT_TRUE(client.readAnswer().endsWith("0123456789"));
    }
    {
        // HEAD error answers carry no body either.
        LoopbackClient client(port);
        client.send("HEAD /none HTTP/1.1\r\nConnection: keep-alive\r\n\r\nGET /f.txt HTTP/1.1\r\n\r\n");
        EXPECT_TRUE(client.readHeader().startsWith("HTTP/1.1 404 Not Found"));
        EXPECT_TRUE(client.readUntilClosed().startsWith("HTTP/1.1 200 OK"));
    }
}

TEST_F(HttpServerTest, PostedDataAndKeepAliveAfterIt)
{
    writeFile("f.txt", "file");
    QByteArray received;
    int postedEvents = 0;
    handler.post = [](THttpConnection &client, THttpAnswer proposed) {
        return client.Path() == "/cgi-bin/form" ? THttpAnswer::takeBody() : proposed;
    };
    handler.posted = [&](THttpConnection &client) {
        ++postedEvents;
        char buffer[7];
        qint64 n;
        while ((n = client.Receive(buffer, sizeof buffer)) > 0)
            received.append(buffer, n);
        if (received.size() < client.RequestContentLength())
            return THttpAnswer::takeBody();
        const QByteArray body = "got " + received;
        return THttpAnswer::bytes(client.Version() + " 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                                  + "\r\n\r\n" + body);
    };

    LoopbackClient client(port);
    // The body arrives in two pieces; the next request is pipelined behind it.
    client.send("POST /cgi-bin/form HTTP/1.1\r\nConnection: keep-alive\r\nContent-Length: 20\r\n\r\nfirst=1&");
    spinFor(50);
    client.send("second=22222GET /f.txt HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_EQ(client.readAnswer(), "HTTP/1.1 200 OK\r\nContent-Length: 24\r\n\r\ngot first=1&second=22222");
    EXPECT_TRUE(client.readAnswer().endsWith("file"));
    EXPECT_GE(postedEvents, 2);

    // Not accepted: 404, the body dropped; a POST without a length.
    client.send("POST /other HTTP/1.1\r\nConnection: keep-alive\r\nContent-Length: 3\r\n\r\nabc"
                "POST /other HTTP/1.1\r\nConnection: keep-alive\r\n\r\n"
                "GET /f.txt HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_TRUE(client.readAnswer().startsWith("HTTP/1.1 404 Not Found"));
    EXPECT_TRUE(client.readAnswer().startsWith("HTTP/1.1 404 Not Found"));
    EXPECT_TRUE(client.readAnswer().endsWith("file"));

    // An accepted POST with an empty body still reaches the handler once.
    received.clear();
    postedEvents = 0;
    client.send("POST /cgi-bin/form HTTP/1.1\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(client.readAnswer(), "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ngot ");
    EXPECT_EQ(postedEvents, 1);
}

TEST_F(HttpServerTest, RefusesRequestsBeyondTheLimits)
{
    struct Case
    {
        QByteArray request;
        QByteArray statusLine;
    };
    const Case cases[] = {
        {"GET /" + QByteArray(limits::kMaxRequestLine, 'a') + " HTTP/1.1\r\n\r\n", "HTTP/1.0 414 URI Too Long"},
        {"GET / HTTP/1.1\r\nX: " + QByteArray(limits::kMaxHeaderLine, 'b') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"GET / HTTP/1.1\r\n" + QByteArray("X: 1\r\n").repeated(limits::kMaxHeaderLines + 1) + "\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large"},
        {"POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"POST / HTTP/1.1\r\nContent-Length: lots\r\n\r\n", "HTTP/1.1 400 Bad Request"},
        {"POST / HTTP/1.1\r\nContent-Length: " + QByteArray::number(limits::kMaxPostedBody + 1) + "\r\n\r\n",
         "HTTP/1.1 413 Payload Too Large"},
        {"POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
         "HTTP/1.1 501 Unimplemented"},
    };
    for (const Case &c : cases) {
        LoopbackClient client(port);
        client.send(c.request);
        const QByteArray answer = client.readUntilClosed();
        EXPECT_TRUE(client.peerClosed());
        EXPECT_TRUE(answer.startsWith(c.statusLine + "\r\n")) << answer.left(80).constData();
        const auto [header, body] = splitAnswer(answer);
        EXPECT_TRUE(header.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
        EXPECT_TRUE(header.contains("Connection: Close\r\n"));
    }
    // A client that keeps sending a header line forever is cut off early.
    LoopbackClient flood(port);
    flood.send("GET / HTTP/1.1\r\nX: ");
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 16 && !flood.peerClosed(); ++i) {
        flood.send(chunk);
        flood.readSome(1, 20);
    }
    EXPECT_TRUE(flood.waitClosed());
    EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }));
}

TEST_F(HttpServerTest, TimeOutsCloseIdleSlowAndStuckClients)
{
    writeFile("f.txt", "ok");
    server.Stop();
    server.SetListenBacklog(512);
    ASSERT_TRUE(server.Start());
    port = server.ListeningPort();
    {
        // Many idle connections: the server keeps answering, then closes them all.
        std::vector<std::unique_ptr<LoopbackClient>> idle;
        for (int i = 0; i < 300; ++i)
            idle.push_back(std::make_unique<LoopbackClient>(port));
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 300; }));
        EXPECT_TRUE(request("GET /f.txt HTTP/1.1\r\n\r\n").endsWith("ok"));
        server.SetIdleTimeout(300);
        for (auto &client : idle)
            EXPECT_TRUE(client->waitClosed(3000));
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }));
    }
    server.SetHeaderTimeout(600);
    {
        // One byte at a time, never finishing the header in time: 408.
        LoopbackClient slow(port);
        slow.send("GET /f.txt HTTP/1.1\r\n");
        const QByteArray text = "X-Slow: ........................................";
        QByteArray answer;
        for (char c : text) {
            slow.send(QByteArray(1, c));
            answer += slow.readSome(1024, 40);
            if (slow.peerClosed())
                break;
        }
        answer += slow.readUntilClosed();
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 408 Request Timeout\r\n")) << answer.toStdString();
    }
    {
        // Half-closed after the request: answered, then closed.
        LoopbackClient half(port);
        half.send("GET /f.txt HTTP/1.1\r\n\r\n");
        half.shutdownWrite();
        EXPECT_TRUE(half.waitClosed());
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }));
    }
}

TEST_F(HttpServerTest, ClientsThatStopReadingOrVanishLeakNothing)
{
    server.SetIdleTimeout(300);
    writeFile("big.bin", QByteArray(8 * 1024 * 1024, 'z'));
    writeFile("f.txt", "ok");
    EXPECT_TRUE(request("GET /f.txt HTTP/1.1\r\n\r\n").endsWith("ok"));
    spinUntil([&] { return server.ClientCount() == 0; });
    const int before = openDescriptors();
    {
        LoopbackClient reader(port);
        reader.setSmallReceiveBuffer();
        reader.send("GET /big.bin HTTP/1.1\r\n\r\n");
        EXPECT_TRUE(reader.readHeader().startsWith("HTTP/1.1 200 OK"));
        // Never reads on: the server gives up after the idle time.
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }, 5000));
    }
    for (const char *range : {"", "Range: bytes=0-10,100-5000000,6000000-\r\n"}) {
        LoopbackClient quitter(port);
        quitter.send(QByteArray("GET /big.bin HTTP/1.1\r\n") + range + "\r\n");
        EXPECT_EQ(quitter.readSome(100000).size(), 100000);
        quitter.close();
        EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 0; }, 5000));
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_TRUE(request("GET /f.txt HTTP/1.1\r\n\r\n").endsWith("ok"));
}

TEST_F(HttpServerTest, LargeFileArrivesWhole)
{
    QByteArray big(3 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 % 251);
    writeFile("big.bin", big);
    const auto [header, body] = splitAnswer(request("GET /big.bin HTTP/1.1\r\n\r\n"));
    EXPECT_TRUE(header.contains("Content-Length: 3145745\r\n"));
    EXPECT_TRUE(body == big);

    // More bytes behind a closing request than the server reads: closing
    // over unread bytes resets the connection and cuts the answer short, so
    // the close must stay orderly and the answer arrive whole.
    LoopbackClient client(port);
    client.send("GET /big.bin HTTP/1.0\r\n\r\n" + QByteArray(200 * 1024, 'x'));
    const QByteArray answer = client.readUntilClosed(10000);
    EXPECT_TRUE(client.peerClosed());
    EXPECT_TRUE(splitAnswer(answer).body == big);
}

TEST_F(HttpServerTest, EventsAndAnswerChoices)
{
    writeFile("f.txt", "file");
    handler.get = [&](THttpConnection &c, THttpAnswer proposed) {
        EXPECT_EQ(c.Document(), QFile::encodeName(m_docs) + c.Path());
        EXPECT_EQ(c.PeerAddr(), "127.0.0.1");
        EXPECT_NE(c.PeerPort(), 0);
        if (c.Path() == "/site=") // the handler's own answer, without a length
            return THttpAnswer::bytes(c.Version() + " 301 Moved Permanently \r\nLocation: " + c.Params() + "\r\n\r\n");
        if (c.Path() == "/hidden")
            return THttpAnswer::notFound();
        if (c.Path() == "/throw")
            throw std::runtime_error("handler fault");
        return proposed;
    };
    handler.log.clear();
    EXPECT_TRUE(request("GET /f.txt HTTP/1.1\r\n\r\n").endsWith("file"));
    spinUntil([&] { return server.ClientCount() == 0; });
    EXPECT_EQ(handler.log, QStringList({"connect HttpServer1Client1", "before /f.txt", "done /f.txt", "disconnect"}));

    LoopbackClient redirect(port);
    redirect.send("GET /site=?http://example.com/?a=1 HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_EQ(redirect.readUntilClosed(), "HTTP/1.1 301 Moved Permanently \r\nLocation: http://example.com/?a=1\r\n\r\n");
    EXPECT_TRUE(redirect.peerClosed());

    writeFile("hidden", "not for you");
    EXPECT_TRUE(request("GET /hidden HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404 Not Found\r\n"));

    // A faulty handler costs its own connection only.
    LoopbackClient faulty(port);
    faulty.send("GET /throw HTTP/1.1\r\n\r\n");
    EXPECT_EQ(faulty.readUntilClosed(), "");
    EXPECT_TRUE(request("GET /f.txt HTTP/1.1\r\n\r\n").endsWith("file"));
}

TEST_F(HttpServerTest, PendingAnswerHoldsTheNextRequestBack)
{
    writeFile("f.txt", "file");
    QPointer<THttpConnection> waiting;
    handler.get = [&](THttpConnection &c, THttpAnswer proposed) {
        if (c.Path() != "/later")
            return proposed;
        waiting = &c;
        return THttpAnswer::pending();
    };
    server.SetIdleTimeout(100);
    LoopbackClient client(port);
    client.send("GET /later HTTP/1.1\r\nConnection: keep-alive\r\n\r\nGET /f.txt HTTP/1.1\r\n\r\n");
    // Neither idle nor answered while the handler works, however long.
    EXPECT_EQ(client.readSome(1, 400), "");
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->state(), THttpConnection::State::AwaitingAnswer);
    waiting->Answer(THttpAnswer::bytes("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nlater"));
    EXPECT_EQ(client.readAnswer(), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nlater");
    EXPECT_TRUE(client.readUntilClosed().endsWith("file"));
}

namespace {

class TaggedConnection : public THttpConnection
{
public:
    static int alive;
    TaggedConnection() { ++alive; }
    ~TaggedConnection() override { --alive; }
};
int TaggedConnection::alive = 0;

} // namespace

TEST_F(HttpServerTest, ServerLifecycle)
{
    server.SetClientClass<TaggedConnection>();
    handler.log.clear();

    LoopbackClient a(port);
    LoopbackClient b(port);
    EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 2; }));
    EXPECT_EQ(TaggedConnection::alive, 2);

    // A new port listens again; the clients stay.
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
    const quint16 busy = other.serverPort();
    other.close();
    server.SetPort(QString::number(busy));
    EXPECT_EQ(server.ListeningPort(), busy);
    EXPECT_EQ(server.ClientCount(), 2);

    // Stop aborts every client.
    server.Stop();
    EXPECT_FALSE(server.IsListening());
    EXPECT_TRUE(a.waitClosed());
    EXPECT_TRUE(b.waitClosed());
    EXPECT_TRUE(spinUntil([&] { return TaggedConnection::alive == 0; }));
    EXPECT_EQ(handler.log.filter(QRegularExpression("^st")), QStringList({"stopped", "started", "stopped"}));

    // A port in use, or no port at all, fails and says so.
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress("127.0.0.1"), 0));
    server.SetPort(QString::number(squatter.serverPort()));
    EXPECT_FALSE(server.Start());
    EXPECT_FALSE(server.ErrorString().isEmpty());
    server.SetPort("http");
    EXPECT_FALSE(server.Start());
    server.SetPort("0");
    EXPECT_TRUE(server.Start());
    port = server.ListeningPort();
}

TEST_F(HttpServerTest, OverCapacityAnswer)
{
    server.SetMaxClients(1);
    LoopbackClient first(port);
    EXPECT_TRUE(spinUntil([&] { return server.ClientCount() == 1; }));
    LoopbackClient second(port);
    EXPECT_EQ(second.readUntilClosed(), "HTTP/1.0 503 Service Unavailable\r\nContent-type: text/plain\r\n"
                                        "Content-length: 33\r\n\r\nServer overloaded. Retry later.\r\n");
    EXPECT_EQ(server.ClientCount(), 1);
}
