#include "support/TestHttpServer.h"

#include "capture/BlankTest.h"
#include "capture/BrowserLocator.h"
#include "capture/CaptureCall.h"
#include "capture/CardThumbnailer.h"
#include "capture/ChromiumThumbnailer.h"
#include "capture/FileTypeIcon.h"
#include "capture/PageImageName.h"
#include "capture/ProcessSweep.h"
#include "capture/ThumbnailSource.h"
#include "support/TestContext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace vistrel::capture;
using vistrel::test::TestHttpServer;

namespace {

// A stand-in browser: a shell script that records its process ids and does
// what the test asks of it.
class FakeBrowser
{
public:
    explicit FakeBrowser(const QByteArray &body)
    {
        m_script = m_dir.filePath("browser");
        vistrel::test::writeAll(m_script, "#!/bin/sh\n"
                                          "for a in \"$@\"; do case \"$a\" in --screenshot=*) out=\"${a#--screenshot=}\";; esac; done\n"
                                          "echo $$ >> '" + pidFile().toUtf8() + "'\n" + body);
        QFile::setPermissions(m_script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QImage shot(1024, 768, QImage::Format_RGB32);
        shot.fill(Qt::white);
        for (int y = 0; y < 768; y += 50)
            for (int x = 0; x < 1024; ++x)
                shot.setPixel(x, y, qRgb(200, 0, 0));
        shot.save(m_dir.filePath("shot.png"));
    }
    QString path() const { return m_script; }
    QString pidFile() const { return m_dir.filePath("pids"); }
    QString shot() const { return m_dir.filePath("shot.png"); }
    QList<pid_t> pids() const
    {
        QList<pid_t> out;
        for (const QByteArray &line : vistrel::test::readAll(pidFile()).split('\n'))
            if (!line.trimmed().isEmpty())
                out << pid_t(line.trimmed().toInt());
        return out;
    }

private:
    QTemporaryDir m_dir;
    QString m_script;
};

bool alive(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text[close + 2] != 'Z';
}

ThumbnailRequest request(const std::string &url, int milliseconds)
{
    ThumbnailRequest r;
    r.url = url;
    r.title = "Title";
    r.timeout = std::chrono::milliseconds(milliseconds);
    return r;
}

} // namespace

TEST(Thumbnail, SquareFromTheTopScaledToSize)
{
    QImage shot(1024, 768, QImage::Format_RGB32);
    shot.fill(Qt::blue);
    // Right of the square is cut off.
    for (int y = 0; y < 768; ++y)
        for (int x = 768; x < 1024; ++x)
            shot.setPixel(x, y, qRgb(255, 0, 0));
    const QImage thumb = squareThumbnail(shot);
    EXPECT_EQ(thumb.size(), QSize(122, 122));
    EXPECT_EQ(thumb.format(), QImage::Format_RGB888);
    EXPECT_EQ(thumb.pixel(121, 60) | 0xFF000000, qRgb(0, 0, 255));
}

TEST(Thumbnail, OnlyWebAddressesAreRendered)
{
    EXPECT_EQ(renderableUrl("http://example.com/"), "http://example.com/");
    EXPECT_EQ(renderableUrl("HTTPS://example.com/"), "HTTPS://example.com/");
    EXPECT_EQ(renderableUrl(" www.example.com "), "http://www.example.com");
    EXPECT_EQ(renderableUrl("example.com:8080/x"), "http://example.com:8080/x");
    for (const char *bad : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x", "--renderer-cmd-prefix=x",
                            "/etc/passwd", "chrome://settings", "", "http://a\nb"})
        EXPECT_EQ(renderableUrl(bad), "") << bad;
}

TEST(Thumbnail, CardShowsHostAndTitle)
{
    EXPECT_EQ(hostOf("http://user@Example.com:81/x?y"), "Example.com");
    EXPECT_EQ(hostOf("www.example.com/a"), "www.example.com");
    CardThumbnailer cards;
    const auto card = cards.render(request("http://example.com/", 1000));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->size(), QSize(122, 122));
    EXPECT_FALSE(isBlankThumbnail({*card}));
}

