#include "support/ProgramFixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace vistrel;

TEST(ImportBookmarks, TrayItemImportsReportsOnTheDisplayAndRefreshesOnce)
{
    test::ProgramFixture p;
    QDir().mkpath(p.home.file(".config/chromium/Default"));
    test::writeAll(p.home.file(".config/chromium/Default/Bookmarks"),
                   R"({"roots": {"bookmark_bar": {"type": "folder", "children": [
                       {"type": "url", "name": "One", "url": "https://one.example/"},
                       {"type": "url", "name": "Two", "url": "https://two.example/"}]}}})");
    app::TMain &m = p.start();
    QAction *item = nullptr;
    for (QAction *action : m.PopupMenu1->actions())
        if (action->text() == "&Import Bookmarks")
            item = action;
    ASSERT_TRUE(item);
    item->trigger();
    QCoreApplication::processEvents();

    EXPECT_TRUE(QFile::exists(p.paths.favoritesFolder + "/Links/One.URL"));
    EXPECT_TRUE(QFile::exists(p.paths.favoritesFolder + "/Links/Two.URL"));
    EXPECT_EQ(p.refreshes, 1) << "one refresh for the whole import";
    EXPECT_TRUE(m.display().lines().contains(
        "Import Bookmarks: Chromium profile Default: 2 added, 0 already present, 0 skipped"))
        << m.display().lines().join('\n').toStdString();

    // Nothing new: no refresh.
    m.ImportBookmarksButton->click();
    EXPECT_EQ(p.refreshes, 1);
    EXPECT_TRUE(m.display().lines().contains(
        "Import Bookmarks: Chromium profile Default: 0 added, 2 already present, 0 skipped"));
}
