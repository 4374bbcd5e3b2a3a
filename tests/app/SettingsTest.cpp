#include "platform/Autostart.h"
#include "support/ProgramFixture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace vistrel;
using vistrel::test::readAll;
using vistrel::test::TempHome;
using vistrel::test::writeAll;

namespace {

// Named with a capital, so the settings file's lower-case name shows.
struct Program : test::ProgramFixture
{
    Program() { paths = platform::ProgramPaths::compute(home.file("program/Vistrel")); }
    QStringList settingsLines() const
    {
        return QString::fromUtf8(readAll(paths.settingsPath)).split("\r\n", Qt::SkipEmptyParts);
    }
};

} // namespace

TEST(Settings, FirstRunGetsTheDefaultsAndSavesEveryKeyInOrder)
{
    Program p;
    EXPECT_TRUE(p.paths.settingsPath.endsWith("/program/vistrel.ini"));
    EXPECT_TRUE(p.paths.serverLogPath.endsWith("/program/Vistrel.log"));
    app::TMain &m = p.start();
    EXPECT_TRUE(m.autorefresh() && m.history() && m.newPage() && m.startup() && m.autoStart() && m.timeRefresh()
                && m.newOnly());
    EXPECT_FALSE(m.showCode() || m.homePage() || m.secure());
    EXPECT_EQ(m.interval(), 120);
    EXPECT_EQ(m.historyThreshold(), 10);
    EXPECT_EQ(m.fetchTimeout(), 60);
    EXPECT_EQ(m.sortBy(), 0);
    EXPECT_EQ(m.flags().evenFileName, 1);

    m.SaveSettings();
    QStringList keys;
    for (const QString &line : p.settingsLines())
        keys << line.section('=', 0, 0);
    EXPECT_EQ(keys, QStringList({"[WindowMain]", "Top", "Left", "Width", "Height", "[Data]", "DocDir", "DefaultDoc",
                                 "Port", "DisplayHeader", "LogToFile", "[General]", "Autorefresh", "History",
                                 "AutoStart", "NewPage", "Startup", "Time_refresh", "New_only", "Showcode", "HomePage",
                                 "Interval", "History_threshhold", "Fetch_Timeout", "EvenFileName", "SortBy",
                                 "Secure"}));
    EXPECT_TRUE(p.settingsLines().contains("Secure=0"));
    EXPECT_TRUE(p.settingsLines().contains("DefaultDoc=viewer.htm"));
    EXPECT_TRUE(p.settingsLines().contains("DocDir=" + p.paths.dataFolder.chopped(1)));
}

TEST(Settings, ClampsSpinEditsMatchesKeysWithoutCaseAndSurvivesGarbage)
{
    Program p;
    writeAll(p.paths.settingsPath,
             "garbage line\r\n=\r\n[General]\r\nfetch_timeout=5\r\nINTERVAL=0\r\nHistory_threshhold=99999999999999999999\r\n"
             "new_only=0\r\nshowcode=1\r\nSortBy=7\r\nEvenFileName=abc\r\nAutorefresh=zero\r\nSECURE=1\r\n"
             "[Data]\r\nport= 8080 \r\n");
    app::TMain &m = p.start();
    EXPECT_EQ(m.fetchTimeout(), 30);
    EXPECT_EQ(m.interval(), 1);
    EXPECT_EQ(m.historyThreshold(), 10); // not a number: the default
    EXPECT_FALSE(m.newOnly());
    EXPECT_TRUE(m.showCode());
    EXPECT_EQ(m.sortBy(), -1);
    EXPECT_EQ(m.flags().evenFileName, 1);
    EXPECT_TRUE(m.autorefresh());
    EXPECT_TRUE(m.secure());
    EXPECT_EQ(m.PortEdit->text(), QString("8080"));

    m.SaveSettings();
    const QStringList lines = p.settingsLines();
    EXPECT_TRUE(lines.contains("Fetch_Timeout=30"));
    EXPECT_TRUE(lines.contains("Interval=1"));
    EXPECT_TRUE(lines.contains("SortBy=-1"));
    EXPECT_TRUE(lines.contains("New_only=0"));
    EXPECT_TRUE(lines.contains("Showcode=1"));
    EXPECT_EQ(lines.last(), "Secure=1");
    EXPECT_FALSE(lines.join('\n').contains("garbage"));
}

TEST(Settings, SaveButtonSavesAndSaysSo)
{
    Program p;
    app::TMain &m = p.start();
    m.SaveSettingsClick();
    EXPECT_TRUE(QFile::exists(p.paths.settingsPath));
    ASSERT_EQ(p.messages->shown.size(), 1);
    EXPECT_EQ(p.messages->shown.first().text,
              QString("Settings Saved.\r\nSome settings wil not take effect until the program is next \r\nstarted."));
}

