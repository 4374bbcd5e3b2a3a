#include "server/http/HttpAnswers.h"
#include "server/http/HttpHtmlText.h"

#include <gtest/gtest.h>

using namespace vistrel::server;

TEST(HttpAnswers, HtmlTextEscaping)
{
    EXPECT_EQ(escapeHtmlText("a&b<c>\"d'e"), "a&amp;b&lt;c&gt;&#34;d&#39;e");
    EXPECT_EQ(escapeHtmlText("a  b   c"), "a &nbsp;b &nbsp;&nbsp;c");
    EXPECT_EQ(escapeHtmlText("t\tl\nx"), "t&nbsp;l\n<BR>x");
    EXPECT_EQ(escapeHtmlText("\xc2\xa0\xc3\xa9\xc3\xbf"), "&nbsp;&eacute;&yuml;");
    // Above 255 passes through as UTF-8; broken UTF-8 becomes U+FFFD.
    EXPECT_EQ(escapeHtmlText("\xe2\x82\xac \xf0\x9f\x98\x80"), "\xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(escapeHtmlText("\xff"), "\xef\xbf\xbd");
}

TEST(HttpAnswers, ContentTypesAndDates)
{
    EXPECT_EQ(answers::contentTypeFor("/d/x.HTM"), "text/html");
    EXPECT_EQ(answers::contentTypeFor("/d/x.jpeg"), "image/jpeg");
    EXPECT_EQ(answers::contentTypeFor("/d/x.wmlscriptc"), "application/vnd.wap.wmlscriptc");
    EXPECT_EQ(answers::contentTypeFor("/d/x.xml"), "application/binary");
    EXPECT_EQ(answers::contentTypeFor("/d.htm/noext"), "application/binary");
    EXPECT_EQ(answers::httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(answers::httpDate(1735689599), "Tue, 31 Dec 2024 23:59:59 GMT");
    EXPECT_EQ(answers::httpDate(951782400), "Tue, 29 Feb 2000 00:00:00 GMT");
}
