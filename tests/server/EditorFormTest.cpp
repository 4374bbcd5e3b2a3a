#include "EditorFixture.h"

#include "support/MenuOrderRecords.h"
#include "support/TestSupport.h"

using vistrel::test::EditorFixture;
using vistrel::test::menuOrderRecord;
using vistrel::test::menuOrderValue;
using vistrel::test::readAll;
using vistrel::test::writeAll;

namespace {

struct Link
{
    QString path;     // below Favorites
    QString location; // as the page's folder list offers it
    QString order;    // as the page shows it
};

QString nameOf(const QString &path)
{
    const QString file = path.mid(path.lastIndexOf('/') + 1);
    return file.left(file.lastIndexOf('.'));
}

class EditorForm : public EditorFixture
{
protected:
    // The body a browser posts for an unchanged page holding these links.
    QByteArray unchangedBody(const QList<Link> &links) const
    {
        QList<QByteArray> pieces;
        for (const Link &l : links)
            pieces << piece("Edit", unique(l.path), nameOf(l.path));
        for (const Link &l : links)
            pieces << piece("Combo", unique(l.path), l.location);
        for (const Link &l : links)
            pieces << piece("OB", unique(l.path), l.order);
        return pieces.join('&');
    }

    int rootOrderOfA() const { return vistrel::catalogue::loadMenuOrderTable(t.registry, "").orderOf("a.url"); }
};

TEST_F(EditorForm, UnchangedSaveChangesNothingAndRecordsThreePiecesPerLink)
{
    const QList<Link> links = {
        {"a.url", "Root", "4"},
        {"b.url", "Root", "-1"},
        {"Links/c.url", "Links", "-1"},
        // The listing shows these folders as "Links\News" and "Links\Tools"...
        {"Links/news/d.url", "Links\\News", "-1"},
        {"Links/tools/f.url", "Links\\Tools", "-1"},
        // ...and this one as "Links\News" too.
        {"Links/News/g.url", "Links\\News", "-1"},
        {"Tom & Jerry/e.url", "Tom and Jerry", "-1"},
    };
    for (const Link &l : links)
        makeFavourite(l.path);
    setOrders("", menuOrderValue({menuOrderRecord("a.url", 4)}));
    const QByteArray registryBefore = readAll(t.registry.path());
    const QStringList before = tree();

    const QByteArray body = unchangedBody(links);
    submit(body);

    EXPECT_EQ(tree(), before);
    EXPECT_EQ(readAll(t.registry.path()), registryBefore);
    EXPECT_TRUE(t.messages.shown.isEmpty());
    const QByteArray record = lastRecord();
    EXPECT_TRUE(record.endsWith(" there were 21 results from127.0.0.1<br>Action taken : ")) << record.toStdString();
    QByteArray values = body;
    values.replace('&', "\r\n");
    EXPECT_EQ(readAll(t.paths.valuesLogPath()), values + "\r\n");
}

TEST_F(EditorForm, UnchangedSaveMovesNothingFromFoldersWithAwkwardNames)
{
    // Posted as a browser posts them: line breaks as CR LF.
    const QList<Link> links = {
        {"Say \"hi\" <now>/a.url", "Say \"hi\" <now>", "-1"},
        {"tab\there/b.url", "tab\there", "-1"},
        {"two\nlines/c.url", "two\r\nlines", "-1"},
        {"R&D/bin/d.url", "RandD\\Bin", "-1"},
        {"Root/e.url", "Root", "-1"},
    };
    for (const Link &l : links)
        makeFavourite(l.path);
    const QStringList before = tree();
    submit(unchangedBody(links));
    EXPECT_EQ(tree(), before);
    EXPECT_EQ(report(), QStringList());
}

TEST_F(EditorForm, MovesToTheRealFolderBehindAPostedLocation)
{
    makeFavourite("a.url");
    makeFavourite("b.url");
    makeFavourite("Links/news/keep.url");
    makeFavourite("Tom & Jerry/keep.url");
    makeFavourite("Links/c.url");
    submit(piece("Combo", unique("a.url"), "Links\\News") + "&" + piece("Combo", unique("b.url"), "Tom and Jerry")
           + "&" + piece("Combo", unique("Links/c.url"), "Root"));
    EXPECT_TRUE(exists("Links/news/a.url"));
    EXPECT_TRUE(exists("Tom & Jerry/b.url"));
    EXPECT_TRUE(exists("c.url"));
    EXPECT_EQ(report(), QStringList({"Moved Favourite a to \\Links\\news\\<br>",
                                     "Moved Favourite b to \\Tom &amp; Jerry\\<br>", "Moved Favourite c to \\<br>"}));
}

TEST_F(EditorForm, RenameWinsOverTheMoveSortOrderAndDeletionPostedWithIt)
{
    makeFavourite("a.url");
    makeFavourite("Links/keep.url");
    setOrders("", menuOrderValue({menuOrderRecord("a.url", 4)}));
    const QByteArray id = unique("a.url");
    submit(piece("Edit", id, "Alpha") + "&" + piece("Combo", id, "Links") + "&" + piece("OB", id, "9") + "&"
           + piece("CB", id, "deleteme"));
    EXPECT_EQ(tree(), QStringList({"Alpha.URL", "Links/keep.url"}));
    EXPECT_EQ(report(), QStringList("Renamed Favourite a to Alpha<br>"));
    EXPECT_EQ(rootOrderOfA(), 4);
}

TEST_F(EditorForm, SortOrdersAreCheckedBeforeAnythingIsWritten)
{
    makeFavourite("a.url");
    makeFavourite("b.url");
    setOrders("", menuOrderValue({menuOrderRecord("a.url", 4)}));
    const QByteArray a = unique("a.url");
    const QByteArray b = unique("b.url");
    const QByteArray untouched = readAll(t.registry.path());
    submit(piece("OB", a, "300") + "&" + piece("OB", a, "abc") + "&" + piece("OB", a, "4") + "&" + piece("OB", a, "-3")
           + "&" + piece("OB", b, "5") + "&" + piece("OB", b, "-1"));
    EXPECT_EQ(report(),
              QStringList({"Favourite a.url sort order is too big. 300 is greater than 255<br>",
                           "Favourite a.url sort order is Invalid. abc is not a number<br>",
                           "Favourite a.url sort order is Invalid. -3 is below 0<br>",
                           "Favourite b.url sort order was not changed to 5. I.E. has no sort order for it yet<br>"}));
    EXPECT_EQ(readAll(t.registry.path()), untouched);

    submit(piece("OB", a, "  $A"));
    EXPECT_EQ(report(), QStringList("Changed Favourite a.url sort order to   $A. I.E. will show changes after it has "
                                    "been restarted <br>"));
    EXPECT_EQ(rootOrderOfA(), 10);
}

TEST_F(EditorForm, DeletesOnlyATickedFavouriteFoundInItsOwnFolder)
{
    makeFavourite("a.url");
    makeFavourite("b.url");
    makeFavourite("Links/c.url");
    makeFavourite("x.url");
    makeFavourite("Links/x.url");
    submit(piece("CB", unique("a.url"), "deleteme") + "&" + piece("CB", unique("b.url"), "keepme") + "&"
           + piece("CB", unique("Links/c.url"), "deleteme") + "&" + piece("CB", unique("Links/x.url"), "deleteme"));
    // The walk finds the x.url of Favorites first, which is not the one ticked.
    EXPECT_EQ(tree(), QStringList({"Links/x.url", "b.url", "x.url"}));
    EXPECT_EQ(report(), QStringList({"Deleted Favourite a.url from \\ folder<br>",
                                     "Deleted Favourite c.url from \\Links\\ folder<br>"}));
}

TEST_F(EditorForm, NamesThatDifferOnlyInLetterCaseAreToldApart)
{
    makeFavourite("news.url", "http://lower/");
    makeFavourite("News.url", "http://upper/");
    submit(piece("Edit", unique("News.url"), "Upper") + "&" + piece("CB", unique("news.url"), "deleteme"));
    EXPECT_EQ(tree(), QStringList("Upper.URL"));
    EXPECT_EQ(readAll(fav("Upper.URL")), "[InternetShortcut]\r\nURL=http://upper/\r\n");
}

TEST_F(EditorForm, AnEmptyBodyRecordsNoResultsAndEmptiesTheValues)
{
    writeAll(t.paths.valuesLogPath(), "old\r\n");
    submit("");
    EXPECT_TRUE(lastRecord().endsWith(" there were 0 results from127.0.0.1<br>Action taken : "));
    EXPECT_EQ(readAll(t.paths.valuesLogPath()), "");
    // The record is appended, never replaced.
    submit("");
    EXPECT_EQ(readAll(t.paths.formRecordPath()).count("there were 0 results"), 2);
}

TEST_F(EditorForm, PiecesThatAreNoEditorFieldStillCount)
{
    makeFavourite("a.url");
    submit("B1=Save&&Editnohex&" + piece("Edit", unique("a.url"), "Alpha") + "&");
    EXPECT_TRUE(lastRecord().contains(" there were 5 results from")) << lastRecord().toStdString();
    EXPECT_EQ(tree(), QStringList("Alpha.URL"));
}

TEST_F(EditorForm, HistoryPostAddsTheSiteNamedAfterItsTitle)
{
    title = "  My Page  ";
    submit(formValue("http://example.com/a?b=1&c=d e") + "=Add+to+favourites", vistrel::server::kHistoryAddress);
    ASSERT_EQ(fetched, std::vector<std::string>{"http://example.com/a?b=1&c=d e"});
    EXPECT_EQ(readAll(fav("My Page.URL")), "[InternetShortcut]\r\nURL=http://example.com/a?b=1&c=d e\r\n");
    EXPECT_TRUE(t.flags.writingShortcut);
    EXPECT_EQ(report(), QStringList("Added Favourite My Page <br>"));
    EXPECT_TRUE(lastRecord().contains(" there were 1 results from"));
    EXPECT_EQ(readAll(t.paths.valuesLogPath()), "");

    // The same title again never replaces the first.
    submit(formValue("http://example.com/other") + "=Add+to+favourites", vistrel::server::kHistoryAddress);
    EXPECT_EQ(readAll(fav("My Page (2).URL")), "[InternetShortcut]\r\nURL=http://example.com/other\r\n");
    EXPECT_EQ(report(), QStringList("Added Favourite My Page (2) <br>"));
}

TEST_F(EditorForm, HistoryPostNamesAnUntitledPageAfterItsHostAndMakesTitlesSafe)
{
    title = "";
    submit(formValue("http://news.example.org/x") + "=Add+to+favourites", vistrel::server::kHistoryAddress);
    EXPECT_TRUE(exists("news.example.org.URL"));
    title = "../A/B\\C\tD <&>";
    submit(formValue("http://b.example/") + "=Add+to+favourites", vistrel::server::kHistoryAddress);
    EXPECT_EQ(tree(), QStringList({".._A_B_C D <&>.URL", "news.example.org.URL"}));
    EXPECT_EQ(report(), QStringList("Added Favourite .._A_B_C D &lt;&amp;&gt; <br>"));
}

TEST_F(EditorForm, HistoryPostWithoutANameAddsNothing)
{
    for (const QByteArray &body : {QByteArray("=Add"), QByteArray("noequals"), QByteArray()}) {
        SCOPED_TRACE("body '" + body.toStdString() + "'");
        submit(body, vistrel::server::kHistoryAddress);
        EXPECT_TRUE(lastRecord().endsWith(" there were 0 results from127.0.0.1<br>Action taken : "));
    }
    EXPECT_TRUE(fetched.empty());
    EXPECT_TRUE(tree().isEmpty());
}

} // namespace
