#pragma once

#include <string>

namespace vistrel::server {

// Renames or moves a file, failing with EEXIST instead of replacing a file
// already there. Returns 0, or the system's error number.
int renameWithoutReplacing(const std::string &from, const std::string &to);

} // namespace vistrel::server
