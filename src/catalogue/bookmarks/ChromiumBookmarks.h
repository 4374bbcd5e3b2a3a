#pragma once

#include "catalogue/bookmarks/BookmarkTree.h"

#include <QString>

#include <optional>

namespace vistrel::catalogue {

// The bookmarks of one Chromium or Google Chrome profile: its "Bookmarks" file,
// a JSON document with the roots "bookmark_bar", "other" and "synced".
class ChromiumBookmarks
{
public:
    // Empty, with error set, when the file cannot be read or is not such a document.
    static std::optional<BookmarkTree> read(const QString &bookmarksPath, QString &error);
    static std::optional<BookmarkTree> parse(const QByteArray &json, QString &error);
};

} // namespace vistrel::catalogue
