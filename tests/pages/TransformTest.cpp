#include "PageTestSupport.h"
#include "pages/LocalAddressFixup.h"
#include "pages/Transform.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include <gtest/gtest.h>

using namespace vistrel::pages;
using vistrel::test::makeListing;

namespace {

QByteArray textStylesheet(const QByteArray &body, const QByteArray &top = {})
{
    return "<?xml version=\"1.0\"?>\n"
           "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">\n"
           "<xsl:output method=\"text\" encoding=\"UTF-8\"/>\n"
           "<xsl:param name=\"p1\"/><xsl:param name=\"multi_page\"/>\n"
           + top + "<xsl:template match=\"/\">" + body + "</xsl:template>\n</xsl:stylesheet>\n";
}

const QByteArray kShowParameters =
    textStylesheet("[<xsl:value-of select=\"$p1\"/>|<xsl:value-of select=\"$multi_page\"/>]"
                   "<xsl:for-each select=\"BROWSERINFO/Favoritesfolder/Folder[@Location = $p1]\">"
                   "(<xsl:value-of select=\"count(Link)\"/>)</xsl:for-each>");

QByteArray sampleListing()
{
    return makeListing({{"", vistrel::test::numberedLinks(2, "Root")},
                        {"Tom's \"best\"", vistrel::test::numberedLinks(3, "Q")},
                        {"Links\\Tools", vistrel::test::numberedLinks(1, "T")}});
}

std::string transformError(const QByteArray &xml, const QByteArray &xsl, TransformSettings settings = {})
{
    try {
        DoTransform(xml, xsl, {}, settings);
    } catch (const TransformError &error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(DoTransform, PassesFolderAndPerFolderParametersAsStrings)
{
    const QByteArray listing = sampleListing();
    TransformSettings single;
    // No "p1": the stylesheet's default, the empty string, picks the root folder.
    EXPECT_EQ(DoTransform(listing, kShowParameters, {}, single), "[|](2)");

    TransformSettings perFolder;
    perFolder.multiPage = true;
    EXPECT_EQ(DoTransform(listing, kShowParameters, {}, perFolder), "[|yes](2)");
    EXPECT_EQ(DoTransform(listing, kShowParameters, "Links\\Tools", perFolder), "[Links\\Tools|yes](1)");
    // Quotes and apostrophes are part of the value, never of an expression.
    EXPECT_EQ(DoTransform(listing, kShowParameters, "Tom's \"best\"", perFolder), "[Tom's \"best\"|yes](3)");
    EXPECT_EQ(DoTransform(listing, kShowParameters, "')] | //*[('", perFolder), "[')] | //*[('|yes]");
}

TEST(DoTransform, ReturnsHtmlOutputAsUtf8Text)
{
    const QByteArray xsl = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                           "<xsl:output method=\"html\" encoding=\"ISO-8859-1\"/>"
                           "<xsl:template match=\"/\"><html><head/><body><p>caf\xC3\xA9<br/></p></body></html>"
                           "</xsl:template></xsl:stylesheet>";
    const QByteArray page = DoTransform("<r/>", xsl, {}, {});
    EXPECT_TRUE(page.contains("<br>")) << page.constData();
    EXPECT_TRUE(page.contains("caf\xC3\xA9")) << page.constData();
    EXPECT_TRUE(page.contains("charset=UTF-8")) << page.constData();
}

TEST(LocalAddressFixup, InsertsThePortIntoEveryLocalAddress)
{
    EXPECT_EQ(fixUpLocalAddresses("<a href=\"http://localhost/reloader.htm\">", "8080"),
              "<a href=\"http://localhost:8080/reloader.htm\">");
    EXPECT_EQ(fixUpLocalAddresses("http://localhost/a http://localhost/b", "80"),
              "http://localhost:80/a http://localhost:80/b");
    // Already with a port, without the slash, or in other letters: untouched.
    EXPECT_EQ(fixUpLocalAddresses("http://localhost:81/x http://localhost HTTP://LOCALHOST/y", "8080"),
              "http://localhost:81/x http://localhost HTTP://LOCALHOST/y");
    // The inserted text is not scanned again.
    EXPECT_EQ(fixUpLocalAddresses("http://localhost/", "/http://localhost/"),
              "http://localhost:/http://localhost//");
}

TEST(DoTransform, FixesUpTemplateAndListingAddresses)
{
    const QByteArray listing = makeListing({{"", {{"Local", "http://localhost/admin/", 0, true}}}});
    const QByteArray xsl = textStylesheet("<xsl:for-each select=\"//Link\">http://localhost/reloader.htm "
                                          "<xsl:value-of select=\"@PID_IS_URL\"/></xsl:for-each>");
    TransformSettings settings;
    settings.port = "8080";
    EXPECT_EQ(DoTransform(listing, xsl, {}, settings),
              "http://localhost:8080/reloader.htm http://localhost:8080/admin/");
}

TEST(DoTransform, EngineErrorsBecomeExceptionsWithTheEngineMessage)
{
    testing::internal::CaptureStderr();
    const QByteArray listing = sampleListing();

    const std::string notXml = transformError(listing, "<xsl:stylesheet version=\"1.0\"");
    EXPECT_NE(notXml.find("stylesheet does not parse"), std::string::npos) << notXml;
    EXPECT_NE(notXml.find("line 1"), std::string::npos) << notXml;

    const std::string notXslt = transformError(listing, textStylesheet("<xsl:value-of select=\"((Link\"/>"));
    EXPECT_NE(notXslt.find("does not compile"), std::string::npos) << notXslt;
    EXPECT_NE(notXslt.find("((Link"), std::string::npos) << notXslt;

    const std::string runtime = transformError(
        listing, textStylesheet("<xsl:message terminate=\"yes\">stopped by the template</xsl:message>"));
    EXPECT_NE(runtime.find("stopped by the template"), std::string::npos) << runtime;

    const std::string badXml = transformError("<BROWSERINFO><Folder></BROWSERINFO>", kShowParameters);
    EXPECT_NE(badXml.find("XML text does not parse"), std::string::npos) << badXml;
    EXPECT_NE(badXml.find("mismatch"), std::string::npos) << badXml;

    // An empty document is an error, not an empty page.
    EXPECT_NE(transformError("", kShowParameters).find("does not parse"), std::string::npos);

    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(DoTransform, StopsRunawayStylesheets)
{
    testing::internal::CaptureStderr();
    TransformSettings settings;
    const std::string endless = transformError(
        "<r/>", textStylesheet("<xsl:call-template name=\"again\"/>",
                               "<xsl:template name=\"again\"><xsl:call-template name=\"again\"/></xsl:template>"),
        settings);
    EXPECT_NE(endless.find("recursion"), std::string::npos) << endless;

    // Shallow but exponential: caught by the instruction budget, not the depth.
    settings.limits.maxInstructions = 1'000'000;
    const QByteArray branching = textStylesheet(
        "<xsl:call-template name=\"tree\"><xsl:with-param name=\"n\" select=\"40\"/></xsl:call-template>",
        "<xsl:template name=\"tree\"><xsl:param name=\"n\"/><xsl:if test=\"$n &gt; 0\">"
        "<xsl:call-template name=\"tree\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
        "<xsl:call-template name=\"tree\"><xsl:with-param name=\"n\" select=\"$n - 1\"/></xsl:call-template>"
        "</xsl:if></xsl:template>");
    const std::string tree = transformError("<r/>", branching, settings);
    EXPECT_NE(tree.find("limit"), std::string::npos) << tree;
    // And by the clock when the counts allow more than the time does.
    settings.limits.maxInstructions = 0; // no count
    settings.limits.maxSeconds = 1;
    const std::string slow = transformError("<r/>", branching, settings);
    EXPECT_NE(slow.find("1 seconds"), std::string::npos) << slow;

    // Few instructions, each doubling a tree fragment: caught by the memory budget.
    settings.limits = {};
    settings.limits.maxMemory = std::size_t(64) << 20;
    const QByteArray doubling = textStylesheet(
        "<xsl:call-template name=\"grow\"><xsl:with-param name=\"n\" select=\"40\"/>"
        "<xsl:with-param name=\"tree\"><a>xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx</a></xsl:with-param></xsl:call-template>",
        "<xsl:template name=\"grow\"><xsl:param name=\"n\"/><xsl:param name=\"tree\"/>"
        "<xsl:if test=\"$n &gt; 0\"><xsl:call-template name=\"grow\"><xsl:with-param name=\"n\" select=\"$n - 1\"/>"
        "<xsl:with-param name=\"tree\"><xsl:copy-of select=\"$tree\"/><xsl:copy-of select=\"$tree\"/>"
        "</xsl:with-param></xsl:call-template></xsl:if></xsl:template>");
    const std::string grown = transformError("<r/>", doubling, settings);
    EXPECT_NE(grown.find("64 MB"), std::string::npos) << grown;

    testing::internal::GetCapturedStderr();
}

class StylesheetAccess : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid() && m_outside.isValid());
        vistrel::test::writeAll(m_outside.filePath("secret.xml"), "<s>OUTSIDE-SECRET</s>");
        vistrel::test::writeAll(m_data.filePath("extra.xml"), "<s>INSIDE-DATA</s>");
        vistrel::test::writeAll(m_data.filePath("common.xsl"),
                                "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                "<xsl:template name=\"shared\">INCLUDED</xsl:template></xsl:stylesheet>");
        vistrel::test::writeAll(m_outside.filePath("evil.xsl"),
                                "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                "<xsl:template name=\"shared\">EVIL</xsl:template></xsl:stylesheet>");
        m_settings.dataFolder = m_data.path();
    }

    QByteArray run(const QByteArray &xml, const QByteArray &xsl, std::string *error)
    {
        TransformSession session(m_settings);
        try {
            return session.DoTransform(xml, xsl, {}, QStringLiteral("view.xsl"));
        } catch (const TransformError &e) {
            *error = e.what();
            return {};
        }
    }

    QTemporaryDir m_data;
    QTemporaryDir m_outside;
    TransformSettings m_settings;
};

TEST_F(StylesheetAccess, ReadsFilesOnlyInsideTheDataFolder)
{
    testing::internal::CaptureStderr();
    std::string error;
    EXPECT_EQ(run("<r/>", textStylesheet("<xsl:value-of select=\"document('extra.xml')\"/>"), &error),
              "INSIDE-DATA");
    EXPECT_EQ(run("<r/>", textStylesheet("<xsl:call-template name=\"shared\"/>",
                                          "<xsl:include href=\"common.xsl\"/>"),
                  &error),
              "INCLUDED");

    const QByteArray outside = m_outside.filePath("secret.xml").toUtf8();
    EXPECT_FALSE(run("<r/>", textStylesheet("<xsl:value-of select=\"document('" + outside + "')\"/>"), &error)
                     .contains("OUTSIDE-SECRET"));
    EXPECT_FALSE(run("<r/>", textStylesheet("<xsl:value-of select=\"document('../" +
                                            QDir(m_data.path()).relativeFilePath(outside).toUtf8() + "')\"/>"),
                     &error)
                     .contains("OUTSIDE-SECRET"));

    error.clear();
    const QByteArray importing = "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                 "<xsl:import href=\"" + m_outside.filePath("evil.xsl").toUtf8() + "\"/>"
                                 "<xsl:output method=\"text\"/>"
                                 "<xsl:template match=\"/\"><xsl:call-template name=\"shared\"/></xsl:template>"
                                 "</xsl:stylesheet>";
    EXPECT_EQ(run("<r/>", importing, &error), "");
    EXPECT_NE(error.find("evil.xsl"), std::string::npos) << error;

    // An external entity in the document is never fetched from outside.
    error.clear();
    const QByteArray entity = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + outside + "\">]><r>&x;</r>";
    EXPECT_FALSE(run(entity, textStylesheet("<xsl:value-of select=\"r\"/>"), &error).contains("OUTSIDE-SECRET"));
    testing::internal::GetCapturedStderr();
}

TEST_F(StylesheetAccess, NeverWritesFilesOrUsesTheNetwork)
{
    testing::internal::CaptureStderr();
    std::string error;
    const QByteArray target = m_data.filePath("written.htm").toUtf8();
    run("<r/>",
        "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
        "<xsl:template match=\"/\"><xsl:document href=\"" + target + "\">x</xsl:document></xsl:template>"
        "</xsl:stylesheet>",
        &error);
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(target)));

    error.clear();
    const QByteArray page = run("<r/>", textStylesheet("<xsl:value-of select=\"document('http://127.0.0.1:9/x.xml')\"/>"),
                                &error);
    EXPECT_EQ(page, "");
    testing::internal::GetCapturedStderr();
}

