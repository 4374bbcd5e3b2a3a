#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <pwd.h>
#include <unistd.h>

using vistrel::test::readAll;
using vistrel::test::spinUntil;
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
        process.setProcessEnvironment(home.programEnvironment());
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

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Asks for /pageN.htm, N from 1 to count, one after another on one kept-alive
// connection; returns how many were answered.
int requestPages(quint16 port, int count)
{
    QTcpSocket socket;
    for (int tries = 0; tries < 100 && socket.state() != QAbstractSocket::ConnectedState; ++tries) {
        socket.abort();
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(1000))
            QThread::msleep(100);
    }
    int answered = 0;
    QByteArray buffer;
    for (int i = 1; i <= count; ++i) {
        socket.write("GET /page" + QByteArray::number(i) + ".htm HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n\r\n");
        qsizetype end = -1;
        while ((end = buffer.indexOf("\r\n\r\n")) < 0 && socket.waitForReadyRead(5000))
            buffer += socket.readAll();
        if (end < 0)
            break;
        const QRegularExpression length(R"(Content-Length: (\d+))", QRegularExpression::CaseInsensitiveOption);
        const qsizetype total = end + 4 + length.match(QString::fromLatin1(buffer.left(end))).captured(1).toLongLong();
        while (buffer.size() < total && socket.waitForReadyRead(5000))
            buffer += socket.readAll();
        if (buffer.size() < total)
            break;
        buffer.remove(0, total);
        ++answered;
    }
    return answered;
}

} // namespace

TEST(Process, EveryAnsweredRequestIsInTheLogAfterSigtermOrSigint)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    constexpr int kBurst = 300;
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signalNumber));
        TempHome home;
        const QString folder = home.file("program");
        const quint16 port = freePort();
        vistrel::test::writeAll(folder + "/vistrel.ini",
                                "[General]\r\nStartup=0\r\nHistory=0\r\nAutoStart=0\r\n[Data]\r\nLogToFile=1\r\nPort="
                                    + QByteArray::number(port) + "\r\n");
        RunningCopy copy(home, folder);
        copy.process.start();
        ASSERT_TRUE(copy.process.waitForStarted());
        ASSERT_EQ(requestPages(port, kBurst), kBurst);
        ::kill(pid_t(copy.process.processId()), signalNumber);
        ASSERT_TRUE(copy.process.waitForFinished(10000));

        const QStringList log = QString::fromUtf8(readAll(folder + "/vistrel.log")).split("\r\n");
        const QStringList gets = log.filter(": GET /page");
        ASSERT_EQ(gets.size(), kBurst);
        for (int i = 1; i <= kBurst; ++i)
            EXPECT_TRUE(gets[i - 1].endsWith(QString("] %1: GET /page%1.htm").arg(i))) << gets[i - 1].toStdString();
        EXPECT_TRUE(log.value(log.size() - 2).endsWith(" Log file Closed.]")) << log.value(log.size() - 2).toStdString();
        EXPECT_EQ(log.last(), QString());
    }
}

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
    ASSERT_TRUE(spinUntil([&] { return QFile::exists(home.file("Documents/vistrel/_back.jpg")); }, 10000));
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
        ASSERT_TRUE(spinUntil([&] { return QFile::exists(home.file("Documents/vistrel/_back.jpg")); }, 10000));
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

namespace {

// The lowest port an ordinary user may listen on (1024 unless the kernel says).
int unprivilegedPortStart()
{
    QFile file("/proc/sys/net/ipv4/ip_unprivileged_port_start");
    bool ok = file.open(QIODevice::ReadOnly);
    const int value = ok ? file.readAll().trimmed().toInt(&ok) : 0;
    return ok ? value : 1024;
}

// Hands the folder to "nobody", so the program can write there when run as nobody.
void giveToNobody(const QString &folder)
{
    const passwd *nobody = ::getpwnam("nobody");
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    for (QString path = folder; nobody && !path.isEmpty(); path = it.hasNext() ? it.next() : QString())
        (void)::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid);
}

// Standard error until the pattern turns up; empty match after the time limit.
QRegularExpressionMatch waitToSay(QProcess &process, const QRegularExpression &pattern, QByteArray &said)
{
    QRegularExpressionMatch match;
    for (int waited = 0; waited < 20000 && !match.hasMatch(); waited += 100) {
        process.waitForReadyRead(100);
        said += process.readAllStandardError();
        match = pattern.match(QString::fromLocal8Bit(said));
    }
    return match;
}

} // namespace

