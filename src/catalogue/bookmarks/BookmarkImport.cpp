#include "catalogue/bookmarks/BookmarkImport.h"

#include "catalogue/bookmarks/BookmarkWriter.h"
#include "catalogue/bookmarks/ChromiumBookmarks.h"
#include "catalogue/bookmarks/FavouriteUrls.h"
#include "catalogue/bookmarks/FirefoxBookmarks.h"
#include "catalogue/bookmarks/NetscapeBookmarks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vistrel::catalogue {

namespace {

std::optional<BookmarkTree> readSource(const BookmarkSource &source, const platform::PrivateTempFolder &tempFolder,
                                       QString &error)
{
    switch (source.kind) {
    case BookmarkSource::Kind::Firefox:
        return FirefoxBookmarks::read(tempFolder, source.path, error);
    case BookmarkSource::Kind::Chromium:
        return ChromiumBookmarks::read(source.path, error);
    case BookmarkSource::Kind::File:
        return NetscapeBookmarks::read(source.path, error);
    }
    return std::nullopt;
}

// The folder must exist (it is made when missing) and take new files.
QString unwritableReason(const QString &folder)
{
    QDir().mkpath(folder);
    const QFileInfo info(folder);
    if (!info.isDir())
        return QStringLiteral("The Favorites folder %1 is not a folder and cannot be made one.").arg(folder);
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("The Favorites folder %1 cannot be written (%2).")
            .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

} // namespace

bool ImportReport::succeeded() const
{
    if (!error.isEmpty())
        return false;
    for (const Outcome &outcome : outcomes)
        if (!outcome.imported)
            return false;
    return true;
}

std::size_t ImportReport::added() const
{
    std::size_t total = 0;
    for (const Outcome &outcome : outcomes)
        total += outcome.counts.added;
    return total;
}

QStringList ImportReport::lines() const
{
    QStringList lines;
    for (const Outcome &outcome : outcomes) {
        if (!outcome.imported)
            continue;
        const ImportCounts &c = outcome.counts;
        QString line = QStringLiteral("%1: %2 added, %3 already present, %4 skipped")
                           .arg(outcome.source)
                           .arg(c.added)
                           .arg(c.present)
                           .arg(c.skipped);
        if (c.flattened > 0)
            line += QStringLiteral(" (%1 folders nested too deep were merged into their parents)").arg(c.flattened);
        lines << line;
    }
    if (!favoritesFolder.isEmpty())
        lines << QStringLiteral("Favorites folder: %1").arg(favoritesFolder);
    return lines;
}

QStringList ImportReport::errors() const
{
    QStringList lines;
    if (!error.isEmpty())
        lines << error;
    for (const Outcome &outcome : outcomes)
        if (!outcome.imported)
            lines << QStringLiteral("%1: %2; nothing was imported from it.").arg(outcome.source, outcome.error);
    return lines;
}

BookmarkImport::BookmarkImport(platform::MainFlags &flags, const platform::PrivateTempFolder &tempFolder,
                               const QString &favoritesFolder)
    : m_flags(flags), m_tempFolder(tempFolder), m_favoritesFolder(favoritesFolder)
{
}

ImportReport BookmarkImport::run(const std::vector<BookmarkSource> &sources)
{
    ImportReport report;
    report.favoritesFolder = m_favoritesFolder;
    report.error = unwritableReason(m_favoritesFolder);
    if (!report.error.isEmpty())
        return report;

    FavouriteUrls known = FavouriteUrls::read(m_favoritesFolder);
    BookmarkWriter writer(m_flags, m_favoritesFolder);
    for (const BookmarkSource &source : sources) {
        ImportReport::Outcome outcome;
        outcome.source = source.name;
        if (const std::optional<BookmarkTree> tree = readSource(source, m_tempFolder, outcome.error))
            outcome.imported = writer.write(*tree, known, outcome.counts, outcome.error);
        report.outcomes.push_back(outcome);
    }
    return report;
}

} // namespace vistrel::catalogue
