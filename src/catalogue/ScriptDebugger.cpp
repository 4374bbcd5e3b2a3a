#include "catalogue/ScriptDebugger.h"

#include "platform/RegistryFile.h"

namespace vistrel::catalogue {

bool scriptDebuggerDisabled(const platform::RegistryFile &registry)
{
    const auto value = registry.readString(QLatin1String(kBrowserMainKey), QLatin1String(kDisableScriptDebugger));
    return value && value->toLower() == QLatin1String("yes");
}

bool setScriptDebuggerDisabled(platform::RegistryFile &registry, bool disabled)
{
    const QString key = QLatin1String(kBrowserMainKey);
    if (!registry.keyExists(key))
        return false;
    return registry.writeString(key, QLatin1String(kDisableScriptDebugger),
                                disabled ? QStringLiteral("yes") : QStringLiteral("no"));
}

} // namespace vistrel::catalogue
