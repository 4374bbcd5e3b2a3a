#include "catalogue/FolderLinkBuffer.h"
#include "catalogue/ListingDocument.h"
#include "catalogue/MenuOrder.h"
#include "catalogue/SortKeys.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QRandomGenerator>

#include <cstdlib>
#include <ctime>

using namespace vistrel::catalogue;

namespace {

// Runs a test body in a fixed time zone, restoring the old one.
class TimeZone
{
public:
    explicit TimeZone(const char *zone)
    {
        if (const char *old = std::getenv("TZ"))
            m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone()
    {
        if (m_old)
            ::setenv("TZ", m_old->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> m_old;
};

std::vector<std::string> sorted(std::vector<std::string> keys, SortMode mode)
{
    FolderLinkBuffer buffer;
    for (const auto &k : keys)
        buffer.add(k, k);
    ListingDocument listing;
    buffer.flushInto(listing, mode);
    EXPECT_TRUE(buffer.empty());
    return listing.lines();
}

} // namespace

TEST(SortKeys, EachModeWritesItsKey)
{
    TimeZone zone("UTC");
    MenuOrderTable table;
    table.add("Known.url", 7);
    // 8 December 2026 12:00:01 UTC: the odd second is cut to an even one.
    const DirectoryEntry entry{"Known.url", 1796731201};
    const DirectoryEntry unknown{"Other.url", 1796731201};
    SortKeyMaker keys;
    EXPECT_EQ(keys.key(entry, SortMode::Alphabetical, table), "Known.url");
    EXPECT_EQ(keys.key(entry, SortMode::MenuOrder, table), "0007");
    EXPECT_EQ(keys.key(unknown, SortMode::MenuOrder, table), "-0001");
    EXPECT_EQ(keys.key(entry, SortMode::DateAscending, table), "000004636450000");
    EXPECT_EQ(keys.key(entry, SortMode::DateDescending, table), "000004636450000");
    EXPECT_EQ(dateKey(1796731203), 4636450002); // 12:00:02 is 2.3 units on

    QRandomGenerator random(42);
    SortKeyMaker randomKeys(&random);
    for (int i = 0; i < 200; ++i) {
        const std::string k = randomKeys.key(entry, SortMode::Random, table);
        ASSERT_EQ(k.size(), 4u);
        ASSERT_EQ(k.find_first_not_of("0123456789"), std::string::npos);
    }
    EXPECT_EQ(sortModeFromIndex(-1), SortMode::Alphabetical);
    EXPECT_EQ(sortModeFromIndex(5), SortMode::Alphabetical);
    EXPECT_EQ(sortModeFromIndex(3), SortMode::DateDescending);
}

TEST(SortKeys, DateKeyUsesLocalTime)
{
    TimeZone zone("UTC-2"); // two hours east of UTC
    EXPECT_EQ(dateKey(1796731200), 4636458333); // 14:00 local: 46364 + 14/24 days
}

// The comparison follows the user's locale; run the order tests under the
// plain "C" locale and under a real collation.
class SortOrder : public ::testing::TestWithParam<const char *>
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QString::fromLatin1(GetParam()))); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

INSTANTIATE_TEST_SUITE_P(Locales, SortOrder, ::testing::Values("C", "en_US", "de_DE"));

TEST_P(SortOrder, AlphabeticalIgnoresCase)
{
    EXPECT_EQ(sorted({"beta.url", "Alpha.url", "gamma.url", "ALPHA2.url"}, SortMode::Alphabetical),
              (std::vector<std::string>{"Alpha.url", "ALPHA2.url", "beta.url", "gamma.url"}));
}

TEST_P(SortOrder, AHyphenCountsOnlyBetweenOtherwiseEqualKeys)
{
    const auto out = sorted({"0002", "-0001", "0000", "0001", "-0001"}, SortMode::MenuOrder);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out.front(), "0000");
    EXPECT_EQ(out.back(), "0002");
    EXPECT_EQ(sorted({"co-op", "coop", "cop", "col"}, SortMode::Alphabetical).front(), "col");
    EXPECT_EQ(sorted({"co-op", "cop", "col"}, SortMode::Alphabetical)[1], "co-op");
}

TEST_P(SortOrder, DescendingDatesPutTheNewestFirst)
{
    EXPECT_EQ(sorted({"000004636450000", "000004636460000", "000004636440000"}, SortMode::DateDescending),
              (std::vector<std::string>{"000004636460000", "000004636450000", "000004636440000"}));
    EXPECT_EQ(sorted({"000004636450000", "000004636460000", "000004636440000"}, SortMode::DateAscending),
              (std::vector<std::string>{"000004636440000", "000004636450000", "000004636460000"}));
}
