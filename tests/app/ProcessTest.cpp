#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

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

namespace {

// The lowest port an ordinary user may listen on; 1024 where the kernel does
// not say.
int unprivilegedPortStart()
{
    QFile file("/proc/sys/net/ipv4/ip_unprivileged_port_start");
    if (!file.open(QIODevice::ReadOnly))
        return 1024;
    bool ok = false;
    const int value = file.readAll().trimmed().toInt(&ok);
    return ok ? value : 1024;
}

// Runs commands as "nobody" when the tests run as root, as they do in CI.
const QStringList kAsNobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};

// Hands the temporary HOME to "nobody", so the program can write there.
bool giveToNobody(const QString &folder)
{
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        return false;
    bool ok = ::chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        ok = ::chown(QFile::encodeName(it.next()).constData(), nobody->pw_uid, nobody->pw_gid) == 0 && ok;
    return ok;
}

QByteArray httpGet(quint16 port, const QByteArray &path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + path + " HTTP/1.0\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(5000))
        answer += socket.readAll();
    return answer + socket.readAll();
}

} // namespace

TEST(Process, AnOrdinaryUserIsServedOnAFallbackPortWhenTheConfiguredOneNeedsRights)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    const int lowestOpen = unprivilegedPortStart();
    if (lowestOpen <= 1)
        GTEST_SKIP() << "every port is open to every user here (net.ipv4.ip_unprivileged_port_start="
                     << lowestOpen << "), so no port needs rights";
    TempHome home;
    const QString folder = home.file("program");
    QDir().mkpath(folder);
    QDir().mkpath(home.file("tmp"));
    ASSERT_TRUE(QFile::copy(binary(), folder + "/vistrel"));
    // Port 80, the default, needs rights unless the kernel opens it to everyone.
    const bool defaultNeedsRights = 80 < lowestOpen;
    const QByteArray reserved = QByteArray::number(defaultNeedsRights ? 80 : lowestOpen - 1);
    if (!defaultNeedsRights)
        vistrel::test::writeAll(folder + "/vistrel.ini", "[Data]\r\nPort=" + reserved + "\r\n");

    QStringList prefix;
    if (::geteuid() == 0) {
        if (!giveToNobody(home.path()))
            GTEST_SKIP() << "cannot hand the temporary HOME to the user nobody";
        QProcess check;
        check.start(kAsNobody.first(), kAsNobody.mid(1) + QStringList{"/bin/sh", "-c", "test -w \"$0\"", folder});
        if (!check.waitForFinished(10000) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
            GTEST_SKIP() << "cannot run as nobody with setpriv, or nobody cannot reach " << home.path().toStdString()
                         << ": " << check.readAllStandardError().toStdString();
        prefix = kAsNobody;
    }
    auto startCopy = [&](RunningCopy &copy) {
        if (!prefix.isEmpty()) {
            copy.process.setArguments(prefix.mid(1) + QStringList{copy.process.program()});
            copy.process.setProgram(prefix.first());
        }
        copy.process.start();
        return copy.process.waitForStarted();
    };

    QByteArray said;
    quint16 port = 0;
    {
        RunningCopy copy(home, folder);
        ASSERT_TRUE(startCopy(copy));
        const QRegularExpression notice("Port " + QString::fromLatin1(reserved)
                                        + " needs administrator rights: serving on port (\\d+)");
        QRegularExpressionMatch match;
        for (int waited = 0; waited < 20000 && !match.hasMatch(); waited += 100) {
            copy.process.waitForReadyRead(100);
            said += copy.process.readAllStandardError();
            match = notice.match(QString::fromLocal8Bit(said));
        }
        ASSERT_TRUE(match.hasMatch()) << said.toStdString();
        port = match.captured(1).toUShort();
        EXPECT_GE(port, 8080);
        EXPECT_LE(port, 8099);
        QByteArray answer;
        for (int i = 0; i < 100 && !answer.contains("\r\n\r\n"); ++i) {
            answer = httpGet(port, "/view.htm");
            if (!answer.contains("\r\n\r\n"))
                QThread::msleep(100);
        }
        EXPECT_TRUE(answer.startsWith("HTTP/1.0 200 OK")) << answer.toStdString();
        EXPECT_TRUE(answer.endsWith(readAll(home.file("Documents/vistrel/view.htm"))));
        EXPECT_TRUE(QFileInfo(home.file("Favorites")).isDir()) << "the missing Favorites folder is made";
        copy.process.terminate();
        ASSERT_TRUE(copy.process.waitForFinished(10000));
    }
    // The port it really served on is the one saved.
    EXPECT_TRUE(readAll(folder + "/vistrel.ini").contains("Port=" + QByteArray::number(port) + "\r\n"));

    // With every fallback port taken, the old message and no server.
    QList<QTcpServer *> occupants;
    for (quint16 p = 8080; p <= 8099; ++p) {
        auto *occupant = new QTcpServer;
        occupant->listen(QHostAddress::Any, p); // one taken by another program is just as taken
        occupants << occupant;
    }
    vistrel::test::writeAll(folder + "/vistrel.ini", "[General]\r\nStartup=0\r\n[Data]\r\nPort=" + reserved + "\r\n");
    if (!prefix.isEmpty())
        giveToNobody(folder);
    {
        RunningCopy copy(home, folder);
        ASSERT_TRUE(startCopy(copy));
        said.clear();
        for (int waited = 0; waited < 20000 && !said.contains("Unable to start internal Web server."); waited += 100) {
            copy.process.waitForReadyRead(100);
            said += copy.process.readAllStandardError();
        }
        EXPECT_TRUE(said.contains("Unable to start internal Web server. Try choosing a different Web Server Port."))
            << said.toStdString();
        EXPECT_FALSE(said.contains("serving on port")) << said.toStdString();
    }
    qDeleteAll(occupants);
}
