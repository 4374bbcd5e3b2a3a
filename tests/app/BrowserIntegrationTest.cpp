#include "support/ProgramFixture.h"

#include "app/BrowserIntegration.h"
#include "app/Dialogs.h"
#include "platform/RegistryFile.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

using namespace vistrel;
using namespace vistrel::app;
using vistrel::test::readAll;
using vistrel::test::TempHome;

namespace {

const QString kMain = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main";

struct StartPageCase
{
    TempHome home;
    platform::RegistryFile registry{platform::RegistryFile::defaultPath()};
    platform::MainFlags flags;
    QString favorites = home.file("Favorites");

    QString oldHomePage() const { return favorites + "/_Old Home Page.URL"; }
    QString startPage() const { return registry.readString(kMain, "Start Page").value_or("<missing>"); }
};

} // namespace

TEST(StartPage, LeftAloneWhenAlreadyLocalOrWithoutTheBrowserKey)
{
    StartPageCase c;
    EXPECT_FALSE(claimStartPage(c.registry, c.flags, c.favorites, "80"));
    EXPECT_FALSE(c.registry.keyExists(kMain)) << "the browser key is never created";

    for (const QString page : {"http://localhost:80/", "HTTP://LocalHost:80/", "http://localhost"}) {
        SCOPED_TRACE(page.toStdString());
        c.registry.writeString(kMain, "Start Page", page);
        EXPECT_FALSE(claimStartPage(c.registry, c.flags, c.favorites, "80"));
        EXPECT_EQ(c.startPage(), page);
        EXPECT_FALSE(QFile::exists(c.oldHomePage()));
        EXPECT_FALSE(c.flags.writingShortcut);
    }
}

TEST(StartPage, OtherPagesAreKeptAsTheOldHomePageAndReplaced)
{
    StartPageCase c;
    c.registry.writeString(kMain, "Start Page", "http://localhost/");
    EXPECT_TRUE(claimStartPage(c.registry, c.flags, c.favorites, "80"));
    EXPECT_EQ(c.startPage(), "http://localhost:80/");
    EXPECT_EQ(readAll(c.oldHomePage()), QByteArray("[InternetShortcut]\r\nURL=http://localhost/\r\n"));
    EXPECT_TRUE(c.flags.writingShortcut) << "the program's own write starts no refresh";

    // The port changed and the program started again.
    c.flags.writingShortcut = false;
    EXPECT_TRUE(claimStartPage(c.registry, c.flags, c.favorites, "8080"));
    EXPECT_EQ(c.startPage(), "http://localhost:8080/");
    EXPECT_EQ(readAll(c.oldHomePage()), QByteArray("[InternetShortcut]\r\nURL=http://localhost:80/\r\n"));

    c.registry.writeString(kMain, "Start Page", "HTTP://Example.ORG/Start");
    EXPECT_TRUE(claimStartPage(c.registry, c.flags, c.favorites, "8080"));
    EXPECT_EQ(readAll(c.oldHomePage()), QByteArray("[InternetShortcut]\r\nURL=HTTP://Example.ORG/Start\r\n"));
}

TEST(StartPage, IsNotReplacedWhenTheOldOneCannotBeKept)
{
    StartPageCase c;
    c.registry.writeString(kMain, "Start Page", "http://example.org/");
    test::writeAll(c.home.file("file"), "x");
    EXPECT_FALSE(claimStartPage(c.registry, c.flags, c.home.file("file"), "80")); // a file, not a folder
    EXPECT_EQ(c.startPage(), "http://example.org/");

    // With no start page at all there is nothing to keep.
    c.registry.deleteValue(kMain, "Start Page");
    EXPECT_TRUE(claimStartPage(c.registry, c.flags, c.favorites, "80"));
    EXPECT_EQ(c.startPage(), "http://localhost:80/");
    EXPECT_FALSE(QFile::exists(c.oldHomePage()));
}

TEST(StartPage, IsClaimedAtTheFirstShowingWithTheServersPort)
{
    test::ProgramFixture p;
    platform::RegistryFile registry(platform::RegistryFile::defaultPath());
    registry.writeString(kMain, "Start Page", "http://example.org/");
    // A port nothing listens on, so the program's server can start there.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    test::writeAll(p.paths.settingsPath, ("[General]\r\nStartup=0\r\n[Data]\r\nPort=" + port + "\r\n").toUtf8());
    TMain &m = p.start();
    m.FormShow();
    EXPECT_EQ(registry.readString(kMain, "Start Page").value_or(""), "http://localhost:" + port + "/");
    EXPECT_TRUE(QFile::exists(p.paths.favoritesFolder + "/_Old Home Page.URL"));
}

TEST(Instructions, CommandIsCutBeforeItsPlaceholder)
{
    const QString address = instructionsAddress("80");
    EXPECT_EQ(address, "http://localhost:80/instructions.htm");
    EXPECT_EQ(browserCommandLine("program \"%1\"", address), "program  " + address);
    EXPECT_EQ(QProcess::splitCommand(browserCommandLine("program \"%1\"", address)),
              QStringList({"program", address}));
    EXPECT_EQ(browserCommandLine("\"/opt/my browser/run\" -new %1 -x", address),
              "\"/opt/my browser/run\" -new  " + address);
    EXPECT_EQ(QProcess::splitCommand(browserCommandLine("\"/opt/my browser/run\" -new %1", address)),
              QStringList({"/opt/my browser/run", "-new", address}));
    EXPECT_EQ(browserCommandLine("browser", address), "browser " + address);
}

