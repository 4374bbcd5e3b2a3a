#include "app/BookmarkCommand.h"

#include "app/CommandLine.h"
#include "catalogue/bookmarks/BookmarkExport.h"
#include "catalogue/bookmarks/BookmarkImport.h"
#include "platform/MainFlags.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SpecialFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace vistrel::app {

namespace {

constexpr int kFailed = 1;

void print(std::FILE *stream, const QStringList &lines, const char *prefix = "")
{
    for (const QString &line : lines)
        std::fprintf(stream, "%s%s\n", prefix, line.toLocal8Bit().constData());
}

int importBookmarks(const QString &request)
{
    QString error;
    const auto sources = catalogue::BookmarkSources::find(request, QDir::homePath(), platform::xdgConfigHome(), error);
    if (!sources) {
        print(stderr, {error}, "vistrel: ");
        return kFailed;
    }
    const platform::PrivateTempFolder tempFolder;
    platform::MainFlags flags;
    catalogue::BookmarkImport import(flags, tempFolder, platform::favoritesFolder());
    const catalogue::ImportReport report = import.run(*sources);
    print(stdout, report.lines());
    print(stderr, report.errors(), "vistrel: ");
    return report.succeeded() ? 0 : kFailed;
}

int exportBookmarks(const QString &file)
{
    catalogue::BookmarkExport::Result result;
    QString error;
    const QString favorites = platform::favoritesFolder();
    if (!catalogue::BookmarkExport::write(favorites, file, result, error)) {
        print(stderr, {error}, "vistrel: ");
        return kFailed;
    }
    print(stdout, {QStringLiteral("Exported %1 favourites in %2 folders from %3 to %4")
                       .arg(result.favourites)
                       .arg(result.folders)
                       .arg(favorites, QFileInfo(file).absoluteFilePath())});
    if (result.skipped > 0)
        print(stdout, {QStringLiteral("%1 shortcut files without an address were left out").arg(result.skipped)});
    return 0;
}

} // namespace

int runBookmarkCommand(int argc, char **argv, const CommandLine &command)
{
    // Files, databases and events only: no display is needed or touched.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Vistrel"));
    return command.action() == CommandLine::Action::ImportBookmarks ? importBookmarks(command.importSource())
                                                                      : exportBookmarks(command.exportFile());
}

} // namespace vistrel::app
