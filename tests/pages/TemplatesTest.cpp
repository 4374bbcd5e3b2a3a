#include "PageTestSupport.h"
#include "pages/BuiltInTemplates.h"
#include "pages/PageText.h"
#include "pages/Transform.h"

#include <gtest/gtest.h>

using namespace vistrel::pages;
using vistrel::test::HtmlPage;
using vistrel::test::imageOf;
using vistrel::test::makeListing;
using vistrel::test::numberedLinks;
using vistrel::test::TestFolder;
using vistrel::test::uniqueOf;

namespace {

QByteArray render(BuiltInTemplate which, const QByteArray &xml, bool multiPage = false, const QByteArray &p1 = {})
{
    TransformSettings settings;
    settings.multiPage = multiPage;
    settings.port = "8080";
    return DoTransform(xml, builtInTemplate(which), p1, settings);
}

// The cells of each table row of the first grid.
std::vector<int> cellsPerRow(const HtmlPage &page, const std::string &table = "(//table)[1]")
{
    std::vector<int> cells;
    const int rows = page.count(table + "/tr");
    for (int r = 1; r <= rows; ++r)
        cells.push_back(page.count(table + "/tr[" + std::to_string(r) + "]/td"));
    return cells;
}

const std::string kFiller = "td[not(*) and normalize-space(translate(., '\xC2\xA0', ' ')) = '']";

} // namespace

TEST(ViewTemplate, LaysOutLinksInRowsOfFourWithFillerCells)
{
    const QByteArray listing =
        makeListing({{"", numberedLinks(5)}, {"Four", numberedLinks(4, "F")}, {"Empty", {}}});
    const HtmlPage page(render(BuiltInTemplate::Default_XSL_View, listing));

    ASSERT_EQ(page.count("//table"), 3);
    EXPECT_EQ(page.count("//hr"), 3); // one rule after each folder's table
    // 5 links: a full row of 4, then 1 cell and 3 fillers, each grid row three table rows high.
    EXPECT_EQ(cellsPerRow(page), std::vector<int>({4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(page.count("(//table)[1]/tr[4]/td[img or a]"), 1);
    for (int row : {4, 5, 6})
        EXPECT_EQ(page.count("(//table)[1]/tr[" + std::to_string(row) + "]/" + kFiller), 3) << row;
    EXPECT_EQ(page.count("(//table)[1]/tr[1]/" + kFiller), 0);
    // 4 links: one full row and no filler.
    EXPECT_EQ(cellsPerRow(page, "(//table)[2]"), std::vector<int>({4, 4, 4}));
    EXPECT_EQ(page.count("(//table)[2]//" + kFiller), 0);
    // No links: an empty table.
    EXPECT_EQ(page.count("(//table)[3]/*"), 0);
    for (int cell : {1, 2, 3, 4})
        EXPECT_EQ(page.text("(//table)[1]/tr[1]/td[" + std::to_string(cell) + "]/@width"), "175");
}

TEST(ViewTemplate, ShowsPictureCaptionAndFolderOfEveryLink)
{
    const QByteArray listing = makeListing({{"Links\\Tools", {{"My Site", "http://example.com/a?b=1&c=2", 0, true}}}});
    const HtmlPage page(render(BuiltInTemplate::Default_XSL_View, listing));

    EXPECT_EQ(page.text("//tr[1]/td[1]/a/@href"), "http://example.com/a?b=1&c=2");
    EXPECT_EQ(page.text("//tr[1]/td[1]/a/@target"), "_top");
    // The image's path is the listing's, with the browser's separator.
    std::string image = imageOf("My Site");
    std::replace(image.begin(), image.end(), '\\', '/');
    EXPECT_EQ(page.text("//tr[1]/td[1]/a/img/@src"), image);
    EXPECT_EQ(page.text("//tr[2]/td[1]/a/font[@face='Verdana' and @size='2']/b"), "My Site");
    EXPECT_EQ(page.text("//tr[2]/td[1]/a/@target"), "_top");
    EXPECT_EQ(page.text("//tr[3]/td[1]/font[@size='1']"), "Links\\Tools");
    EXPECT_EQ(page.text("//body/@background"), "_back.jpg");
    EXPECT_EQ(page.count("//meta[@http-equiv='expires' and @content='0']"), 1);
    EXPECT_EQ(page.count("//meta[@http-equiv='Pragma' and @content='no-cache']"), 1);
    EXPECT_EQ(page.text("//body/@onload"), "setScroll()");
}

TEST(ViewTemplate, ShowsOneFolderPerPageOnlyInPerFolderMode)
{
    const QByteArray listing = makeListing(
        {{"", numberedLinks(1, "R")}, {"Links\\Tools", numberedLinks(2, "T")}, {"News", numberedLinks(3, "N")}});
    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_XSL_View, listing)).count("//img"), 6);
    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_XSL_View, listing, true)).count("//img"), 1);
    const HtmlPage tools(render(BuiltInTemplate::Default_XSL_View, listing, true, "Links\\Tools"));
    EXPECT_EQ(tools.count("//img"), 2);
    EXPECT_EQ(tools.text("//tr[3]/td[1]"), "Links\\Tools");
}

