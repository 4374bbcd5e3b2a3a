#include "platform/MainFlags.h"
#include "platform/ShortcutWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vistrel;

TEST(ShortcutWriter, WritesTwoCrLfLinesAndMarksTheWriteAsOurs)
{
    test::TempHome home;
    platform::MainFlags flags;
    const QString path = home.file("Favorites/_Old Home Page.URL");
    ASSERT_TRUE(platform::writeShortcut(flags, path, "http://example.com/"));
    EXPECT_TRUE(flags.writingShortcut);
    EXPECT_EQ(test::readAll(path), QByteArray("[InternetShortcut]\r\nURL=http://example.com/\r\n"));

    // Overwrites, and a URL cannot smuggle in lines of its own.
    ASSERT_TRUE(platform::writeShortcut(flags, path, std::string("http://a/\r\nIconFile=x\0y", 24)));
    EXPECT_EQ(test::readAll(path), QByteArray("[InternetShortcut]\r\nURL=http://a/IconFile=xy\r\n"));
}

TEST(ShortcutWriter, ReportsAFileItCannotWrite)
{
    test::TempHome home;
    platform::MainFlags flags;
    test::writeAll(home.file("blocker"), "x");
    EXPECT_FALSE(platform::writeShortcut(flags, home.file("blocker/inside.url"), "http://a/"));
}
