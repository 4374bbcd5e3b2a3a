#include "HandlersFixture.h"

#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

#include <QUrl>

using vistrel::test::HandlersFixture;
using vistrel::test::readAll;
using vistrel::test::splitAnswer;
using vistrel::test::TestHttpServer;

namespace {

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

// The whole way through the server: the post, the title fetched from the site,
// the favourite written and the report page. The naming rules themselves are
// the editor form's tests.
TEST_F(EditorHistory, AddsATitledPageUnderItsTitle)
{
    TestHttpServer site;
    site.on("/page.htm", TestHttpServer::page("<html><head><title>  Fixture Page  </title></head><body>x</body></html>"));
    const QByteArray url = site.url("/page.htm").toUtf8();
    const auto answer = splitAnswer(addFavourite(url));
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK\r\n"));
    EXPECT_TRUE(answer.body.contains("there were 1 results from127.0.0.1<br>Action taken : Added Favourite Fixture "
                                     "Page <br>\r\n"))
        << answer.body.toStdString();
    EXPECT_EQ(readAll(t.paths.favoritesFolder + "/Fixture Page.URL"), "[InternetShortcut]\r\nURL=" + url + "\r\n");
}

} // namespace