TEST(ViewTemplate, PutsTheOldHomePageInTheHeaderInsteadOfTheGrid)
{
    std::vector<vistrel::test::TestLink> links = numberedLinks(2);
    links.insert(links.begin() + 1, {"_Old Home Page", "http://old.example/", 5, true});
    const QByteArray withHome = makeListing({{"", links}}, 463645000, true);
    const QByteArray withoutHome = makeListing({{"", links}}, 463645000, false);

    const HtmlPage grid(render(BuiltInTemplate::Default_XSL_View, withHome));
    EXPECT_EQ(grid.count("//a[@href='http://old.example/']"), 0);
    EXPECT_EQ(cellsPerRow(grid), std::vector<int>({4, 4, 4})); // the cell stays, empty
    EXPECT_EQ(grid.count("//tr[3]/td[font[.='_Old Home Page']]"), 0);
    const HtmlPage plainGrid(render(BuiltInTemplate::Default_XSL_View, withoutHome));
    EXPECT_EQ(plainGrid.count("//a[@href='http://old.example/']"), 2);

    const HtmlPage header(render(BuiltInTemplate::Default_Web_View_Head, withHome));
    EXPECT_EQ(header.count("//table//table//a[@href='http://old.example/' and @target='_top']"), 2);
    EXPECT_EQ(header.text("//table//table//a/font/b"), "_Old Home Page");
    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_Web_View_Head, withoutHome)).count("//table//table"), 0);

    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_Web_View_Frame, withHome, true)).text("//frameset/@rows"),
              "175,*,0");
}

TEST(FrameTemplates, SizeTheirRowsForFolderListAndOldHomePage)
{
    const QByteArray listing = makeListing({{"", numberedLinks(1)}});
    const HtmlPage single(render(BuiltInTemplate::Default_Web_View_Frame, listing));
    EXPECT_EQ(single.text("//frameset/@rows"), "64,*,0");
    EXPECT_EQ(single.text("//title"), "Viewer");
    EXPECT_EQ(single.text("//frame[1]/@name"), "header");
    EXPECT_EQ(single.text("//frame[1]/@src"), "view_header.htm");
    EXPECT_EQ(single.text("//frame[1]/@scrolling"), "no");
    EXPECT_EQ(single.count("//frame[1][@noresize]"), 1);
    EXPECT_EQ(single.text("//frame[2]/@name"), "mymain");
    EXPECT_EQ(single.text("//frame[2]/@src"), "view.htm");
    EXPECT_EQ(single.text("//frame[3]/@name"), "dummy");
    EXPECT_EQ(single.text("//frame[3]/@src"), "reloader.htm");
    EXPECT_NE(single.text("//noframes").find("This page uses frames, but your browser doesn't support them."),
              std::string::npos);
    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_Web_View_Frame, listing, true)).text("//frameset/@rows"),
              "100,*,0");

    const HtmlPage edit(render(BuiltInTemplate::Default_Web_Edit_Frame, listing));
    EXPECT_EQ(edit.text("//frameset/@rows"), "64,*,64");
    EXPECT_EQ(edit.text("//title"), "Editor");
    EXPECT_EQ(edit.values("//frame/@src"), std::vector<std::string>({"edit_header.htm", "edit.htm", "edit_footer.htm"}));
    EXPECT_EQ(edit.values("//frame/@name"), std::vector<std::string>({"header", "mymain", "footer"}));
    EXPECT_EQ(HtmlPage(render(BuiltInTemplate::Default_Web_Edit_Frame, listing, true)).text("//frameset/@rows"),
              "100,*,64");
}

