#include "catalogue/bookmarks/BookmarkExport.h"
#include "catalogue/bookmarks/BookmarkImport.h"
#include "catalogue/bookmarks/NetscapeBookmarks.h"
#include "platform/MainFlags.h"
#include "platform/PrivateTempFolder.h"
#include "support/HistoryFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <gtest/gtest.h>

using namespace vistrel;
using catalogue::BookmarkSource;
using test::readAll;
using test::writeAll;

namespace {

// Every favourite below a folder as "relative/path.URL" -> its address, and
// every folder as "relative/path/" -> "".
QMap<QString, QString> tree(const QString &root)
{
    QMap<QString, QString> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            out.insert(relative + "/", QString());
            continue;
        }
        const QByteArray text = readAll(path);
        const qsizetype at = text.indexOf("URL=");
        out.insert(relative, QString::fromUtf8(text.mid(at + 4).trimmed()));
    }
    return out;
}

// A places.sqlite as Firefox writes it: the real tables, the fixed roots, then
// the given entries (type, parent id, title, url).
struct Places
{
    QString path;
    std::unique_ptr<test::HistoryWriter> writer;
    int nextId = 7;
    int nextPlace = 1;

    explicit Places(const QString &file) : path(file)
    {
        writer = std::make_unique<test::HistoryWriter>(test::HistoryWriter::Browser::Firefox, file);
        writer->commit();
        writer->file().exec(
            "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
            "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
            "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
            "(5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______')");
    }

    int add(int type, int parent, const std::string &title, const std::string &url = {})
    {
        const int id = nextId++;
        std::string fk = "NULL";
        if (!url.empty()) {
            const int place = nextPlace++;
            writer->file().exec("INSERT INTO moz_places (id, url, title, guid) VALUES (" + std::to_string(place) + ", '"
                                + url + "', NULL, 'place" + std::to_string(place) + "')");
            fk = std::to_string(place);
        }
        writer->file().exec("INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, guid) VALUES ("
                            + std::to_string(id) + ", " + std::to_string(type) + ", " + fk + ", "
                            + std::to_string(parent) + ", " + std::to_string(id) + ", '" + title + "', 'bm"
                            + std::to_string(id) + "')");
        return id;
    }
};

constexpr int kBookmark = 1, kFolder = 2, kSeparator = 3;

struct ImportFixture : ::testing::Test
{
    test::TempHome home;
    platform::PrivateTempFolder temp;
    platform::MainFlags flags;
    QString favorites = home.file("Favorites");

    catalogue::ImportReport import(BookmarkSource::Kind kind, const QString &path, const QString &into = {})
    {
        catalogue::BookmarkImport run(flags, temp, into.isEmpty() ? favorites : into);
        return run.run({{kind, QStringLiteral("test source"), path}});
    }
};

} // namespace

TEST_F(ImportFixture, FirefoxRootsGoToTheirFoldersAndASecondImportAddsNothing)
{
    Places places(home.file("places.sqlite"));
    places.add(kBookmark, 2, "Menu site", "https://menu.example/");
    const int news = places.add(kFolder, 2, "News & Weather");
    places.add(kBookmark, news, "Daily / Weekly", "http://news.example/a");
    places.add(kBookmark, news, "Daily / Weekly", "http://news.example/b"); // same name: numbered
    places.add(kSeparator, news, "");
    places.add(kBookmark, 3, "", "https://toolbar.example/path"); // untitled: the host names it
    places.add(kBookmark, 3, "Recent", "place:sort=8&maxResults=10");
    places.add(kBookmark, 5, "Other\x01tab", "ftp://files.example/");
    places.add(kBookmark, 6, "Phone", "https://phone.example/");
    places.add(kBookmark, 6, "Script", "javascript:alert(1)");
    places.add(kFolder, 2, "Empty");
    places.add(kBookmark, 4, "tagged", "https://tag.example/"); // tags are no bookmarks

    const catalogue::ImportReport first = import(BookmarkSource::Kind::Firefox, places.path);
    ASSERT_TRUE(first.succeeded()) << first.errors().join("\n").toStdString();
    const QMap<QString, QString> expected{
        {"Menu site.URL", "https://menu.example/"},
        {"News & Weather/", ""},
        {"News & Weather/Daily _ Weekly.URL", "http://news.example/a"},
        {"News & Weather/Daily _ Weekly (2).URL", "http://news.example/b"},
        {"Links/", ""},
        {"Links/toolbar.example.URL", "https://toolbar.example/path"},
        {"Other tab.URL", "ftp://files.example/"},
        {"Mobile/", ""},
        {"Mobile/Phone.URL", "https://phone.example/"},
        {"Empty/", ""},
    };
    EXPECT_EQ(tree(favorites), expected);
    EXPECT_EQ(first.outcomes[0].counts.added, 6u);
    EXPECT_EQ(first.outcomes[0].counts.skipped, 3u); // separator, place: query, javascript:

    const catalogue::ImportReport second = import(BookmarkSource::Kind::Firefox, places.path);
    ASSERT_TRUE(second.succeeded());
    EXPECT_EQ(second.outcomes[0].counts.added, 0u);
    EXPECT_EQ(second.outcomes[0].counts.present, 6u);
    EXPECT_EQ(tree(favorites), expected);
    EXPECT_TRUE(second.lines().last().endsWith(favorites));
}

