#include "support/TestCertificates.h"
#include "support/TestHttpServer.h"

#include "capture/CaptionedPicture.h"
#include "capture/CaptureCall.h"
#include "capture/PageImageName.h"
#include "capture/PreviewImage.h"
#include "capture/ProbeCodes.h"
#include "capture/ThumbnailSource.h"
#include "capture/UrlCacheLookup.h"
#include "support/TestContext.h"

#include <QDir>
#include <QFile>
#include <QSslSocket>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace vistrel::capture;
using vistrel::test::TestCertificates;
using vistrel::test::TestHttpServer;

namespace {

// Pictures every page in one colour per call (a striped one unless told otherwise).
class FakeThumbnails : public ThumbnailSource
{
public:
    enum class Mode { Striped, Blank, Fail };
    Mode mode = Mode::Striped;
    QStringList urls;
    std::vector<std::string> pins;

    std::optional<QImage> render(const ThumbnailRequest &request) override
    {
        urls << QString::fromStdString(request.url);
        pins.push_back(request.spkiPin);
        if (mode == Mode::Fail)
            return std::nullopt;
        QImage image(kThumbnailSize, kThumbnailSize, QImage::Format_RGB888);
        image.fill(QColor(10, 120, 200));
        if (mode == Mode::Striped) {
            for (int y = 0; y < image.height(); y += 10)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, qRgb(250, 250, 0));
        }
        return image;
    }
};

class Visits : public UrlCacheLookup
{
public:
    std::string known;
    std::optional<UrlCacheEntry> lookup(const std::string &url) const override
    {
        if (url == known)
            return UrlCacheEntry{12, {}, "From history"};
        return std::nullopt;
    }
};

class Capture : public ::testing::Test
{
protected:
    Capture()
    {
        t.settings.fetchTimeoutValue = 5;
        t.settings.newOnlyValue = false;
        t.settings.showCodeValue = false;
        t.flags.evenFileName = 5;
        services.thumbnails = &thumbnails;
        services.preview = &preview;
        services.urlCache = &visits;
        server.on("/", TestHttpServer::page("<html><title>Home &amp; \"Garden\"</title></html>"));
    }

    QString favourite(const QString &name, const QByteArray &url)
    {
        const QString path = t.paths.favoritesFolder + "/" + name;
        vistrel::test::writeAll(path, "[InternetShortcut]\r\nURL=" + url + "\r\nIconIndex=0\r\n");
        return path;
    }

    bool capture(const QString &name, bool history = false)
    {
        link = "<Link \n\r";
        return runCaptureWith(t.context, services, t.paths.favoritesFolder, name, history, link);
    }

    std::vector<std::string> pieces() const
    {
        std::vector<std::string> out;
        std::size_t at = 0;
        while (true) {
            const std::size_t end = link.find("\n\r", at);
            if (end == std::string::npos)
                break;
            out.push_back(link.substr(at, end - at));
            at = end + 2;
        }
        return out;
    }

    bool hasPiece(const std::string &prefix) const
    {
        for (const auto &p : pieces())
            if (p.rfind(prefix, 0) == 0)
                return true;
        return false;
    }

    std::string piece(const std::string &prefix) const
    {
        for (const auto &p : pieces())
            if (p.rfind(prefix, 0) == 0)
                return p;
        return {};
    }

    QString imageFile(const QString &name, int generation, bool history = false) const
    {
        return pageImageName(t.paths.dataFolder, name, generation, history).filePath(t.paths.dataFolder);
    }

    vistrel::test::TestContext t;
    TestHttpServer server;
    FakeThumbnails thumbnails;
    PreviewImage preview;
    Visits visits;
    CaptureServices services;
    std::string link;
};

QRgb pixelOf(const QString &file, int x, int y)
{
    return QImage(file).pixel(x, y) | 0xFF000000;
}

} // namespace