TEST(Instructions, OpenCommandComesFromTheHtmClassAndFailureIsReported)
{
    TempHome home;
    platform::RegistryFile registry(platform::RegistryFile::defaultPath());
    EXPECT_EQ(defaultBrowserCommand(registry).value_or(""), "xdg-open \"%1\"") << "the built-in default";

    test::RecordingPresenter messages;
    registry.writeString("HKEY_CLASSES_ROOT\\.htm", QString(), "mybrowser");
    registry.writeString("HKEY_CLASSES_ROOT\\mybrowser\\shell\\open\\command", QString(),
                         "/nonexistent/browser \"%1\"");
    openInstructions(registry, messages, "80");
    EXPECT_EQ(messages.texts(), QStringList({"Couldn't launch default browser"}));

    messages.shown.clear();
    registry.writeString("HKEY_CLASSES_ROOT\\mybrowser\\shell\\open\\command", QString(), "/bin/true \"%1\"");
    openInstructions(registry, messages, "80");
    EXPECT_TRUE(messages.shown.isEmpty());

    // No class, or a text too long to read: silently nothing.
    registry.writeString("HKEY_CLASSES_ROOT\\.htm", QString(), "noclass");
    openInstructions(registry, messages, "80");
    registry.writeString("HKEY_CLASSES_ROOT\\.htm", QString(), QString(260, 'c'));
    openInstructions(registry, messages, "80");
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(Instructions, PageIsWrittenIntoTheDataFolderAndRenewedWhenOlder)
{
    test::ProgramFixture p;
    const QString page = p.paths.dataFolder + "instructions.htm";
    test::writeAll(page, "<html>an older page</html>");
    p.start();
    const QByteArray built = builtInInstructionsPage();
    ASSERT_TRUE(built.contains("Vistrel"));
    EXPECT_EQ(readAll(page), built);
    for (const char *topic : {"Autorefresh if Favourites change", "Site Timeout", "Save Changes", "history.htm",
                              "registry.reg", "vistrel.ini", "\"Favorites\"=", "Getting started",
                              "vistrel --import-bookmarks", "Import Bookmarks", "Add to favourites",
                              "from 8080 to 8099", "Capture secure sites"})
        EXPECT_TRUE(built.contains(topic)) << topic;
}

namespace {

// A default browser that writes down the address it was given.
QString recordingBrowser(const TempHome &home, platform::RegistryFile &registry)
{
    const QString script = home.file("browser.sh");
    const QString record = home.file("opened.txt");
    test::writeAll(script, ("#!/bin/sh\necho \"$1\" >> '" + record + "'\n").toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    registry.writeString("HKEY_CLASSES_ROOT\\.htm", QString(), "recorder");
    registry.writeString("HKEY_CLASSES_ROOT\\recorder\\shell\\open\\command", QString(), script + " \"%1\"");
    return record;
}

QByteArray waitForRecord(const QString &record)
{
    for (int i = 0; i < 100 && !QFile::exists(record); ++i)
        QThread::msleep(50);
    QThread::msleep(50);
    return readAll(record);
}

} // namespace

TEST(Instructions, FirstRunOpensThePageOnTheServersPortOrItsFileAndMakesTheFavoritesFolder)
{
    Tfirst_run dialog;
    auto *link = dialog.findChild<QLabel *>("InstructionsLink");
    ASSERT_NE(link, nullptr);
    EXPECT_FALSE(dialog.instructionsWanted());
    emit link->linkActivated(QStringLiteral("instructions"));
    EXPECT_TRUE(dialog.instructionsWanted());
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << "following the link lets the program start";

    for (const bool serverStarts : {true, false}) {
        SCOPED_TRACE(serverStarts ? "the server starts" : "the port is taken");
        test::ProgramFixture p;
        ASSERT_TRUE(QDir(p.paths.favoritesFolder).removeRecursively());
        platform::RegistryFile registry(platform::RegistryFile::defaultPath());
        const QString record = recordingBrowser(p.home, registry);
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::Any, 0));
        const QString port = QString::number(probe.serverPort());
        if (serverStarts)
            probe.close();
        test::writeAll(p.paths.settingsPath, ("[General]\r\nStartup=0\r\n[Data]\r\nPort=" + port + "\r\n").toUtf8());
        TMain &m = p.start();
        m.setInstructionsAtStart(true);
        m.FormShow();
        const QString expected = serverStarts ? "http://localhost:" + port + "/instructions.htm"
                                              : QUrl::fromLocalFile(p.paths.dataFolder + "instructions.htm").toString();
        EXPECT_EQ(waitForRecord(record), (expected + "\n").toUtf8());
        // A missing Favorites folder is made, empty, and said.
        EXPECT_TRUE(QDir(p.paths.favoritesFolder).exists() && QDir(p.paths.favoritesFolder).isEmpty());
        EXPECT_TRUE(m.display().lines().contains("Created the empty Favorites folder " + p.paths.favoritesFolder));
    }
}
