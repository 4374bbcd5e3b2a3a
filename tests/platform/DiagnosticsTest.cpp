#include "platform/DiagnosticMemo.h"
#include "platform/DisplayWriter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace vistrel::platform;
using vistrel::test::readAll;
using vistrel::test::TempHome;

TEST(DisplayWriter, KeepsTheLatest201LinesAndCopiesThemToTheLog)
{
    TempHome home;
    DisplayWriter display;
    const QString log = home.file("vistrel.log");
    ASSERT_TRUE(display.openLog(log, "[opened]"));
    for (int i = 1; i <= 250; ++i)
        display.write(QString("line %1").arg(i));
    ASSERT_EQ(display.lines().size(), 201);
    EXPECT_EQ(display.lines().first(), QString("line 50"));
    EXPECT_EQ(display.lines().last(), QString("line 250"));
    display.closeLogWithLine("[closed]");
    const QList<QByteArray> logged = readAll(log).split('\n');
    EXPECT_EQ(logged.first(), QByteArray("[opened]\r"));
    EXPECT_EQ(logged.at(250), QByteArray("line 250\r"));
    EXPECT_EQ(logged.at(251), QByteArray("[closed]\r"));
    display.write("after close");
    EXPECT_FALSE(readAll(log).contains("after close"));
}

TEST(DisplayWriter, FailingLogAddsOneExceptionLinePerLineAndGoesOn)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    DisplayWriter display;
    ASSERT_TRUE(display.openLog("/dev/full"));
    display.write("first");
    display.write("second");
    ASSERT_EQ(display.lines().size(), 4);
    EXPECT_EQ(display.lines().at(0), QString("first"));
    EXPECT_TRUE(display.lines().at(1).startsWith("*** Exception"));
    EXPECT_TRUE(display.lines().at(1).endsWith(" writing to log file ***"));
    EXPECT_EQ(display.lines().at(2), QString("second"));
    EXPECT_TRUE(display.isLogOpen());
}

TEST(DiagnosticMemo, FileHoldsExactlyTheMemoAfterEverySave)
{
    TempHome home;
    const QString path = home.file("files.log");
    DiagnosticMemo memo(path);
    memo.add("one");
    memo.save();
    memo.add("two");
    memo.add("three");
    memo.save();
    EXPECT_EQ(readAll(path), QByteArray("one\r\ntwo\r\nthree\r\n"));
    // Cleared at the end of a refresh: the file keeps the refresh's lines until the next save.
    memo.clear();
    EXPECT_EQ(readAll(path), QByteArray("one\r\ntwo\r\nthree\r\n"));
    memo.add("next");
    memo.save();
    EXPECT_EQ(readAll(path), QByteArray("next\r\n"));
}
