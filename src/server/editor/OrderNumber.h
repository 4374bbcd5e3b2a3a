#pragma once

#include <optional>
#include <string_view>

namespace vistrel::server {

// A sort order as typed: optional leading blanks, an optional sign, then
// decimal digits, or hexadecimal digits after a "$"; nothing after them; within
// the range of a 32-bit integer. None when the text is not such a number.
std::optional<int> parseOrderNumber(std::string_view text);

} // namespace vistrel::server
