#include "platform/DiagnosticMemo.h"

#include <QCoreApplication>
#include <QFile>

namespace vistrel::platform {

DiagnosticMemo::DiagnosticMemo(QString logPath) : m_path(std::move(logPath)) {}

void DiagnosticMemo::setLogPath(const QString &path)
{
    m_path = path;
    m_rewrite = true;
}

void DiagnosticMemo::add(const QString &line)
{
    m_lines.append(line);
}

void DiagnosticMemo::clear()
{
    m_lines.clear();
    m_saved = 0;
    m_rewrite = true;
}

void DiagnosticMemo::save()
{
    if (!m_path.isEmpty()) {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            // Whole when the file no longer ends where the last save left it
            // (cleared memo, failed write, or someone else changed the file).
            const bool whole = m_rewrite || file.size() != m_savedBytes;
            QByteArray bytes;
            for (qsizetype i = whole ? 0 : m_saved; i < m_lines.size(); ++i)
                bytes += m_lines.at(i).toUtf8() + "\r\n";
            if ((!whole || file.resize(0)) && file.write(bytes) == bytes.size() && file.flush()) {
                m_saved = m_lines.size();
                m_savedBytes = file.size();
                m_rewrite = false;
            } else {
                m_rewrite = true;
            }
        } else {
            m_rewrite = true;
        }
    }
    QCoreApplication::processEvents();
}

} // namespace vistrel::platform
