#pragma once

#include <QFile>
#include <QObject>
#include <QStringList>

namespace vistrel::platform {

// The server display (DisplayMemo) as a list of lines capped at 201, with an
// optional copy of every line in the server log file.
class DisplayWriter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxLinesBeforeAdd = 200; // so at most 201 lines are held

    explicit DisplayWriter(QObject *parent = nullptr);

    void write(const QString &line);
    void clear();
    const QStringList &lines() const { return m_lines; }

    // Opens the log for appending; false when it cannot be opened.
    bool openLog(const QString &path, const QString &firstLine = QString());
    void closeLog();
    // Clears the open flag first, then writes a last line to the file only and closes it.
    void closeLogWithLine(const QString &line);
    bool isLogOpen() const { return m_logOpen; }

signals:
    // The view follows these: a line was added (the oldest ones removed before it), or all was cleared.
    void lineAdded(const QString &line, int removedFromTop);
    void cleared();

private:
    void appendRaw(const QString &line, int removed);

    QStringList m_lines;
    QFile m_log;
    bool m_logOpen = false;
};

} // namespace vistrel::platform
