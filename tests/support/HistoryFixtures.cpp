#include "support/HistoryFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <stdexcept>

namespace vistrel::test {

namespace {

constexpr std::int64_t kWindowsToUnixMicroseconds = 11644473600000000LL;

// The history tables of a current Firefox profile's places.sqlite.
const char *const kFirefoxSchema[] = {
    "PRAGMA page_size = 32768",
    "CREATE TABLE moz_origins ( id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL, "
    "frecency INTEGER NOT NULL, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
    "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0, UNIQUE (prefix, host) )",
    "CREATE TABLE moz_places (   id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
    "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
    "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER , "
    "guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL , "
    "description TEXT, preview_image_url TEXT, site_name TEXT, origin_id INTEGER REFERENCES moz_origins(id), "
    "recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
    "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE moz_historyvisits (  id INTEGER PRIMARY KEY, from_visit INTEGER, place_id INTEGER, "
    "visit_date INTEGER, visit_type INTEGER, session INTEGER, source INTEGER DEFAULT 0 NOT NULL, "
    "triggeringPlaceId INTEGER)",
    "CREATE TABLE moz_inputhistory (  place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL, "
    "use_count INTEGER, PRIMARY KEY (place_id, input))",
    "CREATE TABLE moz_bookmarks (  id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
    "parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, "
    "dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, "
    "syncChangeCounter INTEGER NOT NULL DEFAULT 1)",
    "CREATE TABLE moz_keywords (  id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, "
    "place_id INTEGER, post_data TEXT)",
    "CREATE TABLE moz_anno_attributes (  id INTEGER PRIMARY KEY, name VARCHAR(32) UNIQUE NOT NULL)",
    "CREATE TABLE moz_annos (  id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, "
    "anno_attribute_id INTEGER, content LONGVARCHAR, flags INTEGER DEFAULT 0, "
    "expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0, dateAdded INTEGER DEFAULT 0, "
    "lastModified INTEGER DEFAULT 0)",
    "CREATE TABLE moz_meta (key TEXT PRIMARY KEY, value NOT NULL) WITHOUT ROWID",
    "CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash)",
    "CREATE INDEX moz_places_hostindex ON moz_places (rev_host)",
    "CREATE INDEX moz_places_visitcount ON moz_places (visit_count)",
    "CREATE INDEX moz_places_frecencyindex ON moz_places (frecency)",
    "CREATE INDEX moz_places_lastvisitdateindex ON moz_places (last_visit_date)",
    "CREATE UNIQUE INDEX moz_places_guid_uniqueindex ON moz_places (guid)",
    "CREATE INDEX moz_places_originidindex ON moz_places (origin_id)",
    "CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date)",
    "CREATE INDEX moz_historyvisits_fromindex ON moz_historyvisits (from_visit)",
    "CREATE INDEX moz_historyvisits_dateindex ON moz_historyvisits (visit_date)",
    "PRAGMA user_version = 77",
};

// The history tables of a current Chromium or Chrome profile's History file.
const char *const kChromiumSchema[] = {
    "CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR)",
    "INSERT INTO meta VALUES ('mmap_status', '-1'), ('version', '67'), ('last_compatible_version', '16')",
    "CREATE TABLE urls(id INTEGER PRIMARY KEY AUTOINCREMENT,url LONGVARCHAR,title LONGVARCHAR,"
    "visit_count INTEGER DEFAULT 0 NOT NULL,typed_count INTEGER DEFAULT 0 NOT NULL,"
    "last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL)",
    "CREATE TABLE visits(id INTEGER PRIMARY KEY AUTOINCREMENT,url INTEGER NOT NULL,"
    "visit_time INTEGER NOT NULL,from_visit INTEGER,external_referrer_url TEXT,"
    "transition INTEGER DEFAULT 0 NOT NULL,segment_id INTEGER,visit_duration INTEGER DEFAULT 0 NOT NULL,"
    "incremented_omnibox_typed_score BOOLEAN DEFAULT FALSE NOT NULL,opener_visit INTEGER,"
    "originator_cache_guid TEXT,originator_visit_id INTEGER,originator_from_visit INTEGER,"
    "originator_opener_visit INTEGER,is_known_to_sync BOOLEAN DEFAULT FALSE NOT NULL,"
    "consider_for_ntp_most_visited BOOLEAN DEFAULT FALSE NOT NULL,visited_link_id INTEGER DEFAULT 0 NOT NULL,"
    "app_id TEXT)",
    "CREATE TABLE visit_source(id INTEGER PRIMARY KEY,source INTEGER NOT NULL)",
    "CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL,url_id INTEGER NOT NULL,"
    "term LONGVARCHAR NOT NULL,normalized_term LONGVARCHAR NOT NULL)",
    "CREATE TABLE segments (id INTEGER PRIMARY KEY,name VARCHAR,url_id INTEGER NON NULL)",
    "CREATE TABLE segment_usage (id INTEGER PRIMARY KEY,segment_id INTEGER NOT NULL,"
    "time_slot INTEGER NOT NULL,visit_count INTEGER DEFAULT 0 NOT NULL)",
    "CREATE INDEX visits_url_index ON visits (url)",
    "CREATE INDEX visits_from_index ON visits (from_visit)",
    "CREATE INDEX visits_time_index ON visits (visit_time)",
    "CREATE INDEX urls_url_index ON urls (url)",
    "CREATE INDEX segments_name ON segments(name)",
    "CREATE INDEX segments_url_id ON segments(url_id)",
};

[[noreturn]] void fail(sqlite3 *db, const std::string &what)
{
    throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}

void bindText(sqlite3 *db, sqlite3_stmt *statement, int index, const std::optional<std::string> &text)
{
    const int rc = text ? sqlite3_bind_text(statement, index, text->data(), int(text->size()), SQLITE_TRANSIENT)
                        : sqlite3_bind_null(statement, index);
    if (rc != SQLITE_OK)
        fail(db, "bind");
}

// Firefox's place identifier: twelve characters of URL-safe base 64.
std::string placeGuid(std::int64_t id)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string guid(12, 'A');
    for (int i = 11; i >= 0 && id > 0; --i, id /= 64)
        guid[std::size_t(i)] = digits[id % 64];
    return guid;
}

} // namespace

