#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vistrel::platform {

// The profile folders a Firefox "profiles.ini" lists in its [Profile...]
// sections, in file order, absolute, cleaned and without duplicates.
// IsRelative=1 paths are taken relative to iniFolder; so is a relative path
// whose IsRelative is missing, since the profile cannot be anywhere else.
QStringList firefoxProfileFolders(const QByteArray &iniText, const QString &iniFolder);

} // namespace vistrel::platform
