// Captures favourites from a loopback fixture site and prints milliseconds
// and HTTP requests per favourite: in this process the way a refresh does,
// with the card standing in for thumbnails, over http and then
// the same mix over TLS ("Capture secure sites" on, a test CA made with openssl);
// then by the real program with cards, over http and over https, alternating;
// then by the real program, one refresh per run, with the kept-open browser and
// with one browser per page, alternating, with the browser's peak resident memory.
//
//   bench_capture [--favourites N] [--browser-favourites M] [--rounds R] [--modes kept,oneshot]
//
// The site mixes pages that answer at once (50 %), two-hop 301 chains (20 %),
// missing pages (15 %) and slow pages that answer every request after
// kSlowMs (15 %).

#include "support/TestCertificates.h"
#include "support/RecordingPresenter.h"
#include "support/RecordingStatus.h"
#include "support/TestHttpServer.h"

#include "capture/BrowserLocator.h"
#include "capture/CaptureCall.h"
#include "capture/CardThumbnailer.h"
#include "capture/PreviewImage.h"
#include "capture/ProcessSweep.h"
#include "capture/http/HttpClient.h"
#include "platform/ProgramContext.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <map>
#include <set>
#include <unistd.h>

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

// The favourites of a run, all on the fixture site.
bool writeFavourites(const QString &folder, TestHttpServer &site, int count)
{
    QDir().mkpath(folder);
    for (int n = 0; n < count; ++n) {
        QFile file(folder + QStringLiteral("/Favourite %1.url").arg(n));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("[InternetShortcut]\r\nURL=" + site.url(QString::fromLatin1(pathOf(n))).toUtf8() + "\r\n");
    }
    return true;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The browser's whole process group, found by its private profile folder.
qint64 residentOfProcessesMentioning(const QByteArray &text)
{
    std::set<pid_t> groups;
    for (pid_t pid : capture::livingProcessesMentioning(text))
        groups.insert(::getpgid(pid));
    qint64 total = 0;
    for (pid_t group : groups)
        total += capture::groupResidentBytes(group);
    return total;
}

struct ProgramFigures
{
    double msPerFavourite = 0;
    qint64 peakBrowserBytes = 0;
    int pictures = 0;
    QString error;
    std::map<int, int> codes; // CODE of each listed favourite
};

std::map<int, int> listedCodes(const QString &listing)
{
    std::map<int, int> codes;
    QFile file(listing);
    if (!file.open(QIODevice::ReadOnly))
        return codes;
    static const QRegularExpression code(QStringLiteral("(?<!PRE)CODE = \"(-?\\d+)\""));
    for (auto it = code.globalMatch(QString::fromUtf8(file.readAll())); it.hasNext();)
        ++codes[it.next().captured(1).toInt()];
    return codes;
}

// One refresh of the real program on its own HOME: started with a refresh at
// start-up, timed until its listing is written, then ended with SIGTERM.
ProgramFigures runProgram(const QString &binary, const QString &mode, TestHttpServer &site, int count,
                          const QByteArray &secureCaPem = {})
{
    ProgramFigures figures;
    QTemporaryDir home;
    const QString program = home.path() + "/program";
    QDir().mkpath(program);
    QDir().mkpath(home.path() + "/tmp");
    QFile::copy(binary, program + "/vistrel");
    if (!writeFavourites(home.path() + "/Favorites", site, count)) {
        figures.error = "favourites not written";
        return figures;
    }
    QFile ini(program + "/vistrel.ini");
    if (!ini.open(QIODevice::WriteOnly)) {
        figures.error = "settings not written";
        return figures;
    }
    ini.write("[General]\r\nStartup=1\r\nHistory=0\r\nAutorefresh=0\r\nTime_refresh=0\r\nNewPage=0\r\nAutoStart=0\r\n"
              "Fetch_Timeout=30\r\n" + QByteArray(secureCaPem.isEmpty() ? "" : "Secure=1\r\n") + "[Data]\r\nPort="
              + QByteArray::number(freePort()) + "\r\n");
    ini.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/.config");
    env.insert("XDG_DOCUMENTS_DIR", home.path() + "/Documents");
    env.insert("TMPDIR", home.path() + "/tmp");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (!secureCaPem.isEmpty()) {
        QFile bundle(home.path() + "/ca.pem");
        if (!bundle.open(QIODevice::WriteOnly) || bundle.write(secureCaPem) != secureCaPem.size()) {
            figures.error = "CA bundle not written";
            return figures;
        }
        env.insert("SSL_CERT_FILE", bundle.fileName());
    }
    if (mode == "cards")
        env.insert("VISTREL_BROWSER", home.path() + "/no-browser");
    else
        env.insert("VISTREL_BROWSER_MODE", mode);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProgram(program + "/vistrel");
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());

    const QString listing = home.path() + "/Documents/vistrel/listings.xml";
    const QByteArray browserMark = QFile::encodeName(home.path() + "/tmp");
    QElapsedTimer clock;
    clock.start();
    process.start();
    QElapsedTimer sample;
    sample.start();
    while (!QFile::exists(listing) && process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (sample.elapsed() >= 100) {
            figures.peakBrowserBytes = std::max(figures.peakBrowserBytes, residentOfProcessesMentioning(browserMark));
            sample.restart();
        }
        QThread::msleep(5);
    }
    figures.msPerFavourite = double(clock.nsecsElapsed()) / 1e6 / count;
    if (!QFile::exists(listing))
        figures.error = "the program ended before its listing";
    figures.pictures = int(QDir(home.path() + "/Documents/vistrel/images").entryList({"*.BMP"}, QDir::Files).size());
    figures.codes = listedCodes(listing);
    process.terminate();
    while (!process.waitForFinished(20))
        QCoreApplication::processEvents();
    if (!capture::livingProcessesMentioning(browserMark).empty())
        figures.error += " browser processes left behind";
    return figures;
}

