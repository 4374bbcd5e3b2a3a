#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <gtest/gtest.h>

using vistrel::test::readAll;
using vistrel::test::TempHome;

namespace {

QString binary()
{
    return QStringLiteral(VISTREL_BINARY_PATH);
}

// Starts a copy of the program from a temporary program folder, headless.
struct RunningCopy
{
    QProcess process;
    explicit RunningCopy(const TempHome &home, const QString &programFolder)
    {
        QDir().mkpath(programFolder);
        QFile::remove(programFolder + "/vistrel");
        QFile::copy(binary(), programFolder + "/vistrel");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.file(".config"));
        env.insert("TMPDIR", home.file("tmp"));
        env.insert("XDG_RUNTIME_DIR", home.file("tmp"));
        env.insert("XDG_DOCUMENTS_DIR", home.file("Documents"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProgram(programFolder + "/vistrel");
    }
    ~RunningCopy()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
};

bool waitForFile(const QString &path, int ms)
{
    for (int waited = 0; waited < ms; waited += 50) {
        if (QFile::exists(path))
            return true;
        QThread::msleep(50);
    }
    return QFile::exists(path);
}

} // namespace

TEST(Process, SecondCopyDefersToTheFirstAndSigtermEndsLikeClose)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    TempHome home;
    const QString folder = home.file("program");
    // A settings file without a refresh on start keeps the run quiet.
    vistrel::test::writeAll(folder + "/vistrel.ini", "[General]\r\nStartup=0\r\nHistory=0\r\n[Data]\r\nPort=0\r\n");
    RunningCopy first(home, folder);
    first.process.start();
    ASSERT_TRUE(first.process.waitForStarted());
    ASSERT_TRUE(waitForFile(home.file("Documents/vistrel/_back.jpg"), 10000));
    QThread::msleep(300);

    RunningCopy second(home, folder);
    second.process.start();
    ASSERT_TRUE(second.process.waitForFinished(10000)) << "the second copy hung";
    EXPECT_EQ(second.process.exitCode(), 0);
    EXPECT_TRUE(second.process.readAllStandardError().contains("Another copy of Vistrel is already running."));

    QFile::remove(folder + "/vistrel.ini");
    first.process.terminate();
    ASSERT_TRUE(first.process.waitForFinished(10000));
    EXPECT_EQ(first.process.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(readAll(folder + "/vistrel.ini").contains("EvenFileName="));
    EXPECT_TRUE(QFile::exists(home.file(".config/autostart/vistrel.desktop")));
}

TEST(Process, FirstRunIsToldOnlyWhenThereIsNoSettingsFile)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    TempHome home;
    const QString folder = home.file("program");
    for (int run = 0; run < 2; ++run) {
        RunningCopy copy(home, folder);
        copy.process.start();
        ASSERT_TRUE(waitForFile(home.file("Documents/vistrel/_back.jpg"), 10000));
        QThread::msleep(300);
        copy.process.terminate();
        ASSERT_TRUE(copy.process.waitForFinished(10000));
        const bool told = copy.process.readAllStandardError().contains("This is the first time Vistrel has been run");
        EXPECT_EQ(told, run == 0);
    }
}

TEST(Process, TwoCopiesStartedTogetherOnAFirstRunLeaveOneRunning)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    TempHome home;
    const QString folder = home.file("program");
    RunningCopy first(home, folder);
    RunningCopy second(home, folder);
    first.process.start();
    second.process.start();
    ASSERT_TRUE(first.process.waitForStarted());
    ASSERT_TRUE(second.process.waitForStarted());

    // One of them defers to the other within its patience for a busy copy.
    QElapsedTimer waited;
    waited.start();
    while (!first.process.waitForFinished(50) && !second.process.waitForFinished(50) && waited.elapsed() < 20000) {
    }
    const bool firstEnded = first.process.state() == QProcess::NotRunning;
    RunningCopy &ended = firstEnded ? first : second;
    RunningCopy &running = firstEnded ? second : first;
    ASSERT_EQ(ended.process.state(), QProcess::NotRunning) << "both copies run";
    EXPECT_EQ(ended.process.exitCode(), 0);
    EXPECT_TRUE(ended.process.readAllStandardError().contains("Another copy of Vistrel is already running."));
    EXPECT_FALSE(running.process.waitForFinished(1000)) << "the remaining copy ended too";

    // The survivor still holds its name: a later start defers to it as well.
    RunningCopy third(home, folder);
    third.process.start();
    ASSERT_TRUE(third.process.waitForFinished(20000));
    EXPECT_TRUE(third.process.readAllStandardError().contains("Another copy of Vistrel is already running."));
    EXPECT_EQ(running.process.state(), QProcess::Running);

    running.process.terminate();
    ASSERT_TRUE(running.process.waitForFinished(10000));
    EXPECT_EQ(running.process.exitStatus(), QProcess::NormalExit);
}
