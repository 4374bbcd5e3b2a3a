#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class QSocketNotifier;

namespace vistrel::capture {

// A browser child process that talks over its debugging pipe: it reads on
// file descriptor 3 and writes on 4 (both one end of a socket pair here, so
// a write to a browser that has gone returns an error instead of a signal).
// It runs in a process group of its own, so stop() takes every helper it
// started too. Reads are delivered on the main loop through a notifier.
class BrowserProcess : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReadChunkBytes = 1024 * 1024;
    // How long killed processes may take to be gone.
    static constexpr int kStopWaitMs = 3000;

    explicit BrowserProcess(QObject *parent = nullptr);
    ~BrowserProcess() override;

    // environment: complete, as "NAME=value" lines. False when it could not be started.
    bool start(const QString &program, const QStringList &arguments, const QStringList &environment,
               const QString &workingFolder);
    // Started, its pipe still open, and the process not reaped.
    bool isRunning();
    pid_t group() const { return m_pid; }

    // Queued and written as the pipe takes it.
    void write(const QByteArray &bytes);

    // Kills the group and every process whose command line mentions the text
    // (the private profile folder), and waits until they are gone. Idempotent.
    void stop(const QByteArray &mentioning = {});

signals:
    void received(const QByteArray &bytes);
    // The pipe closed from the browser's side, or failed.
    void ended();

private:
    void readReady();
    void writeReady();
    void closePipe();

    pid_t m_pid = 0;
    int m_socket = -1;
    bool m_reaped = false;
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;
    QByteArray m_unwritten;
};

} // namespace vistrel::capture
