#include "capture/CaptureCall.h"

#include "capture/TGet_WebMonitor.h"
#include "platform/ProgramContext.h"

#include <QEventLoop>
#include <QTimer>

namespace vistrel::capture {

namespace {

// The driver looks at the watchdog at least this often while it waits.
constexpr int kPollMilliseconds = 100;

class InProgress
{
public:
    explicit InProgress(bool &flag) : m_flag(flag) { m_flag = true; }
    ~InProgress() { m_flag = false; }

private:
    bool &m_flag;
};

} // namespace

CaptureServices &defaultCaptureServices()
{
    static CaptureServices services;
    return services;
}

bool runCapture(platform::ProgramContext &context, const QString &path, const QString &name, bool isHistory,
                std::string &currentLinkText)
{
    return runCaptureWith(context, defaultCaptureServices(), path, name, isHistory, currentLinkText);
}

bool runCaptureWith(platform::ProgramContext &context, const CaptureServices &services, const QString &path,
                    const QString &name, bool isHistory, std::string &currentLinkText)
{
    InProgress inProgress(context.flags.captureInProgress);
    QObject mainContext;
    CaptureJob job{context, services, currentLinkText};
    bool timedOut = false;
    {
        TGet_WebMonitor monitor(job, &mainContext);
        monitor.Path = path;
        monitor.Name = name;
        monitor.IsHistory = isHistory;
        monitor.Timeout = context.settings.fetchTimeout();

        // Wait, serving events (the capture runs in them), until the watchdog
        // is done; wake at once when it finishes, else look every 100 ms.
        QEventLoop loop;
        QTimer tick;
        tick.setSingleShot(true);
        QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&monitor, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
        // A cancel that waits for the fetch may be running inside this very wait
        // (a tray command): it must see the fetch end before this loop returns.
        QObject::connect(
            &monitor, &QThread::finished, &mainContext, [&context] { context.flags.captureInProgress = false; },
            Qt::QueuedConnection);
        monitor.start(QThread::LowestPriority);
        while (!monitor.Terminated) {
            tick.start(kPollMilliseconds);
            loop.exec();
        }
        monitor.wait();
        monitor.joinWorker();
        timedOut = monitor.TimedOut;
    }
    context.flags.lastCaptureTimedOut = timedOut;
    return timedOut;
}

} // namespace vistrel::capture
