#include "support/TestHttpServer.h"

#include "capture/BrowserLocator.h"
#include "capture/ProcessSweep.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>

#include <gtest/gtest.h>

using vistrel::test::spinUntil;
using vistrel::test::TestHttpServer;


// The real program, ended by SIGTERM while its browser takes a picture: the
// refresh stops after the page in hand, and nothing of the browser is left
// running or on disk.
TEST(BrowserLifetime, SigtermMidCaptureLeavesNoBrowserAndNoFiles)
{
    const QString binary = QStringLiteral(VISTREL_BINARY_PATH);
    if (!QFile::exists(binary) || vistrel::capture::findBrowser().isEmpty())
        GTEST_SKIP() << "no program or no browser";
    TestHttpServer site;
    auto slow = TestHttpServer::page("<html><body><h1>Slow page</h1></body></html>");
    slow.delayMilliseconds = 300;
    site.on("/", slow);

    vistrel::test::TempHome home;
    for (int n = 0; n < 40; ++n)
        vistrel::test::writeAll(home.file(QStringLiteral("Favorites/Page %1.url").arg(n)),
                                "[InternetShortcut]\r\nURL=" + site.url("/").toUtf8() + "\r\n");
    const QString program = home.file("program");
    QDir().mkpath(program);
    QDir().mkpath(home.file("tmp"));
    ASSERT_TRUE(QFile::copy(binary, program + "/vistrel"));
    QTcpServer port;
    port.listen(QHostAddress::LocalHost, 0);
    const QByteArray portText = QByteArray::number(port.serverPort());
    port.close();
    vistrel::test::writeAll(program + "/vistrel.ini", "[General]\r\nStartup=1\r\nHistory=0\r\nAutoStart=0\r\n"
                                                      "Fetch_Timeout=30\r\n[Data]\r\nPort="
                                                          + portText + "\r\n");

    QProcess process;
    QProcessEnvironment env = home.programEnvironment();
    // Else Qt makes its runtime folder in TMPDIR.
    QDir().mkpath(home.file("run"));
    QFile::setPermissions(home.file("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert("XDG_RUNTIME_DIR", home.file("run"));
    env.remove("VISTREL_BROWSER_MODE");
    process.setProcessEnvironment(env);
    process.setProgram(program + "/vistrel");
    process.start();
    ASSERT_TRUE(process.waitForStarted());

    const QByteArray tmp = QFile::encodeName(home.file("tmp"));
    const auto browsers = [&] { return vistrel::capture::livingProcessesMentioning(tmp); };
    // Mid-capture: the browser is up and the site has been asked for a page.
    ASSERT_TRUE(spinUntil([&] { return !browsers().empty() && site.requests().size() >= 4; }, 30000))
        << process.readAllStandardError().constData();
    process.terminate();
    ASSERT_TRUE(spinUntil([&] { return process.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(browsers().empty());
    const QStringList left = QDir(home.file("tmp")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
    // It stopped after the page in hand, long before the last favourite.
    EXPECT_LT(QDir(home.file("Documents/vistrel/images")).entryList({"*.BMP"}, QDir::Files).size(), 30);
}
