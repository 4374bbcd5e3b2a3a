#include "platform/FolderMonitor.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using vistrel::platform::FolderMonitor;

namespace {

QStringList relative(const QString &root, const QStringList &paths)
{
    QStringList out;
    for (const QString &p : paths)
        out << (p == root ? QString(".") : p.mid(root.size() + 1));
    out.sort();
    return out;
}

} // namespace

TEST(FolderMonitor, FollowsTheTreeAsFoldersComeAndGo)
{
    QTemporaryDir dir;
    const QString root = QDir::cleanPath(dir.path()) + "/Favorites";
    QDir().mkpath(root + "/a/b");
    QDir().mkpath(root + "/.hidden");

    FolderMonitor monitor;
    monitor.setFolder(root);
    monitor.setActive(true);
    EXPECT_EQ(relative(root, monitor.watchedFolders()), QStringList({".", ".hidden", "a", "a/b"}));

    QSignalSpy spy(&monitor, &FolderMonitor::changed);
    QDir().mkpath(root + "/new");
    ASSERT_TRUE(spy.wait(5000));
    spy.clear();
    vistrel::test::writeAll(root + "/new/site.url", "[InternetShortcut]\r\nURL=http://example.org/\r\n");
    ASSERT_TRUE(spy.wait(5000)) << "a file in a new subfolder is seen";

    // A whole tree moved in is watched at once, and its own changes are seen.
    QDir().mkpath(dir.path() + "/incoming/x/y");
    ASSERT_TRUE(QDir().rename(dir.path() + "/incoming", root + "/a/incoming"));
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_TRUE(monitor.watchedFolders().contains(root + "/a/incoming/x/y"));
    spy.clear();
    vistrel::test::writeAll(root + "/a/incoming/x/y/deep.url", "x");
    ASSERT_TRUE(spy.wait(5000));

    // Folders deleted under it are let go, never more watches than folders.
    ASSERT_TRUE(QDir(root + "/a").removeRecursively());
    ASSERT_TRUE(spy.wait(5000));
    while (spy.wait(300)) {
    }
    EXPECT_EQ(relative(root, monitor.watchedFolders()), QStringList({".", ".hidden", "new"}));

    // Renamed: the old name goes, the new one comes.
    ASSERT_TRUE(QDir().rename(root + "/new", root + "/renamed"));
    ASSERT_TRUE(spy.wait(5000));
    while (spy.wait(300)) {
    }
    EXPECT_EQ(relative(root, monitor.watchedFolders()), QStringList({".", ".hidden", "renamed"}));

    monitor.setActive(false);
    EXPECT_TRUE(monitor.watchedFolders().isEmpty());
    spy.clear();
    vistrel::test::writeAll(root + "/quiet.url", "x");
    EXPECT_FALSE(spy.wait(500));
}

TEST(FolderMonitor, FollowsSymbolicLinksToEachRealFolderOnce)
{
    // Favorites kept on another disk, with a shared folder linked in twice and
    // a link back up to itself.
    QTemporaryDir dir;
    const QString base = QFileInfo(dir.path()).canonicalFilePath();
    const QString real = base + "/disk/Favs";
    const QString shared = base + "/elsewhere/shared";
    QDir().mkpath(real + "/a");
    QDir().mkpath(shared + "/deep");
    ASSERT_TRUE(QFile::link(real, base + "/Favorites"));
    ASSERT_TRUE(QFile::link(shared, real + "/s"));
    ASSERT_TRUE(QFile::link(shared, real + "/a/s2"));
    ASSERT_TRUE(QFile::link(real, real + "/a/loop"));

    FolderMonitor monitor;
    monitor.setFolder(base + "/Favorites");
    monitor.setActive(true);
    EXPECT_EQ(monitor.watchedFolders(), QStringList({real, real + "/a", shared, shared + "/deep"}));

    QSignalSpy spy(&monitor, &FolderMonitor::changed);
    vistrel::test::writeAll(shared + "/deep/site.url", "x");
    ASSERT_TRUE(spy.wait(5000)) << "a change in a linked folder is seen";
    spy.clear();
    vistrel::test::writeAll(base + "/Favorites/top.url", "x");
    ASSERT_TRUE(spy.wait(5000)) << "a change in the linked root is seen";

    // With both links gone the shared folder is let go.
    QFile::remove(real + "/s");
    QFile::remove(real + "/a/s2");
    ASSERT_TRUE(spy.wait(5000));
    while (spy.wait(300)) {
    }
    EXPECT_EQ(monitor.watchedFolders(), QStringList({real, real + "/a"}));
}

TEST(FolderMonitor, SurvivesItsRootBeingDeletedOrMissing)
{
    QTemporaryDir dir;
    const QString root = QDir::cleanPath(dir.path()) + "/Favorites";
    FolderMonitor missing;
    missing.setFolder(root);
    missing.setActive(true);
    EXPECT_TRUE(missing.watchedFolders().isEmpty());

    QDir().mkpath(root + "/sub");
    FolderMonitor monitor;
    monitor.setFolder(root);
    monitor.setActive(true);
    QSignalSpy spy(&monitor, &FolderMonitor::changed);
    ASSERT_TRUE(QDir(root).removeRecursively());
    ASSERT_TRUE(spy.wait(5000));
    while (spy.wait(300)) {
    }
    EXPECT_TRUE(monitor.watchedFolders().isEmpty());
}

TEST(FolderMonitor, AStormOfChangesIsReportedWithoutPilingUp)
{
    QTemporaryDir dir;
    const QString root = QDir::cleanPath(dir.path()) + "/Favorites";
    QDir().mkpath(root);
    FolderMonitor monitor;
    monitor.setFolder(root);
    monitor.setActive(true);
    QSignalSpy spy(&monitor, &FolderMonitor::changed);
    constexpr int kFiles = 5000;
    for (int i = 0; i < kFiles; ++i)
        vistrel::test::writeAll(root + QString("/site%1.url").arg(i), "[InternetShortcut]\r\nURL=http://e/\r\n");
    ASSERT_TRUE(spy.wait(5000));
    while (spy.wait(300)) {
    }
    // The system merges what arrives while nobody reads: far fewer events than files.
    EXPECT_GE(spy.count(), 1);
    EXPECT_LT(spy.count(), kFiles);
    EXPECT_EQ(monitor.watchedFolders(), QStringList({root}));
}
