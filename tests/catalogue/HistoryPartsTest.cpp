#include "catalogue/HistoryAddressList.h"
#include "catalogue/HistoryKnownTitles.h"
#include "catalogue/HistorySite.h"
#include "catalogue/HistoryUrlCache.h"
#include "support/HistoryFixtures.h"
#include "support/TestContext.h"

#include "platform/urlcache/UrlCache.h"

#include <gtest/gtest.h>

using namespace vistrel;
using namespace vistrel::catalogue;

TEST(HistorySite, SiteAddressTitleAndWhatMayBeFetched)
{
    EXPECT_EQ(history::siteAddress("Visited: alice@http://a.example/x@y", "alice"), "http://a.example/x@y");
    EXPECT_EQ(history::siteAddress("Visited: al@ice@http://a.example/", "al@ice"), "http://a.example/");
    EXPECT_EQ(history::siteAddress("Visited: bob@http://a.example/", "alice"), "http://a.example/");
    EXPECT_EQ(history::siteAddress("http://a.example/", "alice"), "http://a.example/");

    EXPECT_EQ(history::trimmedTitle("\r\n\t Title \x01\x7f"), "Title");
    EXPECT_EQ(history::trimmedTitle(" \n "), "");

    constexpr quint16 own = 8080;
    EXPECT_TRUE(history::mayFetchTitle("http://example.com/", own));
    EXPECT_TRUE(history::mayFetchTitle("http://127.0.0.1:8081/", own));
    EXPECT_TRUE(history::mayFetchTitle("http://10.0.0.1:8080/", own));
    for (const char *url : {"https://example.com/", "HTTP://example.com/", "ftp://example.com/", "file:///etc/passwd",
                            "javascript:alert(1)", "httpx://example.com/", "http://localhost/", "http://LocalHost:81/",
                            "http://127.0.0.1:8080/", "http://127.255.0.9:8080/x", "http://[::1]:8080/",
                            "http://0.0.0.0:8080/"})
        EXPECT_FALSE(history::mayFetchTitle(url, own)) << url;
    EXPECT_FALSE(history::isOwnServer("http://127.0.0.1:8080/", 0)); // no server port known

    // Secure sites only when they are captured, and never on the program's own port.
    EXPECT_TRUE(history::mayFetchTitle("https://example.com/", own, true));
    EXPECT_FALSE(history::mayFetchTitle("https://127.0.0.1:8080/", own, true));
    EXPECT_TRUE(history::mayFetchTitle("https://127.0.0.1/", 80, true));
    EXPECT_FALSE(history::mayFetchTitle("HTTPS://example.com/", own, true));
}

TEST(HistoryKnownTitles, CaseAndTheEditorsFavouriteNames)
{
    HistoryKnownTitles known;
    known.addName("Example Domain");
    known.addName("Été à Paris");
    known.addName("A_B");
    known.addName("Tom & Jerry");
    known.addTitle("Suggested Once");

    EXPECT_TRUE(known.contains("example domain"));
    EXPECT_TRUE(known.contains("ÉTÉ À PARIS"));
    EXPECT_TRUE(known.contains("a/b"));           // the editor names it "a_b"
    EXPECT_TRUE(known.contains("Tom &amp; Jerry")); // and decodes the reference
    EXPECT_TRUE(known.contains("suggested once"));
    EXPECT_FALSE(known.contains("Example"));

    EXPECT_EQ(HistoryKnownTitles::favouriteName(" a\\b\tc "), "a_b c");
    const std::string longName = std::string(199, 'x') + "\xc3\xa9" + "tail";
    EXPECT_EQ(HistoryKnownTitles::favouriteName(longName), std::string(199, 'x'));
    EXPECT_EQ(HistoryKnownTitles::favouriteName(".."), "");
}

namespace {

struct CacheOnDisk
{
    test::TestContext t;
    QString places = t.home.file(".mozilla/firefox/p.default/places.sqlite");

    CacheOnDisk()
    {
        test::writeAll(t.home.file(".mozilla/firefox/profiles.ini"), "[Profile0]\nName=p\nIsRelative=1\nPath=p.default\n");
    }
};

} // namespace

TEST(HistoryAddressList, DuplicatesDifferOnlyInCaseAndTheFirstStays)
{
    CacheOnDisk disk;
    test::writeFirefoxPlaces(disk.places, {{"http://a.example/X", std::nullopt, 1},
                                           {"http://b.example/", std::nullopt, 2},
                                           {"http://a.example/x", std::nullopt, 3},
                                           {"http://c.example/", std::nullopt, 4},
                                           {"HTTP://B.EXAMPLE/", std::nullopt, 5}});
    platform::UrlCache cache(disk.t.tempFolder, "alice");
    cache.load();

    auto visits = [&](const HistoryAddressList &list) {
        std::vector<std::uint32_t> out;
        list.forEachDistinct([&](const platform::UrlCacheEntry &e) {
            out.push_back(e.hitRate);
            return true;
        });
        return out;
    };
    const HistoryAddressList real(cache);
    EXPECT_EQ(real.size(), 5u);
    EXPECT_EQ(real.distinctCount(), 3u);
    EXPECT_EQ(visits(real), (std::vector<std::uint32_t>{1, 2, 4}));

    // Every address in one hash: the texts decide.
    const HistoryAddressList colliding(cache, [](std::string_view) { return std::uint64_t(7); });
    EXPECT_EQ(visits(colliding), (std::vector<std::uint32_t>{1, 2, 4}));

    int calls = 0;
    EXPECT_FALSE(real.forEachDistinct([&](const platform::UrlCacheEntry &) { return ++calls < 2; }));
    EXPECT_EQ(calls, 2);
}

TEST(HistoryUrlCache, OneSnapshotUntilReleased)
{
    CacheOnDisk disk;
    test::writeFirefoxPlaces(disk.places, {{"http://a.example/", "A", 4}});
    HistoryUrlCache cache(disk.t.context);

    EXPECT_FALSE(cache.isLoaded());
    const auto first = cache.lookup("http://a.example/");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->hitCount, 4u);
    EXPECT_EQ(first->title, "A");
    EXPECT_FALSE(cache.lookup("http://a.example/#top")); // asked exactly as given
    EXPECT_TRUE(disk.t.display.lines().isEmpty());

    QFile::remove(disk.places);
    test::writeFirefoxPlaces(disk.places, {{"http://a.example/", "A", 9}});
    EXPECT_EQ(cache.lookup("http://a.example/")->hitCount, 4u);
    cache.release();
    EXPECT_EQ(cache.lookup("http://a.example/")->hitCount, 9u);
}
