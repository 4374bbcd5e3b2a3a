#include "support/LoopbackClient.h"
#include "support/ProgramFixture.h"
#include "server/http/THttpServer.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>

#include <gtest/gtest.h>

using vistrel::test::ProgramFixture;
using vistrel::test::readAll;
using vistrel::test::writeAll;

namespace {

constexpr char kQuietSettings[] = "[General]\r\nStartup=0\r\nHistory=0\r\n[Data]\r\nPort=0\r\n";

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0);
    return probe.serverPort();
}

TEST(HandlersWindow, FirstShowingStartsTheServerAndTheButtonsFollowItsState)
{
    ProgramFixture p;
    writeAll(p.paths.settingsPath, kQuietSettings);
    vistrel::app::TMain &m = p.start();
    m.FormShow();
    ASSERT_TRUE(m.HttpServer1->IsListening());
    EXPECT_FALSE(m.PortEdit->isEnabled());
    EXPECT_FALSE(m.StartButton->isEnabled());
    EXPECT_TRUE(m.StopButton->isEnabled());
    EXPECT_TRUE(m.display().lines().contains("Server is waiting for connections"));

    // The start-up pages are there by now, and "/" is the view frame set.
    vistrel::test::LoopbackClient client(m.HttpServer1->ListeningPort());
    client.send("GET / HTTP/1.0\r\n\r\n");
    const auto answer = vistrel::test::splitAnswer(client.readUntilClosed());
    EXPECT_TRUE(answer.header.startsWith("HTTP/1.0 200 OK")) << answer.header.toStdString();
    EXPECT_EQ(answer.body, readAll(p.paths.dataFolder + "viewer.htm"));

    m.StopButton->click();
    EXPECT_FALSE(m.HttpServer1->IsListening());
    EXPECT_TRUE(m.PortEdit->isEnabled());
    EXPECT_TRUE(m.StartButton->isEnabled());
    EXPECT_FALSE(m.StopButton->isEnabled());
}

TEST(HandlersWindow, StartOnAPortInUseShowsTheBoxAndLeavesStartEnabled)
{
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::Any, 0));
    ProgramFixture p;
    writeAll(p.paths.settingsPath, kQuietSettings);
    vistrel::app::TMain &m = p.start();
    m.PortEdit->setText(QString::number(occupant.serverPort()));
    m.StartButton->click();
    EXPECT_EQ(p.messages->texts(),
              QStringList("Unable to start internal Web server. Try choosing a different Web Server Port."));
    EXPECT_TRUE(m.StartButton->isEnabled());
    EXPECT_TRUE(m.PortEdit->isEnabled());
    EXPECT_FALSE(m.StopButton->isEnabled());
    // A port the server never ran on is not saved.
    EXPECT_EQ(m.serverPort(), "0");
}

TEST(HandlersWindow, TheTrimmedPortTheServerStartedOnIsSaved)
{
    ProgramFixture p;
    writeAll(p.paths.settingsPath, kQuietSettings);
    vistrel::app::TMain &m = p.start();
    const QString port = QString::number(freePort());
    m.PortEdit->setText("  " + port + " ");
    m.StartButton->click();
    ASSERT_TRUE(m.HttpServer1->IsListening()) << p.messages->texts().join('\n').toStdString();
    EXPECT_EQ(m.HttpServer1->ListeningPort(), port.toUShort());
    EXPECT_EQ(m.serverPort(), port);
    m.SaveSettings();
    EXPECT_TRUE(readAll(p.paths.settingsPath).contains("Port=" + port.toUtf8()));
}

TEST(HandlersWindow, LogOnThenOffWritesOneOpenedAndOneClosedLineAroundTheDisplay)
{
    ProgramFixture p;
    writeAll(p.paths.settingsPath, kQuietSettings);
    vistrel::app::TMain &m = p.start();
    m.WriteLogFileCheckBox->click();
    ASSERT_TRUE(m.WriteLogFileCheckBox->isChecked());
    m.display().write("between");
    m.WriteLogFileCheckBox->click();
    EXPECT_FALSE(m.WriteLogFileCheckBox->isChecked());
    m.display().write("after");

    const QList<QByteArray> lines = readAll(p.paths.serverLogPath).split('\n');
    ASSERT_EQ(lines.size(), 4) << readAll(p.paths.serverLogPath).toStdString();
    const QRegularExpression stamp(R"(^\[\d\d.\d\d.\d\d \d{4}.\d\d.\d\d Log file (opened|Closed)\.\]\r$)");
    EXPECT_TRUE(stamp.match(QString::fromUtf8(lines[0])).captured(1) == "opened") << lines[0].toStdString();
    EXPECT_EQ(lines[1], "between\r");
    EXPECT_TRUE(stamp.match(QString::fromUtf8(lines[2])).captured(1) == "Closed") << lines[2].toStdString();
    EXPECT_EQ(lines[3], "");
}

} // namespace
