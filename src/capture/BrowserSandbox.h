#pragma once

#include <QString>

#include <sys/types.h>

namespace vistrel::capture {

// Whether the browser's own sandbox can work: it refuses to run as root, and
// without a setuid helper (which we never rely on) it needs user namespaces.
bool sandboxCanWork(uid_t uid, bool userNamespaces);

// Whether this process may make user, process-id and network namespaces, as
// the browser's sandbox does; tried once in a short-lived child.
bool userNamespacesAvailable();

// The decision for this run (asked once, then remembered).
bool browserSandboxed();

// The one display line when the pictures are taken without it.
QString unsandboxedNotice();

} // namespace vistrel::capture
