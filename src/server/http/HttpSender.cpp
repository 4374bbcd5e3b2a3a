#include "server/http/HttpSender.h"

#include "server/http/HttpDocumentStream.h"
#include "server/http/HttpLimits.h"

#include <QScopedValueRollback>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace vistrel::server {

void HttpSender::write(QByteArrayView bytes)
{
    m_socket.write(bytes.data(), bytes.size());
}

HttpSender::Progress HttpSender::start(QByteArray header, std::unique_ptr<QIODevice> body, bool keepAlive)
{
    m_header = std::move(header);
    m_body = std::move(body);
    m_error.clear();
    m_sending = true;
    if (keepAlive && !m_lowDelay) {
        // The last piece of a kept-alive answer must not wait for an ACK;
        // a closing answer is pushed out by the shutdown anyway.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_lowDelay = true;
    }
    return pump();
}

HttpSender::Progress HttpSender::resume()
{
    return m_sending ? pump() : Progress::Done;
}

void HttpSender::drop()
{
    m_sending = false;
    m_header.clear();
    m_body.reset();
}

HttpSender::Progress HttpSender::fail(QString why)
{
    m_error = std::move(why);
    drop();
    return Progress::Failed;
}

HttpSender::Progress HttpSender::pump()
{
    // The answer goes out a batch of pieces at a time; the next batch is read
    // only once the previous one has been handed to the network, so memory
    // stays at one batch however large the answer.
    if (m_pumping)
        return Progress::Busy;
    const QScopedValueRollback pumping(m_pumping, true);

    while (m_sending) {
        if (m_socket.bytesToWrite() > 0)
            return Progress::Busy; // the socket layer still holds part of a batch
        if (const int r = sendFileSpan(); r < 0)
            return m_sending ? Progress::Busy : Progress::Failed;
        else if (r > 0)
            continue;
        QByteArray batch = std::exchange(m_header, QByteArray());
        const qsizetype headerSize = batch.size();
        batch.resize(headerSize + limits::kSendBatch);
        const qint64 n = m_body ? m_body->read(batch.data() + headerSize, limits::kSendBatch) : 0;
        if (n < 0)
            return fail(m_body->errorString());
        batch.truncate(headerSize + n);
        if (batch.isEmpty()) {
            drop();
            return Progress::Done;
        }
        if (!handOver(batch))
            return m_sending ? Progress::Busy : Progress::Failed;
    }
    return Progress::Failed;
}

int HttpSender::sendFileSpan()
{
    // A document's file bytes go from the file to the socket inside the
    // kernel, a batch at a time, the header just before them. When the
    // socket is full the ordinary road takes over, since only data queued in
    // the socket layer brings a bytesWritten notification.
    auto *document = qobject_cast<HttpDocumentStream *>(m_body.get());
    if (!document || !document->atFileSpan())
        return 0;
    if (!m_header.isEmpty() && !handOver(std::exchange(m_header, QByteArray()), MSG_MORE))
        return -1;
    const qint64 sent = document->sendFileTo(int(m_socket.socketDescriptor()), limits::kSendBatch);
    if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        fail(QString::fromLocal8Bit(std::strerror(errno)));
        return -1;
    }
    if (sent == 0) {
        fail(document->errorString());
        return -1;
    }
    return 1;
}

bool HttpSender::handOver(const QByteArray &bytes, int flags)
{
    // Straight to the kernel when the socket layer's buffer is empty; what the
    // kernel cannot take now is queued there and announced by bytesWritten.
    const int fd = int(m_socket.socketDescriptor());
    qint64 sent;
    do {
        sent = ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT | flags);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        sent = 0;
    }
    if (sent == bytes.size())
        return true;
    m_socket.write(bytes.constData() + sent, bytes.size() - sent);
    return false;
}

bool HttpSender::canCloseAtOnce(bool requestUnread)
{
    m_socket.flush();
    int unread = 0;
    return !requestUnread && m_socket.bytesToWrite() == 0 && m_socket.bytesAvailable() == 0
           && ::ioctl(int(m_socket.socketDescriptor()), FIONREAD, &unread) == 0 && unread == 0;
}

bool HttpSender::flush()
{
    m_socket.flush();
    return m_socket.bytesToWrite() == 0;
}

bool HttpSender::closeSend(qint64 now)
{
    if (m_drainDeadline > 0)
        return true;
    if (!flush())
        return false;
    ::shutdown(int(m_socket.socketDescriptor()), SHUT_WR);
    m_drainDeadline = now + limits::kCloseDrainTimeoutMs;
    return true;
}

bool HttpSender::drain()
{
    // After an answer that closes the connection the client may still be
    // sending; its bytes are dropped so that the close stays orderly.
    if (const qint64 n = m_socket.skip(m_socket.bytesAvailable()); n > 0)
        m_drained += n;
    return m_drained <= limits::kCloseDrainMaxBytes;
}

bool HttpSender::closeOverdue(qint64 now, qint64 lastActivity, int idleMs) const
{
    return m_drainDeadline > 0 ? now >= m_drainDeadline : now - lastActivity >= idleMs;
}

} // namespace vistrel::server
