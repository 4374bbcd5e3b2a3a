#include "PageTestSupport.h"
#include "pages/BuiltInTemplates.h"
#include "pages/PageDiagnostics.h"
#include "pages/PageNames.h"
#include "pages/PageSet.h"
#include "pages/PageText.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace vistrel::pages;
using vistrel::test::HtmlPage;
using vistrel::test::makeListing;
using vistrel::test::numberedLinks;
using vistrel::test::readAll;
using vistrel::test::writeAll;

namespace {

class RecordingDiagnostics : public PageDiagnostics
{
public:
    QStringList lines;
    int eventRounds = 0;
    void pageMessage(const QString &text) override { lines << text; }
    void processPendingEvents() override { ++eventRounds; }
    int mentioning(const QString &text) const { return int(lines.filter(text).size()); }
};

class PageSetTest : public testing::Test
{
protected:
    QString file(const QString &name) const { return QDir(m_data).filePath(name); }
    QByteArray read(const QString &name) const { return readAll(file(name)); }
    bool exists(const QString &name) const { return QFile::exists(file(name)); }

    // What a refresh does: save the listing, then run the pass on its text.
    PageReport refresh(PageSet &pages, const QByteArray &listing)
    {
        writeAll(file("listings.xml"), listing);
        return pages.runGenerationPass(listing);
    }

    vistrel::test::TempHome m_home;
    QString m_data = m_home.file("Documents/vistrel/");
    RecordingDiagnostics m_diagnostics;
};

const char *const kStartupTemplates[] = {"editor.xsl", "edit_header.xsl", "edit_footer.xsl", "viewer.xsl",
                                         "view_footer.xsl", "view_header.xsl", "reloader.xsl"};

} // namespace

TEST_F(PageSetTest, FirstStartWritesTemplatesFramePagesAndPlaceholders)
{
    PageSet pages(m_data, "8080", false, &m_diagnostics);
    const PageReport report = pages.runStartupSequence();
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.written, 10);
    EXPECT_EQ(m_diagnostics.eventRounds, 1);
    EXPECT_TRUE(m_diagnostics.lines.isEmpty()) << m_diagnostics.lines.join('\n').toStdString();

    for (const char *name : kStartupTemplates)
        EXPECT_TRUE(exists(name)) << name;
    EXPECT_EQ(read("viewer.xsl"), toCrLfLines(builtInTemplate(BuiltInTemplate::Default_Web_View_Frame)));
    EXPECT_FALSE(exists("view.xsl"));
    EXPECT_FALSE(exists("edit.xsl"));

    for (const char *page : {"editor.htm", "edit_header.htm", "edit_footer.htm", "viewer.htm", "view_footer.htm",
                             "view_header.htm", "reloader.htm"})
        EXPECT_TRUE(exists(page)) << page;
    // The built-in start-up listing has the time stamp 1.
    EXPECT_TRUE(read("reloader.htm").contains("var LocalTime = 1;"));
    EXPECT_TRUE(read("view_header.htm").contains("var LoadTime = 1;"));

    // Placeholders, with the server's port in their refresh address.
    EXPECT_TRUE(read("view.htm").contains("content=\"10;URL=http://localhost:8080/view.htm\""));
    EXPECT_TRUE(read("edit.htm").contains("content=\"10;URL=http://localhost:8080/edit.htm\""));
    EXPECT_TRUE(read("history.htm").contains("content=\"10;URL=http://localhost:8080/history.htm\""));
    EXPECT_EQ(HtmlPage(read("view.htm")).text("//title"), "Vistrel First Run");
    EXPECT_NE(HtmlPage(read("history.htm")).text("//p").find("checked all web"), std::string::npos);

    EXPECT_TRUE(QDir(m_data).entryList({".vistrel-*"}, QDir::Files | QDir::Hidden).isEmpty());

    // Every file is a list of CR LF lines.
    for (const QString &name : QDir(m_data).entryList(QDir::Files)) {
        const QByteArray bytes = read(name);
        EXPECT_TRUE(bytes.endsWith("\r\n")) << name.toStdString();
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << name.toStdString();
    }
}

