#include "platform/urlcache/ReadOnlyDatabase.h"

#include <QFile>

namespace vistrel::platform {

QString databaseErrorText(sqlite3 *db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QByteArray quotedIdentifier(const char *identifier)
{
    return '"' + QByteArray(identifier).replace('"', "\"\"") + '"';
}

Statement prepareStatement(sqlite3 *db, const QByteArray &sql)
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

Database openReadOnlyDatabase(const QString &path, QString &error)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        error = raw ? databaseErrorText(raw) : QString::fromUtf8(sqlite3_errstr(rc));
        return {};
    }
    sqlite3_busy_timeout(raw, kDatabaseBusyTimeoutMs);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
#ifdef SQLITE_DBCONFIG_TRUSTED_SCHEMA
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
#endif
    return db;
}

std::optional<bool> hasTable(sqlite3 *db, const char *table, QString &error)
{
    Statement exists = prepareStatement(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (!exists || sqlite3_bind_text(exists.get(), 1, table, -1, SQLITE_STATIC) != SQLITE_OK
        || sqlite3_step(exists.get()) != SQLITE_ROW) {
        error = databaseErrorText(db);
        return std::nullopt;
    }
    return sqlite3_column_int64(exists.get(), 0) != 0;
}

std::optional<QList<QByteArray>> tableColumnNames(sqlite3 *db, const char *table, QString &error)
{
    QList<QByteArray> columns;
    Statement info = prepareStatement(db, "PRAGMA table_info(" + quotedIdentifier(table) + ")");
    int rc = SQLITE_ERROR;
    while (info && (rc = sqlite3_step(info.get())) == SQLITE_ROW) {
        const std::string_view name = textColumn(info.get(), 1);
        columns.append(QByteArray(name.data(), qsizetype(name.size())).toLower());
    }
    if (rc != SQLITE_DONE) {
        error = databaseErrorText(db);
        return std::nullopt;
    }
    return columns;
}

} // namespace vistrel::platform
