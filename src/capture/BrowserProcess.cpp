#include "capture/BrowserProcess.h"

#include "capture/ProcessSweep.h"

#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vistrel::capture {

namespace {

constexpr int kBrowserInput = 3;
constexpr int kBrowserOutput = 4;
// Spare descriptors are moved above this before the child's 3 and 4 are set,
// so no dup2 ever lands on its own source (which would keep close-on-exec).
constexpr int kFirstSpareDescriptor = 10;
constexpr int kReapPollMs = 10;

std::vector<char *> pointers(std::vector<std::string> &strings)
{
    std::vector<char *> out;
    out.reserve(strings.size() + 1);
    for (std::string &s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> encoded(const QStringList &list)
{
    std::vector<std::string> out;
    out.reserve(size_t(list.size()));
    for (const QString &item : list)
        out.push_back(QFile::encodeName(item).toStdString());
    return out;
}

} // namespace

BrowserProcess::BrowserProcess(QObject *parent) : QObject(parent) {}

BrowserProcess::~BrowserProcess()
{
    stop();
}

bool BrowserProcess::start(const QString &program, const QStringList &arguments, const QStringList &environment,
                           const QString &workingFolder)
{
    stop();
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const int childEnd = ::fcntl(pair[1], F_DUPFD_CLOEXEC, kFirstSpareDescriptor);
    ::close(pair[1]);
    if (childEnd < 0) {
        ::close(pair[0]);
        return false;
    }

    std::vector<std::string> argStrings = encoded(QStringList{program} + arguments);
    std::vector<std::string> envStrings = encoded(environment);
    std::vector<char *> argv = pointers(argStrings);
    std::vector<char *> envp = pointers(envStrings);
    const std::string folder = QFile::encodeName(workingFolder).toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, childEnd, kBrowserInput);
    posix_spawn_file_actions_adddup2(&actions, childEnd, kBrowserOutput);
    if (!folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // A session and so a process group of its own; default signal handling,
    // whatever this program set for itself.
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGQUIT})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(childEnd);
    if (failed != 0) {
        ::close(pair[0]);
        return false;
    }
    m_pid = pid;
    m_reaped = false;
    m_socket = pair[0];
    ::fcntl(m_socket, F_SETFL, ::fcntl(m_socket, F_GETFL) | O_NONBLOCK);
    m_reader = new QSocketNotifier(qintptr(m_socket), QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &BrowserProcess::readReady);
    m_writer = new QSocketNotifier(qintptr(m_socket), QSocketNotifier::Write, this);
    m_writer->setEnabled(false);
    connect(m_writer, &QSocketNotifier::activated, this, &BrowserProcess::writeReady);
    return true;
}

bool BrowserProcess::isRunning()
{
    if (m_pid <= 0 || m_socket < 0 || m_reaped)
        return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return false;
    }
    return true;
}

void BrowserProcess::write(const QByteArray &bytes)
{
    if (m_socket < 0)
        return;
    m_unwritten.append(bytes);
    writeReady();
}

void BrowserProcess::writeReady()
{
    while (m_socket >= 0 && !m_unwritten.isEmpty()) {
        const ssize_t written = ::send(m_socket, m_unwritten.constData(), size_t(m_unwritten.size()), MSG_NOSIGNAL);
        if (written > 0) {
            m_unwritten.remove(0, written);
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writer->setEnabled(true);
            return;
        }
        closePipe();
        emit ended();
        return;
    }
    if (m_writer)
        m_writer->setEnabled(false);
}

void BrowserProcess::readReady()
{
    QByteArray bytes;
    bool closed = false;
    while (m_socket >= 0) {
        const qsizetype had = bytes.size();
        bytes.resize(had + kReadChunkBytes);
        const ssize_t got = ::read(m_socket, bytes.data() + had, kReadChunkBytes);
        if (got > 0) {
            bytes.resize(had + got);
            continue;
        }
        bytes.resize(had);
        if (got < 0 && errno == EINTR)
            continue;
        closed = !(got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
    }
    if (!bytes.isEmpty())
        emit received(bytes);
    if (closed) {
        closePipe();
        emit ended();
    }
}

void BrowserProcess::closePipe()
{
    delete m_reader;
    m_reader = nullptr;
    delete m_writer;
    m_writer = nullptr;
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
    m_unwritten.clear();
}

void BrowserProcess::stop(const QByteArray &mentioning)
{
    closePipe();
    if (m_pid <= 0)
        return;
    ::kill(-m_pid, SIGKILL);
    ::kill(m_pid, SIGKILL);
    for (int waited = 0; !m_reaped && waited < kStopWaitMs; waited += kReapPollMs) {
        int status = 0;
        const pid_t got = ::waitpid(m_pid, &status, WNOHANG);
        if (got == m_pid || (got < 0 && errno == ECHILD))
            m_reaped = true;
        else
            QThread::msleep(kReapPollMs);
    }
    sweepProcesses(m_pid, mentioning, kStopWaitMs);
    m_pid = 0;
}

} // namespace vistrel::capture
