#pragma once

#include <string>
#include <string_view>

namespace vistrel::capture {

// The URL up to, not including, its first "#".
std::string stripFragment(std::string_view url);

// Turns a redirection target (a Location value or a meta refresh's URL) into
// the next URL. Targets with a scheme ("http://", "https://", "ftp://", "file:",
// ...) stand as they are and "//host/..." takes the current scheme; a target
// beginning "/" goes after the current URL's site root, anything else after
// its base.
std::string resolveTarget(std::string_view current, std::string_view target);

} // namespace vistrel::capture