std::int64_t firefoxTime(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() * 1000;
}

std::int64_t chromiumTime(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() * 1000 + kWindowsToUnixMicroseconds;
}

SqliteFile::SqliteFile(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr)
        != SQLITE_OK)
        fail(m_db, "open " + path.toStdString());
    // Durability is no concern for a test's files, and syncing each statement is slow.
    exec("PRAGMA synchronous = OFF");
}

SqliteFile::~SqliteFile()
{
    sqlite3_close_v2(m_db);
}

void SqliteFile::exec(const std::string &sql)
{
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(m_db, sql);
}

HistoryWriter::HistoryWriter(Browser browser, const QString &path, Journal journal)
    : m_browser(browser), m_file(path)
{
    if (browser == Browser::Firefox) {
        for (const char *sql : kFirefoxSchema)
            m_file.exec(sql);
    } else {
        for (const char *sql : kChromiumSchema)
            m_file.exec(sql);
    }
    if (journal == Journal::Wal)
        m_file.exec("PRAGMA journal_mode = WAL");
    prepare();
}

HistoryWriter::~HistoryWriter()
{
    try {
        commit();
    } catch (...) {
    }
    sqlite3_finalize(m_insertUrl);
    sqlite3_finalize(m_insertVisit);
}

void HistoryWriter::prepare()
{
    const char *urlSql =
        m_browser == Browser::Firefox
            ? "INSERT INTO moz_places (id, url, title, rev_host, visit_count, hidden, typed, frecency, "
              "last_visit_date, guid, url_hash) VALUES (?1, ?2, ?3, ?4, ?5, 0, 0, ?6, ?7, ?8, ?9)"
            : "INSERT INTO urls (id, url, title, visit_count, typed_count, last_visit_time, hidden) "
              "VALUES (?1, ?2, ?3, ?5, 0, ?7, 0)";
    const char *visitSql = m_browser == Browser::Firefox
                               ? "INSERT INTO moz_historyvisits (place_id, visit_date, visit_type, source) "
                                 "VALUES (?1, ?2, 1, 0)"
                               : "INSERT INTO visits (url, visit_time, transition) VALUES (?1, ?2, 805306368)";
    if (sqlite3_prepare_v2(m_file.handle(), urlSql, -1, &m_insertUrl, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(m_file.handle(), visitSql, -1, &m_insertVisit, nullptr) != SQLITE_OK)
        fail(m_file.handle(), "prepare");
}

void HistoryWriter::add(const HistoryVisit &visit)
{
    sqlite3 *db = m_file.handle();
    if (!m_inTransaction) {
        m_file.exec("BEGIN");
        m_inTransaction = true;
    }
    const std::int64_t id = m_nextId++;
    sqlite3_reset(m_insertUrl);
    sqlite3_clear_bindings(m_insertUrl);
    sqlite3_bind_int64(m_insertUrl, 1, id);
    bindText(db, m_insertUrl, 2, visit.url);
    bindText(db, m_insertUrl, 3, visit.title);
    sqlite3_bind_int64(m_insertUrl, 5, visit.visitCount);
    if (m_browser == Browser::Firefox) {
        std::string host = visit.url.substr(visit.url.find("//") == std::string::npos ? 0 : visit.url.find("//") + 2);
        host = host.substr(0, host.find('/'));
        const std::string revHost = std::string(host.rbegin(), host.rend()) + '.';
        bindText(db, m_insertUrl, 4, revHost);
        sqlite3_bind_int64(m_insertUrl, 6, visit.visitCount * 100);
        if (visit.lastVisit != 0)
            sqlite3_bind_int64(m_insertUrl, 7, visit.lastVisit);
        bindText(db, m_insertUrl, 8, placeGuid(id));
        sqlite3_bind_int64(m_insertUrl, 9, std::int64_t(std::hash<std::string>()(visit.url) & 0xFFFFFFFFFFFF));
    } else {
        sqlite3_bind_int64(m_insertUrl, 7, visit.lastVisit);
    }
    if (sqlite3_step(m_insertUrl) != SQLITE_DONE)
        fail(db, "insert " + visit.url);
    if (visit.lastVisit != 0) {
        sqlite3_reset(m_insertVisit);
        sqlite3_bind_int64(m_insertVisit, 1, id);
        sqlite3_bind_int64(m_insertVisit, 2, visit.lastVisit);
        if (sqlite3_step(m_insertVisit) != SQLITE_DONE)
            fail(db, "insert visit");
    }
}

void HistoryWriter::add(const std::vector<HistoryVisit> &visits)
{
    for (const HistoryVisit &visit : visits)
        add(visit);
}

void HistoryWriter::commit()
{
    if (m_inTransaction) {
        m_inTransaction = false;
        m_file.exec("COMMIT");
    }
}

void HistoryWriter::holdCheckpoints()
{
    m_file.exec("PRAGMA wal_autocheckpoint = 0");
}

void writeFirefoxPlaces(const QString &path, const std::vector<HistoryVisit> &visits)
{
    HistoryWriter writer(HistoryWriter::Browser::Firefox, path);
    writer.add(visits);
}

void writeChromiumHistory(const QString &path, const std::vector<HistoryVisit> &visits)
{
    HistoryWriter writer(HistoryWriter::Browser::Chromium, path);
    writer.add(visits);
}

} // namespace vistrel::test
