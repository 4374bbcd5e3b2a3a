#pragma once

#include <cstddef>

namespace vistrel::capture::http {

// What one response may cost us. A site that sends more is cut off (body) or
// refused (header), so a hostile or broken server can neither exhaust memory
// nor hold a capture for ever.
inline constexpr std::size_t kMaxHeaderLineBytes = 4096;   // longer lines are cut here
inline constexpr std::size_t kMaxHeaderLines = 200;        // status line and final blank line included
inline constexpr std::size_t kMaxChunkLineBytes = 4096;    // chunk-size and trailer lines
inline constexpr std::size_t kMaxBodyBytes = 2 * 1024 * 1024; // the rest of a longer body is not read
inline constexpr std::size_t kReadBlockBytes = 32768;      // one read from the socket
inline constexpr std::size_t kMaxHostNameLength = 255;
inline constexpr int kDefaultTimeoutSeconds = 60;

} // namespace vistrel::capture::http
