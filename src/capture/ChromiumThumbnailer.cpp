#include "capture/ChromiumThumbnailer.h"

#include "capture/ProcessSweep.h"
#include "platform/PrivateTempFolder.h"
#include "platform/Trace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace vistrel::capture {

namespace {

constexpr int kPollMilliseconds = 100;
constexpr int kKillWaitMilliseconds = 5000;
// The browser's single-instance socket goes in TMPDIR under a name of this
// length; a Unix socket path holds at most 107 bytes, and a longer one makes
// the browser abort before it draws anything.
constexpr qsizetype kSingletonSocketName = qsizetype(sizeof("org.chromium.Chromium.XXXXXX/SingletonSocket")) - 1;
constexpr qsizetype kSocketPathMax = 107;
constexpr const char *kShortTempTemplate = "/tmp/vistrel-XXXXXX";

// Removes the profile (and the screenshot in it) on every way out.
class ProfileFolder
{
public:
    explicit ProfileFolder(QString path) : m_path(std::move(path)) {}
    ~ProfileFolder()
    {
        if (!m_path.isEmpty())
            QDir(m_path).removeRecursively();
    }
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

} // namespace

ChromiumThumbnailer::ChromiumThumbnailer(QString browser, const platform::PrivateTempFolder &tempFolder)
    : m_browser(std::move(browser)), m_tempFolder(tempFolder)
{
}

QStringList ChromiumThumbnailer::arguments(const QString &profile, const QString &screenshot, const std::string &url,
                                           const std::string &spkiPin)
{
    QStringList list{
        QStringLiteral("--headless"),
        QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"),
        QStringLiteral("--hide-scrollbars"),
        QStringLiteral("--virtual-time-budget=%1").arg(kVirtualTimeBudgetMs),
        QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"),
        // Nothing but the page itself goes on the network: no updates, sync,
        // safe-browsing lists, metrics, reports or other background traffic.
        QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"),
        QStringLiteral("--disable-sync"),
        QStringLiteral("--disable-extensions"),
        QStringLiteral("--disable-default-apps"),
        QStringLiteral("--disable-client-side-phishing-detection"),
        QStringLiteral("--disable-domain-reliability"),
        QStringLiteral("--disable-crash-reporter"),
        QStringLiteral("--disable-breakpad"),
        QStringLiteral("--no-default-browser-check"),
        QStringLiteral("--no-pings"),
        QStringLiteral("--metrics-recording-only"),
        QStringLiteral("--safebrowsing-disable-auto-update"),
        QStringLiteral("--disable-features=Translate,OptimizationHints,MediaRouter,AutofillServerCommunication,"
                       "CertificateTransparencyComponentUpdater,DialMediaRouteProvider,site-per-process,IsolateOrigins"),
        // One page in a throwaway profile has no other sites to be isolated
        // from; fewer processes halve the start-up time of every capture.
        QStringLiteral("--disable-site-isolation-trials"),
        QStringLiteral("--renderer-process-limit=1"),
        QStringLiteral("--in-process-gpu"),
        QStringLiteral("--mute-audio"),
        QStringLiteral("--user-data-dir=") + profile + QStringLiteral("profile"),
        QStringLiteral("--screenshot=") + screenshot,
        QStringLiteral("--window-size=%1,%2").arg(kWindowWidth).arg(kWindowHeight),
    };
    if (isSpkiPin(spkiPin))
        list.append(QStringLiteral("--ignore-certificate-errors-spki-list=") + QString::fromStdString(spkiPin));
    list.append(QString::fromStdString(url));
    return list;
}

std::optional<QImage> ChromiumThumbnailer::render(const ThumbnailRequest &request)
{
    const std::string url = renderableUrl(request.url);
    if (url.empty() || m_browser.isEmpty())
        return std::nullopt;
    const ProfileFolder profile(m_tempFolder.makeSubfolder(QStringLiteral("browser-")));
    if (profile.path().isEmpty())
        return std::nullopt;
    const QString screenshot = profile.path() + QStringLiteral("screenshot.png");

    QProcess process;
    process.setProgram(m_browser);
    process.setArguments(arguments(profile.path(), screenshot, url, request.spkiPin));
    process.setWorkingDirectory(profile.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), profile.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), profile.path() + QStringLiteral(".config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), profile.path() + QStringLiteral(".cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), profile.path() + QStringLiteral(".local/share"));
    // The profile's own folder unless that is too deep for the browser's
    // socket; then a private folder of its own near the root, gone afterwards.
    std::optional<QTemporaryDir> shortTemp;
    QString browserTemp = profile.path();
    if (QFile::encodeName(browserTemp).size() + kSingletonSocketName > kSocketPathMax) {
        shortTemp.emplace(QString::fromLatin1(kShortTempTemplate));
        if (!shortTemp->isValid())
            return std::nullopt;
        browserTemp = shortTemp->path() + QLatin1Char('/');
    }
    environment.insert(QStringLiteral("TMPDIR"), browserTemp);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // A group of its own, so the browser and every helper it starts can be
    // killed together.
    process.setChildProcessModifier([] { ::setsid(); });

    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);

    const QDeadlineTimer deadline(request.timeout);
    process.start();
    const pid_t group = pid_t(process.processId());
    bool finished = false;
    for (;;) {
        if (process.state() == QProcess::NotRunning) {
            finished = process.exitStatus() == QProcess::NormalExit;
            break;
        }
        if (deadline.hasExpired() || (request.abandon && request.abandon->load()))
            break;
        tick.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, kPollMilliseconds)));
        loop.exec();
        tick.stop();
    }
    if (process.state() != QProcess::NotRunning) {
        qCDebug(vistrelTrace) << "browser timed out for" << url.c_str();
        if (group > 1)
            ::kill(-group, SIGKILL);
        process.waitForFinished(kKillWaitMilliseconds);
    }
    sweepProcesses(group, QFile::encodeName(profile.path()), kSweepWaitMs);

    if (!finished)
        return std::nullopt;
    QImageReader reader(screenshot);
    const QImage shot = reader.read();
    if (shot.isNull())
        return std::nullopt;
    return squareThumbnail(shot);
}

} // namespace vistrel::capture
