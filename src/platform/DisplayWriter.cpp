#include "platform/DisplayWriter.h"

namespace vistrel::platform {

DisplayWriter::DisplayWriter(QObject *parent) : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(kLogFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &DisplayWriter::flushLog);
}

DisplayWriter::~DisplayWriter()
{
    m_log.close();
}

void DisplayWriter::appendRaw(const QString &line)
{
    if (m_lines.size() > kMaxLinesBeforeAdd)
        m_lines.remove(0, m_lines.size() - kMaxLinesBeforeAdd);
    m_lines.append(line);
    ++m_added;
    emit changed();
}

void DisplayWriter::reportLogFailure(const QString &reason)
{
    // The log stays marked open: the next line tries again.
    appendRaw(QStringLiteral("*** Exception EInOutError: %1 writing to log file ***").arg(reason));
}

void DisplayWriter::write(const QString &line)
{
    appendRaw(line);
    if (!m_logOpen)
        return;
    m_log.append(line);
    if (m_logFailing || m_log.pendingBytes() >= ServerLogFile::kFlushAtBytes)
        flushLog();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

void DisplayWriter::flushLog()
{
    m_flushTimer.stop();
    if (!m_log.hasPending())
        return;
    const QString failure = m_log.flush();
    m_logFailing = !failure.isEmpty();
    if (m_logFailing)
        reportLogFailure(failure);
}

void DisplayWriter::clear()
{
    m_lines.clear();
    emit cleared();
}

bool DisplayWriter::openLog(const QString &path, const QString &firstLine)
{
    closeLog();
    if (!m_log.open(path, firstLine))
        return false;
    m_logOpen = true;
    m_logFailing = false;
    return true;
}

void DisplayWriter::closeLogWithLine(const QString &line)
{
    m_logOpen = false;
    m_flushTimer.stop();
    m_log.close(line);
}

void DisplayWriter::closeLog()
{
    closeLogWithLine(QString());
}

} // namespace vistrel::platform
