#pragma once

#include <string>
#include <string_view>

namespace vistrel::server {

// Text as it may stand in an HTML page: "&", "<", ">", '"' and "'" as
// references; everything else unchanged.
std::string htmlText(std::string_view text);

} // namespace vistrel::server
