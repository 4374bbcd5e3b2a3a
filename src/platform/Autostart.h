#pragma once

#include <QString>

namespace vistrel::platform {

// The start-up list: an XDG autostart entry named after the program.
QString autostartEntryPath();
// Writes the entry when wanted, removes it otherwise. Failures are swallowed; the
// result only says whether the entry now matches the wish.
bool updateStartupList(const QString &name, const QString &programPath, bool wanted);

} // namespace vistrel::platform
