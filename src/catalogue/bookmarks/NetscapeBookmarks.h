#pragma once

#include "catalogue/bookmarks/BookmarkTree.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vistrel::catalogue {

// A bookmark file in the HTML format every browser exports and imports: <DL>
// lists of <DT><A HREF> links and <DT><H3> folders. Read forgivingly, as the
// browsers do: unclosed tags end where the next list or entry begins, and
// nothing in the file (script included) is more than text.
class NetscapeBookmarks
{
public:

    static std::optional<BookmarkTree> read(const QString &htmlPath, QString &error);
    static std::optional<BookmarkTree> parse(const QByteArray &html, QString &error);

    // Character references as a bookmark file uses them; unknown ones stay as written.
    static QString decodeText(QByteArrayView text);
};

} // namespace vistrel::catalogue
