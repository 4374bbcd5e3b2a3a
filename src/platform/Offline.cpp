#include "platform/Offline.h"

#include "platform/RegistryFile.h"

namespace vistrel::platform {

bool isOffline(const RegistryFile &registry)
{
    const auto v = registry.readDword(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"),
        QStringLiteral("GlobalUserOffline"));
    return v && *v == 1;
}

bool isOffline()
{
    return isOffline(RegistryFile());
}

} // namespace vistrel::platform
