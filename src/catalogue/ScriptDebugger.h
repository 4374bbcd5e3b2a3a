#pragma once

namespace vistrel::platform {
class RegistryFile;
}

namespace vistrel::catalogue {

// The browser's "Disable Script Debugger" switch, turned off for the duration of
// a refresh so that script errors on the captured pages open no debugger. The
// browser's settings key is only ever opened, never created.
inline constexpr const char *kBrowserMainKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char *kDisableScriptDebugger = "Disable Script Debugger";

// True when the value reads "yes" (in any letter case).
bool scriptDebuggerDisabled(const platform::RegistryFile &registry);
// Writes "yes" or "no"; false (and nothing written) when the key does not exist
// or the write failed.
bool setScriptDebuggerDisabled(platform::RegistryFile &registry, bool disabled);

} // namespace vistrel::catalogue
