#pragma once

#include "support/TestSupport.h"

#include <QByteArray>

#include <ostream>

// Readable failure messages for byte strings.
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toStdString() << '"';
}

namespace vistrel::test {

// A plain POSIX client socket on 127.0.0.1, non-blocking, driven from the
// test's event loop: it can half-close, stop reading or vanish mid-answer,
// which a Qt socket does not let a test do on purpose.
class LoopbackClient
{
public:
    explicit LoopbackClient(quint16 port);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient &) = delete;
    LoopbackClient &operator=(const LoopbackClient &) = delete;

    bool connected() const { return m_fd >= 0; }
    void send(const QByteArray &bytes);
    void shutdownWrite();
    void close();
    // Shrinks the receive buffer, so a client that stops reading stalls the
    // server quickly.
    void setSmallReceiveBuffer();

    // Everything until the server closes (or the time-out).
    QByteArray readUntilClosed(int timeoutMs = 5000);
    // One answer: its header and as many body bytes as Content-Length says.
    QByteArray readAnswer(int timeoutMs = 5000);
    // Up to and including the empty line that ends an answer's header.
    QByteArray readHeader(int timeoutMs = 5000);
    // Up to `count` bytes.
    QByteArray readSome(qsizetype count, int timeoutMs = 5000);
    bool peerClosed() const { return m_eof; }
    // True when the server closes within the time.
    bool waitClosed(int timeoutMs = 5000);

private:
    void pull();

    int m_fd = -1;
    QByteArray m_buffer;
    bool m_eof = false;
};

// Splits an answer text at its empty line.
struct SplitAnswer
{
    QByteArray header;
    QByteArray body;
};
SplitAnswer splitAnswer(const QByteArray &answer);

} // namespace vistrel::test