TEST(Thumbnail, FileTypeIconHasItsSize)
{
    for (const char *pattern : {"*.pdf", "*.exe", "*.com/", "*.nothing-known"}) {
        const QImage icon = fileTypeIcon(QString::fromLatin1(pattern));
        EXPECT_EQ(icon.size(), QSize(32, 32)) << pattern;
    }
    EXPECT_EQ(genericFileIcon().size(), QSize(32, 32));
}

TEST(Thumbnail, BrowserComesFromTheEnvironmentFirst)
{
    const QByteArray saved = qgetenv("VISTREL_BROWSER");
    const bool wasSet = qEnvironmentVariableIsSet("VISTREL_BROWSER");
    FakeBrowser fake("exit 0\n");
    qputenv("VISTREL_BROWSER", fake.path().toUtf8());
    EXPECT_EQ(findBrowser(), fake.path());
    qputenv("VISTREL_BROWSER", "/nonexistent/browser");
    EXPECT_EQ(findBrowser(), "");
    if (wasSet)
        qputenv("VISTREL_BROWSER", saved);
    else
        qunsetenv("VISTREL_BROWSER");
}

TEST(ChromiumThumbnailer, TakesTheScreenshotTheBrowserWrites)
{
    vistrel::platform::PrivateTempFolder temp;
    FakeBrowser fake("cp \"$(dirname \"$0\")/shot.png\" \"$out\"\n");
    ChromiumThumbnailer thumbnailer(fake.path(), temp);
    const auto image = thumbnailer.render(request("http://127.0.0.1:9/", 10000));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(122, 122));
    EXPECT_FALSE(isBlankThumbnail({*image}));
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // Addresses that are not web pages never reach the browser.
    EXPECT_FALSE(thumbnailer.render(request("file:///etc/passwd", 10000)));
    EXPECT_EQ(fake.pids().size(), 1);
}

TEST(ChromiumThumbnailer, OnlyAWellFormedPinReachesTheBrowser)
{
    const std::string pin = "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";
    const QStringList pinned = ChromiumThumbnailer::arguments("/p/", "/p/s.png", "https://127.0.0.1:1/", pin);
    EXPECT_TRUE(pinned.contains(QStringLiteral("--ignore-certificate-errors-spki-list=") + QString::fromStdString(pin)));
    EXPECT_EQ(pinned.last(), "https://127.0.0.1:1/");
    for (const std::string bad : {"", "x", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU", "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hS,FU=",
                                  "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSu --x="}) {
        const QStringList args = ChromiumThumbnailer::arguments("/p/", "/p/s.png", "https://127.0.0.1:1/", bad);
        EXPECT_TRUE(args.filter(QStringLiteral("certificate")).isEmpty()) << bad;
    }
}

TEST(ChromiumThumbnailer, TheBrowserGetsATempFolderShortEnoughForItsSocket)
{
    // A deep TMPDIR, as a sandboxed session or a test HOME gives: the
    // browser's socket path there would be too long and the browser aborts.
    QTemporaryDir outer;
    const QString deep = outer.path() + QStringLiteral("/a-rather-long-folder-name-for-temporary-files/and-one-more-level");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(deep));
    vistrel::platform::PrivateTempFolder temp;
    qputenv("TMPDIR", savedTmp);
    ASSERT_TRUE(temp.isValid());

    FakeBrowser fake("echo \"$TMPDIR\" > \"$(dirname \"$0\")/tmpdir\"\n"
                     "test -d \"$TMPDIR\" && test -w \"$TMPDIR\" && cp \"$(dirname \"$0\")/shot.png\" \"$out\"\n");
    ChromiumThumbnailer thumbnailer(fake.path(), temp);
    EXPECT_TRUE(thumbnailer.render(request("http://127.0.0.1:9/", 10000)));
    const QByteArray used = vistrel::test::readAll(QFileInfo(fake.path()).path() + QStringLiteral("/tmpdir")).trimmed();
    ASSERT_FALSE(used.isEmpty());
    EXPECT_LE(used.size() + qsizetype(sizeof("org.chromium.Chromium.XXXXXX/SingletonSocket")) - 1, 107) << used.constData();
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(used)));
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // A short TMPDIR keeps everything of the browser inside the private folder.
    vistrel::platform::PrivateTempFolder shortTemp;
    if (QFile::encodeName(shortTemp.path()).size() < 40) {
        ChromiumThumbnailer nearby(fake.path(), shortTemp);
        EXPECT_TRUE(nearby.render(request("http://127.0.0.1:9/", 10000)));
        const QByteArray inside = vistrel::test::readAll(QFileInfo(fake.path()).path() + QStringLiteral("/tmpdir")).trimmed();
        EXPECT_TRUE(inside.startsWith(QFile::encodeName(shortTemp.path()))) << inside.constData();
    }
}