TEST(EditTemplate, NamesEveryFieldAfterTheLinkAndPreselectsItsFolder)
{
    const QByteArray listing = makeListing({{"", {{"Home", "http://home.example/", 3, true}}},
                                            {"Links\\Tools", {{"Hammer", "http://tools.example/", -1, true}}},
                                            {"Tom's \"best\" <x> & co", numberedLinks(5, "Q")}});
    const HtmlPage page(render(BuiltInTemplate::Default_XSL_Edit, listing));
    const std::string home = uniqueOf("", "Home");
    const std::string hammer = uniqueOf("Links\\Tools", "Hammer");

    EXPECT_EQ(page.text("//form/@name"), "myedit");
    EXPECT_EQ(page.text("//form/@method"), "POST");
    EXPECT_EQ(page.text("//form/@action"), "/cgi-bin/cgifrm1.exe");
    EXPECT_EQ(page.count("//script"), 0);

    EXPECT_EQ(page.text("//textarea[@name='Edit" + home + "']"), "Home");
    EXPECT_EQ(page.text("//textarea[@name='Edit" + home + "']/@rows"), "2");
    EXPECT_EQ(page.count("//b/textarea[@name='Edit" + home + "']"), 1);
    // One option per folder in document order, "Root" for the Favorites folder.
    const std::vector<std::string> folders = {"Root", "Links\\Tools", "Tom's \"best\" <x> & co"};
    EXPECT_EQ(page.values("//select[@name='Combo" + home + "']/option/@value"), folders);
    EXPECT_EQ(page.values("//select[@name='Combo" + home + "']/option"), folders);
    EXPECT_EQ(page.values("//select[@name='Combo" + home + "']/option[@selected]"), std::vector<std::string>({"Root"}));
    EXPECT_EQ(page.values("//select[@name='Combo" + hammer + "']/option[@selected]"),
              std::vector<std::string>({"Links\\Tools"}));
    EXPECT_EQ(page.values("//select[@name='Combo" + uniqueOf("Tom's \"best\" <x> & co", "Q5") + "']/option[@selected]"),
              std::vector<std::string>({"Tom's \"best\" <x> & co"}));

    EXPECT_EQ(page.text("//input[@name='OB" + home + "']/@value"), "3");
    EXPECT_EQ(page.text("//input[@name='OB" + home + "']/@size"), "5");
    EXPECT_EQ(page.text("//input[@name='OB" + hammer + "']/@value"), "-1");
    EXPECT_NE(page.text("//td[.//input[@name='OB" + home + "']]").find("I.E. Sort Order"), std::string::npos);
    EXPECT_EQ(page.text("//input[@name='CB" + home + "']/@type"), "checkbox");
    EXPECT_EQ(page.text("//input[@name='CB" + home + "']/@value"), "deleteme");
    EXPECT_NE(page.text("//td[.//input[@name='CB" + home + "']]").find("Delete Me"), std::string::npos);

    // Five table rows per grid row: 5 links make two grid rows.
    EXPECT_EQ(cellsPerRow(page, "(//table)[3]"), std::vector<int>(10, 4));
    EXPECT_EQ(page.count("(//table)[3]/tr[7]/" + kFiller), 3);
}

TEST(EditTemplate, PerFolderPageHoldsOnlyItsFolderButOffersEveryFolder)
{
    const QByteArray listing =
        makeListing({{"", numberedLinks(2, "R")}, {"Links\\Tools", numberedLinks(3, "T")}, {"News", {}}});
    const HtmlPage page(render(BuiltInTemplate::Default_XSL_Edit, listing, true, "Links\\Tools"));
    EXPECT_EQ(page.count("//textarea"), 3);
    EXPECT_EQ(page.count("(//select)[1]/option"), 3);
    EXPECT_EQ(page.count("//select/option[@selected and @value='Links\\Tools']"), 3);
}

