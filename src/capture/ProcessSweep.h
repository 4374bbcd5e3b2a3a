#pragma once

#include <QByteArray>

#include <sys/types.h>
#include <vector>

namespace vistrel::capture {

// Processes that are still alive (zombies do not count) in a process group,
// or whose command line mentions a text (a private folder only our own child
// processes know). Read from /proc.
std::vector<pid_t> livingGroupMembers(pid_t group);
std::vector<pid_t> livingProcessesMentioning(const QByteArray &text);

// Kills the group and every process mentioning the text, then waits (at most
// the given milliseconds) until none of them lives. True when all are gone.
bool sweepProcesses(pid_t group, const QByteArray &mentioning, int waitMilliseconds);

// The resident memory of a process group's living members, in bytes.
qint64 groupResidentBytes(pid_t group);

} // namespace vistrel::capture
