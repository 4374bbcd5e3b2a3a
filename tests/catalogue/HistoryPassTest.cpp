#include "catalogue/HistoryPassFixture.h"

#include "catalogue/ListingFormat.h"

#include <QFile>
#include <QRegularExpression>

using namespace vistrel;
using test::HistoryVisit;

namespace {

QString addButton(const QString &name)
{
    return QStringLiteral("<input type=\"submit\" value=\"Add to favourites\" name=\"%1\"").arg(name);
}

} // namespace

using HistoryPass = test::HistoryPassFixture;

// A whole refresh on a Firefox profile: exactly the sites visited more often
// than the threshold that are not favourites, each with its picture and button.
TEST_F(HistoryPass, ARefreshSuggestsTheSitesVisitedMoreThanTheThresholdThatAreNoFavourites)
{
    site.page("/ten", "Ten visits");
    site.page("/eleven", "Eleven visits");
    site.page("/example", "example domain");
    site.page("/first", "Shared title");
    site.page("/second", "Shared title");
    site.page("/fav", "The favourite");
    favourite("Example Domain", url("/fav"));
    firefox({{url("/ten"), "Ten", 10},
             {url("/eleven"), "Eleven", 11},
             {url("/example"), "Example", 40},
             {url("/first"), "First", 30},
             {url("/second"), "Second", 30},
             {url("/fav"), "Favourite", 3}});
    const QString oldImage = t.paths.historyImagesFolder() + "old.bmp";
    test::writeAll(oldImage, "BM");

    driver.Button2Click();

    const test::ParsedHistory history = parsed();
    ASSERT_TRUE(history.wellFormed) << historyXml().toStdString();
    EXPECT_EQ(history.descriptions(), QStringList({"Eleven visits", "Shared title"}));
    ASSERT_EQ(history.links.size(), 2u);
    EXPECT_EQ(history.links[0].url.toStdString(), url("/eleven"));
    EXPECT_EQ(history.links[1].url.toStdString(), url("/first"));
    for (const test::Suggestion &s : history.links) {
        EXPECT_TRUE(s.image.startsWith("images\\history\\")) << s.image.toStdString();
        EXPECT_TRUE(QFile::exists(imageFile(s))) << s.image.toStdString();
    }
    EXPECT_EQ(site.requestsFor("/ten"), 0);     // ten visits are not enough
    EXPECT_GT(site.requestsFor("/second"), 0);  // asked for its title, then left out
    EXPECT_GT(site.requestsFor("/example"), 0); // its title is known in another letter case

    const QString page = QString::fromUtf8(historyHtm());
    EXPECT_TRUE(page.contains(addButton(QString::fromStdString(url("/eleven"))))) << page.toStdString();
    EXPECT_TRUE(page.contains(addButton(QString::fromStdString(url("/first")))));
    EXPECT_EQ(page.count(QStringLiteral("value=\"Add to favourites\"")), 2);

    EXPECT_TRUE(status.texts.contains("Found 6 web histories."));
    EXPECT_EQ(status.texts.last(), "All Done");
    EXPECT_FALSE(QFile::exists(oldImage)); // sent to the trash
    EXPECT_TRUE(temporaryShortcuts().isEmpty());
    EXPECT_FALSE(cache.isLoaded()); // one snapshot per refresh

    // The favourite's capture read its visits from the same history.
    const QByteArray listing = test::readAll(t.paths.dataFolder + "listings.xml");
    EXPECT_TRUE(listing.contains("VISITS=\"3\"")) << listing.toStdString();
}

TEST_F(HistoryPass, VisitsAreSummedOverBrowsersAndAddressesDifferingInCaseCountOnce)
{
    site.page("/both", "In both browsers");
    site.page("/Mixed", "Mixed upper");
    site.page("/mixed", "Mixed lower");
    firefox({{url("/both"), std::nullopt, 6}, {url("/Mixed"), std::nullopt, 5}, {url("/mixed"), std::nullopt, 50}});
    chromium({{url("/both"), std::nullopt, 6}});

    pass.run();

    EXPECT_TRUE(status.texts.contains("Found 3 web histories."));
    EXPECT_EQ(parsed().descriptions(), QStringList({"In both browsers"}));
    // The first of the two spellings stays, with its own five visits.
    EXPECT_EQ(site.requestsFor("/mixed"), 0);
    EXPECT_EQ(site.requestsFor("/Mixed"), 0);
}

