#include "pages/PageFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace vistrel::pages {

namespace {

// Names tried for the temporary file before giving up.
constexpr int kMaxTemporaryNames = 100;
const char *const kTemporaryPrefix = ".vistrel-";
const char *const kTemporarySuffix = ".tmp";

std::atomic<unsigned> g_sequence{0};

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    const QString folder = QFileInfo(path).absolutePath();
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kMaxTemporaryNames && fd < 0; ++attempt) {
        temporary = QFile::encodeName(QDir(folder).filePath(QStringLiteral("%1%2-%3%4")
                                                                .arg(QLatin1String(kTemporaryPrefix))
                                                                .arg(::getpid())
                                                                .arg(g_sequence.fetch_add(1))
                                                                .arg(QLatin1String(kTemporarySuffix))));
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            *error = systemError("cannot create a temporary file");
            return false;
        }
    }
    if (fd < 0) {
        *error = QStringLiteral("cannot create a temporary file");
        return false;
    }
    bool ok = writeAll(fd, bytes);
    if (!ok)
        *error = systemError("cannot write");
    if (::close(fd) != 0 && ok) {
        ok = false;
        *error = systemError("cannot write");
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        *error = systemError("cannot replace the file");
    }
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}

void removeLeftoverTemporaryFiles(const QString &folder)
{
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (name.startsWith(QLatin1String(kTemporaryPrefix)) && name.endsWith(QLatin1String(kTemporarySuffix)))
            dir.remove(name);
}

} // namespace vistrel::pages
