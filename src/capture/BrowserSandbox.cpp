#include "capture/BrowserSandbox.h"

#include <cerrno>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vistrel::capture {

bool sandboxCanWork(uid_t uid, bool userNamespaces)
{
    return uid != 0 && userNamespaces;
}

bool userNamespacesAvailable()
{
    // A kernel or security module may allow the user namespace but deny what
    // the sandbox does inside it; one call asks for all three at once.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    pid_t got = 0;
    do
        got = ::waitpid(child, &status, 0);
    while (got < 0 && errno == EINTR);
    return got == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool browserSandboxed()
{
    static const bool sandboxed = ::geteuid() != 0 && sandboxCanWork(::geteuid(), userNamespacesAvailable());
    return sandboxed;
}

QString unsandboxedNotice()
{
    return QStringLiteral("Page pictures are taken with the browser's sandbox off: it cannot work %1. "
                          "The browser still runs in a throwaway profile, in a process group of its own.")
        .arg(::geteuid() == 0 ? QStringLiteral("for the root user") : QStringLiteral("without user namespaces"));
}

} // namespace vistrel::capture
