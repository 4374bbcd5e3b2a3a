#include "capture/ProcessSweep.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <functional>
#include <unistd.h>

namespace vistrel::capture {

namespace {

constexpr int kSweepPollMilliseconds = 20;

struct ProcessInfo
{
    pid_t pid = 0;
    pid_t group = 0;
    char state = '?';
};

bool readStat(pid_t pid, ProcessInfo &info)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = file.read(4096);
    // "pid (comm) state ppid pgrp ...": comm may hold blanks and parentheses.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 3 || fields[0].isEmpty())
        return false;
    info.pid = pid;
    info.state = fields[0][0];
    info.group = pid_t(fields[2].toInt());
    return true;
}

void forEachLiving(const std::function<void(const ProcessInfo &)> &visit)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        const pid_t pid = pid_t(entry.toInt(&numeric));
        ProcessInfo info;
        if (numeric && readStat(pid, info) && info.state != 'Z' && info.state != 'X')
            visit(info);
    }
}

} // namespace

std::vector<pid_t> livingGroupMembers(pid_t group)
{
    std::vector<pid_t> out;
    if (group <= 1)
        return out;
    forEachLiving([&](const ProcessInfo &info) {
        if (info.group == group)
            out.push_back(info.pid);
    });
    return out;
}

std::vector<pid_t> livingProcessesMentioning(const QByteArray &text)
{
    std::vector<pid_t> out;
    if (text.isEmpty())
        return out;
    forEachLiving([&](const ProcessInfo &info) {
        QFile file(QStringLiteral("/proc/%1/cmdline").arg(info.pid));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
            out.push_back(info.pid);
    });
    return out;
}

bool sweepProcesses(pid_t group, const QByteArray &mentioning, int waitMilliseconds)
{
    for (int waited = 0;; waited += kSweepPollMilliseconds) {
        bool any = false;
        if (group > 1 && !livingGroupMembers(group).empty()) {
            ::kill(-group, SIGKILL);
            any = true;
        }
        for (pid_t pid : livingProcessesMentioning(mentioning)) {
            ::kill(pid, SIGKILL);
            any = true;
        }
        if (!any)
            return true;
        if (waited >= waitMilliseconds)
            return false;
        QThread::msleep(kSweepPollMilliseconds);
    }
}

qint64 groupResidentBytes(pid_t group)
{
    static const qint64 pageBytes = ::sysconf(_SC_PAGESIZE);
    qint64 total = 0;
    for (pid_t pid : livingGroupMembers(group)) {
        QFile file(QStringLiteral("/proc/%1/statm").arg(pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // "size resident shared ...", in pages.
        const QList<QByteArray> fields = file.read(256).split(' ');
        if (fields.size() > 1)
            total += fields[1].toLongLong() * pageBytes;
    }
    return total;
}

} // namespace vistrel::capture
