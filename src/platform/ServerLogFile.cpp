#include "platform/ServerLogFile.h"

namespace vistrel::platform {

ServerLogFile::~ServerLogFile()
{
    close();
}

bool ServerLogFile::open(const QString &path, const QString &firstLine)
{
    close();
    m_file.setFileName(path);
    // Unbuffered: the buffer here holds whole lines, a second one inside QFile
    // could leave half of one behind.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    if (firstLine.isEmpty())
        return true;
    append(firstLine);
    if (flush().isEmpty())
        return true;
    m_file.close();
    return false;
}

void ServerLogFile::append(const QString &line)
{
    m_pending += line.toUtf8();
    m_pending += "\r\n";
}

QString ServerLogFile::flush()
{
    if (m_pending.isEmpty())
        return QString();
    QString failure;
    if (!m_file.isOpen()) {
        failure = QStringLiteral("log file not open");
    } else {
        const qint64 before = m_file.size();
        const qint64 written = m_file.write(m_pending);
        if (written != m_pending.size()) {
            failure = m_file.errorString().isEmpty() ? QStringLiteral("write failed") : m_file.errorString();
            if (!m_file.isSequential() && m_file.size() != before)
                m_file.resize(before);
            m_file.unsetError();
        }
    }
    m_pending.clear();
    return failure;
}

void ServerLogFile::close(const QString &lastLine)
{
    if (!m_file.isOpen()) {
        m_pending.clear();
        return;
    }
    if (!lastLine.isEmpty())
        append(lastLine);
    flush();
    m_file.close();
}

} // namespace vistrel::platform
