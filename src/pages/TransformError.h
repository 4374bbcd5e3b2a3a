#pragma once

#include <stdexcept>
#include <string>

namespace vistrel::pages {

// A transformation that produced no page: the text does not parse, the
// stylesheet does not compile, or it failed or was stopped while running.
// what() carries the engine's own messages.
class TransformError : public std::runtime_error
{
public:
    explicit TransformError(const std::string &message) : std::runtime_error(message) {}
};

} // namespace vistrel::pages
