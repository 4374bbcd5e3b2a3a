#include "support/TestHttpServer.h"

#include "capture/BrowserLocator.h"
#include "capture/BrowserSandbox.h"
#include "capture/ChromiumThumbnailer.h"
#include "capture/PipeThumbnailer.h"
#include "capture/ProcessSweep.h"
#include "platform/PrivateTempFolder.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <gtest/gtest.h>

using namespace vistrel::capture;
using vistrel::test::TestHttpServer;

namespace {

ThumbnailRequest request(const QString &url, int milliseconds = 20000)
{
    ThumbnailRequest r;
    r.url = url.toStdString();
    r.title = "Title";
    r.timeout = std::chrono::milliseconds(milliseconds);
    return r;
}

bool emptyFolder(const vistrel::platform::PrivateTempFolder &temp)
{
    return QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

const QByteArray kColouredPage = "<html><head><title>Coloured</title></head><body style='margin:0;background:#fff'>"
                                 "<div style='height:300px;background:#c02020'></div>"
                                 "<h1 style='font-size:80px'>Hello</h1><p>Some text of the page</p>"
                                 "<script>setTimeout(() => document.body.style.background = '#2020c0', 500)</script>"
                                 "</body></html>";

// Mean difference of the colour channels, 0 to 255.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

class PipeThumbnailerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        browser = findBrowser();
        if (browser.isEmpty())
            GTEST_SKIP() << "no browser installed";
        site.on("/", TestHttpServer::page(kColouredPage));
    }
    QString browser;
    TestHttpServer site;
    vistrel::platform::PrivateTempFolder temp;
};

} // namespace

TEST(BrowserSandbox, SandboxedWheneverItCanWork)
{
    EXPECT_TRUE(sandboxCanWork(1000, true));
    EXPECT_FALSE(sandboxCanWork(0, true));
    EXPECT_FALSE(sandboxCanWork(1000, false));
    // A user whose sandbox can work gets it in both ways of driving the browser.
    const bool can = sandboxCanWork(1000, true);
    EXPECT_FALSE(PipeThumbnailer::arguments("/p", can).contains("--no-sandbox"));
    EXPECT_FALSE(ChromiumThumbnailer::arguments("/p", "/s.png", "http://a/", {}, can).contains("--no-sandbox"));
    EXPECT_TRUE(PipeThumbnailer::arguments("/p", sandboxCanWork(0, true)).contains("--no-sandbox"));
    EXPECT_TRUE(PipeThumbnailer::arguments("/p", false).contains("--remote-debugging-pipe"));
}

TEST_F(PipeThumbnailerTest, OneBrowserPicturesSeveralPagesLikeABrowserStartedForEach)
{
    ChromiumThumbnailer oneShot(browser, temp);
    const auto expected = oneShot.render(request(site.url("/")));
    ASSERT_TRUE(expected);

    // A page that answers late is awaited; the budget counts from its arrival.
    auto slow = TestHttpServer::page(kColouredPage);
    slow.delayMilliseconds = 1500;
    site.on("/slow", slow);
    {
        PipeThumbnailer kept(browser, temp);
        for (int n = 0; n < 3; ++n) {
            const auto picture = kept.render(request(site.url(n == 1 ? "/slow" : "/")));
            ASSERT_TRUE(picture) << n;
            EXPECT_EQ(picture->size(), QSize(kThumbnailSize, kThumbnailSize));
            // Text may be smoothed a little differently; the page is the same.
            EXPECT_LT(meanDifference(*picture, *expected), 2.0) << n;
            // The script's colour change came within the virtual-time budget.
            EXPECT_GT(qBlue(picture->pixel(60, 110)), 150);
        }
        EXPECT_EQ(kept.browserStarts(), 1);
        EXPECT_GT(kept.peakResidentBytes(), 0);
        EXPECT_TRUE(kept.running());
    }
    EXPECT_TRUE(emptyFolder(temp));
}

TEST_F(PipeThumbnailerTest, EveryFaultCostsOnePictureAndTheBrowserTheNextPageWorks)
{
    site.on("/alert", TestHttpServer::page("<html><body><script>alert('hi')</script>text</body></html>"));
    site.on("/confirm", TestHttpServer::page("<html><body><script>confirm('sure?')</script></body></html>"));
    site.on("/popup", TestHttpServer::page("<html><body><script>window.open('/')</script>text</body></html>"));
    site.on("/download", TestHttpServer::page("binary", "application/octet-stream"));
    TestHttpServer::Reply never;
    never.silent = true;
    site.on("/never", never);
    site.on("/stalls", TestHttpServer::page("<html><body><img src='/never'>text</body></html>"));

    PipeThumbnailer kept(browser, temp);
    kept.setCommandTimeout(1500);
    ASSERT_TRUE(kept.render(request(site.url("/"))));

    // Each fault: no picture, the browser's whole group gone, a new one for the next page.
    const auto faultThenRecovery = [&](const char *what, const std::function<std::optional<QImage>()> &fault) {
        const pid_t before = kept.browserGroup();
        const int starts = kept.browserStarts();
        EXPECT_FALSE(fault()) << what;
        EXPECT_FALSE(kept.running()) << what;
        EXPECT_TRUE(livingGroupMembers(before).empty()) << what;
        EXPECT_TRUE(kept.render(request(site.url("/")))) << what;
        EXPECT_EQ(kept.browserStarts(), starts + 1) << what;
    };
    for (const char *page : {"/alert", "/confirm", "/popup", "/download"})
        faultThenRecovery(page, [&] { return kept.render(request(site.url(page))); });
    faultThenRecovery("a page that never finishes", [&] {
        QElapsedTimer took;
        took.start();
        const auto picture = kept.render(request(site.url("/stalls"), 2500));
        EXPECT_LT(took.elapsed(), 6000);
        return picture;
    });
    faultThenRecovery("the watchdog's time-out", [&] {
        std::atomic<bool> abandon{false};
        QTimer::singleShot(800, [&] { abandon = true; });
        auto r = request(site.url("/stalls"));
        r.abandon = &abandon;
        return kept.render(r);
    });
    faultThenRecovery("a crash", [&] {
        QTimer::singleShot(800, [&] { ::kill(kept.browserGroup(), SIGKILL); });
        return kept.render(request(site.url("/stalls")));
    });
    faultThenRecovery("a browser that stops answering", [&] {
        ::kill(-kept.browserGroup(), SIGSTOP);
        return kept.render(request(site.url("/")));
    });
    EXPECT_FALSE(kept.usingCards());
}

