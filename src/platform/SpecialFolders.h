#pragma once

#include <QString>

namespace vistrel::platform {

class RegistryFile;

inline const QString kShellFoldersKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders");

QString xdgConfigHome();
// The documents folder with a trailing "/": the registry's "Personal" value when set,
// else the XDG documents folder.
QString documentsFolder();
QString documentsFolder(const RegistryFile &registry);
// The Favorites folder without a trailing "/": the registry's "Favorites" value when
// set, else ~/Favorites.
QString favoritesFolder();
QString favoritesFolder(const RegistryFile &registry);

} // namespace vistrel::platform
