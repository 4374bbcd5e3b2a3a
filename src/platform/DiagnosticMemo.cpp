#include "platform/DiagnosticMemo.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::platform {

DiagnosticMemo::DiagnosticMemo(QString logPath) : m_path(std::move(logPath)) {}

DiagnosticMemo::~DiagnosticMemo()
{
    closeFile();
}

void DiagnosticMemo::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void DiagnosticMemo::setLogPath(const QString &path)
{
    closeFile();
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

bool DiagnosticMemo::writeOut()
{
    struct stat info;
    // Reopened when the file was removed or replaced since (it has no name any more).
    if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || info.st_nlink == 0))
        closeFile();
    if (m_fd < 0) {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0 || ::fstat(m_fd, &info) != 0)
            return false;
        m_rewrite = true;
    }
    // Whole when the file no longer ends where the last save left it (cleared
    // memo, failed write, or someone else changed the file).
    const bool whole = m_rewrite || qint64(info.st_size) != m_savedBytes;
    QByteArray bytes;
    for (qsizetype i = whole ? 0 : m_saved; i < m_lines.size(); ++i)
        bytes += m_lines.at(i).toUtf8() + "\r\n";
    if (whole && ::ftruncate(m_fd, 0) != 0)
        return false;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    m_saved = m_lines.size();
    m_savedBytes = (whole ? 0 : m_savedBytes) + bytes.size();
    m_rewrite = false;
    return true;
}

void DiagnosticMemo::save()
{
    if (!m_path.isEmpty() && !writeOut()) {
        closeFile();
        m_rewrite = true;
    }
    QCoreApplication::processEvents();
}

} // namespace vistrel::platform
