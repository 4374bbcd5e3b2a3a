#pragma once

#include <QString>

namespace vistrel::platform {

// The user's private runtime folder ($XDG_RUNTIME_DIR), or the temporary
// folder when there is none. The single-instance lock and socket live here.
QString runtimeFolder();

// Proof that this copy of the program is the one that runs for this user: an
// flock on a file in the runtime folder, held for the whole run. The system
// drops it when the process ends however it ends, so a dead copy never holds
// it, and a live one cannot lose it to another start.
class InstanceLock
{
public:
    enum class State { Claimed, HeldByOther, Unavailable };

    static QString defaultPath();
    explicit InstanceLock(QString path = defaultPath());
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Takes the lock without waiting. Unavailable: the file cannot be used
    // (unwritable folder, a file of another user), which says nothing about
    // other copies.
    State claim();
    QString path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

} // namespace vistrel::platform
