#include "platform/FileOperations.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QDirIterator>

#include <unistd.h>

using namespace vistrel;
using platform::matchesWildcard;

TEST(Wildcard, StarQuestionMarkAndLiteralText)
{
    EXPECT_TRUE(matchesWildcard("Example.url", "*.url"));
    EXPECT_TRUE(matchesWildcard("Example.URL", "*.url"));
    EXPECT_TRUE(matchesWildcard(".Url", "*.url"));
    EXPECT_FALSE(matchesWildcard("Example.url.txt", "*.url"));
    EXPECT_FALSE(matchesWildcard("Exampleurl", "*.url"));
    EXPECT_TRUE(matchesWildcard("20202034616263.BMP", "20202034*.BMP"));
    EXPECT_FALSE(matchesWildcard("20202035616263.BMP", "20202034*.BMP"));
    EXPECT_TRUE(matchesWildcard("a.b.c.url", "*.*.url"));
    EXPECT_TRUE(matchesWildcard("caf\xc3\xa9.url", "caf?.url"));
    EXPECT_FALSE(matchesWildcard("cafe.url", "caf?"));
    // Brackets and backslashes are plain text.
    EXPECT_TRUE(matchesWildcard("[a]\\b", "[a]\\*"));
    EXPECT_FALSE(matchesWildcard("a", "[a]"));
    EXPECT_TRUE(matchesWildcard("", "*"));
    EXPECT_FALSE(matchesWildcard("", "?"));
}

TEST(DeleteByPattern, DeletesOnlyMatchingFilesOfTheOneFolder)
{
    test::TempHome home;
    const QString images = home.file("data/images/");
    for (const char *name : {"20202034AA.BMP", "20202034BB.BMP", "20202035AA.BMP", "history/20202034AA.BMP"})
        test::writeAll(images + name, "x");
    QDir().mkpath(images + "20202034dir.BMP");

    EXPECT_TRUE(platform::deleteByPattern(images + "20202034*.BMP", false));
    EXPECT_FALSE(QFile::exists(images + "20202034AA.BMP"));
    EXPECT_FALSE(QFile::exists(images + "20202034BB.BMP"));
    EXPECT_TRUE(QFile::exists(images + "20202035AA.BMP"));
    EXPECT_TRUE(QFile::exists(images + "history/20202034AA.BMP"));
    EXPECT_TRUE(QDir(images + "20202034dir.BMP").exists());

    // Nothing to delete, or no folder at all, is not a failure.
    EXPECT_TRUE(platform::deleteByPattern(images + "20202034*.BMP", false));
    EXPECT_TRUE(platform::deleteByPattern(home.file("missing/x*.BMP"), false));
}

TEST(DeleteByPattern, WithUndoMovesToTheTrash)
{
    test::TempHome home;
    const QString folder = home.file("data/images/history/");
    test::writeAll(folder + "a.bmp", "x");
    test::writeAll(folder + "keep.jpg", "x");
    EXPECT_TRUE(platform::deleteByPattern(folder + "*.bmp", true));
    EXPECT_FALSE(QFile::exists(folder + "a.bmp"));
    EXPECT_TRUE(QFile::exists(folder + "keep.jpg"));
    QDirIterator trash(home.file(".local/share/Trash/files"), {"a*.bmp"}, QDir::Files);
    EXPECT_TRUE(trash.hasNext());
}

TEST(DeleteByPattern, TrashWorksForANewUserAndNeverLandsInTheCurrentFolder)
{
    test::TempHome home;
    // A fresh account: no data folder yet, so no trash either.
    ASSERT_TRUE(QDir(home.file(".local/share")).removeRecursively());
    const QString folder = home.file("data/images/history/");
    test::writeAll(folder + "a.bmp", "x");
    const QString elsewhere = home.file("started-here");
    QDir().mkpath(elsewhere);
    const QString saved = QDir::currentPath();
    QDir::setCurrent(elsewhere);
    const bool ok = platform::deleteByPattern(folder + "*.bmp", true);
    QDir::setCurrent(saved);

    EXPECT_TRUE(ok);
    EXPECT_FALSE(QFile::exists(folder + "a.bmp"));
    EXPECT_TRUE(QDir(elsewhere).isEmpty()) << QDir(elsewhere).entryList().join(", ").toStdString();
    EXPECT_TRUE(QFile::exists(home.file(".local/share/Trash/files/a.bmp")));
}

TEST(DeleteByPattern, ReportsAFolderItCannotChange)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    test::TempHome home;
    const QString folder = home.file("locked/");
    test::writeAll(folder + "a.BMP", "x");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(platform::deleteByPattern(folder + "*.BMP", false));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
