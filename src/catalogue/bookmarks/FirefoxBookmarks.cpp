#include "catalogue/bookmarks/FirefoxBookmarks.h"

#include "platform/urlcache/ReadOnlyDatabase.h"
#include "platform/urlcache/TemporaryDatabaseCopy.h"

#include <QFileInfo>
#include <QHash>

namespace vistrel::catalogue {

namespace {

// moz_bookmarks.type
constexpr int kTypeBookmark = 1;
constexpr int kTypeFolder = 2;

struct Row
{
    qint64 id;
    qint64 parent;
    int type;
    QString title;
    QByteArray url;
    QByteArray guid;
};

// Where each of Firefox's fixed root folders goes; tags hold no bookmarks of their own.
std::optional<int> rootTarget(const QByteArray &guid)
{
    if (guid == "toolbar_____")
        return BookmarkTree::kToolbar;
    if (guid == "menu________" || guid == "unfiled_____")
        return BookmarkTree::kFavorites;
    if (guid == "mobile______")
        return BookmarkTree::kMobile;
    return std::nullopt;
}

QString missingPart(sqlite3 *db)
{
    for (const auto &[table, columns] :
         {std::pair<const char *, std::initializer_list<const char *>>{
              "moz_bookmarks", {"id", "type", "fk", "parent", "position", "title", "guid"}},
          {"moz_places", {"id", "url"}}}) {
        QString why;
        const std::optional<bool> exists = platform::hasTable(db, table, why);
        if (!exists)
            return QStringLiteral("not a readable database (%1)").arg(why);
        if (!*exists)
            return QStringLiteral("unknown bookmark schema: no table \"%1\"").arg(QLatin1String(table));
        const std::optional<QList<QByteArray>> names = platform::tableColumnNames(db, table, why);
        if (!names)
            return QStringLiteral("cannot read the columns of \"%1\" (%2)").arg(QLatin1String(table), why);
        for (const char *column : columns)
            if (!names->contains(column))
                return QStringLiteral("unknown bookmark schema: table \"%1\" has no column \"%2\"")
                    .arg(QLatin1String(table), QLatin1String(column));
    }
    return {};
}

} // namespace

std::optional<BookmarkTree> FirefoxBookmarks::read(const platform::PrivateTempFolder &tempFolder,
                                                   const QString &placesPath, QString &error)
{
    if (!QFileInfo::exists(placesPath)) {
        error = QStringLiteral("no bookmark database");
        return std::nullopt;
    }
    const platform::TemporaryDatabaseCopy copy(tempFolder, placesPath);
    if (!copy.isValid()) {
        error = QStringLiteral("cannot copy the bookmark database (%1)").arg(copy.error());
        return std::nullopt;
    }
    QString why;
    const platform::Database db = platform::openReadOnlyDatabase(copy.path(), why);
    if (!db) {
        error = QStringLiteral("cannot open the bookmark database (%1)").arg(why);
        return std::nullopt;
    }
    error = missingPart(db.get());
    if (!error.isEmpty())
        return std::nullopt;

    const platform::Statement select = platform::prepareStatement(
        db.get(), "SELECT b.id, b.parent, b.type, b.title, b.guid, p.url FROM moz_bookmarks b "
                  "LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position, b.id");
    if (!select) {
        error = QStringLiteral("cannot read the bookmarks (%1)").arg(platform::databaseErrorText(db.get()));
        return std::nullopt;
    }
    std::vector<Row> rows;
    int rc;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        const std::string_view title = platform::textColumn(select.get(), 3);
        const std::string_view guid = platform::textColumn(select.get(), 4);
        const std::string_view url = platform::textColumn(select.get(), 5);
        rows.push_back({sqlite3_column_int64(select.get(), 0), sqlite3_column_int64(select.get(), 1),
                        sqlite3_column_int(select.get(), 2), QString::fromUtf8(title.data(), qsizetype(title.size())),
                        QByteArray(url.data(), qsizetype(url.size())), QByteArray(guid.data(), qsizetype(guid.size()))});
    }
    if (rc != SQLITE_DONE) {
        // Half a bookmark tree is not imported: the user would think the rest lost.
        error = QStringLiteral("reading the bookmarks stopped after %1 entries (%2)")
                    .arg(rows.size())
                    .arg(platform::databaseErrorText(db.get()));
        return std::nullopt;
    }

    // Rows come grouped by parent, in position order.
    QHash<qint64, std::pair<std::size_t, std::size_t>> children;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t end = i;
        while (end < rows.size() && rows[end].parent == rows[i].parent)
            ++end;
        children.insert(rows[i].parent, {i, end});
        i = end;
    }

    BookmarkTree tree;
    bool rootFound = false;
    std::vector<bool> visited(rows.size(), false);
    // (row, folder of the tree it goes into), depth first, each folder's entries in order.
    std::vector<std::pair<std::size_t, int>> pending;
    const auto pushChildren = [&](qint64 parentId, int folder) {
        const auto range = children.value(parentId, {0, 0});
        for (std::size_t i = range.second; i > range.first; --i)
            pending.emplace_back(i - 1, folder);
    };
    for (std::size_t i = rows.size(); i > 0; --i) {
        const Row &row = rows[i - 1];
        if (const std::optional<int> target = rootTarget(row.guid); target && row.type == kTypeFolder) {
            rootFound = true;
            visited[i - 1] = true;
            pushChildren(row.id, *target);
        }
    }
    if (!rootFound) {
        error = QStringLiteral("unknown bookmark schema: none of the bookmark root folders is there");
        return std::nullopt;
    }
    while (!pending.empty()) {
        const auto [index, folder] = pending.back();
        pending.pop_back();
        if (visited[index])
            continue; // a damaged tree that loops
        visited[index] = true;
        const Row &row = rows[index];
        if (row.type == kTypeFolder)
            pushChildren(row.id, tree.addFolder(folder, row.title));
        else if (row.type == kTypeBookmark && !row.url.isEmpty())
            tree.addLink(folder, row.title, row.url);
        else
            tree.skip();
    }
    return tree;
}

} // namespace vistrel::catalogue
