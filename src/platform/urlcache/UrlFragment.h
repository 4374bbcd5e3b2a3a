#pragma once

#include <string_view>

namespace vistrel::platform {

// The URL up to, not including, its first "#"; unchanged when it has none.
inline std::string_view stripUrlFragment(std::string_view url)
{
    return url.substr(0, url.find('#'));
}

} // namespace vistrel::platform
