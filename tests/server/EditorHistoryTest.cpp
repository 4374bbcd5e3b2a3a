#include "HandlersFixture.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

using vistrel::test::HandlersFixture;
using vistrel::test::readAll;
using vistrel::test::splitAnswer;

namespace {

// A site on loopback that answers every request with one fixed page.
class TinySite : public QObject
{
public:
    explicit TinySite(QByteArray page) : m_page(std::move(page))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    const bool head = m_request.startsWith("HEAD ");
                    m_request.clear();
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: "
                                  + QByteArray::number(m_page.size()) + "\r\n\r\n");
                    if (!head)
                        socket->write(m_page);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QByteArray url() const { return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/page.htm"; }

private:
    QTcpServer m_server;
    QByteArray m_page;
    QByteArray m_request;
};

class EditorHistory : public HandlersFixture
{
protected:
    void SetUp() override
    {
        HandlersFixture::SetUp();
        start();
    }

    QByteArray addFavourite(const QByteArray &url)
    {
        return exchange(post("/cgi-bin/cgifrm2.exe", QUrl::toPercentEncoding(QString::fromUtf8(url)) + "=Add+to+favourites"),
                        15000);
    }
};

TEST_F(EditorHistory, AddsATitledPageUnderItsTitle)
{
    TinySite site("<html><head><title>  Fixture Page  </title></head><body>x</body></html>");
    const auto answer = splitAnswer(addFavourite(site.url()));
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_TRUE(answer.body.contains("there were 1 results from127.0.0.1<br>Action taken : Added Favourite Fixture "
                                     "Page <br>\r\n"))
        << answer.body.toStdString();
    EXPECT_EQ(readAll(t.paths.favoritesFolder + "/Fixture Page.URL"),
              "[InternetShortcut]\r\nURL=" + site.url() + "\r\n");
}

TEST_F(EditorHistory, NamesAnUntitledPageAfterItsHost)
{
    TinySite site("<html><body>no title here</body></html>");
    const auto answer = splitAnswer(addFavourite(site.url()));
    EXPECT_TRUE(answer.body.contains("Added Favourite 127.0.0.1 <br>")) << answer.body.toStdString();
    EXPECT_EQ(readAll(t.paths.favoritesFolder + "/127.0.0.1.URL"), "[InternetShortcut]\r\nURL=" + site.url() + "\r\n");
}

} // namespace
