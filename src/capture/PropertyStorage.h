#pragma once

#include "capture/HResult.h"
#include "capture/PropVariant.h"
#include "capture/PropertyIds.h"

#include <map>

namespace vistrel::capture {

// One opened property set: values by property identifier.
class PropertyStorage
{
public:
    // S_OK with the value, or S_FALSE and VT_EMPTY when the set lacks it.
    HResult readMultiple(PropertyId id, PropVariant &value) const;

    void set(PropertyId id, PropVariant value) { m_values[id] = std::move(value); }
    bool contains(PropertyId id) const { return m_values.count(id) != 0; }

private:
    std::map<PropertyId, PropVariant> m_values;
};

} // namespace vistrel::capture
