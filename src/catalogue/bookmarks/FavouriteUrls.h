#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

namespace vistrel::catalogue {

// The addresses of every favourite in a Favorites tree, so an import can tell
// the bookmarks the user already has.
class FavouriteUrls
{
public:
    static FavouriteUrls read(const QString &favoritesFolder);

    // An address in the form two favourites of one page share: scheme and host
    // in lower case, the rest as encoded.
    static QByteArray key(const QByteArray &url);

    bool contains(const QByteArray &url) const { return m_keys.contains(key(url)); }
    void add(const QByteArray &url) { m_keys.insert(key(url)); }
    qsizetype size() const { return m_keys.size(); }

private:
    QSet<QByteArray> m_keys;
};

} // namespace vistrel::catalogue