TEST_F(Capture, ReachablePageGetsEveryPieceAndAThumbnail)
{
    const QByteArray url = server.url("/").toUtf8();
    favourite("Home.url", url);
    visits.known = url.toStdString();
    EXPECT_FALSE(capture("Home.url"));
    EXPECT_FALSE(t.flags.lastCaptureTimedOut);
    EXPECT_FALSE(t.flags.captureInProgress);

    const auto p = pieces();
    // "<Link ", PRECODE, 11 shortcut properties, 17 site properties, VISITS, CODE, GIVEN_TITLE, IMAGE.
    ASSERT_EQ(p.size(), 1u + 1 + 11 + 17 + 1 + 1 + 1 + 1) << link;
    EXPECT_EQ(p[1], "PRECODE = \"200\" ");
    EXPECT_EQ(p[2], "PID_IS_URL=\"" + url.toStdString() + "\"");
    EXPECT_EQ(p[3], "PID_IS_NAME=\"\"");
    EXPECT_EQ(p[7], "PID_IS_ICONINDEX=\"0\"");
    EXPECT_EQ(p[13], "PID_INTSITE_WHATSNEW=\"\"");
    EXPECT_EQ(p[17], "PID_INTSITE_VISITCOUNT=\"12\"");
    EXPECT_EQ(p[27], "PID_INTSITE_TITLE=\"From&#32;history\"");
    EXPECT_EQ(p[30], "VISITS=\"12\"");
    EXPECT_EQ(p[31], "CODE = \"200\" ");
    EXPECT_EQ(p[32], "GIVEN_TITLE = \"Home%32&amp;amp;%32%34Garden%34\" ");
    const std::string image = pageImageName(t.paths.dataFolder, "Home.url", 5, false).relative;
    EXPECT_EQ(p[33], "IMAGE =\"" + image + "\" ");

    const QString file = imageFile("Home.url", 5);
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(pixelOf(file, 60, 5), qRgb(10, 120, 200));
    EXPECT_EQ(thumbnails.urls, QStringList{QString::fromUtf8(url)});
    EXPECT_EQ(preview.image().pixel(60, 5) | 0xFF000000, qRgb(10, 120, 200));
    EXPECT_TRUE(t.messages.shown.isEmpty()) << t.messages.texts().join(", ").toStdString();
    EXPECT_TRUE(t.trace.lines().contains("force directories = " + t.paths.imagesFolder()));
    EXPECT_TRUE(t.trace.lines().contains("picture_filename = " + QString::fromStdString(image)));
}

TEST_F(Capture, UnreachableSitesGetTheErrorPictureOrKeepTheOldOne)
{
    favourite("Gone.url", server.url("/gone").toUtf8());
    capture("Gone.url");
    EXPECT_EQ(piece("PRECODE"), "PRECODE = \"404\" ");
    EXPECT_EQ(piece("CODE"), "CODE = \"404\" ");
    EXPECT_FALSE(hasPiece("PID_INTSITE_"));
    EXPECT_TRUE(hasPiece("PID_IS_COMMENT"));
    EXPECT_TRUE(hasPiece("VISITS=\"0\""));
    EXPECT_FALSE(hasPiece("GIVEN_TITLE"));
    EXPECT_TRUE(hasPiece("IMAGE =\""));
    EXPECT_EQ(pixelOf(imageFile("Gone.url", 5), 0, 0), kCaptionFill);
    EXPECT_TRUE(thumbnails.urls.isEmpty());

    // Error display off: the previous generation's picture is carried forward.
    QFile::remove(imageFile("Gone.url", 5));
    QImage old(122, 122, QImage::Format_RGB888);
    old.fill(QColor(1, 2, 3));
    old.save(imageFile("Gone.url", 4), "BMP");
    capture("Gone.url");
    EXPECT_EQ(vistrel::test::readAll(imageFile("Gone.url", 5)), vistrel::test::readAll(imageFile("Gone.url", 4)));
    EXPECT_TRUE(hasPiece("IMAGE =\""));

    // Error display on: the error picture replaces it.
    t.settings.showCodeValue = true;
    capture("Gone.url");
    EXPECT_EQ(pixelOf(imageFile("Gone.url", 5), 0, 0), kCaptionFill);
}

