#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
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
        ASSERT_EQ(gets.size(), kBurst) << "signal " << signalNumber;
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
