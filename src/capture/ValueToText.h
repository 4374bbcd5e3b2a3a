#pragma once

#include "capture/PropVariant.h"

#include <string>

namespace vistrel::capture {

// The text a property value is written as in the listing (UTF-8).
std::string valueToText(const PropVariant &value);

// A double in general form with up to 15 significant digits: 1.5, 0.0001, 1E20, 1E-5.
std::string generalNumber(double value);

} // namespace vistrel::capture
