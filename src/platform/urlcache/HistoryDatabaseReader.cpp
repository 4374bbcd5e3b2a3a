#include "platform/urlcache/HistoryDatabaseReader.h"

#include "platform/urlcache/ReadOnlyDatabase.h"
#include "platform/urlcache/TemporaryDatabaseCopy.h"
#include "platform/urlcache/UrlCacheEntry.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace vistrel::platform {

namespace {

struct HistorySchema
{
    const char *table;
    const char *url;
    const char *visitCount;
    const char *lastVisit;
    const char *title;
    std::int64_t (*toFileTime)(std::int64_t);
};

const HistorySchema kFirefoxSchema{"moz_places", "url", "visit_count", "last_visit_date", "title",
                                   fileTimeFromUnixMicroseconds};
const HistorySchema kChromiumSchema{"urls", "url", "visit_count", "last_visit_time", "title",
                                    fileTimeFromWindowsMicroseconds};

// The table's column names in lower case; empty with error set when the table
// is missing or the file cannot be read as a database.
QList<QByteArray> tableColumns(sqlite3 *db, const char *table, QString &error)
{
    QString why;
    const std::optional<bool> exists = hasTable(db, table, why);
    if (!exists) {
        error = QStringLiteral("not a readable database (%1); skipped").arg(why);
        return {};
    }
    if (!*exists) {
        error = QStringLiteral("unknown history schema: no table \"%1\"; skipped").arg(QLatin1String(table));
        return {};
    }
    const std::optional<QList<QByteArray>> columns = tableColumnNames(db, table, why);
    if (!columns) {
        error = QStringLiteral("cannot read the columns of \"%1\" (%2); skipped").arg(QLatin1String(table), why);
        return {};
    }
    return *columns;
}

QString missingColumn(const char *table, const char *column)
{
    return QStringLiteral("unknown history schema: table \"%1\" has no column \"%2\"")
        .arg(QLatin1String(table), QLatin1String(column));
}

} // namespace

std::size_t HistoryDatabaseReader::read(const HistoryDatabase &database, const RowSink &sink,
                                        std::vector<UrlCacheProblem> &problems) const
{
    auto report = [&](const QString &message) { problems.push_back({database.path, message}); };
    if (!QFileInfo::exists(database.path)) {
        report(QStringLiteral("history database missing; profile skipped"));
        return 0;
    }

    const TemporaryDatabaseCopy copy(m_tempFolder, database.path);
    if (!copy.isValid()) {
        report(QStringLiteral("cannot copy the history database (%1); skipped").arg(copy.error()));
        return 0;
    }
    if (!copy.error().isEmpty())
        report(copy.error());

    QString error;
    const Database db = openReadOnlyDatabase(copy.path(), error);
    if (!db) {
        report(QStringLiteral("cannot open the history database (%1); skipped").arg(error));
        return 0;
    }

    const HistorySchema &schema =
        database.format == HistoryFormat::FirefoxPlaces ? kFirefoxSchema : kChromiumSchema;
    const QList<QByteArray> columns = tableColumns(db.get(), schema.table, error);
    if (!error.isEmpty()) {
        report(error);
        return 0;
    }
    for (const char *required : {schema.url, schema.visitCount}) {
        if (!columns.contains(required)) {
            report(missingColumn(schema.table, required) + QStringLiteral("; skipped"));
            return 0;
        }
    }
    // Without a time or a title the visits still count.
    auto optional = [&](const char *column) -> QByteArray {
        if (columns.contains(column))
            return quotedIdentifier(column);
        report(missingColumn(schema.table, column) + QStringLiteral("; read without it"));
        return "NULL";
    };
    const QByteArray sql = "SELECT " + quotedIdentifier(schema.url) + ", " + quotedIdentifier(schema.visitCount) + ", "
                           + optional(schema.lastVisit) + ", " + optional(schema.title) + " FROM "
                           + quotedIdentifier(schema.table);
    const Statement select = prepareStatement(db.get(), sql);
    if (!select) {
        report(QStringLiteral("cannot query the history (%1); skipped").arg(databaseErrorText(db.get())));
        return 0;
    }

    std::size_t rows = 0;
    int rc;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        HistoryRow row;
        row.url = textColumn(select.get(), 0);
        row.visitCount = sqlite3_column_int64(select.get(), 1);
        row.lastVisit = schema.toFileTime(sqlite3_column_int64(select.get(), 2));
        // Places that were bookmarked or typed but never visited are no history.
        if (row.url.empty() || (row.visitCount <= 0 && row.lastVisit == 0))
            continue;
        row.title = textColumn(select.get(), 3);
        sink(row);
        ++rows;
    }
    if (rc != SQLITE_DONE)
        report(QStringLiteral("reading stopped after %1 entries (%2); the rest was skipped")
                   .arg(rows)
                   .arg(databaseErrorText(db.get())));
    return rows;
}

} // namespace vistrel::platform
