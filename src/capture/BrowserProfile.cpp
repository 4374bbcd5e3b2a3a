#include "capture/BrowserProfile.h"

#include "platform/PrivateTempFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace vistrel::capture {

namespace {
constexpr const char *kShortTempTemplate = "/tmp/vistrel-XXXXXX";
}

BrowserProfile::BrowserProfile(const platform::PrivateTempFolder &tempFolder)
    : m_path(tempFolder.makeSubfolder(QStringLiteral("browser-")))
{
    if (m_path.isEmpty())
        return;
    m_tempPath = m_path;
    if (QFile::encodeName(m_tempPath).size() + kSingletonSocketName > kSocketPathMax) {
        m_shortTemp = std::make_unique<QTemporaryDir>(QString::fromLatin1(kShortTempTemplate));
        m_tempPath = m_shortTemp->isValid() ? m_shortTemp->path() + QLatin1Char('/') : QString();
    }
}

BrowserProfile::~BrowserProfile()
{
    if (!m_path.isEmpty())
        QDir(m_path).removeRecursively();
}

QProcessEnvironment BrowserProfile::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_path);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_path + QStringLiteral(".config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_path + QStringLiteral(".cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), m_path + QStringLiteral(".local/share"));
    environment.insert(QStringLiteral("TMPDIR"), m_tempPath);
    return environment;
}

} // namespace vistrel::capture
