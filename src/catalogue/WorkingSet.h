#pragma once

#include <chrono>

namespace vistrel::catalogue {

// Hands the memory the allocator holds free back to the system, so the resident
// memory of a long refresh stays small. Called after every favourite; when the
// last trim was less than kTrimInterval ago it does nothing, since a trim costs a
// walk of the heap and a flush of the address space, and favourites that pass that
// fast (no capture) leave next to nothing to give back.
inline constexpr std::chrono::milliseconds kTrimInterval{100};

// True when it trimmed.
bool trimWorkingSet();

} // namespace vistrel::catalogue
