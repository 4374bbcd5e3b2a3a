#pragma once

namespace vistrel::platform {

class RegistryFile;

// The platform's offline switch: the browser's "work offline" setting.
bool isOffline(const RegistryFile &registry);
bool isOffline();

} // namespace vistrel::platform
