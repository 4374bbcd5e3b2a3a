#include "catalogue/RefreshFixture.h"
#include "catalogue/ScriptDebugger.h"
#include "platform/AtomicFile.h"
#include "platform/TextEncodings.h"

#include <QXmlStreamReader>

#include <set>

using namespace vistrel;
using catalogue::RefreshDriver;

namespace {

struct ParsedListing
{
    bool wellFormed = false;
    int folders = 0;
    std::vector<std::string> uniques;
    std::vector<QString> descriptions;
    std::vector<QString> locations;
};

ParsedListing parse(const std::string &text)
{
    ParsedListing out;
    QXmlStreamReader reader(QByteArray::fromStdString(text));
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("Folder")) {
            ++out.folders;
            out.locations.push_back(reader.attributes().value("Location").toString());
        } else if (reader.name() == QLatin1String("Link")) {
            out.uniques.push_back(reader.attributes().value("UNIQUE").toString().toStdString());
            out.descriptions.push_back(reader.attributes().value("DESCRIPTION").toString());
        }
    }
    out.wellFormed = !reader.hasError();
    return out;
}

} // namespace

TEST(RefreshDriver, DeletesThePreviousGenerationAndRunsTheHistoryStage)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    EXPECT_EQ(RefreshDriver::generationPattern(4), "20202034*.BMP");
    EXPECT_EQ(RefreshDriver::generationPattern(1), "20202031*.BMP");
    f.flags.evenFileName = 4;
    const QString old = f.image(4, f.paths.imagesFolder());
    const QString current = f.image(5, f.paths.imagesFolder());
    const QString oldHistory = f.image(4, f.paths.historyImagesFolder());
    int historyRuns = 0;
    f.driver.setHistoryPass([&] {
        ++historyRuns;
        EXPECT_TRUE(QFile::exists(oldHistory)); // deleted only after the pass
    });

    f.driver.Button2Click();
    EXPECT_EQ(f.flags.evenFileName, 5);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(current));
    EXPECT_FALSE(QFile::exists(oldHistory));
    EXPECT_EQ(historyRuns, 1);
    EXPECT_TRUE(f.messages.shown.isEmpty());
    // The working lists and the trace are emptied; files.log keeps the refresh's lines.
    EXPECT_TRUE(f.driver.state().listing.lines().empty());
    EXPECT_TRUE(f.trace.lines().isEmpty());
    EXPECT_TRUE(test::readAll(f.paths.filesLogPath()).endsWith("ended " + f.paths.favoritesFolder.toUtf8() + "/,a.url\r\n"));
    EXPECT_FALSE(f.flags.refreshRunning);
    EXPECT_EQ(f.status.statusShown, 2); // before the capture and at the end

    f.settings.historyValue = false;
    f.driver.Button2Click();
    EXPECT_EQ(historyRuns, 1);
}

TEST(RefreshDriver, ACancelDuringTheThirdFavouriteKeepsTheFirstThree)
{
    test::RefreshFixture f;
    for (const char *name : {"/a.url", "/b.url", "/s/c.url", "/s/d.url", "/t/e.url", "/t/u/f.url"})
        f.shortcut(name);
    int captures = 0;
    f.driver.setCaptureFunction([&](const QString &, const QString &, bool, std::string &) {
        if (++captures == 3)
            f.flags.cancelRequested = true;
        return false;
    });
    bool historyRan = false;
    f.driver.setHistoryPass([&] { historyRan = true; });
    const QString old = f.image(1, f.paths.imagesFolder());

    f.driver.Button2Click();
    EXPECT_EQ(captures, 3);
    const ParsedListing listing = parse(f.listing());
    EXPECT_TRUE(listing.wellFormed);
    EXPECT_EQ(listing.uniques.size(), 3u);
    EXPECT_GE(listing.folders, 1);
    EXPECT_FALSE(historyRan);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_EQ(f.status.status(), "All Done");
    EXPECT_EQ(f.flags.fetchTotal, 6);
    EXPECT_EQ(f.flags.fetchedCount, 3);

    // Once a listing exists, a cancelled walk never replaces it: the pages keep
    // the listing and the images they show, and the generation is given back.
    captures = 10;
    f.driver.Button2Click();
    ASSERT_EQ(parse(f.listing()).uniques.size(), 6u);
    const int generation = f.flags.evenFileName;
    const QString shown = f.image(generation, f.paths.imagesFolder());
    captures = 0;
    historyRan = false;
    f.driver.Button2Click();
    EXPECT_EQ(captures, 3);
    EXPECT_EQ(parse(f.listing()).uniques.size(), 6u);
    EXPECT_EQ(f.flags.evenFileName, generation);
    EXPECT_TRUE(QFile::exists(shown));
    EXPECT_FALSE(historyRan);
}

