#pragma once

#include "catalogue/bookmarks/BookmarkTree.h"
#include "catalogue/bookmarks/FavouriteUrls.h"
#include "catalogue/bookmarks/ImportCounts.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <string>
#include <vector>

namespace vistrel::platform {
struct MainFlags;
}

namespace vistrel::catalogue {

// Writes one source's bookmarks into the Favorites folder as shortcut files,
// never replacing a file: a taken name gets " (2)", " (3)", ... Either the whole
// source is written or, after a failure, everything this writer made is taken
// away again.
class BookmarkWriter
{
public:
    // Added favourites get this extension, as those added from the history page.
    static constexpr const char *kShortcutExtension = ".URL";
    // A bookmark folder without a title.
    static constexpr const char *kUntitledFolder = "Folder";

    BookmarkWriter(platform::MainFlags &flags, const QString &favoritesFolder);

    // known: the addresses already favourites; gains the ones written. False, with
    // error set and nothing of this source left behind, when a file or folder
    // could not be written.
    bool write(const BookmarkTree &tree, FavouriteUrls &known, ImportCounts &counts, QString &error);

private:
    struct FolderNames
    {
        QSet<QByteArray> taken;           // entry names in lower case
        QHash<QByteArray, QByteArray> dirs; // lower-case name -> the folder's real name
        QHash<QByteArray, int> nextNumber;  // lower-case base name -> the next " (n)" to try
    };

    FolderNames &namesIn(const std::string &folder);
    bool makeFolder(const std::string &parent, const QString &title, std::string &path, QString &error);
    bool writeFavourite(const std::string &folder, const BookmarkTree::Link &link, QString &error);
    void undo();

    platform::MainFlags &m_flags;
    std::string m_root;
    QHash<QByteArray, FolderNames> m_names;
    std::vector<std::string> m_madeFiles;
    std::vector<std::string> m_madeFolders;
    std::size_t m_flattened = 0;
};

} // namespace vistrel::catalogue
