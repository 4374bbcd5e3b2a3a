#pragma once

#include "capture/HResult.h"
#include "capture/PropVariant.h"
#include "capture/PropertyIds.h"

namespace vistrel::platform {
class MessagePresenter;
}

namespace vistrel::capture {

class PropertyStorage;

// Reads one property after letting pending events run; a failing read (or no
// storage at all) shows "error ReadMultiple". The value is whatever the storage
// gave, VT_EMPTY when it gave nothing.
HResult readOneProperty(platform::MessagePresenter &messages, const PropertyStorage *storage, PropertyId id,
                        PropVariant &value);

} // namespace vistrel::capture
