#pragma once

#include "capture/TGet_Web.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

namespace vistrel::capture {

// The capture watchdog: starts the worker and waits for it at most twice the
// Site Timeout. On a time-out it only says so (TimedOut); it never interrupts
// the capture or takes away what it still uses. The worker is joined by
// joinWorker() on the main thread.
class TGet_WebMonitor : public QThread
{
    Q_OBJECT
public:
    TGet_WebMonitor(CaptureJob &job, QObject *mainContext);
    ~TGet_WebMonitor() override;

    QString Path;
    QString Name;
    qint32 Timeout = 60; // seconds
    bool IsHistory = false;
    std::atomic<bool> TimedOut{false};
    // Set as the watchdog's last act; the driver waits for it.
    std::atomic<bool> Terminated{false};

    // Main thread, after the watchdog has finished: lets GetInfo run to its
    // end if it has not yet, then joins and frees the worker.
    void joinWorker();

protected:
    void run() override { Execute(); }

private:
    void Execute();

    CaptureJob &m_job;
    QObject *m_mainContext;
    std::unique_ptr<TGet_Web> m_worker;
};

} // namespace vistrel::capture