TEST_F(PageSetTest, TemplateFilesAreNeverOverwrittenPagesAlwaysAre)
{
    const QByteArray custom =
        "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
        "<xsl:output method=\"html\"/>\n"
        "<xsl:template match=\"/\"><p>Custom header <xsl:value-of select=\"BROWSERINFO/@Time\"/></p></xsl:template>\n"
        "</xsl:stylesheet>\n";
    writeAll(file("view_header.xsl"), custom);
    writeAll(file("viewer.htm"), "stale page");

    PageSet pages(m_data, "80", false, &m_diagnostics);
    ASSERT_TRUE(refresh(pages, makeListing({{"", numberedLinks(2)}}, 463645000)).ok());
    EXPECT_EQ(read("view_header.xsl"), custom);
    EXPECT_TRUE(read("view_header.htm").contains("Custom header 463645000"));
    EXPECT_TRUE(read("viewer.htm").contains("<frameset"));
    EXPECT_TRUE(exists("view.xsl") && exists("edit.xsl"));
    EXPECT_FALSE(exists("folders.xsl")); // only per-folder mode needs it

    // A later refresh still leaves the edited file alone; a deleted one comes back.
    const QByteArray editedView = read("view.xsl") + "<!-- edited -->\r\n";
    writeAll(file("view.xsl"), editedView);
    QFile::remove(file("edit.xsl"));
    ASSERT_TRUE(refresh(pages, makeListing({{"", numberedLinks(2)}}, 463645100)).ok());
    EXPECT_EQ(read("view_header.xsl"), custom);
    EXPECT_EQ(read("view.xsl"), editedView);
    EXPECT_EQ(read("edit.xsl"), toCrLfLines(builtInTemplate(BuiltInTemplate::Default_XSL_Edit)));
    EXPECT_TRUE(read("view_header.htm").contains("Custom header 463645100"));
}

TEST_F(PageSetTest, PlaceholdersAreWrittenOnlyWhileThePageIsMissing)
{
    writeAll(file(".vistrel-1234-5.tmp"), "left by a crash in the middle of a write");
    PageSet pages(m_data, "80", false, &m_diagnostics);
    ASSERT_TRUE(refresh(pages, makeListing({{"", numberedLinks(3)}})).ok());
    EXPECT_FALSE(exists(".vistrel-1234-5.tmp"));
    const QByteArray view = read("view.htm");
    EXPECT_EQ(HtmlPage(view).count("//img"), 3);
    EXPECT_EQ(HtmlPage(read("edit.htm")).count("//textarea"), 3);

    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_EQ(read("view.htm"), view);

    QFile::remove(file("view.htm"));
    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_TRUE(read("view.htm").contains("Vistrel First Run"));

    // The port fixed in follows the server's current port.
    pages.setPort("9090");
    QFile::remove(file("view.htm"));
    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_TRUE(read("view.htm").contains("http://localhost:9090/view.htm"));
}

TEST_F(PageSetTest, StartupListingIsTheLastListingThatParses)
{
    writeAll(file("listings.xml"), makeListing({{"", numberedLinks(1)}}, 777));
    PageSet pages(m_data, "80", false, &m_diagnostics);
    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_TRUE(read("reloader.htm").contains("var LocalTime = 777;"));

    // A damaged file does not replace it; the pages are still made.
    writeAll(file("listings.xml"), "<BROWSERINFO Time=\"888\"><Favoritesfolder>");
    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_TRUE(read("reloader.htm").contains("var LocalTime = 777;"));
    EXPECT_EQ(m_diagnostics.mentioning("listings.xml does not parse"), 1);

    // Neither does a missing one: the text read last stays for the run.
    QFile::remove(file("listings.xml"));
    ASSERT_TRUE(pages.runStartupSequence().ok());
    EXPECT_TRUE(read("viewer.htm").contains("<frameset"));
    EXPECT_TRUE(read("reloader.htm").contains("var LocalTime = 777;"));
    EXPECT_EQ(pages.startupListing(), makeListing({{"", numberedLinks(1)}}, 777));
}