// A fixture site served from a thread of its own, so the program's requests
// are answered at once rather than whenever the benchmark's waiting loop next
// looks at its sockets.
class SiteThread
{
public:
    SiteThread(int count, const QSslConfiguration *tls)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_context,
            [&] {
                m_site = tls ? std::make_unique<TestHttpServer>(*tls) : std::make_unique<TestHttpServer>();
                serveSite(*m_site, count);
            },
            Qt::BlockingQueuedConnection);
    }
    ~SiteThread()
    {
        QMetaObject::invokeMethod(&m_context, [&] { m_site.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    SiteThread(const SiteThread &) = delete;
    SiteThread &operator=(const SiteThread &) = delete;

    TestHttpServer &site() { return *m_site; }

private:
    QThread m_thread;
    QObject m_context;
    std::unique_ptr<TestHttpServer> m_site;
};

QString codeSummary(const std::map<int, int> &codes)
{
    QStringList parts;
    for (const auto &[code, count] : codes)
        parts << QStringLiteral("%1 x%2").arg(code).arg(count);
    return parts.join(QStringLiteral(", "));
}

// The real program with thumbnails off (the card), over the same favourites
// once over http and once over https ("Capture secure sites" on, the test CA
// trusted through SSL_CERT_FILE), alternating round by round.
void compareSecureProgramRuns(const QString &binary, int count, int rounds)
{
    const TestCertificates &certificates = TestCertificates::instance();
    if (!certificates.ok()) {
        std::printf("program https runs skipped: %s\n", certificates.error().toLocal8Bit().constData());
        return;
    }
    const QSslConfiguration tls = certificates.server(TestCertificates::Good);
    SiteThread plain(count, nullptr);
    SiteThread secure(count, &tls);
    double total[2] = {0, 0};
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool isSecure = (turn + round) % 2 == 1;
            const ProgramFigures f = isSecure ? runProgram(binary, "cards", secure.site(), count, certificates.caPem())
                                              : runProgram(binary, "cards", plain.site(), count);
            total[isSecure] += f.msPerFavourite;
            std::printf("program, %-5s cards   %4d favourites: %7.1f ms per favourite, codes %s%s%s\n",
                        isSecure ? "https" : "http", count, f.msPerFavourite, qPrintable(codeSummary(f.codes)),
                        f.error.isEmpty() ? "" : ": ", qPrintable(f.error));
            std::fflush(stdout);
        }
    }
    std::printf("%28s program https / http: %.2f\n", "", total[1] / total[0]);
}

