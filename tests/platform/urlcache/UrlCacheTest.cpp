#include "platform/urlcache/UrlCacheFixture.h"

#include <QTimeZone>

using namespace vistrel::platform;
using namespace vistrel::test;

namespace {

const QDateTime kJanuary(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
const QDateTime kFebruary(QDate(2024, 2, 1), QTime(0, 0), Qt::UTC);
const QDateTime kMarch(QDate(2024, 3, 1), QTime(12, 30, 15, 250), Qt::UTC);
// 2024-01-01T00:00:00Z in 100 ns ticks since 1601.
constexpr std::int64_t kJanuaryFileTime = 133485408000000000LL;

std::vector<std::string> urlsOf(const std::vector<UrlCacheEntry> &entries)
{
    std::vector<std::string> urls;
    for (const auto &entry : entries)
        urls.push_back(entry.url);
    return urls;
}

} // namespace

using UrlCacheMerge = UrlCacheFixture;

TEST_F(UrlCacheMerge, OneEntryPerUrlAcrossBrowsersAndProfiles)
{
    writeProfilesIni("[Install4F96D1932A9F858E]\nDefault=abc.default\nLocked=1\n\n"
                     "[Profile1]\nName=work\nIsRelative=0\nPath="
                     + home.file("elsewhere/xyz.work").toUtf8()
                     + "\n\n"
                       "[Profile0]\nName=default\nIsRelative=1\nPath=abc.default\nDefault=1\n\n"
                       "[General]\nStartWithLastProfile=1\nVersion=2\n");
    writeFirefoxPlaces(home.file("elsewhere/xyz.work/places.sqlite"),
                       {{"http://example.com/", std::nullopt, 4, firefoxTime(kMarch)},
                        {"http://firefox-only.org/", "Only here", 1, firefoxTime(kJanuary)}});
    writeFirefoxPlaces(firefoxPlaces("abc.default"),
                       {{"http://example.com/", "Example Domain", 3, firefoxTime(kJanuary)}});
    writeChromiumHistory(chromiumHistory("chromium", "Default"),
                         {{"http://example.com/", "", 5, chromiumTime(kFebruary)},
                          {"https://chromium-only.test/", "Chromium", 2, chromiumTime(kFebruary)}});
    writeChromiumHistory(chromiumHistory("chromium", "Profile 1"),
                         {{"http://firefox-only.org/", "Second title", 6, chromiumTime(kFebruary)}});
    writeChromiumHistory(chromiumHistory("google-chrome", "Default"),
                         {{"http://example.com/", "Chrome title", 1, chromiumTime(kJanuary)}});
    QDir().mkpath(home.file(".config/chromium/ShaderCache"));

    cache.load();
    EXPECT_TRUE(cache.problems().empty()) << problemTexts().join('\n').toStdString();

    const auto entries = enumerateAll();
    // Profiles in the order profiles.ini lists them, then Chromium, then Chrome.
    EXPECT_EQ(urlsOf(entries), (std::vector<std::string>{"http://example.com/", "http://firefox-only.org/",
                                                         "https://chromium-only.test/"}));
    ASSERT_EQ(entries.size(), 3u);
    const UrlCacheEntry &example = entries[0];
    EXPECT_EQ(example.hitRate, 4u + 3u + 5u + 1u);
    EXPECT_EQ(example.lastAccess(), kMarch);
    EXPECT_EQ(example.title, "Example Domain"); // the first title that is not empty
    EXPECT_EQ(example.sourceName, "Visited: alice@http://example.com/");
    EXPECT_EQ(example.entryType, URLHISTORY_CACHE_ENTRY);
    EXPECT_EQ(entries[1].hitRate, 7u);
    EXPECT_EQ(entries[1].title, "Only here");
    EXPECT_EQ(entries[1].lastAccess(), kFebruary);
    EXPECT_EQ(cache.size(), 3u);
}

TEST_F(UrlCacheMerge, BothBrowsersTimesBecomeTheSameFileTime)
{
    listFirefoxProfiles({"a.default"});
    writeFirefoxPlaces(firefoxPlaces("a.default"), {{"http://ff.test/", "f", 1, firefoxTime(kJanuary)}});
    writeChromiumHistory(chromiumHistory("chromium", "Default"),
                         {{"http://cr.test/", "c", 1, chromiumTime(kJanuary)},
                          {"http://never-dated.test/", "n", 2, 0}});
    cache.load();

    EXPECT_EQ(cache.find("http://ff.test/")->lastAccessTime, kJanuaryFileTime);
    EXPECT_EQ(cache.find("http://cr.test/")->lastAccessTime, kJanuaryFileTime);
    EXPECT_EQ(cache.find("http://cr.test/")->lastAccess(), kJanuary);
    const auto undated = cache.find("http://never-dated.test/");
    ASSERT_TRUE(undated);
    EXPECT_EQ(undated->lastAccessTime, 0);
    EXPECT_FALSE(undated->lastAccess().isValid());
}

TEST_F(UrlCacheMerge, PlacesNeverVisitedAreNoHistory)
{
    listFirefoxProfiles({"a.default"});
    writeFirefoxPlaces(firefoxPlaces("a.default"),
                       {{"http://bookmark-only.test/", "Bookmarked", 0, 0},
                        {"http://embedded.test/", "Visit not counted", 0, firefoxTime(kJanuary)},
                        {"", "No address", 3, firefoxTime(kJanuary)},
                        {"http://broken-count.test/", "Negative", -5, firefoxTime(kJanuary)}});
    cache.load();

    EXPECT_FALSE(cache.find("http://bookmark-only.test/"));
    EXPECT_FALSE(cache.find(""));
    ASSERT_TRUE(cache.find("http://embedded.test/"));
    EXPECT_EQ(cache.find("http://embedded.test/")->hitRate, 0u);
    EXPECT_EQ(cache.find("http://broken-count.test/")->hitRate, 0u);
}

TEST_F(UrlCacheMerge, SummedCountStopsAtTheLargestHitRate)
{
    listFirefoxProfiles({"a", "b"});
    writeFirefoxPlaces(firefoxPlaces("a"), {{"http://x.test/", "x", 3000000000LL, firefoxTime(kJanuary)}});
    writeFirefoxPlaces(firefoxPlaces("b"), {{"http://x.test/", "x", 3000000000LL, firefoxTime(kJanuary)}});
    cache.load();
    EXPECT_EQ(cache.visitCount("http://x.test/"), 4294967295u);
}

TEST_F(UrlCacheMerge, ReloadingReplacesTheSnapshot)
{
    listFirefoxProfiles({"a"});
    writeFirefoxPlaces(firefoxPlaces("a"), {{"http://x.test/", "x", 2, firefoxTime(kJanuary)}});
    cache.load();
    cache.load();
    EXPECT_EQ(cache.size(), 1u);
    EXPECT_EQ(cache.visitCount("http://x.test/"), 2u);

    QFile::remove(firefoxPlaces("a"));
    cache.load();
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_EQ(cache.problems().size(), 1u);
}

TEST_F(UrlCacheMerge, TitlesAndAddressesComeBackByteForByte)
{
    const std::string markup = "<b>Tom &amp; Jerry</b> &lt;script&gt;alert(1)&lt;/script&gt; \"quoted\" 'single'";
    const std::string lines = "first line\r\nsecond\tline\nthird\r";
    const std::string invalid = "bad \xFF\xFE bytes \xC3( and truncated \xE2\x82";
    std::string huge;
    while (huge.size() < 10 * 1024)
        huge += "Lorem ipsum <i>dolor</i> sit amet &#160; \xC3\xA9t\xC3\xA9 ";
    const std::string oddUrl = "http://odd.test/\xFF\xFE?q=<x>&y=\"z\"";

    listFirefoxProfiles({"a"});
    writeFirefoxPlaces(firefoxPlaces("a"), {{"http://markup.test/", markup, 1, firefoxTime(kJanuary)},
                                            {"http://lines.test/", lines, 1, firefoxTime(kJanuary)},
                                            {"http://invalid.test/", invalid, 1, firefoxTime(kJanuary)},
                                            {"http://huge.test/", huge, 1, firefoxTime(kJanuary)},
                                            {oddUrl, "odd", 1, firefoxTime(kJanuary)}});
    cache.load();

    EXPECT_EQ(cache.find("http://markup.test/")->title, markup);
    EXPECT_EQ(cache.find("http://lines.test/")->title, lines);
    EXPECT_EQ(cache.find("http://invalid.test/")->title, invalid);
    EXPECT_EQ(cache.find("http://huge.test/")->title, huge);
    ASSERT_TRUE(cache.find(oddUrl));
    EXPECT_EQ(cache.find(oddUrl)->sourceName, "Visited: alice@" + oddUrl);
}

using UrlCacheLookup = UrlCacheFixture;

TEST_F(UrlCacheLookup, ExactBytesOrWithoutTheFragment)
{
    listFirefoxProfiles({"a"});
    writeFirefoxPlaces(firefoxPlaces("a"), {{"http://example.com/page", "Page", 11, firefoxTime(kJanuary)},
                                            {"http://example.com/doc#part", "Part", 4, firefoxTime(kJanuary)}});
    cache.load();

    EXPECT_EQ(cache.find("http://example.com/page")->hitRate, 11u);
    EXPECT_FALSE(cache.find("http://example.com/page#top"));
    EXPECT_FALSE(cache.find("HTTP://EXAMPLE.COM/page"));
    EXPECT_FALSE(cache.find("http://example.com/page/"));

    EXPECT_EQ(cache.findWithoutFragment("http://example.com/page#top")->url, "http://example.com/page");
    EXPECT_EQ(cache.visitCount("http://example.com/page#top#more"), 11u);
    EXPECT_EQ(cache.visitCount("http://example.com/page"), 11u);
    // An entry stored with its fragment is only found by its exact address.
    EXPECT_EQ(cache.find("http://example.com/doc#part")->hitRate, 4u);
    EXPECT_EQ(cache.visitCount("http://example.com/doc#part"), 0u);
    EXPECT_EQ(cache.visitCount("http://absent.test/"), 0u);
    EXPECT_FALSE(cache.findWithoutFragment("http://absent.test/#x"));
}

using UrlCacheWalk = UrlCacheFixture;

TEST_F(UrlCacheWalk, EmptyCacheHasNoFirstEntry)
{
    cache.load();
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_TRUE(cache.problems().empty());
    UrlCacheEnumeration walk(cache);
    EXPECT_FALSE(walk.first());
    EXPECT_FALSE(walk.next());

    listFirefoxProfiles({});
    cache.load();
    EXPECT_TRUE(cache.isEmpty());
    EXPECT_TRUE(cache.problems().empty());
}

TEST_F(UrlCacheWalk, FirstRestartsNextEndsCloseStops)
{
    listFirefoxProfiles({"a"});
    writeFirefoxPlaces(firefoxPlaces("a"), {{"http://1.test/", "1", 1, firefoxTime(kJanuary)},
                                            {"http://2.test/", "2", 1, firefoxTime(kJanuary)}});
    cache.load();

    UrlCacheEnumeration walk(cache);
    EXPECT_EQ(walk.first()->url, "http://1.test/");
    EXPECT_EQ(walk.next()->url, "http://2.test/");
    EXPECT_FALSE(walk.next());
    EXPECT_FALSE(walk.next());
    EXPECT_EQ(walk.first()->url, "http://1.test/");
    walk.close();
    EXPECT_FALSE(walk.isOpen());
    EXPECT_FALSE(walk.next());
    EXPECT_FALSE(walk.first());
}

using UrlCacheCopies = UrlCacheFixture;

TEST_F(UrlCacheCopies, RecentVisitsInTheWriteAheadLogAreSeenAndTheOriginalIsLeftAlone)
{
    listFirefoxProfiles({"a"});
    HistoryWriter browser(HistoryWriter::Browser::Firefox, firefoxPlaces("a"), HistoryWriter::Journal::Wal);
    browser.holdCheckpoints();
    browser.add({"http://in-log.test/", "Logged", 7, firefoxTime(kJanuary)});
    browser.commit();
    ASSERT_TRUE(QFileInfo::exists(firefoxPlaces("a") + "-wal"));
    const QStringList before = QDir(firefoxProfile("a")).entryList(QDir::Files, QDir::Name);
    const QByteArray originalLog = readAll(firefoxPlaces("a") + "-wal");

    cache.load();
    EXPECT_TRUE(cache.problems().empty()) << problemTexts().join('\n').toStdString();
    EXPECT_EQ(cache.visitCount("http://in-log.test/"), 7u);
    EXPECT_EQ(QDir(firefoxProfile("a")).entryList(QDir::Files, QDir::Name), before);
    EXPECT_EQ(readAll(firefoxPlaces("a") + "-wal"), originalLog);
    EXPECT_TRUE(tempFolderIsEmpty());
}
