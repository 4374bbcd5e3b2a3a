#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::platform {

QString runtimeFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir::cleanPath(runtime);
    return QDir::cleanPath(QDir::tempPath());
}

QString InstanceLock::defaultPath()
{
    return runtimeFolder() + QStringLiteral("/Vistre%1.lock").arg(::getuid());
}

InstanceLock::InstanceLock(QString path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

InstanceLock::State InstanceLock::claim()
{
    if (m_fd >= 0)
        return State::Claimed;
    // Close-on-exec: a browser or other child left running must not keep the
    // lock after the program has gone. Read-write and no links, so a file
    // planted by someone else in a shared folder cannot stand in for ours.
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return State::Unavailable;
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_uid != ::getuid() || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return State::Unavailable;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? State::HeldByOther : State::Unavailable;
    }
    m_fd = fd;
    return State::Claimed;
}

} // namespace vistrel::platform