// The fixture site cannot resume TLS sessions (each of its connections has a
// TLS context of its own), as most real servers do; openssl's own test server
// can. Requests from one client, which resumes the first session, against a
// fresh client per request, which never can.
void compareSessionResumption(int requests, int rounds)
{
    const TestCertificates &certificates = TestCertificates::instance();
    QTemporaryDir dir;
    const QSslConfiguration good = certificates.server(TestCertificates::Good);
    QFile cert(dir.filePath("good.pem"));
    QFile key(dir.filePath("good.key"));
    if (!certificates.ok() || !cert.open(QIODevice::WriteOnly) || cert.write(good.localCertificate().toPem()) <= 0
        || !key.open(QIODevice::WriteOnly) || key.write(good.privateKey().toPem()) <= 0) {
        std::printf("session resumption skipped: no certificates\n");
        return;
    }
    cert.close();
    key.close();
    const quint16 port = freePort();
    QProcess server;
    server.start("openssl", {"s_server", "-accept", QStringLiteral("127.0.0.1:%1").arg(port), "-cert", cert.fileName(),
                             "-key", key.fileName(), "-www", "-quiet"});
    if (!server.waitForStarted()) {
        std::printf("session resumption skipped: openssl did not start\n");
        return;
    }
    for (QDeadlineTimer listening(5000); !listening.hasExpired(); QThread::msleep(20)) {
        QTcpSocket attempt;
        attempt.connectToHost(QHostAddress::LocalHost, port);
        if (attempt.waitForConnected(1000))
            break;
    }
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    auto get = [&](capture::http::HttpClient &client) {
        client.setSecureAllowed(true);
        client.setUrl(url);
        return client.get().ok();
    };
    double ms[2] = {0, 0};
    int failed = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool fresh = (turn + round) % 2 == 1;
            QElapsedTimer clock;
            clock.start();
            capture::http::HttpClient one;
            for (int n = 0; n < requests; ++n) {
                capture::http::HttpClient own;
                failed += !get(fresh ? own : one);
            }
            ms[fresh] += double(clock.nsecsElapsed()) / 1e6 / requests / rounds;
        }
    }
    server.kill();
    server.waitForFinished();
    std::printf("https to a server that resumes sessions, %d requests: %.2f ms per request from one client, "
                "%.2f ms from a fresh client each (%.2f)%s\n",
                requests, ms[0], ms[1], ms[0] / ms[1], failed ? ", some failed" : "");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int favourites = 200;
    int browserFavourites = 200;
    int rounds = 1;
    QStringList modes{"kept", "oneshot"};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--favourites"))
            favourites = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--browser-favourites"))
            browserFavourites = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--rounds"))
            rounds = std::max(1, args[i + 1].toInt());
        else if (args[i] == QLatin1String("--modes"))
            modes = args[i + 1].split(',');
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
    test::RecordingStatus status;
    test::RecordingPresenter messages;
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
        compareSessionResumption(favourites, rounds);
    }

    // The real program, as a user runs it: one refresh per run.
    const QString binary = QCoreApplication::applicationDirPath() + "/../../vistrel";
    if (QFile::exists(binary))
        compareSecureProgramRuns(binary, favourites, rounds);
    if (!QFile::exists(binary)) {
        std::printf("program runs skipped: %s not built\n", qPrintable(binary));
    } else if (capture::findBrowser().isEmpty() || browserFavourites <= 0) {
        std::printf("program runs skipped: %s\n", browserFavourites <= 0 ? "not asked for" : "no browser found");
    } else {
        std::map<QString, std::vector<ProgramFigures>> byMode;
        for (int round = 0; round < rounds; ++round) {
            // Alternating, so the machine's other load falls on both alike.
            QStringList order = modes;
            if (round % 2)
                std::reverse(order.begin(), order.end());
            for (const QString &mode : order) {
                const ProgramFigures f = runProgram(binary, mode, site, browserFavourites);
                byMode[mode].push_back(f);
                std::printf("program, browser %-8s %4d favourites: %7.1f ms per favourite, %d pictures, peak browser "
                            "memory %.1f MB%s%s\n",
                            qPrintable(mode), browserFavourites, f.msPerFavourite, f.pictures,
                            double(f.peakBrowserBytes) / (1024 * 1024), f.error.isEmpty() ? "" : ": ",
                            qPrintable(f.error));
                std::fflush(stdout);
            }
        }
        if (byMode.count("kept") && byMode.count("oneshot")) {
            double kept = 0;
            double oneShot = 0;
            for (const ProgramFigures &f : byMode["kept"])
                kept += f.msPerFavourite;
            for (const ProgramFigures &f : byMode["oneshot"])
                oneShot += f.msPerFavourite;
            std::printf("kept-open browser / one browser per page: %.2f\n", kept / oneShot);
        }
    }
    if (!messages.shown.isEmpty())
        std::printf("messages: %s\n", messages.texts().join(QStringLiteral(" | ")).toLocal8Bit().constData());
    return 0;
}