TEST_F(PageSetTest, PerFolderPagesAreNamedAfterTheirFolders)
{
    EXPECT_EQ(viewPageName("Links\\Tools"), "LinksTools.htm");
    EXPECT_EQ(editPageName("Links\\Tools"), "editLinksTools.htm");
    EXPECT_EQ(viewPageName(""), "view.htm");
    EXPECT_EQ(editPageName(""), "edit.htm");

    PageSet pages(m_data, "80", true, &m_diagnostics);
    const QByteArray listing = makeListing({{"", numberedLinks(1, "R")},
                                            {"Links\\Tools", numberedLinks(2, "T")},
                                            {"A\\B", numberedLinks(3, "X")},
                                            {"AB", numberedLinks(4, "Y")},
                                            {"My Stuff", numberedLinks(1, "M")}});
    const PageReport report = refresh(pages, listing);
    EXPECT_TRUE(report.ok());
    EXPECT_TRUE(exists("folders.xsl"));

    EXPECT_EQ(HtmlPage(read("view.htm")).count("//img"), 1);
    EXPECT_EQ(HtmlPage(read("edit.htm")).count("//textarea"), 1);
    EXPECT_EQ(HtmlPage(read("LinksTools.htm")).count("//img"), 2);
    EXPECT_EQ(HtmlPage(read("editLinksTools.htm")).count("//textarea"), 2);
    EXPECT_EQ(HtmlPage(read("My Stuff.htm")).count("//img"), 1);
    // A\B and AB share a name: the later folder's page is the one left.
    EXPECT_EQ(HtmlPage(read("AB.htm")).count("//img"), 4);
    EXPECT_EQ(HtmlPage(read("editAB.htm")).count("//textarea"), 4);
    EXPECT_EQ(m_diagnostics.mentioning("share the page AB.htm"), 1);
    EXPECT_EQ(m_diagnostics.mentioning("share the page editAB.htm"), 1);
    EXPECT_EQ(HtmlPage(read("viewer.htm")).text("//frameset/@rows"), "100,*,0");

    // Switched off, only view.htm and edit.htm are rewritten; the folder pages stay.
    const QByteArray tools = read("LinksTools.htm");
    pages.setNewPage(false);
    ASSERT_TRUE(refresh(pages, makeListing({{"", numberedLinks(1, "R")}, {"Links\\Tools", numberedLinks(5, "T")}}))
                    .ok());
    EXPECT_EQ(read("LinksTools.htm"), tools);
    EXPECT_EQ(HtmlPage(read("view.htm")).count("//img"), 6);
}

TEST_F(PageSetTest, FolderPagesNeverReplaceTheProgramsOwnPages)
{
    PageSet pages(m_data, "80", true, &m_diagnostics);
    const QByteArray listing = makeListing({{"", numberedLinks(1, "R")},
                                            {"viewer", numberedLinks(1, "V")},
                                            {"or", numberedLinks(1, "O")},
                                            {"history", numberedLinks(1, "H")},
                                            {"view", numberedLinks(1, "W")},
                                            {"_header", numberedLinks(1, "E")}});
    const PageReport report = refresh(pages, listing);
    EXPECT_TRUE(report.ok());
    // viewer.htm, history.htm and view.htm (by "viewer", "history", "view"),
    // editor.htm (by "or") and edit_header.htm (by "_header").
    EXPECT_EQ(report.skipped, 5);
    EXPECT_TRUE(read("viewer.htm").contains("<frameset"));
    EXPECT_TRUE(read("editor.htm").contains("edit_footer.htm"));
    EXPECT_TRUE(read("edit_header.htm").contains("edit_head"));
    EXPECT_TRUE(read("history.htm").contains("Vistrel First Run"));
    EXPECT_EQ(HtmlPage(read("view.htm")).count("//img"), 1); // the root's own page
    EXPECT_TRUE(exists("or.htm"));
    EXPECT_TRUE(exists("editviewer.htm"));
    EXPECT_EQ(m_diagnostics.mentioning("Folder viewer: its page viewer.htm is not written"), 1);
    EXPECT_EQ(m_diagnostics.mentioning("Folder or: its page editor.htm is not written"), 1);
}

