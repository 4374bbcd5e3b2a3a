#pragma once

#include "catalogue/bookmarks/BookmarkSources.h"
#include "catalogue/bookmarks/ImportCounts.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace vistrel::platform {
struct MainFlags;
class PrivateTempFolder;
}

namespace vistrel::catalogue {

// What an import did, source by source.
struct ImportReport
{
    struct Outcome
    {
        QString source;
        bool imported = false;
        ImportCounts counts;
        QString error; // why nothing was imported from it
    };

    QString favoritesFolder;
    QString error; // why nothing was imported at all
    std::vector<Outcome> outcomes;

    bool succeeded() const;
    std::size_t added() const;
    // One line per source, then the folder the favourites went to.
    QStringList lines() const;
    // The lines of the sources that failed, and the overall error.
    QStringList errors() const;
};

// Turns bookmarks into favourites: every source is read whole before anything
// of it is written, and written whole or not at all. A bookmark whose address is
// already a favourite (from an earlier import or an earlier source) is skipped.
class BookmarkImport
{
public:
    BookmarkImport(platform::MainFlags &flags, const platform::PrivateTempFolder &tempFolder,
                   const QString &favoritesFolder);

    ImportReport run(const std::vector<BookmarkSource> &sources);

private:
    platform::MainFlags &m_flags;
    const platform::PrivateTempFolder &m_tempFolder;
    QString m_favoritesFolder;
};

} // namespace vistrel::catalogue
