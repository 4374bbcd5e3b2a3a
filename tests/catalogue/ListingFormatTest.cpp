#include "catalogue/ListingDocument.h"
#include "catalogue/ListingFormat.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>

using namespace vistrel;
using namespace vistrel::catalogue;

TEST(ListingFormat, TimeStampCountsTenThousandthsOfADaySince1899)
{
    EXPECT_EQ(listing::timeStamp(QDateTime(QDate(2026, 12, 8), QTime(12, 0))), 463645000);
    EXPECT_EQ(listing::timeStamp(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0);
    // 8.64 seconds per unit: 8.639 s is still unit 0, 8.64 s is unit 1.
    EXPECT_EQ(listing::timeStamp(QDateTime(QDate(1899, 12, 30), QTime(0, 0, 8, 639))), 0);
    EXPECT_EQ(listing::timeStamp(QDateTime(QDate(1899, 12, 30), QTime(0, 0, 8, 640))), 1);
    EXPECT_DOUBLE_EQ(listing::daysSince1899(QDateTime(QDate(2026, 12, 8), QTime(18, 0))), 46364.75);
}

TEST(ListingFormat, LocationTextRules)
{
    EXPECT_EQ(listing::locationText(""), "");
    EXPECT_EQ(listing::locationText("R&D"), "RandD");
    EXPECT_EQ(listing::locationText("tech\\news"), "tech\\News");
    EXPECT_EQ(listing::locationText("links\\news"), "links\\News");
    EXPECT_EQ(listing::locationText("Links\\News"), "Links\\News");
    EXPECT_EQ(listing::locationText("a\\bold\\red\\tools\\x\\Big"), "a\\Bold\\Red\\Tools\\x\\Big");
    EXPECT_EQ(listing::locationText("caf\xc3\xa9 bar"), "caf\xc3\xa9 bar");
    // What would break the document is escaped; invalid bytes become U+FFFD.
    EXPECT_EQ(listing::locationText("say \"hi\" <b>"), "say &#34;hi&#34; &#60;b>");
    EXPECT_EQ(listing::locationText(std::string("a\x01\tb\xff", 5)), "a &#9;b\xef\xbf\xbd");
    EXPECT_EQ(listing::folderStartLine("R&D"), "<Folder Location = \"RandD\">");
}

TEST(ListingFormat, LinkAttributesKeepTheirBlanks)
{
    EXPECT_EQ(listing::uniqueAttribute("/F/a b.url"), "UNIQUE=\"2F462F6120622E75726C\" ");
    EXPECT_EQ(listing::sortOrderAttribute(-1), "SORT_ORDER=\"-1\"");
    EXPECT_EQ(listing::descriptionAttribute("My Site"), "DESCRIPTION=\"My&#32;Site\" ");
    std::string link;
    listing::appendPiece(link, listing::kLinkStart);
    EXPECT_EQ(link, "<Link \n\r");
}

TEST(ListingDocument, WritesTheHeadersAndSavesWithCrLf)
{
    test::TempHome home;
    ListingDocument doc;
    doc.beginListing(463645000, true);
    doc.endListing();
    EXPECT_EQ(doc.text(),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<BROWSERINFO \r\nTime=\"463645000\"\r\n"
              "HomePage=\"YES\">\r\n<Favoritesfolder>\r\n</Favoritesfolder>\r\n</BROWSERINFO>\r\n");

    doc.beginHistory(7);
    doc.endHistory();
    EXPECT_EQ(doc.text(), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<BROWSERINFO \r\nTime=\"7\">\r\n"
                          "<History>\r\n</History>\r\n</BROWSERINFO>\r\n");

    const QString path = home.file("Documents/vistrel/history.xml");
    ASSERT_TRUE(doc.save(path));
    EXPECT_EQ(test::readAll(path).toStdString(), doc.text());
}
