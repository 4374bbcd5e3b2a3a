// Captures favourites from a loopback fixture site the way a refresh does, and
// prints milliseconds and HTTP requests per favourite: once with the card
// standing in for thumbnails, then the same mix from the same site over TLS
// ("Capture secure sites" on, a test CA made with openssl), then with the
// headless browser.
//
//   bench_capture [--favourites N] [--browser-favourites M]
//
// The site mixes pages that answer at once (50 %), two-hop 301 chains (20 %),
// missing pages (15 %) and slow pages that answer every request after
// kSlowMs (15 %).

#include "TestCertificates.h"
#include "TestHttpServer.h"

#include "capture/BrowserLocator.h"
#include "capture/CaptureCall.h"
#include "capture/CardThumbnailer.h"
#include "capture/ChromiumThumbnailer.h"
#include "capture/PreviewImage.h"
#include "capture/http/HttpClient.h"
#include "platform/ProgramContext.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <map>

using namespace vistrel;
using vistrel::test::TestCertificates;
using vistrel::test::TestHttpServer;

namespace {

constexpr int kSlowMs = 20;

const char *kinds[] = {"page", "chain", "missing", "slow"};

int kindOf(int n)
{
    const int slot = n % 20;
    return slot < 10 ? 0 : slot < 14 ? 1 : slot < 17 ? 2 : 3;
}

QByteArray pathOf(int n)
{
    return "/" + QByteArray(kinds[kindOf(n)]) + "/" + QByteArray::number(n) + (kindOf(n) == 1 ? "/0" : "");
}

void serveSite(TestHttpServer &site, int count)
{
    for (int n = 0; n < count; ++n) {
        const QByteArray page = "<html><head><title>Favourite " + QByteArray::number(n)
                                + "</title></head><body><h1>Favourite</h1><p>" + QByteArray(2000, 'x') + "</p></body></html>";
        const QByteArray number = QByteArray::number(n);
        switch (kindOf(n)) {
        case 0:
            site.on(pathOf(n), TestHttpServer::page(page));
            break;
        case 1:
            site.on("/chain/" + number + "/0", TestHttpServer::redirect(301, "/chain/" + number + "/1"));
            site.on("/chain/" + number + "/1", TestHttpServer::redirect(301, "/chain/" + number + "/2"));
            site.on("/chain/" + number + "/2", TestHttpServer::page(page));
            break;
        case 2:
            break; // the fixture answers 404
        case 3: {
            auto slow = TestHttpServer::page(page);
            slow.delayMilliseconds = kSlowMs;
            site.on(pathOf(n), slow);
            break;
        }
        }
    }
}

struct Figures
{
    double msPerFavourite = 0;
    double clientRequestsPerFavourite = 0;
    double siteRequestsPerFavourite = 0;
    int timedOut = 0;
    std::map<int, double> msByKind;
};

Figures run(platform::ProgramContext &context, const capture::CaptureServices &services, TestHttpServer &site, int count,
            const QString &prefix = QStringLiteral("Favourite"))
{
    Figures figures;
    std::map<int, int> perKind;
    site.clearRequests();
    const quint64 before = capture::http::HttpClient::totalRequests();
    QElapsedTimer total;
    total.start();
    for (int n = 0; n < count; ++n) {
        QElapsedTimer one;
        one.start();
        std::string link = "<Link \n\r";
        if (capture::runCaptureWith(context, services, context.paths.favoritesFolder,
                                    QStringLiteral("%1 %2.url").arg(prefix).arg(n), false, link))
            ++figures.timedOut;
        figures.msByKind[kindOf(n)] += double(one.nsecsElapsed()) / 1e6;
        ++perKind[kindOf(n)];
    }
    figures.msPerFavourite = double(total.nsecsElapsed()) / 1e6 / count;
    figures.clientRequestsPerFavourite = double(capture::http::HttpClient::totalRequests() - before) / count;
    figures.siteRequestsPerFavourite = double(site.requests().size()) / count;
    for (auto &[kind, ms] : figures.msByKind)
        ms /= perKind[kind];
    return figures;
}

void print(const char *title, int count, const Figures &f)
{
    std::printf("%-26s %4d favourites: %9.1f ms per favourite, %5.2f HTTP requests per favourite (%5.2f seen by the site)%s\n",
                title, count, f.msPerFavourite, f.clientRequestsPerFavourite, f.siteRequestsPerFavourite,
                f.timedOut ? ", some timed out" : "");
    for (const auto &[kind, ms] : f.msByKind)
        std::printf("%28s %-8s %9.1f ms\n", "", kinds[kind], ms);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int favourites = 200;
    int browserFavourites = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--favourites"))
            favourites = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--browser-favourites"))
            browserFavourites = args[i + 1].toInt();
    }
    browserFavourites = std::min(browserFavourites, favourites);

