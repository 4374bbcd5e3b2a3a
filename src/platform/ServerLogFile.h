#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vistrel::platform {

// The server log file, written through a buffer of whole lines: one write per
// flush instead of one per request. A write that fails half-way is cut back
// to the last whole line, so the file never ends in a partial line.
class ServerLogFile
{
public:
    // Past this much buffered text the owner flushes at once rather than at its next tick.
    static constexpr qsizetype kFlushAtBytes = 64 * 1024;

    ServerLogFile() = default;
    ServerLogFile(const ServerLogFile &) = delete;
    ServerLogFile &operator=(const ServerLogFile &) = delete;
    ~ServerLogFile();

    // Opens for appending and writes the first line at once, so a log that
    // cannot be written is refused here; false then, and the file is closed.
    bool open(const QString &path, const QString &firstLine);
    bool isOpen() const { return m_file.isOpen(); }

    void append(const QString &line);
    bool hasPending() const { return !m_pending.isEmpty(); }
    qsizetype pendingBytes() const { return m_pending.size(); }

    // Writes what is buffered. On failure the buffered lines are dropped (the
    // disk refused them) and the reason is returned; empty on success.
    QString flush();
    // Flushes, adds the last line when given and closes; failures are silent.
    void close(const QString &lastLine = QString());

private:
    QFile m_file;
    QByteArray m_pending;
};

} // namespace vistrel::platform