TEST_F(PageSetTest, ABrokenTemplateCostsOnlyItsOwnPages)
{
    PageSet pages(m_data, "80", true, &m_diagnostics);
    const auto listingAt = [](long long time) {
        return makeListing({{"", numberedLinks(1, "R")}, {"A", numberedLinks(2, "A")}, {"B", numberedLinks(3, "B")}},
                           time);
    };
    ASSERT_TRUE(refresh(pages, listingAt(463645000)).ok());
    const QByteArray editA = read("editA.htm");
    const QByteArray editRoot = read("edit.htm");

    writeAll(file("edit.xsl"), "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">");
    const PageReport report = refresh(pages, listingAt(463645100));
    EXPECT_EQ(report.failed, 3); // edit.htm, editA.htm, editB.htm
    EXPECT_EQ(read("editA.htm"), editA);
    EXPECT_EQ(read("edit.htm"), editRoot);
    EXPECT_TRUE(read("A.htm").contains("var LoadTime = 463645100;"));
    EXPECT_TRUE(read("reloader.htm").contains("var LocalTime = 463645100;"));
    EXPECT_EQ(m_diagnostics.mentioning("stylesheet does not parse"), 1);
    EXPECT_EQ(m_diagnostics.mentioning("edit.xsl failed 2 more times"), 1);

    // One that fails while running fails for each page, and is told once.
    m_diagnostics.lines.clear();
    writeAll(file("view.xsl"), "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                               "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">view is broken</xsl:message>"
                               "</xsl:template></xsl:stylesheet>");
    const QByteArray viewA = read("A.htm");
    const PageReport second = refresh(pages, listingAt(463645200));
    EXPECT_EQ(second.failed, 6); // three view pages, and the edit pages still
    EXPECT_EQ(read("A.htm"), viewA);
    EXPECT_EQ(m_diagnostics.mentioning("view is broken"), 1);
    EXPECT_EQ(m_diagnostics.mentioning("view.xsl failed 2 more times"), 1);
    EXPECT_TRUE(read("viewer.htm").contains("<frameset"));
}

TEST_F(PageSetTest, AListingThatDoesNotParseWritesNoBlankPage)
{
    PageSet pages(m_data, "80", false, &m_diagnostics);
    ASSERT_TRUE(refresh(pages, makeListing({{"", numberedLinks(2)}})).ok());
    const QByteArray view = read("view.htm");
    const QByteArray edit = read("edit.htm");

    const PageReport report = pages.runGenerationPass("<?xml version=\"1.0\"?><BROWSERINFO Time=\"5\">");
    EXPECT_FALSE(report.ok());
    EXPECT_EQ(read("view.htm"), view);
    EXPECT_EQ(read("edit.htm"), edit);
    EXPECT_EQ(m_diagnostics.mentioning("XML text does not parse"), 2);
}

TEST_F(PageSetTest, PerFolderModeWithoutARootFolderStillReplacesTheRootPages)
{
    PageSet pages(m_data, "80", true, &m_diagnostics);
    ASSERT_TRUE(pages.runStartupSequence().ok());
    ASSERT_TRUE(read("view.htm").contains("Vistrel First Run"));
    ASSERT_TRUE(refresh(pages, makeListing({{"Links", numberedLinks(2)}})).ok());
    EXPECT_FALSE(read("view.htm").contains("Vistrel First Run"));
    EXPECT_EQ(HtmlPage(read("view.htm")).count("//img"), 0);
    EXPECT_EQ(HtmlPage(read("Links.htm")).count("//img"), 2);
}

TEST_F(PageSetTest, HistoryPageIsMadeFromTheHistoryDocument)
{
    PageSet pages(m_data, "80", false, &m_diagnostics);
    ASSERT_TRUE(pages.runStartupSequence().ok());
    const QByteArray history = vistrel::test::makeHistory({{"Example Domain", "http://example.com/", -1, true}});
    ASSERT_TRUE(pages.writeHistoryPage(history).ok());
    EXPECT_EQ(read("history.xsl"), toCrLfLines(builtInTemplate(BuiltInTemplate::Default_XSL_History)));
    const QByteArray page = read("history.htm");
    EXPECT_EQ(HtmlPage(page).text("//input[@type='submit']/@name"), "http://example.com/");

    EXPECT_FALSE(pages.writeHistoryPage("<BROWSERINFO><History>").ok());
    EXPECT_EQ(read("history.htm"), page);
}

TEST_F(PageSetTest, AnEditedFolderListCannotWriteOutsideTheDataFolder)
{
    writeAll(file("folders.xsl"),
             "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
             "<xsl:output method=\"html\"/><xsl:template match=\"/\">"
             "<xsl:text>../escaped&#13;&#10;Links&#13;&#10;</xsl:text></xsl:template></xsl:stylesheet>");
    PageSet pages(m_data, "80", true, &m_diagnostics);
    const PageReport report = refresh(pages, makeListing({{"Links", numberedLinks(2)}}));
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(report.skipped, 2);
    EXPECT_FALSE(QFile::exists(QDir(m_data).filePath("../escaped.htm")));
    EXPECT_FALSE(exists("edit../escaped.htm"));
    EXPECT_EQ(HtmlPage(read("Links.htm")).count("//img"), 2);
    EXPECT_EQ(m_diagnostics.mentioning("not a file name in the data folder"), 2);

    // A folder list that cannot be made costs the per-folder pages, nothing else.
    writeAll(file("folders.xsl"), "not a stylesheet");
    const QByteArray links = read("Links.htm");
    const PageReport broken = refresh(pages, makeListing({{"Links", numberedLinks(3)}}, 463645999));
    EXPECT_EQ(broken.failed, 2);
    EXPECT_EQ(read("Links.htm"), links);
    EXPECT_TRUE(read("viewer.htm").contains("<frameset"));
    EXPECT_EQ(m_diagnostics.mentioning("no folder list, so no per-folder pages from view.xsl"), 1);
}
