#pragma once

#include <QString>

namespace vistrel::platform {

// The start-up list: an XDG autostart entry named after the program.
QString autostartEntryPath();
// The Exec= value that starts the program at the path, escaped as desktop
// entries require (quoting, doubled "%", string escapes).
QString desktopExecValue(const QString &programPath);
// Writes the entry when wanted, removes it otherwise. Failures are swallowed; the
// result only says whether the entry now matches the wish.
bool updateStartupList(const QString &name, const QString &programPath, bool wanted);

} // namespace vistrel::platform