TEST(RefreshDriver, CaptureProblemsAreToldOnceAtTheEndOfTheRefresh)
{
    test::RefreshFixture f;
    for (const char *name : {"/a.url", "/b.url", "/c.url"})
        f.shortcut(name);
    f.settings.historyValue = false;
    bool failing = true;
    f.driver.setCaptureFunction([&](const QString &, const QString &, bool, std::string &) {
        f.flags.captureProblems += failing ? 2 : 0; // as the capture's failures count themselves
        return false;
    });
    f.driver.Button2Click();
    EXPECT_EQ(f.status.notices.size(), 1);
    EXPECT_TRUE(f.status.notices.value(0).startsWith("6 problem(s)")) << f.status.notices.value(0).toStdString();
    failing = false;
    f.driver.Button2Click();
    EXPECT_EQ(f.status.notices.size(), 1);
}

TEST(RefreshDriver, OfflineChangesNothingAndKeepsTheImagesTheCurrentPagesShow)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    f.registry.writeDword("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                          "GlobalUserOffline", 1);
    test::writeAll(f.listingPath(), "previous");
    f.flags.evenFileName = 4;
    const QString shown = f.image(4, f.paths.imagesFolder());
    const QString shownHistory = f.image(4, f.paths.historyImagesFolder());
    f.status.setStatus("Idle");
    f.flags.changePending = true;
    f.flags.writingShortcut = true;
    bool captured = false;
    f.driver.setCaptureFunction([&](const QString &, const QString &, bool, std::string &) { return captured = true; });

    f.driver.Button2Click();
    EXPECT_EQ(f.listing(), "previous");
    EXPECT_EQ(f.flags.evenFileName, 4);
    EXPECT_TRUE(QFile::exists(shown));
    EXPECT_TRUE(QFile::exists(shownHistory));
    EXPECT_FALSE(captured);
    EXPECT_EQ(f.status.status(), "Idle");
    EXPECT_EQ(f.status.lamp(), platform::Lamp::Green);
    EXPECT_FALSE(f.status.busy);
    EXPECT_TRUE(f.status.controlsEnabled);
    EXPECT_FALSE(f.flags.changePending);
    EXPECT_FALSE(f.flags.writingShortcut);
}

TEST(RefreshDriver, AListingThatCannotBeSavedKeepsThePreviousGeneration)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    QDir().mkpath(f.listingPath()); // a folder where the file should go
    f.flags.evenFileName = 4;
    const QString shown = f.image(4, f.paths.imagesFolder());
    bool pagesMade = false, historyRan = false;
    f.driver.setPageGeneration([&](const std::string &) { pagesMade = true; });
    f.driver.setHistoryPass([&] { historyRan = true; });

    f.driver.Button2Click();
    EXPECT_EQ(f.flags.evenFileName, 4);
    EXPECT_TRUE(QFile::exists(shown));
    EXPECT_FALSE(pagesMade);
    EXPECT_FALSE(historyRan);
    EXPECT_NE(f.status.status(), "All Done");
    EXPECT_TRUE(f.status.controlsEnabled);
    EXPECT_FALSE(f.flags.refreshRunning);
}

TEST(RefreshDriver, APageGenerationErrorEndsThePassAfterTheSave)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    const QString old = f.image(1, f.paths.imagesFolder());
    bool historyRan = false;
    f.driver.setPageGeneration([](const std::string &) { throw std::runtime_error("bad template"); });
    f.driver.setHistoryPass([&] { historyRan = true; });

    f.driver.Button2Click();
    EXPECT_EQ(parse(f.listing()).uniques.size(), 1u);
    EXPECT_EQ(f.flags.evenFileName, 2);
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_FALSE(historyRan);
    EXPECT_TRUE(f.messages.shown.isEmpty());
    EXPECT_TRUE(f.status.controlsEnabled);
}

TEST(RefreshDriver, AnEmptyTreeGivesTheBareDocument)
{
    test::RefreshFixture f;
    f.driver.Button2Click();
    const std::string text = f.listing();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
    EXPECT_NE(text.find("HomePage=\"No\">\r\n<Favoritesfolder>\r\n</Favoritesfolder>\r\n</BROWSERINFO>\r\n"),
              std::string::npos);
    EXPECT_EQ(f.status.previousStatus(), "Found 0 web favourites.");

    f.settings.homePageValue = true;
    f.driver.Button2Click();
    EXPECT_NE(f.listing().find("HomePage=\"YES\">"), std::string::npos);
}

TEST(RefreshDriver, ARefreshAskedForWhileOneRunsIsIgnored)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    f.shortcut("/b.url");
    f.driver.setCaptureFunction([&](const QString &, const QString &, bool, std::string &) {
        f.driver.Button2Click();
        return false;
    });
    f.driver.Button2Click();
    EXPECT_EQ(f.flags.evenFileName, 2);
    EXPECT_EQ(parse(f.listing()).uniques.size(), 2u);
}

TEST(RefreshDriver, SwitchesTheScriptDebuggerOffOnlyForTheRefresh)
{
    const QString key = QString::fromLatin1(catalogue::kBrowserMainKey);
    const QString name = QString::fromLatin1(catalogue::kDisableScriptDebugger);
    test::RefreshFixture f;
    std::optional<QString> during;
    f.driver.setHistoryPass([&] { during = f.registry.readString(key, name); });

    f.driver.Button2Click(); // no key: nothing is created
    EXPECT_FALSE(f.registry.keyExists(key));

    f.registry.createKey(key);
    f.driver.Button2Click();
    EXPECT_EQ(during, QStringLiteral("yes"));
    EXPECT_EQ(f.registry.readString(key, name), QStringLiteral("no"));

    f.registry.writeString(key, name, "Yes");
    f.driver.Button2Click();
    EXPECT_EQ(f.registry.readString(key, name), QStringLiteral("Yes"));
}