TEST_F(Capture, SchemesThatAreNotProbed)
{
    favourite("Secure.url", "https://example.com/");
    capture("Secure.url");
    EXPECT_EQ(piece("PRECODE"), "PRECODE = \"-98\" ");
    EXPECT_EQ(piece("CODE"), "CODE = \"-98\" ");
    EXPECT_FALSE(hasPiece("PID_INTSITE_"));
    EXPECT_EQ(pixelOf(imageFile("Secure.url", 5), 0, 0), kSecureFill);

    favourite("Own.url", "http://localhost/viewer.htm");
    capture("Own.url");
    EXPECT_EQ(piece("CODE"), "CODE = \"-96\" ");
    EXPECT_FALSE(hasPiece("GIVEN_TITLE"));

    // ftp is reachable: its site properties are written and a picture is made.
    favourite("Files.url", "ftp://example.com/file.zip");
    capture("Files.url");
    EXPECT_EQ(piece("CODE"), "CODE = \"-97\" ");
    EXPECT_TRUE(hasPiece("PID_INTSITE_TRACKING"));
    EXPECT_TRUE(hasPiece("IMAGE =\""));
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(Capture, GetOnlyIfANewSiteKeepsOrCarriesForward)
{
    t.settings.newOnlyValue = true;
    favourite("Home.url", server.url("/").toUtf8());
    QImage kept(122, 122, QImage::Format_RGB888);
    kept.fill(QColor(7, 7, 7));
    QDir().mkpath(t.paths.imagesFolder());
    kept.save(imageFile("Home.url", 5), "BMP");
    const QByteArray before = vistrel::test::readAll(imageFile("Home.url", 5));
    capture("Home.url");
    EXPECT_EQ(vistrel::test::readAll(imageFile("Home.url", 5)), before);
    EXPECT_TRUE(hasPiece("CODE = \"200\" "));
    EXPECT_TRUE(hasPiece("IMAGE =\""));
    EXPECT_TRUE(thumbnails.urls.isEmpty());

    // Only the previous generation's picture: copied forward, no new thumbnail.
    QFile::rename(imageFile("Home.url", 5), imageFile("Home.url", 4));
    capture("Home.url");
    EXPECT_EQ(vistrel::test::readAll(imageFile("Home.url", 5)), before);
    EXPECT_TRUE(thumbnails.urls.isEmpty());

    // A new favourite gets its picture.
    favourite("New.url", server.url("/").toUtf8());
    capture("New.url");
    EXPECT_EQ(thumbnails.urls.size(), 1);
    EXPECT_TRUE(QFile::exists(imageFile("New.url", 5)));
}

TEST_F(Capture, BlankOrFailedThumbnails)
{
    favourite("Home.url", server.url("/").toUtf8());
    thumbnails.mode = FakeThumbnails::Mode::Blank;
    capture("Home.url");
    EXPECT_EQ(pixelOf(imageFile("Home.url", 5), 0, 0), kCaptionFill);
    EXPECT_TRUE(hasPiece("GIVEN_TITLE"));
    EXPECT_TRUE(t.messages.shown.isEmpty());
    const QImage scripted = captionedPicture(kCodeScriptedSite);
    EXPECT_EQ(QImage(imageFile("Home.url", 5)).convertToFormat(QImage::Format_RGB888), scripted);

    // A failed render is noted on the display and in files.log, never in a box
    // that would hold an unattended refresh.
    thumbnails.mode = FakeThumbnails::Mode::Fail;
    capture("Home.url");
    EXPECT_TRUE(t.messages.shown.isEmpty());
    EXPECT_EQ(t.display.lines(), QStringList{"Capture of Home.url: problem"});
    EXPECT_TRUE(vistrel::test::readAll(t.paths.filesLogPath()).contains("Capture of Home.url: problem"));
    EXPECT_EQ(t.flags.captureProblems, 1);
    EXPECT_EQ(QImage(imageFile("Home.url", 5)).convertToFormat(QImage::Format_RGB888), captionedPicture(kCodeFailed));
    EXPECT_TRUE(hasPiece("IMAGE =\""));
}

TEST_F(Capture, DownloadsGetTheirFileTypeIcon)
{
    server.on("/report.pdf", TestHttpServer::status(200, "Content-Type: application/pdf\r\n", "%PDF"));
    favourite("Report.url", server.url("/report.pdf").toUtf8());
    capture("Report.url");
    EXPECT_TRUE(thumbnails.urls.isEmpty());
    EXPECT_FALSE(hasPiece("GIVEN_TITLE"));
    const QString file = imageFile("Report.url", 5);
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(pixelOf(file, 0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(pixelOf(file, 121, 121), qRgb(255, 255, 255));
    EXPECT_NE(pixelOf(file, 61, 61), qRgb(255, 255, 255));
    EXPECT_TRUE(t.trace.lines().contains("picture_filenameEZ = "
                                         + QString::fromStdString(pageImageName(t.paths.dataFolder, "Report.url", 5, false).relative)));
}

TEST_F(Capture, FollowedRedirectionUsesAPrivateTemporaryShortcut)
{
    server.on("/old", TestHttpServer::redirect(301, "/new"));
    server.on("/new", TestHttpServer::page("<title>New</title>"));
    favourite("Moved.url", server.url("/old").toUtf8());
    capture("Moved.url");
    EXPECT_EQ(piece("PRECODE"), "PRECODE = \"301\" ");
    EXPECT_EQ(piece("CODE"), "CODE = \"200\" ");
    EXPECT_EQ(piece("GIVEN_TITLE"), "GIVEN_TITLE = \"New\" ");
    EXPECT_EQ(thumbnails.urls, QStringList{server.url("/new")});
    // Nothing left behind, neither among the favourites nor in the temporary folder.
    EXPECT_EQ(QDir(t.paths.favoritesFolder).entryList(QDir::Files), QStringList{"Moved.url"});
    EXPECT_TRUE(QDir(t.tempFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(Capture, HistoryEntriesGoToTheirOwnFolder)
{
    const QString temp = t.tempFolder.path();
    vistrel::test::writeAll(temp + "p123.URL", "[InternetShortcut]\r\nURL=" + server.url("/").toUtf8() + "\r\n");
    link.clear();
    runCaptureWith(t.context, services, temp.chopped(1), "p123.URL", true, link);
    EXPECT_TRUE(QFile::exists(pageImageName(t.paths.dataFolder, "p123.URL", 5, true).filePath(t.paths.dataFolder)));
    EXPECT_NE(link.find("IMAGE =\"images\\history\\"), std::string::npos);
}

TEST_F(Capture, MissingShortcutEndsQuietlyWithTheMessage)
{
    capture("Nowhere.url");
    EXPECT_TRUE(hasPiece("PRECODE"));
    EXPECT_FALSE(hasPiece("CODE = "));
    EXPECT_EQ(t.display.lines(), QStringList{"Capture of Nowhere.url: error ParseDisplayName 2"});
}

TEST_F(Capture, WatchdogGivesUpWaitingButASlowSiteStillGetsItsCodeAndPicture)
{
    // Every request answers within the site time-out, but the capture as a
    // whole takes longer than twice that.
    t.settings.fetchTimeoutValue = 1;
    for (int n = 0; n < 3; ++n) {
        auto hop = TestHttpServer::redirect(302, "/slow" + QByteArray::number(n + 1));
        hop.delayMilliseconds = 700;
        server.on("/slow" + QByteArray::number(n), hop);
    }
    auto page = TestHttpServer::page("<title>Slow</title>");
    page.delayMilliseconds = 700;
    server.on("/slow3", page);
    favourite("Slow.url", server.url("/slow0").toUtf8());
    EXPECT_TRUE(capture("Slow.url"));
    EXPECT_TRUE(t.flags.lastCaptureTimedOut);
    EXPECT_FALSE(t.flags.captureInProgress);
    EXPECT_EQ(piece("CODE"), "CODE = \"200\" ");
    EXPECT_EQ(piece("GIVEN_TITLE"), "GIVEN_TITLE = \"Slow\" ");
    EXPECT_EQ(thumbnails.urls, QStringList{server.url("/slow3")});
    EXPECT_EQ(pixelOf(imageFile("Slow.url", 5), 0, 0), qRgb(250, 250, 0));
    EXPECT_TRUE(t.messages.shown.isEmpty());

    // The next favourite is captured normally.
    t.settings.fetchTimeoutValue = 5;
    favourite("Home.url", server.url("/").toUtf8());
    EXPECT_FALSE(capture("Home.url"));
    EXPECT_EQ(piece("CODE"), "CODE = \"200\" ");
}

TEST_F(Capture, SecureSitesAreCapturedOnlyWhenAsked)
{
    ASSERT_TRUE(QSslSocket::supportsSsl());
    const TestCertificates &certificates = TestCertificates::instance();
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    vistrel::test::TrustTestCa trust;
    TestHttpServer secure(certificates.server(TestCertificates::Good));
    secure.on("/", TestHttpServer::page("<title>Secure Caf\xc3\xa9</title>", "text/html; charset=utf-8"));
    const QByteArray url = secure.url("/").toUtf8();
    favourite("Secure Site.url", url);
    visits.known = url.toStdString();

    // Off, as always: the padlock, nothing asked, nothing rendered.
    capture("Secure Site.url");
    const std::string off = link;
    // Byte for byte what the program wrote before secure sites could be asked.
    EXPECT_EQ(off, "<Link \n\rPRECODE = \"-98\" \n\rPID_IS_URL=\"" + url.toStdString()
                       + "\"\n\rPID_IS_NAME=\"\"\n\rPID_IS_WORKINGDIR=\"\"\n\rPID_IS_HOTKEY=\"\"\n\rPID_IS_SHOWCMD=\"\""
                         "\n\rPID_IS_ICONINDEX=\"0\"\n\rPID_IS_ICONFILE=\"\"\n\rPID_IS_WHATSNEW=\"\"\n\rPID_IS_AUTHOR=\"\""
                         "\n\rPID_IS_DESCRIPTION=\"\"\n\rPID_IS_COMMENT=\"\"\n\rVISITS=\"12\"\n\rCODE = \"-98\" "
                         "\n\rIMAGE =\"images\\202020355365637572652053697465.BMP\" \n\r");
    EXPECT_EQ(QImage(imageFile("Secure Site.url", 5)).convertToFormat(QImage::Format_RGB888), captionedPicture(kCodeSecure));
    EXPECT_TRUE(secure.requests().isEmpty());
    EXPECT_TRUE(thumbnails.urls.isEmpty());

    // On: probed, titled and pictured like a plain site, the browser pinned
    // to the certificate the probe verified.
    t.settings.secureValue = true;
    capture("Secure Site.url");
    EXPECT_NE(link, off);
    EXPECT_EQ(piece("PRECODE"), "PRECODE = \"200\" ");
    EXPECT_EQ(piece("CODE"), "CODE = \"200\" ");
    EXPECT_TRUE(hasPiece("PID_INTSITE_VISITCOUNT=\"12\""));
    EXPECT_EQ(piece("GIVEN_TITLE"), "GIVEN_TITLE = \"Secure%32Caf%233\" ");
    EXPECT_EQ(pixelOf(imageFile("Secure Site.url", 5), 60, 5), qRgb(10, 120, 200));
    ASSERT_EQ(thumbnails.pins.size(), 1u);
    EXPECT_EQ(thumbnails.pins[0], certificates.opensslPin(TestCertificates::Good));

    // A plain page gives the browser no pin.
    favourite("Plain.url", server.url("/").toUtf8());
    capture("Plain.url");
    ASSERT_EQ(thumbnails.pins.size(), 2u);
    EXPECT_EQ(thumbnails.pins[1], "");
    t.settings.secureValue = false;
}

TEST_F(Capture, SecureSitesThatCannotBeTrustedGetTheirOwnPicture)
{
    ASSERT_TRUE(QSslSocket::supportsSsl());
    const TestCertificates &certificates = TestCertificates::instance();
    ASSERT_TRUE(certificates.ok()) << certificates.error().toStdString();
    vistrel::test::TrustTestCa trust;
    t.settings.secureValue = true;
    t.settings.showCodeValue = true;
    // Expired, and one whose subject names the host while its alternative
    // names do not: the browser, pinned to the key, would take either.
    for (auto kind : {TestCertificates::Expired, TestCertificates::CnOnlyMatches}) {
        TestHttpServer untrusted(certificates.server(kind));
        untrusted.on("/", TestHttpServer::page("<title>Untrusted</title>"));
        favourite("Untrusted.url", untrusted.url("/").toUtf8());
        capture("Untrusted.url");
        EXPECT_EQ(piece("PRECODE"), "PRECODE = \"-95\" ") << kind;
        EXPECT_EQ(piece("CODE"), "CODE = \"-95\" ") << kind;
        EXPECT_FALSE(hasPiece("GIVEN_TITLE")) << kind;
        EXPECT_EQ(QImage(imageFile("Untrusted.url", 5)).convertToFormat(QImage::Format_RGB888),
                  captionedPicture(kCodeCertificate))
            << kind;
    }

    // An http site asked for https.
    favourite("Plain On Tls.url", "https://127.0.0.1:" + QByteArray::number(server.port()) + "/");
    capture("Plain On Tls.url");
    EXPECT_EQ(piece("CODE"), "CODE = \"-94\" ");
    EXPECT_EQ(QImage(imageFile("Plain On Tls.url", 5)).convertToFormat(QImage::Format_RGB888),
              captionedPicture(kCodeSecureFailed));
    EXPECT_TRUE(thumbnails.urls.isEmpty());
    t.settings.secureValue = false;
}