TEST(HistoryTemplate, OffersOneAddButtonPerSite)
{
    const QByteArray history = vistrel::test::makeHistory(
        {{"Example Domain", "http://example.com/", -1, true}, {"Other", "http://other.example/x", -1, true}});
    const HtmlPage page(render(BuiltInTemplate::Default_XSL_History, history));
    EXPECT_EQ(page.text("//form/@name"), "addhistory");
    EXPECT_EQ(page.text("//form/@method"), "POST");
    EXPECT_EQ(page.text("//form/@action"), "/cgi-bin/cgifrm2.exe");
    EXPECT_EQ(page.count("//input[@type='submit' and @value='Add to favourites']"), 2);
    EXPECT_EQ(page.text("//input[@type='submit'][1]/@name"), "http://example.com/");
    EXPECT_EQ(page.text("//input[@type='submit'][1]/@id"), imageOf("Example Domain"));
    EXPECT_EQ(page.text("//tr[2]/td[1]/a/font/b"), "Example Domain");
    EXPECT_EQ(cellsPerRow(page), std::vector<int>({4, 4, 4}));
    EXPECT_NE(page.text("//script").find("var LoadTime = 463645001;"), std::string::npos);
}

TEST(HeaderTemplates, OfferTheFolderListOnlyInPerFolderMode)
{
    const QByteArray listing = makeListing({{"", numberedLinks(1)}, {"Links\\Tools", numberedLinks(1, "T")}});
    const HtmlPage single(render(BuiltInTemplate::Default_Web_View_Head, listing));
    EXPECT_EQ(single.count("//select"), 0);
    EXPECT_EQ(single.text("//title"), "Header");
    EXPECT_EQ(single.text("//a[.='Manage Favourites']/@href"), "editor.htm");
    EXPECT_EQ(single.text("//a[.='Manage Favourites']/@target"), "_top");
    EXPECT_EQ(single.text("//a[.='Manage history']/@href"), "history.htm");
    EXPECT_EQ(single.text("//meta[@http-equiv='Content-Language']/@content"), "en-gb");

    const HtmlPage view(render(BuiltInTemplate::Default_Web_View_Head, listing, true));
    EXPECT_EQ(view.text("//form/@name"), "view_head");
    EXPECT_EQ(view.text("//select/@name"), "DropDown");
    EXPECT_EQ(view.text("//select/@onchange"), "Change()");
    EXPECT_EQ(view.values("//select/option/@value"), std::vector<std::string>({"Root", "Links\\Tools"}));
    EXPECT_EQ(view.count("//option[@selected]"), 0);
    EXPECT_NE(view.text("//form"), "");
    const std::string script = view.text("//script");
    EXPECT_NE(script.find("var LoadTime = 463645000;"), std::string::npos);
    EXPECT_NE(script.find("var multi_page = \"yes\";"), std::string::npos);
    for (const char *function : {"function getStringVar(", "function getNumberVar(", "function Change(",
                                 "function reloader(", "function setcombo("})
        EXPECT_NE(script.find(function), std::string::npos) << function;

    const HtmlPage edit(render(BuiltInTemplate::Default_Web_Edit_Head, listing, true));
    EXPECT_EQ(edit.text("//form/@name"), "edit_head");
    EXPECT_EQ(edit.count("//table"), 0);
    EXPECT_EQ(edit.count("//a"), 0);
    EXPECT_NE(edit.text("//p").find("Favourites Manager Edit Mode"), std::string::npos);
    EXPECT_NE(edit.text("//script").find("var pagePrefix = \"edit\";"), std::string::npos);
}

TEST(ReloaderTemplates, CarryTheListingTimeAndTheLocalAddress)
{
    const QByteArray listing = makeListing({{"", numberedLinks(1)}}, 463645123);
    const QByteArray reloader = render(BuiltInTemplate::Default_Reloader_XSL, listing);
    const HtmlPage page(reloader);
    EXPECT_EQ(page.text("//meta[@http-equiv='refresh']/@content"), "10;URL=http://localhost:8080/reloader.htm");
    EXPECT_NE(page.text("//script").find("var LocalTime = 463645123;"), std::string::npos);
    EXPECT_EQ(page.text("//body/@onload"), "check()");
    EXPECT_EQ(page.count("//body/@background"), 0);

    const HtmlPage footer(render(BuiltInTemplate::Default_Web_View_Footer, listing));
    EXPECT_EQ(footer.text("//meta[@http-equiv='refresh']/@content"), "10;URL=http://localhost:8080/reloader.htm");
    EXPECT_EQ(footer.count("//meta[@http-equiv='Pragma']"), 0);
    EXPECT_NE(footer.text("//script").find("var LocalTime = 0;"), std::string::npos);

    const HtmlPage controls(render(BuiltInTemplate::Default_Web_Edit_Footer, listing));
    EXPECT_EQ(controls.text("//title"), "Controls");
    EXPECT_EQ(controls.text("//input[@name='B3']/@value"), "Back to View Mode");
    EXPECT_EQ(controls.text("//input[@name='B1']/@value"), "Save Changes");
    EXPECT_EQ(controls.text("//input[@name='B2']/@value"), "Discard Chages");
    EXPECT_EQ(controls.text("//input[@name='B2']/@type"), "reset");
}

