#pragma once

#include <QString>

#include <string_view>

namespace vistrel::platform {

// Name matching as the shell's file operations do it: "*" matches any run of
// characters, "?" one character, everything else itself without regard to
// ASCII case.
bool matchesWildcard(std::string_view name, std::string_view pattern);

// Deletes the files of one folder whose names match the last component of
// pattern (folder + "/" + wildcard name); subfolders are never touched and
// directories never deleted. With allowUndo the files go to the desktop trash.
// True when every match is gone (also when nothing matched or the folder does
// not exist); false when the folder cannot be read or a file cannot be removed.
bool deleteByPattern(const QString &pattern, bool allowUndo);

} // namespace vistrel::platform
