#include "platform/urlcache/FirefoxProfilesIni.h"
#include "platform/urlcache/HistoryDatabaseLocator.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vistrel::platform;
using namespace vistrel::test;

TEST(FirefoxProfilesIni, RelativeAndAbsolutePathsInFileOrder)
{
    const QByteArray ini = "\xEF\xBB\xBF; written by hand\r\n"
                           "[Install4F96D1932A9F858E]\r\nDefault=Profiles/abc.default-release\r\nLocked=1\r\n"
                           "[Profile1]\r\nName=work\r\nIsRelative=0\r\nPath=/data/firefox/work profile\r\n"
                           "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/abc.default-release\r\n"
                           "Default=1\r\n"
                           "[General]\r\nPath=not-a-profile\r\n"
                           "# a comment\r\n"
                           "[Profile2]\r\nName=again\r\nIsRelative=1\r\nPath=Profiles/../Profiles/abc.default-release\r\n"
                           "[Profile3]\r\nName=unset\r\nPath=old.profile\r\n"
                           "[Profile4]\r\nName=no path\r\nIsRelative=1\r\n"
                           "[Profile5]\r\n  Path = spaced.profile  \r\n";
    EXPECT_EQ(firefoxProfileFolders(ini, "/home/u/.mozilla/firefox"),
              (QStringList{"/data/firefox/work profile", "/home/u/.mozilla/firefox/Profiles/abc.default-release",
                           "/home/u/.mozilla/firefox/old.profile", "/home/u/.mozilla/firefox/spaced.profile"}));
}

TEST(FirefoxProfilesIni, NothingUsableGivesNoProfiles)
{
    EXPECT_TRUE(firefoxProfileFolders("", "/f").isEmpty());
    EXPECT_TRUE(firefoxProfileFolders("\x00\xFF garbage\n[Profile0\nPath", "/f").isEmpty());
    EXPECT_TRUE(firefoxProfileFolders("Path=outside-any-section\n", "/f").isEmpty());
}

TEST(HistoryDatabaseLocator, FirefoxThenChromiumThenChromeProfiles)
{
    TempHome home;
    writeAll(home.file(".mozilla/firefox/profiles.ini"), "[Profile0]\nIsRelative=1\nPath=a.default\n");
    writeAll(home.file(".config/mozilla/firefox/profiles.ini"),
             "[Profile0]\nIsRelative=1\nPath=b.default\n[Profile1]\nIsRelative=1\nPath=linked\n");
    writeAll(home.file(".mozilla/firefox/a.default/places.sqlite"), "");
    QFile::link(home.file(".mozilla/firefox/a.default"), home.file(".config/mozilla/firefox/linked"));
    for (const char *folder : {"chromium/Default", "chromium/Profile 2", "chromium/ShaderCache",
                               "google-chrome/Guest Profile", "google-chrome/Crashpad"})
        QDir().mkpath(home.file(".config/") + folder);
    writeAll(home.file(".config/google-chrome/Guest Profile/History"), "");

    std::vector<UrlCacheProblem> problems;
    const auto databases = findHistoryDatabases(problems);
    EXPECT_TRUE(problems.empty());
    QStringList paths;
    for (const auto &database : databases)
        paths.append(QDir(home.path()).relativeFilePath(database.path));
    // A listed profile or a profile-named folder comes without its database too, so it can be reported.
    EXPECT_EQ(paths, (QStringList{".mozilla/firefox/a.default/places.sqlite",
                                  ".config/mozilla/firefox/b.default/places.sqlite",
                                  ".config/chromium/Default/History", ".config/chromium/Profile 2/History",
                                  ".config/google-chrome/Guest Profile/History"}));
    ASSERT_EQ(databases.size(), 5u);
    EXPECT_EQ(databases[0].format, HistoryFormat::FirefoxPlaces);
    EXPECT_EQ(databases[2].format, HistoryFormat::ChromiumHistory);
}
