#include "platform/urlcache/TemporaryDatabaseCopy.h"

#include "platform/PrivateTempFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vistrel::platform {

namespace {

const QString kWalSuffix = QStringLiteral("-wal");

// Copies a regular file only: a device or pipe under the database's name would
// never end. The copy gets owner read/write whatever the original's mode.
QString copyRegularFile(const QString &from, const QString &to)
{
    const QFileInfo info(from);
    if (!info.exists())
        return QStringLiteral("the file does not exist");
    if (!info.isFile())
        return QStringLiteral("not a regular file");
    QFile source(from);
    if (!source.copy(to))
        return source.errorString();
    QFile::setPermissions(to, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return {};
}

} // namespace

TemporaryDatabaseCopy::TemporaryDatabaseCopy(const PrivateTempFolder &tempFolder, const QString &original)
{
    m_folder = tempFolder.makeSubfolder(QStringLiteral("history-"));
    if (m_folder.isEmpty()) {
        m_error = QStringLiteral("cannot make a folder for its copy in the temporary folder");
        return;
    }
    const QString copy = m_folder + QStringLiteral("history.sqlite");
    m_error = copyRegularFile(original, copy);
    if (!m_error.isEmpty())
        return;
    m_path = copy;
    if (QFileInfo::exists(original + kWalSuffix)) {
        const QString walError = copyRegularFile(original + kWalSuffix, copy + kWalSuffix);
        if (!walError.isEmpty())
            m_error = QStringLiteral("cannot copy its write-ahead log (%1); recent visits may be missing")
                          .arg(walError);
    }
}

TemporaryDatabaseCopy::~TemporaryDatabaseCopy()
{
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

} // namespace vistrel::platform
