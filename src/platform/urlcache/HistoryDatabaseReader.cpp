#include "platform/urlcache/HistoryDatabaseReader.h"

#include "platform/urlcache/TemporaryDatabaseCopy.h"
#include "platform/urlcache/UrlCacheEntry.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <memory>

namespace vistrel::platform {

namespace {

// The copy is ours alone, so a lock can only come from a broken file: never wait long.
constexpr int kBusyTimeoutMs = 100;

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

struct DatabaseCloser
{
    void operator()(sqlite3 *db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer
{
    void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

QString errorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QByteArray quoted(const char *identifier)
{
    return '"' + QByteArray(identifier).replace('"', "\"\"") + '"';
}

Statement prepare(sqlite3 *db, const QByteArray &sql)
{
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return {};
    }
    return Statement(statement);
}

std::string_view textColumn(sqlite3_stmt *statement, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    if (!text)
        return {};
    return {text, std::size_t(sqlite3_column_bytes(statement, column))};
}

// Opens the copy read-only, with nothing in the file allowed to run code of ours.
Database openReadOnly(const QString &path, QString &error)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = raw ? errorText(raw) : QString::fromUtf8(sqlite3_errstr(rc));
        return {};
    }
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
#ifdef SQLITE_DBCONFIG_TRUSTED_SCHEMA
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
#endif
    return db;
}

// The table's column names in lower case; empty with error set when the table
// is missing or the file cannot be read as a database.
QList<QByteArray> tableColumns(sqlite3 *db, const char *table, QString &error)
{
    Statement exists = prepare(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (!exists || sqlite3_bind_text(exists.get(), 1, table, -1, SQLITE_STATIC) != SQLITE_OK
        || sqlite3_step(exists.get()) != SQLITE_ROW) {
        error = QStringLiteral("not a readable database (%1); skipped").arg(errorText(db));
        return {};
    }
    if (sqlite3_column_int64(exists.get(), 0) == 0) {
        error = QStringLiteral("unknown history schema: no table \"%1\"; skipped").arg(QLatin1String(table));
        return {};
    }
    QList<QByteArray> columns;
    Statement info = prepare(db, "PRAGMA table_info(" + quoted(table) + ")");
    int rc = SQLITE_ERROR;
    while (info && (rc = sqlite3_step(info.get())) == SQLITE_ROW) {
        const std::string_view name = textColumn(info.get(), 1);
        columns.append(QByteArray(name.data(), qsizetype(name.size())).toLower());
    }
    if (rc != SQLITE_DONE) {
        error = QStringLiteral("cannot read the columns of \"%1\" (%2); skipped")
                    .arg(QLatin1String(table), errorText(db));
        return {};
    }
    return columns;
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
    const Database db = openReadOnly(copy.path(), error);
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
            return quoted(column);
        report(missingColumn(schema.table, column) + QStringLiteral("; read without it"));
        return "NULL";
    };
    const QByteArray sql = "SELECT " + quoted(schema.url) + ", " + quoted(schema.visitCount) + ", "
                           + optional(schema.lastVisit) + ", " + optional(schema.title) + " FROM "
                           + quoted(schema.table);
    const Statement select = prepare(db.get(), sql);
    if (!select) {
        report(QStringLiteral("cannot query the history (%1); skipped").arg(errorText(db.get())));
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
                   .arg(errorText(db.get())));
    return rows;
}

} // namespace vistrel::platform
