#include "EditorFixture.h"

#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <unistd.h>

using vistrel::test::EditorFixture;
using vistrel::test::readAll;
using vistrel::test::writeAll;

namespace {

class EditorSecurity : public EditorFixture
{
protected:
    void SetUp() override
    {
        makeFavourite("a.url");
        makeFavourite("b.url");
        makeFavourite("Links/c.url");
        ASSERT_TRUE(outside.isValid());
        writeAll(outside.filePath("victim.url"), "[InternetShortcut]\r\nURL=http://victim/\r\n");
    }

    QByteArray hex(const QByteArray &path) const
    {
        return QByteArray::fromStdString(vistrel::platform::hexEncode(path.toStdString()));
    }

    QTemporaryDir outside;
};

TEST_F(EditorSecurity, IdentifiersOutsideFavoritesOrNotHexChangeNothingAndTheRestGoesOn)
{
    const QByteArray favourites = QFile::encodeName(t.paths.favoritesFolder);
    const QByteArray traversal = hex(favourites + "/../" + QFile::encodeName(outside.path()).mid(1) + "/victim.url");
    const QByteArray elsewhere = hex(QFile::encodeName(outside.filePath("victim.url")));
    const QByteArray dotted = hex(favourites + "/Links/../a.url");
    QList<QByteArray> pieces;
    for (const char *prefix : {"Edit", "Combo", "OB", "CB"}) {
        pieces << piece(prefix, traversal, prefix == QByteArray("CB") ? "deleteme" : "Links");
        pieces << piece(prefix, elsewhere, prefix == QByteArray("CB") ? "deleteme" : "Links");
    }
    pieces << piece("Edit", dotted, "x") << piece("Edit", "ZZ", "x") << piece("Edit", unique("a.url") + "A", "x")
           << piece("Edit", hex(favourites + "/a.url" + QByteArray(1, '\0')), "x");
    pieces << piece("Edit", unique("b.url"), "Beta");
    submit(pieces.join('&'));

    EXPECT_EQ(readAll(outside.filePath("victim.url")), "[InternetShortcut]\r\nURL=http://victim/\r\n");
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList("victim.url"));
    EXPECT_EQ(tree(), QStringList({"Beta.URL", "Links/c.url", "a.url"}));
    const QStringList lines = report();
    ASSERT_EQ(lines.size(), 13);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(lines[i].startsWith("Form field ") && lines[i].endsWith(" was not processed. It names no "
                                                                             "favourite in the Favorites folder<br>"))
            << lines[i].toStdString();
    EXPECT_EQ(lines[12], "Renamed Favourite b to Beta<br>");
}

TEST_F(EditorSecurity, NewNamesThatLeaveTheFolderAreRefused)
{
    const QStringList names = {"../../evil", "..", ".", "sub/evil", "back\\slash", QString("nul") + QChar(0),
                               "line\nbreak", ""};
    QList<QByteArray> pieces;
    for (const QString &name : names)
        pieces << piece("Edit", unique("a.url"), name);
    submit(pieces.join('&'));
    EXPECT_EQ(tree(), QStringList({"Links/c.url", "a.url", "b.url"}));
    const QStringList lines = report();
    ASSERT_EQ(lines.size(), names.size()) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], "Favourite a was not renamed. ../../evil is not a valid name<br>");
    for (const QString &line : lines)
        EXPECT_TRUE(line.startsWith("Favourite a was not renamed. ")) << line.toStdString();
}

TEST_F(EditorSecurity, MoveTargetsOutsideFavoritesOrUnknownAreRefused)
{
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(fav("out")).constData()), 0);
    const QStringList targets = {"..", "..\\..", "Links\\..\\..", "/tmp", "\\Links", "Links/..", "Nowhere", "out"};
    QList<QByteArray> pieces;
    for (const QString &target : targets)
        pieces << piece("Combo", unique("a.url"), target);
    submit(pieces.join('&'));
    EXPECT_TRUE(exists("a.url"));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList("victim.url"));
    const QStringList lines = report();
    ASSERT_EQ(lines.size(), targets.size());
    EXPECT_EQ(lines[0], "Favourite a was not moved. .. is not a folder in Favorites<br>");
    EXPECT_EQ(lines[7], "Favourite a was not moved. out is not a folder in Favorites<br>");
}

