#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <string_view>

#include <sqlite3.h>

namespace vistrel::platform {

// The small SQLite toolkit the browser-database readers share.
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

// A browser's database is only ever opened as a private copy, so a lock can only
// come from a broken file: never wait long.
inline constexpr int kDatabaseBusyTimeoutMs = 100;

// Opens a private copy read-only, with nothing in the file allowed to run code of
// ours; empty, with error set, when it cannot be opened.
Database openReadOnlyDatabase(const QString &path, QString &error);

// Empty when the statement does not compile (a table or column is missing).
Statement prepareStatement(sqlite3 *db, const QByteArray &sql);

std::string_view textColumn(sqlite3_stmt *statement, int column);
QString databaseErrorText(sqlite3 *db);
// An SQL identifier in double quotes.
QByteArray quotedIdentifier(const char *identifier);

// Whether the database has the table: empty, with error set, when the file
// cannot be read as a database at all.
std::optional<bool> hasTable(sqlite3 *db, const char *table, QString &error);
// The table's column names in lower case; empty, with error set, when they
// cannot be read.
std::optional<QList<QByteArray>> tableColumnNames(sqlite3 *db, const char *table, QString &error);

} // namespace vistrel::platform
