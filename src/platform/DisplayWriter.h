#pragma once

#include "platform/ServerLogFile.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace vistrel::platform {

// The server display (DisplayMemo) as a list of lines capped at 201, with an
// optional copy of every line in the server log file. Writing a line costs
// no layout and no file write: the window shows the model when it looks, and
// the log is flushed on a timer and whenever it is closed.
class DisplayWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxLinesBeforeAdd = 200; // so at most 201 lines are held
    static constexpr int kMaxLines = kMaxLinesBeforeAdd + 1;
    // A crash loses at most this much of the log.
    static constexpr int kLogFlushMs = 500;

    explicit DisplayWriter(QObject *parent = nullptr);
    ~DisplayWriter() override;

    void write(const QString &line);
    void clear();
    const QStringList &lines() const { return m_lines; }
    // Lines added since the start, so a view can tell which it has not shown yet.
    quint64 addedCount() const { return m_added; }

    // Opens the log for appending; false when it cannot be opened.
    bool openLog(const QString &path, const QString &firstLine = QString());
    void closeLog();
    // Clears the open flag first, then writes a last line to the file only and closes it.
    void closeLogWithLine(const QString &line);
    bool isLogOpen() const { return m_logOpen; }
    // Writes what the log buffer holds now; every ordinary end comes through here or a close.
    void flushLog();

signals:
    // Lines were added (the oldest ones maybe removed), or all was cleared.
    void changed();
    void cleared();

private:
    void appendRaw(const QString &line);
    void reportLogFailure(const QString &reason);

    QStringList m_lines;
    quint64 m_added = 0;
    ServerLogFile m_log;
    QTimer m_flushTimer;
    bool m_logOpen = false;
    // After a failed write lines go to the file one by one, each failure
    // reported, until the disk takes one again.
    bool m_logFailing = false;
};

} // namespace vistrel::platform
