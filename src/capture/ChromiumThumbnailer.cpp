#include "capture/ChromiumThumbnailer.h"

#include "capture/BrowserProfile.h"
#include "capture/ProcessSweep.h"
#include "platform/PrivateTempFolder.h"
#include "platform/Trace.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace vistrel::capture {

namespace {

constexpr int kPollMilliseconds = 100;
constexpr int kKillWaitMilliseconds = 5000;

} // namespace

ChromiumThumbnailer::ChromiumThumbnailer(QString browser, const platform::PrivateTempFolder &tempFolder, bool sandboxed)
    : m_browser(std::move(browser)), m_sandboxed(sandboxed), m_tempFolder(tempFolder)
{
}

QStringList ChromiumThumbnailer::arguments(const QString &userDataDir, const QString &screenshot, const std::string &url,
                                           const std::string &spkiPin, bool sandboxed)
{
    QStringList list = commonBrowserArguments(sandboxed)
                       + QStringList{
                           QStringLiteral("--virtual-time-budget=%1").arg(kVirtualTimeBudgetMs),
                           QStringLiteral("--user-data-dir=") + userDataDir,
                           QStringLiteral("--screenshot=") + screenshot,
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
    const BrowserProfile profile(m_tempFolder);
    if (!profile.isValid())
        return std::nullopt;
    const QString screenshot = profile.path() + QStringLiteral("screenshot.png");

    QProcess process;
    process.setProgram(m_browser);
    process.setArguments(arguments(profile.userDataDir(), screenshot, url, request.spkiPin, m_sandboxed));
    process.setWorkingDirectory(profile.path());
    process.setProcessEnvironment(profile.environment());
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
        if (deadline.hasExpired() || (request.abandon && request.abandon->load())
            || (request.cancelled && request.cancelled()))
            break;
        tick.start(int(std::clamp<qint64>(deadline.remainingTime(), 1, kPollMilliseconds)));
        // Clicks are served too: a cancel among them ends this page at the next look.
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
