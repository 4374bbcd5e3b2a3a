#include "platform/DisplayWriter.h"

namespace vistrel::platform {

DisplayWriter::DisplayWriter(QObject *parent) : QObject(parent) {}

void DisplayWriter::appendRaw(const QString &line, int removed)
{
    m_lines.append(line);
    emit lineAdded(line, removed);
}

void DisplayWriter::write(const QString &line)
{
    int removed = 0;
    while (m_lines.size() > kMaxLinesBeforeAdd) {
        m_lines.removeFirst();
        ++removed;
    }
    appendRaw(line, removed);

    if (!m_logOpen)
        return;
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const bool ok = m_log.isOpen() && m_log.write(bytes) == bytes.size() && m_log.flush();
    if (!ok) {
        // The log stays marked open: the next line tries again.
        const QString reason = m_log.errorString().isEmpty() ? QStringLiteral("write failed")
                                                             : m_log.errorString();
        appendRaw(QStringLiteral("*** Exception EInOutError: %1 writing to log file ***").arg(reason), 0);
        m_log.unsetError();
    }
}

void DisplayWriter::clear()
{
    m_lines.clear();
    emit cleared();
}

bool DisplayWriter::openLog(const QString &path, const QString &firstLine)
{
    closeLog();
    m_log.setFileName(path);
    if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    if (!firstLine.isEmpty()) {
        const QByteArray bytes = firstLine.toUtf8() + "\r\n";
        if (m_log.write(bytes) != bytes.size() || !m_log.flush()) {
            m_log.close();
            return false;
        }
    }
    m_logOpen = true;
    return true;
}

void DisplayWriter::closeLogWithLine(const QString &line)
{
    m_logOpen = false;
    if (m_log.isOpen()) {
        m_log.write(line.toUtf8() + "\r\n");
        m_log.close();
    }
}

void DisplayWriter::closeLog()
{
    if (m_log.isOpen())
        m_log.close();
    m_logOpen = false;
}

} // namespace vistrel::platform
