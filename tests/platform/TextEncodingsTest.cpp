#include "platform/TextEncodings.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QXmlStreamReader>

#include <random>

using namespace vistrel::platform;

namespace {

std::string allBytes()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s += static_cast<char>(i);
    return s;
}

// The attribute value an XML reader sees for escaped text, or nullopt when the
// element does not parse.
std::optional<QString> readBack(const std::string &escaped)
{
    const std::string doc = "<a v=\"" + escaped + "\"/>";
    QXmlStreamReader reader(QByteArray::fromStdString(doc));
    std::optional<QString> value;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement)
            value = reader.attributes().value("v").toString();
    }
    if (reader.hasError())
        return std::nullopt;
    return value;
}

} // namespace

TEST(HexEncoding, EncodesEveryByteAsTwoUpperCaseDigits)
{
    EXPECT_EQ(hexEncode(""), "");
    EXPECT_EQ(hexEncode("abc"), "616263");
    EXPECT_EQ(hexEncode(" "), "20");
    EXPECT_EQ(hexEncode("\\Example.url"), "5C4578616D706C652E75726C");
    EXPECT_EQ(hexEncode(std::string("\x00\xff\xe9", 3)), "00FFE9");
}

TEST(HexEncoding, DecodingRoundTripsAnyBytesAndReadsEitherCase)
{
    const std::string bytes = allBytes() + "\xc3(\xff" + "caf\xc3\xa9";
    EXPECT_EQ(hexDecode(hexEncode(bytes)), bytes);
    EXPECT_EQ(hexDecode("6a6B"), "jk");
    EXPECT_EQ(hexDecode(""), "");
}

TEST(HexEncoding, DecodingIgnoresAnOddLastDigitAndRejectsBadPairs)
{
    EXPECT_EQ(hexDecode("616"), "a");
    EXPECT_EQ(hexDecode("6"), "");
    EXPECT_THROW(hexDecode("61G2"), ConversionError);
    EXPECT_THROW(hexDecode("6 "), ConversionError);
    EXPECT_THROW(hexDecode("-1"), ConversionError);
}

TEST(ReferenceEscaping, FollowsTheDocumentedRules)
{
    EXPECT_EQ(escapeReferences("Tom & Jerry's"), "Tom&#32;&amp;&#32;Jerry's");
    EXPECT_EQ(escapeReferences("&amp;"), "&amp;amp;");
    EXPECT_EQ(escapeReferences("a\tb"), "a&#9;b");
    EXPECT_EQ(escapeReferences("My Site"), "My&#32;Site");
    EXPECT_EQ(escapeReferences(">'"), ">'");
    // Code points 127 to 255 become references; higher ones pass as UTF-8.
    EXPECT_EQ(escapeReferences("caf\xc3\xa9 \x7f"), "caf&#233;&#32;&#127;");
    EXPECT_EQ(escapeReferences("\xe2\x82\xac\xc4\x80"), "\xe2\x82\xac\xc4\x80");
}

TEST(ReferenceEscaping, KeepsTheDocumentWellFormed)
{
    EXPECT_EQ(escapeReferences("say \"hi\" <b>"), "say&#32;&#34;hi&#34;&#32;&#60;b>");
    // Characters XML forbids become blanks; invalid UTF-8 becomes U+FFFD.
    EXPECT_EQ(escapeReferences(std::string("a\x01\x00z", 4)), "a&#32;&#32;z");
    EXPECT_EQ(escapeReferences("a\xff" "b"), "a\xef\xbf\xbd" "b");
    EXPECT_EQ(escapeReferences("\xef\xbf\xbe"), "&#32;"); // U+FFFE
    EXPECT_EQ(escapeReferences("\xed\xa0\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"); // a surrogate
    EXPECT_EQ(escapeReferences("\xe2\x82"), "\xef\xbf\xbd"); // one U+FFFD for the truncated sequence

    const auto back = readBack(escapeReferences("R&D \"x\" <y> caf\xc3\xa9\t"));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, QString::fromUtf8("R&D \"x\" <y> caf\xc3\xa9\t"));

    std::mt19937 random(7);
    for (int round = 0; round < 500; ++round) {
        std::string bytes;
        for (int i = 0; i < 24; ++i)
            bytes += static_cast<char>(random() & 0xFF);
        EXPECT_TRUE(readBack(escapeReferences(bytes))) << hexEncode(bytes);
        EXPECT_TRUE(readBack(escapePercent(bytes))) << hexEncode(bytes);
        EXPECT_TRUE(readBack(escapeReferences(escapeAttribute(bytes)))) << hexEncode(bytes);
    }
    EXPECT_TRUE(readBack(escapeReferences(allBytes())));
}

