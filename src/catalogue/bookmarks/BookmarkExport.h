#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

namespace vistrel::catalogue {

// Writes the Favorites tree as a bookmark file in the HTML format browsers
// import: every folder (empty ones too) and every favourite with an address,
// the top "Links" folder marked as the toolbar's.
class BookmarkExport
{
public:
    struct Result
    {
        std::size_t favourites = 0;
        std::size_t folders = 0;
        std::size_t skipped = 0; // shortcut files without an address, or unreadable
    };

    // False, with error set and any earlier file at htmlPath untouched, when the
    // tree cannot be read or the file cannot be written.
    static bool write(const QString &favoritesFolder, const QString &htmlPath, Result &result, QString &error);
    // The document itself.
    static QByteArray document(const QString &favoritesFolder, Result &result);

    // Text for an HTML text or attribute value.
    static QByteArray escape(const QString &text);
};

} // namespace vistrel::catalogue
