#include "catalogue/ListingFormat.h"
#include "support/MenuOrderRecords.h"
#include "catalogue/RefreshFixture.h"
#include "platform/TextEncodings.h"

#include <QDateTime>
#include <QRegularExpression>

using namespace vistrel;

namespace {

std::string expectedListing()
{
    std::string here = __FILE__;
    here = here.substr(0, here.rfind('/'));
    return test::readAll(QString::fromStdString(here + "/data/small_listing.xml")).toStdString();
}

void replace(std::string &text, const std::string &from, const std::string &to)
{
    for (std::size_t at; (at = text.find(from)) != std::string::npos;)
        text.replace(at, from.size(), to);
}

} // namespace

TEST(Listing, ASmallTreeIsWrittenByteForByte)
{
    test::RefreshFixture f;
    for (const char *name : {"/apple.url", "/Example.url", "/My Site.url", "/R&D/Lab Notes.url", "/R&D/tech/news/Daily.url"})
        f.shortcut(name);
    const QString orderKey = QString::fromStdString(catalogue::menuOrderKey(""));
    f.registry.writeBinary(orderKey, "Order",
                           QByteArray::fromStdString(test::menuOrderValue(
                               {test::menuOrderRecord("example.url", 0), test::menuOrderRecord("My Site.url", 2)})));
    f.registry.writeBinary(QString::fromStdString(catalogue::menuOrderKey("R&D")), "Order",
                           QByteArray::fromStdString(test::menuOrderValue({test::menuOrderRecord("Lab Notes.url", 5)})));

    f.driver.setCaptureFunction([](const QString &, const QString &, bool, std::string &link) {
        link += "PRECODE = \"200\" \n\r";
        return false;
    });
    std::string pagesGot;
    f.driver.setPageGeneration([&](const std::string &text) { pagesGot = text; });

    const auto before = catalogue::listing::timeStamp(QDateTime::currentDateTime());
    f.driver.Button2Click();
    const auto after = catalogue::listing::timeStamp(QDateTime::currentDateTime());

    const std::string actual = f.listing();
    const auto time = QRegularExpression("Time=\"(\\d+)\"").match(QString::fromStdString(actual));
    ASSERT_TRUE(time.hasMatch());
    const qint64 stamp = time.captured(1).toLongLong();
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, after);

    std::string expected = expectedListing();
    ASSERT_FALSE(expected.empty());
    replace(expected, "{ROOT}", platform::hexEncode(f.root));
    replace(expected, "{TIME}", std::to_string(stamp));
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(pagesGot, actual);
    EXPECT_EQ(f.status.status(), "All Done");
}