TEST(ChromiumThumbnailer, AHangingBrowserIsKilledWithEverythingItStarted)
{
    vistrel::platform::PrivateTempFolder temp;
    // Writes its picture, then hangs with two helpers of its own.
    FakeBrowser fake("cp \"$(dirname \"$0\")/shot.png\" \"$out\"\n"
                     "sleep 300 & echo $! >> \"$(dirname \"$0\")/pids\"\n"
                     "(sleep 300; true) & echo $! >> \"$(dirname \"$0\")/pids\"\n"
                     "sleep 300\n");
    ChromiumThumbnailer thumbnailer(fake.path(), temp);
    EXPECT_FALSE(thumbnailer.render(request("http://127.0.0.1:9/", 700)));
    const auto pids = fake.pids();
    ASSERT_EQ(pids.size(), 3);
    for (pid_t pid : pids)
        EXPECT_FALSE(alive(pid)) << pid;
    EXPECT_TRUE(livingGroupMembers(pids.first()).empty());
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // Abandoned by the watchdog: ends at once, just as clean.
    std::atomic<bool> abandon{true};
    auto r = request("http://127.0.0.1:9/", 60000);
    r.abandon = &abandon;
    EXPECT_FALSE(thumbnailer.render(r));
    for (pid_t pid : fake.pids())
        EXPECT_FALSE(alive(pid)) << pid;
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // The user's cancel, clicked while the browser hangs, ends it long before its time-out.
    bool cancelled = false;
    QTimer::singleShot(300, [&] { cancelled = true; });
    auto c = request("http://127.0.0.1:9/", 60000);
    c.cancelled = [&] { return cancelled; };
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(thumbnailer.render(c));
    EXPECT_LT(took.elapsed(), 5000);
    for (pid_t pid : fake.pids())
        EXPECT_FALSE(alive(pid)) << pid;
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST(ChromiumThumbnailer, ARealPageThroughTheRealBrowser)
{
    const QString browser = findBrowser();
    if (browser.isEmpty())
        GTEST_SKIP() << "no browser installed";
    vistrel::test::TestContext t;
    t.settings.fetchTimeoutValue = 60;
    t.settings.newOnlyValue = false;
    TestHttpServer server;
    server.on("/", TestHttpServer::page("<html><head><title>Coloured</title></head>"
                                        "<body style='margin:0;background:#fff'>"
                                        "<div style='height:300px;background:#c02020'></div>"
                                        "<h1 style='font-size:80px'>Hello</h1></body></html>"));
    vistrel::test::writeAll(t.paths.favoritesFolder + "/Coloured.url",
                            "[InternetShortcut]\r\nURL=" + server.url("/").toUtf8() + "\r\n");
    CaptureServices services; // the real browser
    std::string link;
    EXPECT_FALSE(runCaptureWith(t.context, services, t.paths.favoritesFolder, "Coloured.url", false, link));
    EXPECT_NE(link.find("GIVEN_TITLE = \"Coloured\" "), std::string::npos) << link;
    const QString file = pageImageName(t.paths.dataFolder, "Coloured.url", t.flags.evenFileName, false)
                             .filePath(t.paths.dataFolder);
    const QByteArray bytes = vistrel::test::readAll(file);
    ASSERT_GE(bytes.size(), 54) << t.messages.texts().join(", ").toStdString();
    EXPECT_EQ(qFromLittleEndian<quint16>(bytes.constData() + 28), 24);
    const QImage image(file);
    EXPECT_FALSE(isBlankThumbnail({image}));
    // The red band across the top of the page.
    const QColor top = image.pixelColor(60, 10);
    EXPECT_GT(top.red(), 150);
    EXPECT_LT(top.green(), 80);
    EXPECT_TRUE(QDir(t.tempFolder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}
