#include "platform/TextEncodings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

#include <gtest/gtest.h>

using vistrel::test::readAll;
using vistrel::test::TempHome;
using vistrel::test::writeAll;

namespace {

QByteArray curl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("curl"), QStringList{"-s", "--max-time", "5"} + arguments);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return process.readAllStandardOutput();
}

TEST(HandlersProgram, TheRealProgramServesItsPagesAndTakesFormsToCurl)
{
    const QString binary = QStringLiteral(VISTREL_BINARY_PATH);
    if (!QFile::exists(binary) || QStandardPaths::findExecutable("curl").isEmpty())
        GTEST_SKIP() << "the program or curl is missing";
    TempHome home;
    const QString folder = home.file("program");
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::copy(binary, folder + "/vistrel"));
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::Any, 0));
        port = probe.serverPort();
    }
    writeAll(folder + "/vistrel.ini",
             "[General]\r\nStartup=0\r\nHistory=0\r\n[Data]\r\nPort=" + QByteArray::number(port) + "\r\n");
    QDir().mkpath(home.file("Favorites"));
    writeAll(home.file("Favorites/old.url"), "[InternetShortcut]\r\nURL=http://old.example/\r\n");

    QProcess program;
    program.setProcessEnvironment(home.programEnvironment());
    program.start(folder + "/vistrel", {});
    ASSERT_TRUE(program.waitForStarted());
    struct Stop
    {
        QProcess &p;
        ~Stop()
        {
            p.terminate();
            if (!p.waitForFinished(10000)) {
                p.kill();
                p.waitForFinished();
            }
        }
    } stop{program};

    const QString address = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    QByteArray page;
    for (int i = 0; i < 100 && page.isEmpty(); ++i) {
        page = curl({address});
        if (page.isEmpty())
            QThread::msleep(100);
    }
    const QString viewer = home.file("Documents/vistrel/viewer.htm");
    ASSERT_TRUE(QFile::exists(viewer));
    EXPECT_EQ(page, readAll(viewer));

    const QByteArray id = QByteArray::fromStdString(
        vistrel::platform::hexEncode(QFile::encodeName(home.file("Favorites/old.url")).toStdString()));
    const QByteArray foreign = curl({"-H", "Origin: http://evil.example", "--data-raw", "Edit" + id + "=New", "-o",
                                     "/dev/null", "-w", "%{http_code}", address + "cgi-bin/cgifrm1.exe"});
    EXPECT_EQ(foreign, "403");
    EXPECT_TRUE(QFile::exists(home.file("Favorites/old.url")));
    const QByteArray report = curl({"-H", "Origin: " + address.chopped(1).toUtf8(), "--data-raw", "Edit" + id + "=New",
                                    address + "cgi-bin/cgifrm1.exe"});
    EXPECT_TRUE(report.contains("Renamed Favourite old to New<br>")) << report.toStdString();
    EXPECT_TRUE(QFile::exists(home.file("Favorites/New.URL")));
    EXPECT_TRUE(readAll(folder + "/CgiFrm1.txt").contains("there were 1 results from127.0.0.1"));
}

} // namespace
