#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

class QTcpSocket;

namespace vistrel::server {

// The sending side of one connection: answers go out a batch at a time (file
// bytes straight from the file with sendfile), and the connection is closed
// in order, so an answer is never cut short by the close.
class HttpSender
{
public:
    enum class Progress { Busy, Done, Failed };

    explicit HttpSender(QTcpSocket &socket) : m_socket(socket) {}

    // Queues a short answer whole.
    void write(QByteArrayView bytes);
    // Starts sending `header` and then `body` (none: the header alone).
    Progress start(QByteArray header, std::unique_ptr<QIODevice> body, bool keepAlive);
    // Goes on once the network has taken the previous batch.
    Progress resume();
    bool sending() const { return m_sending; }
    // Why the last batch failed.
    const QString &error() const { return m_error; }
    // Drops the answer being sent (and its file) at once.
    void drop();

    // With the whole request read and nothing left to send or to read,
    // closing at once still delivers the answer; otherwise closing would
    // reset the connection and could destroy the answer in flight.
    bool canCloseAtOnce(bool requestUnread);
    // Pushes out what is queued; true once nothing is left to send.
    bool flush();

    // The orderly close: once what is queued has gone, only the sending side
    // ends, so the client reads the whole answer and then closes. True once
    // that has happened (at once, or at a later call after bytes were written).
    bool closeSend(qint64 now);
    // Drops what the client still sends meanwhile; false once it has sent
    // more than a closing connection reads.
    bool drain();
    // The close has waited too long: for the client to take the queued bytes
    // (no byte moved for `idleMs`), or to close after the shutdown.
    bool closeOverdue(qint64 now, qint64 lastActivity, int idleMs) const;

private:
    Progress pump();
    int sendFileSpan();
    bool handOver(const QByteArray &bytes, int flags = 0);
    Progress fail(QString why);

    QTcpSocket &m_socket;
    QByteArray m_header;
    std::unique_ptr<QIODevice> m_body;
    QString m_error;
    qint64 m_drainDeadline = 0; // 0 until the sending side is shut
    qint64 m_drained = 0;
    bool m_sending = false;
    bool m_pumping = false;
    bool m_lowDelay = false;
};

} // namespace vistrel::server
