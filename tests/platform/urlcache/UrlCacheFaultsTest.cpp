#include "platform/urlcache/UrlCacheFixture.h"

#include <QFile>

#include <sqlite3.h>
#include <sys/stat.h>

#include <random>

using namespace vistrel::platform;
using namespace vistrel::test;

namespace {

const QDateTime kWhen(QDate(2023, 6, 1), QTime(8, 0), Qt::UTC);

QByteArray randomBytes(int size)
{
    std::mt19937 generator(42);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(generator() & 0xFF);
    return bytes;
}

} // namespace

// Each broken database is reported under its own path and skipped, the good
// ones are still read, and no temporary copy is left behind.
class UrlCacheFaults : public UrlCacheFixture
{
protected:
    static constexpr int kManyPlaces = 3000;

    // A database of many pages, so that damage can hit some of them.
    static void writeManyPlaces(const QString &path)
    {
        HistoryWriter writer(HistoryWriter::Browser::Firefox, path);
        for (int i = 0; i < kManyPlaces; ++i)
            writer.add({"http://damaged.test/" + std::to_string(i), std::string(200, 'x'), 1, firefoxTime(kWhen)});
    }

    void SetUp() override
    {
        listFirefoxProfiles({"good", "broken"});
        writeFirefoxPlaces(firefoxPlaces("good"), {{"http://good.test/", "Good", 2, firefoxTime(kWhen)}});
    }
    // Loads and checks that the good profile came through and that the broken
    // database, and only it, was reported.
    QString loadExpectingOneProblemFor(const QString &path)
    {
        cache.load();
        EXPECT_EQ(cache.visitCount("http://good.test/"), 2u);
        EXPECT_TRUE(tempFolderIsEmpty());
        EXPECT_EQ(cache.problems().size(), 1u) << problemTexts().join('\n').toStdString();
        if (cache.problems().empty())
            return {};
        EXPECT_EQ(cache.problems().front().path, path);
        return cache.problems().front().message;
    }
};

TEST_F(UrlCacheFaults, MissingDatabaseOfAListedProfile)
{
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("missing"));
}

TEST_F(UrlCacheFaults, FileOfRandomBytes)
{
    writeAll(firefoxPlaces("broken"), randomBytes(64 * 1024));
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("not a readable database"));
}

TEST_F(UrlCacheFaults, EmptyFileHasNoHistoryTable)
{
    writeAll(firefoxPlaces("broken"), QByteArray());
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("no table \"moz_places\""));
}

TEST_F(UrlCacheFaults, TruncatedDatabase)
{
    writeManyPlaces(firefoxPlaces("broken"));
    QFile file(firefoxPlaces("broken"));
    ASSERT_TRUE(file.resize(file.size() * 2 / 5));
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("malformed"));
}

TEST_F(UrlCacheFaults, DamagedPagesKeepTheRowsBeforeThem)
{
    writeManyPlaces(firefoxPlaces("broken"));
    QFile file(firefoxPlaces("broken"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    file.seek(size / 2);
    file.write(randomBytes(int(size - size / 2)));
    file.close();

    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("reading stopped after"));
    EXPECT_GT(cache.size(), 1u);
    EXPECT_LT(cache.size(), 1u + kManyPlaces);
    EXPECT_EQ(cache.visitCount("http://damaged.test/0"), 1u);
}

TEST_F(UrlCacheFaults, TableWithoutTheVisitCount)
{
    SqliteFile other(firefoxPlaces("broken"));
    other.exec("CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
               "visits INTEGER, last_visit_date INTEGER)");
    other.exec("INSERT INTO moz_places (url, visits) VALUES ('http://uncounted.test/', 5)");
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("no column \"visit_count\""));
    EXPECT_FALSE(cache.find("http://uncounted.test/"));
}

TEST_F(UrlCacheFaults, ViewInPlaceOfTheTable)
{
    SqliteFile other(firefoxPlaces("broken"));
    other.exec("CREATE TABLE real_places (url TEXT, visit_count INTEGER, last_visit_date INTEGER, title TEXT)");
    other.exec("CREATE VIEW moz_places AS SELECT * FROM real_places");
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("no table \"moz_places\""));
}

TEST_F(UrlCacheFaults, NotARegularFileNeverBlocks)
{
    const QByteArray fifo = QFile::encodeName(firefoxPlaces("broken"));
    QDir().mkpath(firefoxProfile("broken"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    EXPECT_TRUE(loadExpectingOneProblemFor(firefoxPlaces("broken")).contains("not a regular file"));
}

TEST_F(UrlCacheFaults, DatabaseHeldLockedByTheBrowser)
{
    HistoryWriter browser(HistoryWriter::Browser::Firefox, firefoxPlaces("broken"));
    browser.add({"http://locked.test/", "Locked", 9, firefoxTime(kWhen)});
    browser.commit();
    browser.file().exec("PRAGMA locking_mode = EXCLUSIVE");
    browser.file().exec("BEGIN EXCLUSIVE");

    cache.load();
    EXPECT_TRUE(cache.problems().empty()) << problemTexts().join('\n').toStdString();
    EXPECT_EQ(cache.visitCount("http://locked.test/"), 9u);
    EXPECT_EQ(cache.visitCount("http://good.test/"), 2u);
    browser.file().exec("COMMIT");
}

TEST_F(UrlCacheFaults, ChromiumTableWithoutTitlesIsReadWithoutThem)
{
    SqliteFile old(chromiumHistory("chromium", "Default"));
    old.exec("CREATE TABLE urls(id INTEGER PRIMARY KEY,url LONGVARCHAR,visit_count INTEGER DEFAULT 0 NOT NULL,"
             "typed_count INTEGER DEFAULT 0 NOT NULL,last_visit_time INTEGER NOT NULL,hidden INTEGER DEFAULT 0 NOT NULL)");
    old.exec("INSERT INTO urls (url, visit_count, last_visit_time) VALUES ('http://untitled.test/', 3, 0)");

    cache.load();
    ASSERT_EQ(cache.problems().size(), 2u) << problemTexts().join('\n').toStdString();
    EXPECT_TRUE(cache.problems()[1].message.contains("no column \"title\"; read without it"));
    EXPECT_EQ(cache.problems()[1].path, chromiumHistory("chromium", "Default"));
    ASSERT_TRUE(cache.find("http://untitled.test/"));
    EXPECT_EQ(cache.find("http://untitled.test/")->hitRate, 3u);
    EXPECT_EQ(cache.find("http://untitled.test/")->title, "");
}