TEST_F(EditorSecurity, AFavouriteReachedThroughALinkOutsideIsNotTouched)
{
    ASSERT_EQ(::symlink(QFile::encodeName(outside.path()).constData(), QFile::encodeName(fav("out")).constData()), 0);
    submit(piece("CB", unique("out/victim.url"), "deleteme") + "&" + piece("Edit", unique("out/victim.url"), "gone")
           + "&" + piece("Combo", unique("out/victim.url"), "Root"));
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::Files), QStringList("victim.url"));
    EXPECT_FALSE(exists("victim.url"));
    EXPECT_EQ(report(), QStringList({"Favourite victim.url was not deleted. It is not in the Favorites folder<br>",
                                     "Favourite victim was not renamed. It is not in the Favorites folder<br>",
                                     "Favourite victim was not moved. It is not in the Favorites folder<br>"}));
}

TEST_F(EditorSecurity, FileNamesAreSearchedLiterallyNotAsPatterns)
{
    makeFavourite("star*.url");
    makeFavourite("starX.url");
    submit(piece("Edit", unique("?.url"), "one") + "&" + piece("CB", unique("*.url"), "deleteme") + "&"
           + piece("Combo", unique("*"), "Links") + "&" + piece("Edit", unique("star*.url"), "renamed"));
    EXPECT_EQ(tree(), QStringList({"Links/c.url", "a.url", "b.url", "renamed.URL", "starX.url"}));
    EXPECT_EQ(report(), QStringList("Renamed Favourite star* to renamed<br>"));
}

TEST_F(EditorSecurity, RenameAndMoveNeverReplaceAFavourite)
{
    makeFavourite("b.URL", "http://b-upper/");
    makeFavourite("Links/a.url", "http://links-a/");
    submit(piece("Edit", unique("a.url"), "b") + "&" + piece("Combo", unique("a.url"), "Links"));
    EXPECT_EQ(readAll(fav("b.URL")), "[InternetShortcut]\r\nURL=http://b-upper/\r\n");
    EXPECT_EQ(readAll(fav("Links/a.url")), "[InternetShortcut]\r\nURL=http://links-a/\r\n");
    EXPECT_TRUE(exists("a.url"));
    EXPECT_EQ(report(), QStringList({"Favourite a was not renamed. b already exists<br>",
                                     "Favourite a was not moved. \\Links\\ already holds a favourite of that name<br>"}));
    EXPECT_EQ(t.messages.texts(), QStringList({"17", "17"}));
}

TEST_F(EditorSecurity, AFailedOperationShowsItsErrorNumberAndIsReportedAsNotDone)
{
    const QString longName(300, 'n');
    submit(piece("Edit", unique("a.url"), longName) + "&" + piece("Edit", unique("b.url"), "Beta"));
    EXPECT_EQ(t.messages.texts(), QStringList("36")); // ENAMETOOLONG
    EXPECT_EQ(report(), QStringList({"Favourite a was not renamed to " + longName + ". Error 36<br>",
                                     "Renamed Favourite b to Beta<br>"}));
}

TEST_F(EditorSecurity, AValueWithALonePercentSkipsOnlyItsPiece)
{
    submit(piece("Edit", unique("a.url"), "x") .replace("=x", "=50%") + "&" + piece("OB", unique("a.url"), "1")
           .replace("=1", "=%4") + "&" + piece("Edit", unique("b.url"), "Beta"));
    EXPECT_EQ(tree(), QStringList({"Beta.URL", "Links/c.url", "a.url"}));
    EXPECT_EQ(report(), QStringList({"Favourite a was not changed. 50% could not be decoded<br>",
                                     "Favourite a was not changed. %4 could not be decoded<br>",
                                     "Renamed Favourite b to Beta<br>"}));
    EXPECT_TRUE(lastRecord().contains(" there were 3 results from"));
}

TEST_F(EditorSecurity, PostedTextOnTheReportPageIsEscaped)
{
    const QByteArray answer = submit(piece("Edit", unique("a.url"), "<i>&'\"") + "&"
                                     + piece("OB", unique("b.url"), "<script>"));
    EXPECT_TRUE(exists("<i>&'\".URL"));
    EXPECT_TRUE(answer.contains("Renamed Favourite a to &lt;i&gt;&amp;&#39;&quot;<br>\r\n"));
    EXPECT_TRUE(answer.contains("Favourite b.url sort order is Invalid. &lt;script&gt; is not a number<br>\r\n"));
    EXPECT_FALSE(answer.contains("<script>"));
    EXPECT_FALSE(answer.contains("<i>"));
}

} // namespace
