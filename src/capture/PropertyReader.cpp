#include "capture/PropertyReader.h"

#include "capture/PropertyStorage.h"
#include "platform/MessagePresenter.h"

#include <QCoreApplication>

namespace vistrel::capture {

HResult readOneProperty(platform::MessagePresenter &messages, const PropertyStorage *storage, PropertyId id,
                        PropVariant &value)
{
    QCoreApplication::processEvents();
    value = PropVariant::empty();
    const HResult result = storage ? storage->readMultiple(id, value) : E_FAIL;
    if (failed(result))
        messages.error(QStringLiteral("error ReadMultiple"));
    return result;
}

} // namespace vistrel::capture