TEST_F(ImportFixture, BrokenDatabasesAreRefusedWithNothingWritten)
{
    writeAll(home.file("garbage.sqlite"), QByteArray(4096, 'x'));
    test::HistoryWriter(test::HistoryWriter::Browser::Chromium, home.file("chromium-history.sqlite")).commit();
    for (const QString &file : {home.file("garbage.sqlite"), home.file("chromium-history.sqlite")}) {
        SCOPED_TRACE(file.toStdString());
        const catalogue::ImportReport report = import(BookmarkSource::Kind::Firefox, file);
        EXPECT_FALSE(report.succeeded());
        ASSERT_EQ(report.errors().size(), 1);
        EXPECT_TRUE(report.errors()[0].contains("nothing was imported")) << report.errors()[0].toStdString();
    }
    EXPECT_TRUE(tree(favorites).isEmpty());
}

TEST_F(ImportFixture, ChromiumJsonMapsItsRootsAndMalformedJsonWritesNothing)
{
    writeAll(home.file("Bookmarks"), R"({"checksum": "0", "version": 1, "roots": {
        "bookmark_bar": {"type": "folder", "name": "Bookmarks bar", "children": [
            {"type": "url", "name": "Bar", "url": "https://bar.example/"},
            {"type": "folder", "name": "Tools", "children": [
                {"type": "url", "name": "Tool", "url": "http://tool.example/"}]}]},
        "other": {"type": "folder", "name": "Other bookmarks", "children": [
            {"type": "url", "name": "Other", "url": "file:///home/me/notes.txt"},
            {"type": "url", "name": "Data", "url": "data:text/html,hi"}]},
        "synced": {"type": "folder", "name": "Mobile bookmarks", "children": [
            {"type": "url", "name": "Phone", "url": "https://phone.example/"}]}}})");
    const catalogue::ImportReport report = import(BookmarkSource::Kind::Chromium, home.file("Bookmarks"));
    ASSERT_TRUE(report.succeeded());
    EXPECT_EQ(tree(favorites), (QMap<QString, QString>{{"Links/", ""},
                                                       {"Links/Bar.URL", "https://bar.example/"},
                                                       {"Links/Tools/", ""},
                                                       {"Links/Tools/Tool.URL", "http://tool.example/"},
                                                       {"Other.URL", "file:///home/me/notes.txt"},
                                                       {"Mobile/", ""},
                                                       {"Mobile/Phone.URL", "https://phone.example/"}}));
    EXPECT_EQ(report.outcomes[0].counts.skipped, 1u);

    writeAll(home.file("Broken"), R"({"roots": {"other": {"children": [{"type": "url", "url": "https://x.example/"})");
    const QString other = home.file("Other");
    const catalogue::ImportReport broken = import(BookmarkSource::Kind::Chromium, home.file("Broken"), other);
    EXPECT_FALSE(broken.succeeded());
    EXPECT_TRUE(broken.errors()[0].contains("malformed")) << broken.errors()[0].toStdString();
    EXPECT_TRUE(tree(other).isEmpty());
}

