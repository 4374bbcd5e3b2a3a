#pragma once

#include <QString>
#include <QStringList>

namespace vistrel::platform {

// The hidden trace of a refresh (Memo1), saved as "files.log" so the file shows
// how far the latest refresh got. A save appends only what is new since the last
// one, through a descriptor kept open between saves, so saving after every step
// stays cheap on a refresh of thousands of favourites.
class DiagnosticMemo
{
public:
    explicit DiagnosticMemo(QString logPath = QString());
    ~DiagnosticMemo();
    DiagnosticMemo(const DiagnosticMemo &) = delete;
    DiagnosticMemo &operator=(const DiagnosticMemo &) = delete;

    void setLogPath(const QString &path);
    QString logPath() const { return m_path; }

    void add(const QString &line);
    void clear();
    const QStringList &lines() const { return m_lines; }

    // Brings "files.log" in line with the memo, then lets pending events run.
    // Failures are ignored: the trace must never stop a refresh.
    void save();

private:
    bool writeOut();
    void closeFile();

    QString m_path;
    int m_fd = -1;           // "files.log", open for appending
    QStringList m_lines;
    qsizetype m_saved = 0;   // lines already in the file
    qint64 m_savedBytes = 0; // the file's size after the last save
    bool m_rewrite = true;   // the file no longer matches a prefix of the memo
};

} // namespace vistrel::platform
