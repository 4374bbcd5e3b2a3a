#include "capture/PropertyStorage.h"

namespace vistrel::capture {

HResult PropertyStorage::readMultiple(PropertyId id, PropVariant &value) const
{
    const auto it = m_values.find(id);
    if (it == m_values.end()) {
        value = PropVariant::empty();
        return S_FALSE;
    }
    value = it->second;
    return S_OK;
}

} // namespace vistrel::capture
