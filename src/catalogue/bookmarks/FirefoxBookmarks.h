#pragma once

#include "catalogue/bookmarks/BookmarkTree.h"

#include <QString>

#include <optional>

namespace vistrel::platform {
class PrivateTempFolder;
}

namespace vistrel::catalogue {

// The bookmarks of one Firefox profile's "places.sqlite", read from a private
// copy (with its write-ahead log) as the history is, since Firefox keeps the
// original open.
class FirefoxBookmarks
{
public:
    // Empty, with error set, when the database cannot be copied or read or is
    // not one Firefox writes.
    static std::optional<BookmarkTree> read(const platform::PrivateTempFolder &tempFolder, const QString &placesPath,
                                            QString &error);
};

} // namespace vistrel::catalogue