TEST(Settings, UnwritableProgramFolderFallsBackToTheConfigFolder)
{
    TempHome home;
    // A folder that is gone (or, for an ordinary user, one without write permission).
    auto paths = platform::ProgramPaths::compute(home.file("gone/vistrel"));
    EXPECT_EQ(paths.programFolder, home.file(".config/vistrel/"));
    EXPECT_EQ(paths.settingsPath, home.file(".config/vistrel/vistrel.ini"));
    if (::geteuid() != 0) {
        QDir().mkpath(home.file("ro"));
        QFile::setPermissions(home.file("ro"), QFile::ReadOwner | QFile::ExeOwner);
        paths = platform::ProgramPaths::compute(home.file("ro/vistrel"));
        EXPECT_EQ(paths.programFolder, home.file(".config/vistrel/"));
        QFile::setPermissions(home.file("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

TEST(Lifecycle, BackgroundPictureIsCreatedOnceAndNeverOverwritten)
{
    Program p;
    p.start();
    const QString back = p.paths.dataFolder + "_back.jpg";
    const QByteArray first = readAll(back);
    ASSERT_TRUE(first.startsWith("\xFF\xD8\xFF")); // a real JPEG
    writeAll(back, "user's own picture");
    p.main.reset();
    p.start();
    EXPECT_EQ(readAll(back), QByteArray("user's own picture"));
    QFile::remove(back);
    p.main.reset();
    p.start();
    EXPECT_TRUE(readAll(back).startsWith("\xFF\xD8\xFF"));
}

TEST(Lifecycle, CloseWithAutostartOnlyHidesButShutdownEndsAndUpdatesTheStartupEntry)
{
    Program p;
    app::TMain &m = p.start();
    m.cb_autostart->setChecked(true);
    bool ended = false;
    QObject::connect(&m, &app::TMain::programEnding, [&] { ended = true; });
    m.close();
    EXPECT_FALSE(ended);
    EXPECT_TRUE(QFile::exists(p.paths.settingsPath));
    EXPECT_FALSE(QFile::exists(platform::autostartEntryPath())); // only a real end updates it

    m.ShutdownClick();
    EXPECT_TRUE(ended);
    const QByteArray entry = readAll(platform::autostartEntryPath());
    EXPECT_TRUE(entry.contains("Exec=" + p.paths.programFile.toUtf8())) << entry.constData();

    Program q;
    app::TMain &n = q.start();
    n.cb_autostart->setChecked(false);
    platform::updateStartupList("Vistrel", "/x", true);
    n.close(); // autostart off: the close is a real end
    EXPECT_FALSE(QFile::exists(platform::autostartEntryPath()));
}

TEST(Lifecycle, CloseDuringARefreshWaitsForTheRefreshToReturnAndStartsNoOther)
{
    Program p;
    app::TMain &m = p.start();
    bool ended = false;
    bool closedInside = false;
    int refreshes = 0;
    QObject::connect(&m, &app::TMain::programEnding, [&] { ended = true; });
    m.setRefreshCommand([&] {
        m.flags().cancelRequested = false; // as every refresh starts
        m.flags().changePending = false;
        if (++refreshes > 1)
            return;
        m.ShutdownClick(); // arrives while the refresh pumps events
        closedInside = ended;
        EXPECT_TRUE(m.flags().cancelRequested);
    });
    // A change-driven and a timed refresh fall due in the same tick.
    m.cb_timerefresh->setChecked(true);
    m.RxSpinEdit1->setValue(1);
    for (int tick = 0; tick < 3; ++tick)
        m.Timer1Timer();
    m.flags().changePending = true;
    m.Timer1Timer();
    EXPECT_FALSE(closedInside);
    EXPECT_EQ(refreshes, 1) << "a refresh started after the close";
    QCoreApplication::postEvent(&m, new QEvent(app::kRefreshMessage));
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended);
    EXPECT_EQ(refreshes, 1);
}

TEST(Settings, PortFromTheCommandLineIsSavedOnlyWhenTheUserSaves)
{
    Program p;
    writeAll(p.paths.settingsPath, "[Data]\r\nPort=8081\r\n");
    app::TMain &m = p.start();
    m.setPortForThisRun("8123");
    m.LoadSettings();
    EXPECT_EQ(m.PortEdit->text(), "8123");
    m.setStartedPort("8123");
    m.SaveSettings(); // as every close does
    EXPECT_TRUE(p.settingsLines().contains("Port=8081"));
    m.SaveSettingsClick();
    EXPECT_TRUE(p.settingsLines().contains("Port=8123"));
}