TEST_F(HistoryPass, AnEmptyHistoryGivesTheSixLineDocument)
{
    pass.run();

    EXPECT_TRUE(status.texts.contains("Found 0 web histories."));
    const QList<QByteArray> lines = historyXml().split('\n');
    ASSERT_EQ(lines.size(), 7) << historyXml().toStdString(); // six lines, each ended by CR LF
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r");
    EXPECT_EQ(lines[1], "<BROWSERINFO \r");
    EXPECT_TRUE(QRegularExpression("^Time=\"\\d+\">\r$").match(QString::fromLatin1(lines[2])).hasMatch());
    EXPECT_EQ(lines[3], "<History>\r");
    EXPECT_EQ(lines[4], "</History>\r");
    EXPECT_EQ(lines[5], "</BROWSERINFO>\r");
    EXPECT_EQ(lines[6], "");
    EXPECT_TRUE(historyHtm().contains("<title>History</title>"));
}

TEST_F(HistoryPass, OnlyPlainHttpSitesOtherThanTheProgramsOwnServerAreAskedForTitles)
{
    test::HistoryTitleSite other;
    other.page("/local", "Local");
    const std::string port = std::to_string(site.port());
    t.settings.serverPortValue = QString::fromStdString(port);
    site.page("/own", "Own server");
    firefox({{"ftp://127.0.0.1:" + port + "/own", std::nullopt, 50},
             {"file:///etc/hostname", std::nullopt, 50},
             {"https://127.0.0.1:" + port + "/own", std::nullopt, 50},
             {"HTTP://127.0.0.1:" + std::to_string(other.port()) + "/local", std::nullopt, 50},
             {"http://localhost:" + std::to_string(other.port()) + "/local", std::nullopt, 50},
             {"http://LOCALHOST:" + std::to_string(other.port()) + "/local", std::nullopt, 50},
             {"http://127.0.0.1:" + port + "/own", std::nullopt, 50},
             {"http://127.0.0.7:" + port + "/own", std::nullopt, 50},
             {"http://[::1]:" + port + "/own", std::nullopt, 50}});

    pass.run();

    EXPECT_TRUE(status.texts.contains("Found 9 web histories."));
    EXPECT_TRUE(site.requests().isEmpty()) << site.requests().join(", ").toStdString();
    EXPECT_TRUE(other.requests().isEmpty()) << other.requests().join(", ").toStdString();
    EXPECT_TRUE(parsed().links.empty());
}

TEST_F(HistoryPass, ACancelIsHeardBeforeTheNextAddress)
{
    site.page("/a", "Page A");
    site.page("/b", "Page B");
    site.page("/c", "Page C");
    firefox({{url("/a"), std::nullopt, 20}, {url("/b"), std::nullopt, 20}, {url("/c"), std::nullopt, 20}});
    beforeCapture = [this](const QString &, const QString &) { t.flags.cancelRequested = true; };

    pass.run();

    const test::ParsedHistory history = parsed();
    EXPECT_TRUE(history.wellFormed);
    EXPECT_EQ(history.descriptions(), QStringList({"Page A"})); // the one in hand is completed
    EXPECT_EQ(site.requestsFor("/b"), 0);
    EXPECT_EQ(t.flags.fetchedCount, 1);
    EXPECT_EQ(status.texts.last(), "All Done");
}

TEST_F(HistoryPass, TemporaryShortcutsLiveInThePrivateFolderOnlyWhileTheirCaptureRuns)
{
    site.page("/a", "Page A");
    site.page("/b", "Page B");
    firefox({{url("/a"), std::nullopt, 20}, {url("/b"), std::nullopt, 20}});
    QStringList seen;
    bool fail = true;
    beforeCapture = [&](const QString &path, const QString &name) {
        seen << path + "/" + name;
        EXPECT_EQ(path + "/", t.tempFolder.path());
        EXPECT_TRUE(name.startsWith("p") && name.endsWith(".URL")) << name.toStdString();
        EXPECT_EQ(test::readAll(path + "/" + name), "[InternetShortcut]\r\nURL=" + QByteArray::fromStdString(url(seen.size() == 1 ? "/a" : "/b")) + "\r\n");
        if (std::exchange(fail, false))
            throw std::runtime_error("capture failed");
    };

    pass.run();

    ASSERT_EQ(seen.size(), 2);
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_TRUE(temporaryShortcuts().isEmpty());
    // The failed capture's entry is still written, with nothing between its title and its end.
    const test::ParsedHistory history = parsed();
    EXPECT_TRUE(history.wellFormed);
    EXPECT_EQ(history.descriptions(), QStringList({"Page A", "Page B"}));
    EXPECT_TRUE(history.links[0].image.isEmpty());
    EXPECT_FALSE(history.links[1].image.isEmpty());
    EXPECT_TRUE(historyXml().contains("DESCRIPTION=\"Page&#32;A\" \r\n\r\n></Link>"));
}

