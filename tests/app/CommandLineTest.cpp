#include "support/HistoryFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

using vistrel::test::readAll;
using vistrel::test::TempHome;
using vistrel::test::writeAll;

namespace {

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The real program with a private HOME and no display at all.
Outcome run(const TempHome &home, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment env = home.programEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
    process.start(QStringLiteral(VISTREL_BINARY_PATH), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(CommandLine, HelpVersionAndMistakesAnswerWithoutStartingTheProgram)
{
    TempHome home;
    const Outcome help = run(home, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: vistrel")) << help.out.toStdString();
    for (const char *option : {"--version", "--port <N>", "--import-bookmarks", "--export-bookmarks <FILE.html>"})
        EXPECT_TRUE(help.out.contains(option)) << option;

    const Outcome version = run(home, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("vistrel " VISTREL_VERSION "\n"));

    for (const QStringList &wrong : {QStringList{"--bogus"}, QStringList{"--port", "0"}, QStringList{"--port", "65536"},
                                     QStringList{"--port", "80x"}, QStringList{"stray"},
                                     QStringList{"--import-bookmarks", "--export-bookmarks", "x.html"}}) {
        SCOPED_TRACE(wrong.join(' ').toStdString());
        const Outcome mistake = run(home, wrong);
        EXPECT_EQ(mistake.exitCode, 2);
        EXPECT_TRUE(mistake.err.startsWith("vistrel: ")) << mistake.err.toStdString();
        EXPECT_TRUE(mistake.out.isEmpty());
    }
    // None of them started the program, so none wrote a settings file or data folder.
    EXPECT_FALSE(QDir(home.file("Documents/vistrel")).exists());
}

TEST(CommandLine, ImportsEveryFirefoxProfileThenExportsTheTree)
{
    TempHome home;
    const QString firefox = home.file(".mozilla/firefox");
    QDir().mkpath(firefox + "/abc.default-release");
    writeAll(firefox + "/profiles.ini",
             "[Profile0]\nName=default-release\nIsRelative=1\nPath=abc.default-release\nDefault=1\n");
    {
        vistrel::test::HistoryWriter places(vistrel::test::HistoryWriter::Browser::Firefox,
                                            firefox + "/abc.default-release/places.sqlite");
        places.commit();
        places.file().exec("INSERT INTO moz_places (id, url, guid) VALUES (1, 'https://debian.example/', 'p1')");
        places.file().exec("INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES "
                           "(1, 2, NULL, 0, 0, '', 'root________'), (2, 2, NULL, 1, 0, 'menu', 'menu________'), "
                           "(3, 2, NULL, 1, 1, 'toolbar', 'toolbar_____'), (4, 1, 1, 3, 0, 'Debian', 'b4')");
    }

    const Outcome imported = run(home, {"--import-bookmarks", "firefox"});
    EXPECT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.out.contains("Firefox profile abc.default-release: 1 added, 0 already present, 0 skipped"))
        << imported.out.toStdString();
    EXPECT_TRUE(imported.out.contains("Favorites folder: " + home.file("Favorites")));
    EXPECT_EQ(readAll(home.file("Favorites/Links/Debian.URL")), "[InternetShortcut]\r\nURL=https://debian.example/\r\n");

    const Outcome exported = run(home, {"--export-bookmarks", "out.html"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_TRUE(readAll(home.file("out.html")).contains("<DT><A HREF=\"https://debian.example/\">Debian</A>"));

    const Outcome none = run(home, {"--import-bookmarks", "chromium"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains("No Chromium or Google Chrome profile")) << none.err.toStdString();
}
