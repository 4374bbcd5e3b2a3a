#include "platform/PrivateTempFolder.h"

#include <QDir>
#include <QFile>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace vistrel::platform {

namespace {

QString makeTemp(const QString &folder, const QString &prefix)
{
    QByteArray pattern = QFile::encodeName(folder + prefix + QStringLiteral("XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        return {};
    return QFile::decodeName(pattern) + QLatin1Char('/');
}

} // namespace

PrivateTempFolder::PrivateTempFolder()
{
    QString base = qEnvironmentVariable("TMPDIR");
    if (base.isEmpty() || !QDir(base).exists())
        base = QDir::tempPath();
    m_path = makeTemp(QDir(base).absolutePath() + QLatin1Char('/'), QStringLiteral("vistrel-"));
}

PrivateTempFolder::~PrivateTempFolder()
{
    if (!m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

QString PrivateTempFolder::makeSubfolder(const QString &prefix) const
{
    return m_path.isEmpty() ? QString() : makeTemp(m_path, prefix);
}

QString PrivateTempFolder::makeFile(const QString &prefix, const QString &suffix) const
{
    if (m_path.isEmpty())
        return {};
    QByteArray pattern = QFile::encodeName(m_path + prefix + QStringLiteral("XXXXXX") + suffix);
    const int fd = ::mkstemps(pattern.data(), int(QFile::encodeName(suffix).size()));
    if (fd < 0)
        return {};
    ::close(fd);
    return QFile::decodeName(pattern);
}

} // namespace vistrel::platform