TEST(RefreshDriver, TracesEachFavouriteAndKeepsFilesLogEqualToTheMemo)
{
    test::RefreshFixture f;
    f.shortcut("/sub/Site.url");
    const QString folder = f.paths.favoritesFolder + "/sub/";
    QStringList statusDuring;
    int checks = 0;
    f.driver.setCaptureFunction([&](const QString &path, const QString &name, bool isHistory, std::string &link) {
        EXPECT_EQ(path, folder);
        EXPECT_EQ(name, "Site.url");
        EXPECT_FALSE(isHistory);
        EXPECT_EQ(test::readAll(f.paths.filesLogPath()), platform::joinLinesCrLf(f.trace.lines()));
        ++checks;
        statusDuring << f.status.status() << f.status.previousStatus();
        link += "CODE = \"-1\" \n\r";
        return true; // timed out
    });
    QStringList traceAtEnd;
    f.driver.setPageGeneration([&](const std::string &text) {
        traceAtEnd = f.trace.lines();
        EXPECT_NE(text.find("DESCRIPTION=\"Site\" \n\rCODE = \"-1\" \n\r></Link>"), std::string::npos);
    });
    f.driver.Button2Click();

    EXPECT_EQ(checks, 1);
    EXPECT_EQ(statusDuring, (QStringList{"Trying ... Site", "Found 1 web favourites."}));
    EXPECT_EQ(f.status.previousStatus(), "TIMED OUT ... Site");
    const int n = folder.toUtf8().size();
    const QStringList expected{"My Documents = " + f.paths.documentsFolder,
                               "Path = " + folder,
                               "File = Site.url",
                               QString("length of path = %1").arg(n),
                               "length of name = 8",
                               QString("total = %1").arg(n + 8),
                               QString(82, '#'),
                               "starting " + folder + ",Site.url",
                               "ended " + folder + ",Site.url"};
    EXPECT_EQ(traceAtEnd, expected);
    EXPECT_EQ(test::readAll(f.paths.filesLogPath()), platform::joinLinesCrLf(expected));
    EXPECT_EQ(f.status.progressMaximum, 1);
    EXPECT_EQ(f.status.progress, 1);
}

TEST(RefreshDriver, AFailingCaptureStillYieldsTheLink)
{
    test::RefreshFixture f;
    f.shortcut("/a.url");
    f.driver.setCaptureFunction([](const QString &, const QString &, bool, std::string &link) -> bool {
        link += "PRECODE = \"200\" \n\r";
        throw std::runtime_error("shell object");
    });
    f.driver.Button2Click();
    EXPECT_NE(f.listing().find("PRECODE = \"200\" \n\r></Link>"), std::string::npos);
    EXPECT_EQ(f.status.previousStatus(), "Completed ... a");
}

TEST(RefreshDriver, AwkwardNamesStayWellFormedAndRoundTrip)
{
    test::RefreshFixture f;
    std::set<std::string> made;
    const std::vector<std::string> names = {
        "/plain.url",
        "/Case.url",
        "/case.URL",
        "/CASE.Url",
        "/a b & c.url",
        "/quote \" and <tag>.url",
        std::string("/ctl\x01\x1f\t.url"),
        "/caf\xc3\xa9 \xe2\x82\xac.url",
        "/bad \xff\xfe utf8.url",
        "/" + std::string(251, 'L') + ".url",
        "/folder \"q\" <x> & \x02/inside.url",
        "/folder \"q\" <x> & \x02/deeper\xc0/x.url",
        "/tech/news/n.url",
    };
    for (const auto &n : names) {
        f.shortcut(n);
        made.insert(f.root + n);
    }
    f.shortcut("/skip.txt");
    f.driver.Button2Click();

    const ParsedListing listing = parse(f.listing());
    ASSERT_TRUE(listing.wellFormed) << f.listing();
    std::set<std::string> seen;
    for (const auto &u : listing.uniques) {
        EXPECT_EQ(u.size() % 2, 0u);
        EXPECT_TRUE(seen.insert(platform::hexDecode(u)).second) << u;
    }
    EXPECT_EQ(seen, made);
    EXPECT_NE(std::find(listing.descriptions.begin(), listing.descriptions.end(), "quote \" and <tag>"),
              listing.descriptions.end());
    EXPECT_NE(std::find(listing.descriptions.begin(), listing.descriptions.end(), "a b & c"),
              listing.descriptions.end());
    EXPECT_NE(std::find(listing.locations.begin(), listing.locations.end(), "folder \"q\" <x> and  "),
              listing.locations.end());
    EXPECT_NE(std::find(listing.locations.begin(), listing.locations.end(), "tech\\News"), listing.locations.end());
}
