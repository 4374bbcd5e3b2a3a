#include "catalogue/MenuOrder.h"
#include "support/MenuOrderRecords.h"
#include "platform/RegistryFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace vistrel;
using namespace vistrel::catalogue;

namespace {

std::string record(const std::string &name, int order, unsigned char attribute = 0x20, std::size_t padding = 4,
                   int lengthHigh = 0)
{
    return test::menuOrderRecord(name, order, attribute, padding, lengthHigh);
}

std::string value(std::initializer_list<std::string> records)
{
    return test::menuOrderValue(records);
}

QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

const QString kOrderValue = QStringLiteral("Order");

} // namespace

TEST(MenuOrderTable, ReadsNonFolderRecordsAndLooksNamesUpWithoutCase)
{
    const auto table = MenuOrderTable::parse(value({record("News.url", 3), record("News.url", 7, 16),
                                                    record("Tools", 1, 16), record("Big.URL", 255, 0x21, 9, 0x7F),
                                                    record("news.url", 9), record("\xc3\x89t\xc3\xa9.url", 4)}));
    ASSERT_EQ(table.entries().size(), 4u);
    EXPECT_EQ(table.entries()[0].name, "news.url");
    EXPECT_EQ(table.orderOf("NEWS.URL"), 3); // the first of two equal names
    EXPECT_EQ(table.orderOf("Tools"), -1);   // folder records stay out
    EXPECT_EQ(table.orderOf("big.url"), 255);
    EXPECT_EQ(table.orderOf("\xc3\xa9T\xc3\x89.URL"), 4);
    EXPECT_EQ(table.orderOf("missing.url"), -1);
}

TEST(MenuOrderTable, AMalformedValueEndsTheReadingAndKeepsWhatCameBefore)
{
    std::string zeroLength = record("b.url", 2);
    zeroLength[0] = zeroLength[1] = '\0';
    auto t = MenuOrderTable::parse(value({record("a.url", 1), zeroLength, record("c.url", 3)}));
    ASSERT_EQ(t.entries().size(), 1u);
    EXPECT_EQ(t.orderOf("a.url"), 1);

    std::string tooLong = record("b.url", 2);
    tooLong[0] = static_cast<char>(tooLong.size() + 1);
    t = MenuOrderTable::parse(value({record("a.url", 1), tooLong}));
    EXPECT_EQ(t.entries().size(), 1u);

    std::string tooShort = record("b.url", 2);
    tooShort[0] = static_cast<char>(menu_order::kNameOffset);
    t = MenuOrderTable::parse(value({record("a.url", 1), tooShort}));
    EXPECT_EQ(t.entries().size(), 1u);

    EXPECT_TRUE(MenuOrderTable::parse("short header").entries().empty());
    EXPECT_TRUE(MenuOrderTable::parse(value({}) + "\x05").entries().empty());
    // A name without its zero byte ends at the record's end.
    std::string unterminated = record("d.url", 6, 0, 0);
    unterminated.pop_back();
    unterminated[0] = static_cast<char>(unterminated.size());
    t = MenuOrderTable::parse(value({unterminated}));
    EXPECT_EQ(t.orderOf("d.url"), 6);
}

TEST(MenuOrderRewrite, ChangesOnlyMatchingNonFolderRecordsInPlace)
{
    std::string data = value({record("Tools", 1, 16), record("tools", 2), record("Other.url", 5), record("TOOLS", 3)});
    const std::size_t size = data.size();
    EXPECT_EQ(rewriteMenuOrder(data, "Tools", -2), 2); // low 8 bits of -2
    EXPECT_EQ(data.size(), size);
    const auto table = MenuOrderTable::parse(data);
    ASSERT_EQ(table.entries().size(), 3u);
    EXPECT_EQ(table.entries()[0].order, 254);
    EXPECT_EQ(table.entries()[1].order, 5);
    EXPECT_EQ(table.entries()[2].order, 254);
    EXPECT_EQ(static_cast<unsigned char>(data[menu_order::kHeaderSize + menu_order::kOrderOffset]), 1); // folder

    std::string broken = value({record("a.url", 1)});
    broken += std::string(2, '\0');
    EXPECT_EQ(rewriteMenuOrder(broken, "a.url", 9), 1);
    EXPECT_EQ(rewriteMenuOrder(broken, "zzz", 9), 0);
}

TEST(MenuOrderRegistry, LoadsAndWritesTheFoldersValueWithoutCreatingKeys)
{
    test::TempHome home;
    platform::RegistryFile registry(home.file("registry.reg"));
    const std::string data = value({record("a.url", 1), record("b.url", 2)});
    ASSERT_EQ(menuOrderKey(""),
              "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites");
    ASSERT_TRUE(registry.writeBinary(QString::fromStdString(menuOrderKey("")), kOrderValue, bytes(data)));
    ASSERT_TRUE(registry.writeBinary(QString::fromStdString(menuOrderKey("R&D")), kOrderValue,
                                     bytes(value({record("lab.url", 7)}))));

    EXPECT_EQ(loadMenuOrderTable(registry, "").orderOf("B.URL"), 2);
    EXPECT_EQ(loadMenuOrderTable(registry, "R&D").orderOf("lab.url"), 7);
    EXPECT_TRUE(loadMenuOrderTable(registry, "tech\\news").entries().empty());

    EXPECT_EQ(loadMenuOrderTable(registry, "R&D").orderOf("lab.url"), 7);
    EXPECT_EQ(loadMenuOrderTable(registry, "").orderOf("b.url"), 2);
    EXPECT_TRUE(setMenuOrder(registry, "", "b.url", 9));
    EXPECT_EQ(loadMenuOrderTable(registry, "").orderOf("b.url"), 9); // the changed file is read again
    EXPECT_EQ(registry.readBinary(QString::fromStdString(menuOrderKey("")), kOrderValue)->size(),
              qsizetype(data.size()));

    const QByteArray before = test::readAll(registry.path());
    EXPECT_FALSE(setMenuOrder(registry, "", "unknown.url", 9));
    EXPECT_FALSE(setMenuOrder(registry, "tech\\news", "a.url", 9));
    EXPECT_EQ(test::readAll(registry.path()), before);
    EXPECT_FALSE(registry.keyExists(QString::fromStdString(menuOrderKey("tech\\news"))));
}