TEST(TransformSession, ReusedDocumentsGiveTheSameOutput)
{
    const QByteArray listing = makeListing({{"", vistrel::test::numberedLinks(3)}});
    // Counts the white-space text nodes that the listing's line breaks leave.
    const QByteArray countsSpace = textStylesheet("<xsl:value-of select=\"count(//text())\"/>");
    // Strips them, which changes the source tree it runs on.
    const QByteArray strips =
        textStylesheet("<xsl:value-of select=\"count(//text())\"/>", "<xsl:strip-space elements=\"*\"/>");

    TransformSettings settings;
    const QByteArray fresh = DoTransform(listing, countsSpace, {}, settings);
    const QByteArray freshStripped = DoTransform(listing, strips, {}, settings);
    ASSERT_NE(fresh, freshStripped);

    TransformSession session(settings);
    const QByteArray copy = QByteArray(listing.constData(), listing.size()); // same text, other buffer
    EXPECT_EQ(session.DoTransform(listing, countsSpace, {}), fresh);
    EXPECT_EQ(session.DoTransform(listing, strips, {}), freshStripped);
    EXPECT_EQ(session.DoTransform(copy, countsSpace, {}), fresh);
    EXPECT_EQ(session.DoTransform(listing, strips, {}), freshStripped);

    // Text that only points at the caller's memory is not recognised by its
    // address once the caller has written something else there.
    QByteArray buffer = makeListing({{"", vistrel::test::numberedLinks(1)}});
    const QByteArray firstRun = session.DoTransform(QByteArray::fromRawData(buffer.constData(), buffer.size()),
                                                    countsSpace, {});
    const QByteArray other = makeListing({{"", vistrel::test::numberedLinks(1, "Zzzz")}});
    ASSERT_EQ(other.size(), buffer.size());
    std::memcpy(buffer.data(), other.constData(), size_t(other.size()));
    const QByteArray showsNames = textStylesheet("<xsl:value-of select=\"//Link/@DESCRIPTION\"/>");
    EXPECT_EQ(session.DoTransform(QByteArray::fromRawData(buffer.constData(), buffer.size()), showsNames, {}), "Zzzz1");
    EXPECT_FALSE(firstRun.isEmpty());

    // A failure is remembered as the same failure.
    EXPECT_THROW(session.DoTransform("<broken", countsSpace, {}), TransformError);
    EXPECT_THROW(session.DoTransform("<broken", countsSpace, {}), TransformError);
}