TEST(FoldersTemplate, ListsEveryLocationOnItsOwnLine)
{
    const QByteArray listing =
        makeListing({{"", numberedLinks(1)}, {"Links\\Tools", {}}, {"Tom's <best> & co", numberedLinks(1, "T")}});
    const QByteArray output = render(BuiltInTemplate::Default_XSL_Folders, listing);
    EXPECT_TRUE(output.contains("\r\nLinks\\Tools\r\n")) << output.constData();
    // What the HTML output method escapes comes back as the folder's own name.
    EXPECT_EQ(decodeCharacterReferences("Tom's &lt;best&gt; &amp; co"), "Tom's <best> & co");
    EXPECT_TRUE(decodeCharacterReferences(output).contains("Tom's <best> & co\r\n"));
}

TEST(PageText, WritesEveryLineWithCrLf)
{
    EXPECT_EQ(toCrLfLines("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(toCrLfLines("a\n"), "a\r\n");
    EXPECT_EQ(toCrLfLines("\n\nx\ny"), "\r\n\r\nx\r\ny\r\n");
    EXPECT_EQ(toCrLfLines(""), "");
    EXPECT_EQ(splitLines("\r\nLinks\r\nNews"), QByteArrayList({"", "Links", "News"}));
    EXPECT_EQ(decodeCharacterReferences("&#233;&#xE9;&nbsp;&bogus;&"), "\xC3\xA9\xC3\xA9\xC2\xA0&bogus;&");
}

TEST(Templates, LinkOnlyWebAndFileAddressesAndKeepTheRestVisible)
{
    // A shortcut's address can be anything; script addresses would run in the
    // program's own pages, where the editor accepts posts.
    const std::vector<vistrel::test::TestLink> links = {
        {"Web", "HTTP://example.com/", -1, true},       {"Secure", "https://example.com/", -1, true},
        {"Files", "ftp://example.com/", -1, true},      {"Local", "file:///tmp/a.htm", -1, true},
        {"Script", "javascript:fetch('/x',{method:'POST',body:'a'})", -1, true},
        {"Shout", "JavaScript:alert(1)", -1, true},     {"Inline", "data:text/html,<script>x()</script>", -1, true},
        {"Spaced", " javascript:alert(1)", -1, true},   {"_Old Home Page", "vbscript:x", -1, true},
    };
    const QByteArray listing = makeListing({{"", links}}, 463645000, true);
    const std::string live = "//a[@href='HTTP://example.com/' or @href='https://example.com/' or "
                             "@href='ftp://example.com/' or @href='file:///tmp/a.htm']";
    struct Page
    {
        const char *name;
        BuiltInTemplate which;
        QByteArray xml;
        int linksPerFavourite;
        int pictures;
    };
    for (const Page &p : {Page{"view", BuiltInTemplate::Default_XSL_View, listing, 2, 8},
                          Page{"edit", BuiltInTemplate::Default_XSL_Edit, listing, 1, 9},
                          Page{"history", BuiltInTemplate::Default_XSL_History, vistrel::test::makeHistory(links), 2, 9}}) {
        SCOPED_TRACE(p.name);
        const HtmlPage page(render(p.which, p.xml));
        EXPECT_EQ(page.count("//a[@href]"), 4 * p.linksPerFavourite);
        EXPECT_EQ(page.count(live), 4 * p.linksPerFavourite);
        EXPECT_EQ(page.count("//img"), p.pictures);
    }
    // The old home page in the view header: picture and caption, no link.
    const HtmlPage header(render(BuiltInTemplate::Default_Web_View_Head, listing));
    EXPECT_EQ(header.count("//a[starts-with(@href, 'vbscript')]"), 0);
    EXPECT_EQ(header.count("//img"), 1);
    EXPECT_NE(header.text("//b"), "");
}