TEST_F(PipeThumbnailerTest, ABrowserThatCannotStartTwiceGivesWayToCardsWithOneLine)
{
    QTemporaryDir dir;
    const QString fake = dir.filePath("browser");
    vistrel::test::writeAll(fake, "#!/bin/sh\nexit 1\n");
    QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QStringList lines;
    PipeThumbnailer kept(fake, temp, false, [&](const QString &line) { lines << line; });
    for (int n = 0; n < 3; ++n) {
        const auto picture = kept.render(request(site.url("/")));
        ASSERT_TRUE(picture) << "the card stands in";
        EXPECT_EQ(picture->size(), QSize(kThumbnailSize, kThumbnailSize));
    }
    EXPECT_TRUE(kept.usingCards());
    EXPECT_EQ(kept.browserStarts(), 2);
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.first().contains("cards")) << lines.first().toStdString();
    EXPECT_TRUE(emptyFolder(temp));
}

TEST_F(PipeThumbnailerTest, ACertificatePinTheBrowserWasNotStartedWithStartsItAgainWithAllPinsSoFar)
{
    const std::string first = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    const std::string second = "AAAAQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    const QStringList args = PipeThumbnailer::arguments("/p", false, {first, second, "not a pin"});
    EXPECT_EQ(args.filter("certificate"),
              QStringList{QString::fromStdString("--ignore-certificate-errors-spki-list=" + first + "," + second)});
    EXPECT_TRUE(PipeThumbnailer::arguments("/p", false).filter("certificate").isEmpty());

    PipeThumbnailer kept(browser, temp);
    const auto render = [&](const std::string &pin) {
        auto r = request(site.url("/"));
        r.spkiPin = pin;
        const auto picture = kept.render(r);
        EXPECT_TRUE(picture);
        const QByteArray cmdline = vistrel::test::readAll(QStringLiteral("/proc/%1/cmdline").arg(kept.browserGroup()));
        return QString::fromUtf8(cmdline).split(QChar(0)).filter("certificate");
    };
    EXPECT_TRUE(render({}).isEmpty());
    EXPECT_EQ(render(first).size(), 1);
    EXPECT_EQ(kept.browserStarts(), 2);
    render({});
    render(first);
    EXPECT_EQ(kept.browserStarts(), 2) << "a pin the browser has, or none, keeps it";
    const QStringList both = render(second);
    EXPECT_EQ(kept.browserStarts(), 3);
    ASSERT_EQ(both.size(), 1);
    EXPECT_TRUE(both.first().contains(QString::fromStdString(first)) && both.first().contains(QString::fromStdString(second)));
}

TEST_F(PipeThumbnailerTest, ACancelEndsTheSlowPageInHandPromptlyAndABrowserLostBetweenPagesCostsNoPicture)
{
    auto slow = TestHttpServer::page(kColouredPage);
    slow.delayMilliseconds = 30000;
    site.on("/slow", slow);
    pid_t group = 0;
    {
        PipeThumbnailer kept(browser, temp);
        ASSERT_TRUE(kept.render(request(site.url("/"))));
        ::kill(-kept.browserGroup(), SIGKILL);
        const QDeadlineTimer dying(5000);
        while (!livingGroupMembers(kept.browserGroup()).empty() && !dying.hasExpired())
            QThread::msleep(50);
        EXPECT_TRUE(kept.render(request(site.url("/"))));
        EXPECT_EQ(kept.browserStarts(), 2);

        // Only the site's time-out bounds how long the site may take to answer.
        auto late = TestHttpServer::page(kColouredPage);
        late.delayMilliseconds = 1500;
        site.on("/late", late);
        kept.setCommandTimeout(1000);
        EXPECT_TRUE(kept.render(request(site.url("/late")))) << kept.lastFault().toStdString();
        kept.setCommandTimeout(PipeThumbnailer::kCommandTimeoutMs);

        // The flag is set by an event served while the page is awaited, as a click would be.
        bool cancelled = false;
        QTimer::singleShot(700, [&] { cancelled = true; });
        auto r = request(site.url("/slow"), 60000);
        r.cancelled = [&] { return cancelled; };
        group = kept.browserGroup();
        QElapsedTimer took;
        took.start();
        EXPECT_FALSE(kept.render(r));
        EXPECT_LT(took.elapsed(), 3000);
        EXPECT_EQ(kept.lastFault(), "the refresh was cancelled");
        EXPECT_FALSE(kept.running());
        EXPECT_TRUE(livingGroupMembers(group).empty());
    }
    EXPECT_TRUE(emptyFolder(temp));
}
