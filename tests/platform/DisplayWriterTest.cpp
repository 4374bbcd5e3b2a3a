#include "platform/DisplayWriter.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <gtest/gtest.h>

using namespace vistrel::platform;
using vistrel::test::readAll;
using vistrel::test::spinUntil;
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

TEST(DisplayWriter, FailingLogWriteAddsOneExceptionLineAndGoesOn)
{
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    DisplayWriter display;
    ASSERT_TRUE(display.openLog("/dev/full"));
    display.write("first");
    display.write("second");
    display.flushLog();
    // One failed write of the buffer, one line; then the log is tried line by line.
    display.write("third");
    ASSERT_EQ(display.lines().size(), 5) << display.lines().join('\n').toStdString();
    EXPECT_EQ(display.lines().mid(0, 2), QStringList({"first", "second"}));
    EXPECT_TRUE(display.lines().at(2).startsWith("*** Exception"));
    EXPECT_TRUE(display.lines().at(2).endsWith(" writing to log file ***"));
    EXPECT_EQ(display.lines().at(3), QString("third"));
    EXPECT_TRUE(display.lines().at(4).startsWith("*** Exception"));
    EXPECT_TRUE(display.isLogOpen());
    display.flushLog();
    EXPECT_EQ(display.lines().size(), 5);
}

TEST(DisplayWriter, LogIsFlushedWithoutACloseAndNeverEndsInAPartialLine)
{
    TempHome home;
    const QString log = home.file("vistrel.log");
    {
        DisplayWriter display;
        ASSERT_TRUE(display.openLog(log, "[opened]"));
        display.write("by the timer");
        EXPECT_TRUE(spinUntil([&] { return readAll(log).contains("by the timer\r\n"); }, 10000));
    }

    // A file size limit makes the disk refuse the middle of a flush.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    const qint64 before = QFileInfo(log).size();
    DisplayWriter display;
    ASSERT_TRUE(display.openLog(log));
    struct rlimit limit = saved;
    limit.rlim_cur = rlim_t(before + 10);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    display.write("a line longer than the ten bytes left");
    display.flushLog();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(display.lines().last().startsWith("*** Exception"));
    EXPECT_EQ(QFileInfo(log).size(), before);
    display.write("after");
    display.closeLog();
    EXPECT_TRUE(readAll(log).endsWith("by the timer\r\nafter\r\n"));
}
