#pragma once

#include "server/http/HttpRequestParser.h"

#include <QtGlobal>

class QTcpSocket;

namespace vistrel::server {

// The receiving side of one connection: a request's header through the
// parser, then its body, read by the handler or dropped.
class HttpReceiver
{
public:
    enum class Header { NeedMore, Complete, Failed };

    void attach(QTcpSocket &socket) { m_socket = &socket; }
    const HttpRequest &request() const { return m_parser.request(); }
    const HttpRequestParser &parser() const { return m_parser; }

    // Feeds the parser what has arrived, up to the end of one header.
    Header readHeader(qint64 now);
    // The header began this long ago or more without ending.
    bool headerLate(qint64 now, int headerMs) const { return m_headerStart >= 0 && now - m_headerStart >= headerMs; }
    void stopHeaderClock() { m_headerStart = -1; }

    // The body of the request just read, as its header announced it.
    void expectBody(qint64 length) { m_bodyRemaining = length; }
    qint64 bodyRemaining() const { return m_bodyRemaining; }
    // Up to `size` body bytes; the count, 0 or less when none.
    qint64 readBody(char *buffer, qint64 size);
    bool bodyWaiting() const;
    // Drops what has arrived of the body; true once none is left.
    bool discardBody();
    void forgetBody() { m_bodyRemaining = 0; }

private:
    QTcpSocket *m_socket = nullptr;
    HttpRequestParser m_parser;
    qint64 m_headerStart = -1;
    qint64 m_bodyRemaining = 0;
};

} // namespace vistrel::server