TEST(NetscapeBookmarks, HostileHtmlIsReadAsTextWithinLimits)
{
    QByteArray deep;
    for (int i = 0; i < 100; ++i)
        deep += "<DT><H3>L" + QByteArray::number(i) + "</H3><DL><p>";
    deep += "<DT><A HREF=\"https://deep.example/\">Deep</A>";
    const QByteArray html = "<!DOCTYPE NETSCAPE-Bookmark-file-1><TITLE>x</TITLE><H1>Bookmarks</H1><DL><p>"
                            "<DT><A HREF=\"https://a.example/?x=1&amp;y=2\">Fish &amp; Chips &#x41;&#66; &bogus; <b>bold</b>"
                            "<DT><A HREF='https://b.example/'>unclosed quote-free title"
                            "<script>document.write('<DT><A HREF=\"https://evil.example/\">evil</A>')</script>"
                            "<DT><A HREF=\"https://huge.example/" + QByteArray(100000, 'a') + "\">Huge</A>"
                            "<HR>"
                            "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3><DL><p>"
                            "<DT><A HREF=\"http://t.example/\">T</A></DL><p>"
                            + deep + "<DT><A HREF=\"https://cut.example/";
    QString error;
    const std::optional<catalogue::BookmarkTree> tree = catalogue::NetscapeBookmarks::parse(html, error);
    ASSERT_TRUE(tree) << error.toStdString();
    std::vector<std::pair<QString, QByteArray>> links;
    for (const auto &link : tree->links())
        links.emplace_back(link.title, link.url);
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[0], (std::pair<QString, QByteArray>{"Fish & Chips AB &bogus; bold", "https://a.example/?x=1&y=2"}));
    EXPECT_EQ(links[1].first, "unclosed quote-free title");
    EXPECT_EQ(tree->links()[2].folder, catalogue::BookmarkTree::kToolbar);
    EXPECT_EQ(links[3].first, "Deep");
    EXPECT_EQ(tree->folders()[std::size_t(tree->links()[3].folder)].depth, catalogue::BookmarkTree::kMaxFolderDepth);
    EXPECT_EQ(tree->skipped(), 2u); // the huge address and the separator
    EXPECT_GT(tree->flattened(), 0u);

    EXPECT_FALSE(catalogue::NetscapeBookmarks::parse("just some text", error));
}

TEST_F(ImportFixture, ExportThenImportGivesTheSameTree)
{
    const QString source = home.file("Source");
    QDir().mkpath(source + "/Links/Tools");
    QDir().mkpath(source + "/Empty folder");
    QDir().mkpath(source + "/R&D <lab>");
    writeAll(source + "/Plain.url", "[InternetShortcut]\r\nURL=https://plain.example/\r\n");
    writeAll(source + "/Links/Bar \"quoted\".url", "[InternetShortcut]\r\nURL=https://bar.example/?a=1&b=<2>\r\n");
    writeAll(source + "/Links/Tools/Tool.URL", "[InternetShortcut]\r\nURL=http://tool.example/\r\n");
    writeAll(source + "/R&D <lab>/Caf\xC3\xA9.url", "[InternetShortcut]\r\nURL=https://caf\xC3\xA9.example/\r\n");

    catalogue::BookmarkExport::Result result;
    QString error;
    const QString html = home.file("bookmarks.html");
    ASSERT_TRUE(catalogue::BookmarkExport::write(source, html, result, error)) << error.toStdString();
    EXPECT_EQ(result.favourites, 4u);
    EXPECT_EQ(result.folders, 4u);
    EXPECT_TRUE(readAll(html).contains("PERSONAL_TOOLBAR_FOLDER=\"true\">Links</H3>"));

    const catalogue::ImportReport report = import(BookmarkSource::Kind::File, html);
    ASSERT_TRUE(report.succeeded()) << report.errors().join("\n").toStdString();
    QMap<QString, QString> expected = tree(source);
    // The favourites it adds are named with the program's own extension.
    QMap<QString, QString> renamed;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        QString name = it.key();
        if (name.endsWith(".url", Qt::CaseInsensitive))
            name = name.chopped(4) + ".URL";
        renamed.insert(name, it.value());
    }
    EXPECT_EQ(tree(favorites), renamed);
}

TEST_F(ImportFixture, AFailedWriteTakesBackEverythingOfThatSource)
{
    Places places(home.file("places.sqlite"));
    places.add(kBookmark, 2, "First", "https://first.example/");
    const int folder = places.add(kFolder, 2, "Folder");
    places.add(kBookmark, folder, "Second", "https://second.example/");
    places.add(kBookmark, 3, "Toolbar", "https://toolbar.example/");
    // Links leads somewhere no one, root included, may create a file.
    QDir().mkpath(favorites);
    ASSERT_TRUE(QFile::link("/proc/self/fdinfo", favorites + "/Links"));

    const catalogue::ImportReport report = import(BookmarkSource::Kind::Firefox, places.path);
    EXPECT_FALSE(report.succeeded());
    EXPECT_TRUE(report.errors().join("").contains("cannot write")) << report.errors().join("").toStdString();
    EXPECT_EQ(tree(favorites).keys(), QStringList{"Links/"});

    // A Favorites folder that cannot be one: nothing is read at all.
    writeAll(home.file("NotAFolder"), "x");
    const catalogue::ImportReport refused = import(BookmarkSource::Kind::Firefox, places.path, home.file("NotAFolder"));
    EXPECT_FALSE(refused.succeeded());
    EXPECT_TRUE(refused.outcomes.empty());
    EXPECT_TRUE(refused.error.contains("not a folder"));
}
