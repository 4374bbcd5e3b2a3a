#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vistrel::test {

// One row of a browser's URL table. lastVisit is in the browser's own unit
// (microseconds since 1970 for Firefox, since 1601 for Chromium); 0 = never.
struct HistoryVisit
{
    std::string url;
    std::optional<std::string> title;
    std::int64_t visitCount = 1;
    std::int64_t lastVisit = 0;
};

std::int64_t firefoxTime(const QDateTime &time);
std::int64_t chromiumTime(const QDateTime &time);

// A SQLite database file created for a test, with statements run on it.
class SqliteFile
{
public:
    explicit SqliteFile(const QString &path);
    ~SqliteFile();
    SqliteFile(const SqliteFile &) = delete;
    SqliteFile &operator=(const SqliteFile &) = delete;

    void exec(const std::string &sql);
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

// Writes a history database with the browser's own schema: every statement of
// the real tables, indexes and metadata that history reading could meet. Rows
// go in one transaction; commit() ends it (the destructor commits too).
class HistoryWriter
{
public:
    enum class Browser { Firefox, Chromium };
    enum class Journal { Rollback, Wal };

    HistoryWriter(Browser browser, const QString &path, Journal journal = Journal::Rollback);
    ~HistoryWriter();

    void add(const HistoryVisit &visit);
    void add(const std::vector<HistoryVisit> &visits);
    void commit();
    // Keeps the writes in the write-ahead log instead of the database file.
    void holdCheckpoints();
    SqliteFile &file() { return m_file; }

private:
    void prepare();

    Browser m_browser;
    SqliteFile m_file;
    sqlite3_stmt *m_insertUrl = nullptr;
    sqlite3_stmt *m_insertVisit = nullptr;
    bool m_inTransaction = false;
    std::int64_t m_nextId = 1;
};

void writeFirefoxPlaces(const QString &path, const std::vector<HistoryVisit> &visits);
void writeChromiumHistory(const QString &path, const std::vector<HistoryVisit> &visits);

} // namespace vistrel::test