TEST_F(HistoryPass, AwkwardTitlesKeepTheDocumentWellFormed)
{
    const QByteArray longTitle = QByteArray(10 * 1024, 'x');
    const std::vector<std::pair<QByteArray, QString>> titles = {
        {"  A <b>bold</b> & \"quoted\" 'one'\t", "A <b>bold</b> & \"quoted\" 'one'"},
        {"Line one\r\nLine two", "Line one\r\nLine two"},
        {longTitle, QString::fromLatin1(longTitle)},
        {"a:b*c?d|e<f>g", "a:b*c?d|e<f>g"},
        {"Bad \xff\xfe bytes \x01 here", QStringLiteral("Bad \uFFFD\uFFFD bytes   here")},
        {"Tom &amp; Jerry", "Tom &amp; Jerry"},
        {"Up/Down", "Up/Down"},
    };
    std::vector<HistoryVisit> visits;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string path = "/t" + std::to_string(i);
        site.page(QByteArray::fromStdString(path), titles[i].first);
        visits.push_back({url(path), std::nullopt, 20});
    }
    firefox(visits);
    // The editor names favourites added for these two "Tom & Jerry" and "Up_Down".
    favourite("Tom & Jerry", url("/elsewhere"));
    favourite("up_down", url("/elsewhere"));

    pass.run();

    const test::ParsedHistory history = parsed();
    ASSERT_TRUE(history.wellFormed);
    QStringList expected;
    for (std::size_t i = 0; i < 5; ++i)
        expected << titles[i].second;
    EXPECT_EQ(history.descriptions(), expected);
    EXPECT_TRUE(historyHtm().contains("A &lt;b&gt;bold&lt;/b&gt; &amp; \"quoted\" 'one'"));
}

TEST_F(HistoryPass, DamagedDatabasesAreSkippedAndSaidWhileTheOthersAreRead)
{
    site.page("/ok", "Readable");
    test::writeAll(t.home.file(".mozilla/firefox/profiles.ini"),
                   "[Profile0]\nName=a\nIsRelative=1\nPath=broken\n\n"
                   "[Profile1]\nName=b\nIsRelative=1\nPath=strange\n\n"
                   "[Profile2]\nName=c\nIsRelative=1\nPath=missing\n");
    test::writeAll(t.home.file(".mozilla/firefox/broken/places.sqlite"), QByteArray(8192, '\x5a'));
    {
        test::SqliteFile strange(t.home.file(".mozilla/firefox/strange/places.sqlite"));
        strange.exec("CREATE TABLE moz_places_v2 (id INTEGER PRIMARY KEY, address TEXT)");
        strange.exec("INSERT INTO moz_places_v2 (address) VALUES ('http://x/')");
    }
    chromium({{url("/ok"), std::nullopt, 12}});

    pass.run();

    EXPECT_EQ(parsed().descriptions(), QStringList({"Readable"}));
    const QStringList display = t.display.lines().filter("Browser history skipped:");
    EXPECT_GE(display.size(), 2) << t.display.lines().join("\n").toStdString();
    EXPECT_TRUE(display.join("\n").contains("broken"));
    EXPECT_TRUE(display.join("\n").contains("strange"));
    EXPECT_EQ(t.trace.lines().filter("Browser history skipped:"), display);
}

TEST_F(HistoryPass, OfflineLeavesTheHistoryFilesAlone)
{
    test::writeAll(t.paths.dataFolder + "history.xml", "old");
    t.registry.writeDword(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"),
                          QStringLiteral("GlobalUserOffline"), 1);

    pass.run();

    EXPECT_EQ(historyXml(), "old");
    EXPECT_TRUE(status.controlsEnabled);
    EXPECT_EQ(status.lamp(), platform::Lamp::Green);
    EXPECT_FALSE(status.busy);
}