    // A home of its own, so nothing of the user's is read or written.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    qputenv("TMPDIR", home.path().toUtf8());
    QDir().mkpath(home.path() + "/program");

    platform::SettingsValues settings;
    settings.fetchTimeoutValue = 30;
    settings.newOnlyValue = false;
    settings.showCodeValue = false;
    platform::RecordingStatus status;
    platform::RecordingPresenter messages;
    platform::DisplayWriter display;
    platform::DiagnosticMemo trace;
    platform::MainFlags flags;
    flags.evenFileName = 2;
    platform::ProgramPaths paths = platform::ProgramPaths::compute(home.path() + "/program/vistrel");
    paths.favoritesFolder = home.path() + "/Favorites";
    paths.documentsFolder = home.path() + "/Documents/";
    paths.dataFolder = paths.documentsFolder + "vistrel/";
    platform::RegistryFile registry(home.path() + "/registry.reg");
    platform::PrivateTempFolder tempFolder;
    trace.setLogPath(paths.filesLogPath());
    platform::ProgramContext context{settings, status, messages, display, trace, flags, paths, registry, tempFolder};

    auto writeFavourites = [&](const TestHttpServer &on, const QString &prefix) {
        QDir().mkpath(paths.favoritesFolder);
        for (int n = 0; n < favourites; ++n) {
            QFile file(paths.favoritesFolder + QStringLiteral("/%1 %2.url").arg(prefix).arg(n));
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.write("[InternetShortcut]\r\nURL=" + on.url(QString::fromLatin1(pathOf(n))).toUtf8() + "\r\n");
        }
        return true;
    };
    TestHttpServer site;
    serveSite(site, favourites);
    if (!writeFavourites(site, QStringLiteral("Favourite")))
        return 1;

    capture::PreviewImage preview;
    capture::CardThumbnailer cards;
    capture::CaptureServices withoutBrowser{nullptr, &cards, &preview};
    const Figures plain = run(context, withoutBrowser, site, favourites);
    print("http, thumbnails off", favourites, plain);

    const TestCertificates &certificates = TestCertificates::instance();
    if (!certificates.ok()) {
        std::printf("https, thumbnails off      skipped: %s\n", certificates.error().toLocal8Bit().constData());
    } else {
        const vistrel::test::TrustTestCa trust;
        TestHttpServer secureSite(certificates.server(TestCertificates::Good));
        serveSite(secureSite, favourites);
        if (!writeFavourites(secureSite, QStringLiteral("Secure")))
            return 1;
        settings.secureValue = true;
        const Figures secure = run(context, withoutBrowser, secureSite, favourites, QStringLiteral("Secure"));
        settings.secureValue = false;
        print("https, thumbnails off", favourites, secure);
        std::printf("%28s https / http: %.2f\n", "", secure.msPerFavourite / plain.msPerFavourite);
    }

    const QString browser = capture::findBrowser();
    if (browser.isEmpty() || browserFavourites <= 0) {
        std::printf("thumbnails on (browser)   skipped: %s\n", browser.isEmpty() ? "no browser found" : "not asked for");
    } else {
        capture::ChromiumThumbnailer chromium(browser, tempFolder);
        capture::CaptureServices withBrowser{nullptr, &chromium, &preview};
        print("thumbnails on (browser)", browserFavourites, run(context, withBrowser, site, browserFavourites));
    }
    if (!messages.shown.isEmpty())
        std::printf("messages: %s\n", messages.texts().join(QStringLiteral(" | ")).toLocal8Bit().constData());
    return 0;
}
