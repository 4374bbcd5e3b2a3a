#include "support/LoopbackClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vistrel::test {

LoopbackClient::LoopbackClient(quint16 port)
{
    // Connecting without blocking: the server runs in this thread and has to
    // accept while the client waits.
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
        return;
    bool ok = errno == EINPROGRESS && spinUntil([&] {
        pollfd p{m_fd, POLLOUT, 0};
        return ::poll(&p, 1, 0) > 0;
    });
    int error = 0;
    socklen_t length = sizeof error;
    ok = ok && ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    if (!ok) {
        ::close(m_fd);
        m_fd = -1;
    }
}

LoopbackClient::~LoopbackClient()
{
    close();
}

void LoopbackClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void LoopbackClient::setSmallReceiveBuffer()
{
    const int size = 4096;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

void LoopbackClient::send(const QByteArray &bytes)
{
    qsizetype offset = 0;
    spinUntil(
        [&] {
            while (offset < bytes.size()) {
                const ssize_t n = ::send(m_fd, bytes.constData() + offset, size_t(bytes.size() - offset), MSG_NOSIGNAL);
                if (n <= 0)
                    return n < 0 && errno != EAGAIN; // a closed peer ends the attempt
                offset += n;
            }
            return true;
        },
        5000);
}

void LoopbackClient::shutdownWrite()
{
    ::shutdown(m_fd, SHUT_WR);
}

void LoopbackClient::pull()
{
    if (m_fd < 0 || m_eof)
        return;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            m_buffer.append(chunk, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            m_eof = true;
        return;
    }
}

QByteArray LoopbackClient::readUntilClosed(int timeoutMs)
{
    spinUntil(
        [&] {
            pull();
            return m_eof;
        },
        timeoutMs);
    return std::exchange(m_buffer, QByteArray());
}

bool LoopbackClient::waitClosed(int timeoutMs)
{
    return spinUntil(
        [&] {
            pull();
            return m_eof;
        },
        timeoutMs);
}

QByteArray LoopbackClient::readSome(qsizetype count, int timeoutMs)
{
    spinUntil(
        [&] {
            pull();
            return m_buffer.size() >= count || m_eof;
        },
        timeoutMs);
    const QByteArray out = m_buffer.left(count);
    m_buffer.remove(0, out.size());
    return out;
}

QByteArray LoopbackClient::readHeader(int timeoutMs)
{
    spinUntil(
        [&] {
            pull();
            return m_buffer.contains("\r\n\r\n") || m_eof;
        },
        timeoutMs);
    const qsizetype end = m_buffer.indexOf("\r\n\r\n");
    const QByteArray out = end < 0 ? m_buffer : m_buffer.left(end + 4);
    m_buffer.remove(0, out.size());
    return out;
}

QByteArray LoopbackClient::readAnswer(int timeoutMs)
{
    qsizetype total = -1;
    spinUntil(
        [&] {
            pull();
            const qsizetype end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return m_eof;
            qsizetype length = 0;
            const QByteArray header = m_buffer.left(end).toLower();
            const qsizetype at = header.indexOf("content-length: ");
            if (at >= 0)
                length = header.mid(at + 16, header.indexOf("\r\n", at) - at - 16).toLongLong();
            total = end + 4 + length;
            return m_buffer.size() >= total || m_eof;
        },
        timeoutMs);
    if (total < 0)
        total = m_buffer.size();
    const QByteArray out = m_buffer.left(total);
    m_buffer.remove(0, out.size());
    return out;
}

SplitAnswer splitAnswer(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    if (end < 0)
        return {answer, {}};
    return {answer.left(end + 4), answer.mid(end + 4)};
}

} // namespace vistrel::test
