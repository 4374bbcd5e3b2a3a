#include "platform/SpecialFolders.h"

#include "platform/RegistryFile.h"

#include <QDir>
#include <QStandardPaths>

namespace vistrel::platform {

namespace {

QString expandHome(QString path)
{
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    path.replace(QLatin1String("%USERPROFILE%"), QDir::homePath(), Qt::CaseInsensitive);
    path.replace(QLatin1String("$HOME"), QDir::homePath());
    return path;
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString xdgConfigHome()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return config.isEmpty() ? QDir::homePath() + QStringLiteral("/.config") : config;
}

QString documentsFolder(const RegistryFile &registry)
{
    QString folder;
    if (const auto v = registry.readString(kShellFoldersKey, QStringLiteral("Personal")); v && !v->isEmpty())
        folder = expandHome(*v);
    if (folder.isEmpty())
        folder = qEnvironmentVariable("XDG_DOCUMENTS_DIR");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Documents");
    return withoutTrailingSlash(folder) + QLatin1Char('/');
}

QString documentsFolder()
{
    return documentsFolder(RegistryFile());
}

QString favoritesFolder(const RegistryFile &registry)
{
    if (const auto v = registry.readString(kShellFoldersKey, QStringLiteral("Favorites")); v && !v->isEmpty())
        return withoutTrailingSlash(expandHome(*v));
    return QDir::homePath() + QStringLiteral("/Favorites");
}

QString favoritesFolder()
{
    return favoritesFolder(RegistryFile());
}

} // namespace vistrel::platform