TEST(PercentEscaping, FollowsTheDocumentedRules)
{
    EXPECT_EQ(escapePercent("A/B: C"), "A%47B%58%32C");
    EXPECT_EQ(escapePercent("\"*<>?\\|"), "%34%42%60%62%63%92%124");
    EXPECT_EQ(escapePercent("Q&A"), "Q&amp;A");
    EXPECT_EQ(escapePercent("a\tb"), "a\tb");
    EXPECT_EQ(escapePercent("caf\xc3\xa9"), "caf%233");
    EXPECT_EQ(escapePercent("\xe2\x82\xac"), "\xe2\x82\xac");
    EXPECT_EQ(escapePercent("a\x02z"), "a%32z");
}

TEST(AttributeEscaping, EscapesAmpersandThenQuote)
{
    EXPECT_EQ(escapeAttribute("a&b\"c<d"), "a&amp;b&#34;c<d");
    // As it reaches the listing: escaped twice, read back as "&amp;".
    const auto back = readBack(escapeReferences(escapeAttribute("a&b")));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, QStringLiteral("a&amp;b"));
}

TEST(PercentDecoding, ReadsWhatABrowserSends)
{
    EXPECT_EQ(decodePercent("A%20B%2FC%5CD%3A%7C%3F%3C%3E%2A%22"), "A B/C\\D:|?<>*\"");
    EXPECT_EQ(decodePercent("Q&amp;A"), "Q&A");
    EXPECT_EQ(decodePercent("a&#20;b&#09;c"), "a b\tc");
    EXPECT_EQ(decodePercent("caf%C3%A9"), "caf\xc3\xa9");
    // Case-sensitive, and only the listed codes.
    EXPECT_EQ(decodePercent("a%2fb%41%7e"), "a%2fb%41%7e");
    // Decimal codes written by the escaping are not read back.
    EXPECT_EQ(decodePercent("A%47B"), "A%47B");
    EXPECT_EQ(decodePercent("100%"), "100%");
}

TEST(FormValueDecoding, DecodesOnceFromLeftToRight)
{
    EXPECT_EQ(decodeFormValue("a%25b"), "a%b");
    EXPECT_EQ(decodeFormValue("a+b"), "a b");
    EXPECT_EQ(decodeFormValue("%2541"), "%41");
    EXPECT_EQ(decodeFormValue("caf%c3%A9%2B"), "caf\xc3\xa9+");
    EXPECT_EQ(decodeFormValue(""), "");
}

TEST(FormValueDecoding, ReportsAPercentWithoutTwoHexDigits)
{
    EXPECT_THROW(decodeFormValue("100%"), ConversionError);
    EXPECT_THROW(decodeFormValue("%"), ConversionError);
    EXPECT_THROW(decodeFormValue("%4"), ConversionError);
    EXPECT_THROW(decodeFormValue("%zz"), ConversionError);
    EXPECT_THROW(decodeFormValue("ok%2"), ConversionError);
}

TEST(UrlHelpers, SiteRootBaseAndFilePattern)
{
    EXPECT_EQ(siteRoot("http://example.com/a/b.html"), "http://example.com/");
    EXPECT_EQ(siteRoot("http://example.com"), "http://example.com");
    EXPECT_EQ(siteRoot("http://example.com/"), "http://example.com/");
    EXPECT_EQ(siteRoot(""), "");

    EXPECT_EQ(urlBase("http://example.com/a/b.html"), "http://example.com/a/");
    EXPECT_EQ(urlBase("example"), "example");
    EXPECT_EQ(urlBase(""), "");

    EXPECT_EQ(filePattern("http://example.com/docs/report.pdf"), "*.pdf");
    EXPECT_EQ(filePattern("http://example.com/download"), "*.com/download");
    EXPECT_EQ(filePattern("ftp://host/file"), "*.exe");
    EXPECT_EQ(filePattern(""), "*.exe");
}

TEST(XmlText, ReplacesInvalidSequencesAndForbiddenCharacters)
{
    EXPECT_EQ(toXmlText("plain caf\xc3\xa9"), "plain caf\xc3\xa9");
    EXPECT_EQ(toXmlText(std::string("a\x00\x1f\t\r\n", 6)), "a  \t\r\n");
    EXPECT_EQ(toXmlText("\xc0\xaf"), "\xef\xbf\xbd\xef\xbf\xbd"); // overlong
    EXPECT_EQ(toXmlText("\xf4\x90\x80\x80"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(toXmlText("\xf0\x9f\x98\x80"), "\xf0\x9f\x98\x80");
}