TEST(Process, AnOrdinaryUserIsServedOnAFallbackPortWhenTheConfiguredOneNeedsRights)
{
    if (binary().isEmpty() || !QFile::exists(binary()))
        GTEST_SKIP() << "VISTREL_BINARY not set";
    const int lowestOpen = unprivilegedPortStart();
    if (lowestOpen <= 1)
        GTEST_SKIP() << "net.ipv4.ip_unprivileged_port_start=" << lowestOpen << ": no port needs rights here";
    TempHome home;
    const QString folder = home.file("program");
    // Port 80, the default (no settings file), needs rights unless the kernel opens it to everyone.
    const QByteArray reserved = QByteArray::number(80 < lowestOpen ? 80 : lowestOpen - 1);
    if (reserved != "80")
        vistrel::test::writeAll(folder + "/vistrel.ini", "[Data]\r\nPort=" + reserved + "\r\n");
    // Root, as in CI, runs the program as nobody.
    const QStringList asNobody{"--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    auto start = [&](RunningCopy &copy) {
        if (::geteuid() == 0) {
            giveToNobody(home.path());
            copy.process.setArguments(asNobody + QStringList{copy.process.program()});
            copy.process.setProgram("setpriv");
        }
        copy.process.start();
        return copy.process.waitForStarted();
    };
    if (::geteuid() == 0) {
        giveToNobody(home.path());
        QProcess check;
        check.start("setpriv", asNobody + QStringList{"/bin/sh", "-c", "test -w \"$0\"", home.path()});
        if (!check.waitForFinished(10000) || check.exitCode() != 0)
            GTEST_SKIP() << "cannot run as nobody with setpriv in " << home.path().toStdString() << ": "
                         << check.readAllStandardError().toStdString();
    }

    QByteArray said;
    quint16 port = 0;
    {
        RunningCopy copy(home, folder);
        ASSERT_TRUE(start(copy));
        const QRegularExpression fallback("Port " + QString::fromLatin1(reserved)
                                          + " needs administrator rights: serving on port (\\d+)");
        const auto notice = waitToSay(copy.process, fallback, said);
        ASSERT_TRUE(notice.hasMatch()) << said.toStdString();
        port = notice.captured(1).toUShort();
        EXPECT_TRUE(port >= 8080 && port <= 8099) << port;
        QByteArray page;
        for (int i = 0; i < 100 && page.isEmpty(); ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(1000) && socket.write("GET /view.htm HTTP/1.0\r\n\r\n") > 0)
                while (socket.waitForReadyRead(5000) || socket.bytesAvailable())
                    page += socket.readAll();
            if (page.isEmpty())
                QThread::msleep(100);
        }
        EXPECT_TRUE(page.startsWith("HTTP/1.0 200 OK")) << page.toStdString();
        EXPECT_TRUE(page.endsWith(readAll(home.file("Documents/vistrel/view.htm"))));
        EXPECT_TRUE(QFileInfo(home.file("Favorites")).isDir()) << "the missing Favorites folder is made";
        copy.process.terminate();
        ASSERT_TRUE(copy.process.waitForFinished(10000));
    }
    // The port it really served on is the one saved.
    EXPECT_TRUE(readAll(folder + "/vistrel.ini").contains("Port=" + QByteArray::number(port) + "\r\n"));

    // Every fallback port taken (by this test or anyone else): the old message, no server.
    std::vector<std::unique_ptr<QTcpServer>> occupants;
    for (quint16 p = 8080; p <= 8099; ++p)
        occupants.emplace_back(std::make_unique<QTcpServer>())->listen(QHostAddress::Any, p);
    vistrel::test::writeAll(folder + "/vistrel.ini", "[General]\r\nStartup=0\r\n[Data]\r\nPort=" + reserved + "\r\n");
    RunningCopy copy(home, folder);
    ASSERT_TRUE(start(copy));
    said.clear();
    EXPECT_TRUE(waitToSay(copy.process, QRegularExpression("Unable to start internal Web server\\. Try choosing a "
                                                           "different Web Server Port\\."), said)
                    .hasMatch())
        << said.toStdString();
    EXPECT_FALSE(said.contains("serving on port")) << said.toStdString();
}
