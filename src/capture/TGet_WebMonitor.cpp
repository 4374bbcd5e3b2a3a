#include "capture/TGet_WebMonitor.h"

#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace vistrel::capture {

namespace {
constexpr int kJoinPollMilliseconds = 10;
}

TGet_WebMonitor::TGet_WebMonitor(CaptureJob &job, QObject *mainContext) : m_job(job), m_mainContext(mainContext) {}

TGet_WebMonitor::~TGet_WebMonitor()
{
    wait();
    joinWorker();
}

void TGet_WebMonitor::Execute()
{
    TimedOut = false;
    auto worker = std::make_unique<TGet_Web>(m_job, m_mainContext);
    worker->Name = Name;
    worker->Path = Path;
    worker->IsHistory = IsHistory;
    worker->start(QThread::LowestPriority);
    const qint64 limit = qint64(std::max(1, Timeout)) * 2 * 1000;
    if (!worker->wait(QDeadlineTimer(limit))) {
        // Only the wait ends here: the capture goes on under its own time-outs,
        // so a slow site that does answer still gets its code and picture.
        qCDebug(vistrelTrace) << "capture timed out:" << Name;
        TimedOut = true;
    }
    // Ownership goes to the main thread, which joins the worker once GetInfo
    // has returned there.
    worker->moveToThread(QCoreApplication::instance() ? QCoreApplication::instance()->thread() : nullptr);
    m_worker = std::move(worker);
    Terminated = true;
}

void TGet_WebMonitor::joinWorker()
{
    if (!m_worker)
        return;
    while (!m_worker->wait(QDeadlineTimer(kJoinPollMilliseconds)))
        QCoreApplication::processEvents(QEventLoop::AllEvents, kJoinPollMilliseconds);
    m_worker.reset();
}

} // namespace vistrel::capture
