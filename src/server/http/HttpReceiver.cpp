#include "server/http/HttpReceiver.h"

#include "server/http/HttpLimits.h"

#include <QTcpSocket>

namespace vistrel::server {

HttpReceiver::Header HttpReceiver::readHeader(qint64 now)
{
    if (m_parser.state() == HttpRequestParser::State::Complete)
        m_parser.reset();
    const qint64 available = m_socket->bytesAvailable();
    if (available <= 0)
        return Header::NeedMore;
    const QByteArray chunk = m_socket->peek(std::min<qint64>(available, limits::kParseChunk));
    qsizetype consumed = 0;
    const HttpRequestParser::Status status = m_parser.feed(chunk, &consumed);
    m_socket->skip(consumed);
    if (m_parser.inRequest() && m_headerStart < 0)
        m_headerStart = now;
    switch (status) {
    case HttpRequestParser::Status::Failed: return Header::Failed;
    case HttpRequestParser::Status::HeaderComplete: m_headerStart = -1; return Header::Complete;
    default: return Header::NeedMore;
    }
}

qint64 HttpReceiver::readBody(char *buffer, qint64 size)
{
    size = std::min(size, m_bodyRemaining);
    if (size <= 0)
        return 0;
    const qint64 n = m_socket->read(buffer, size);
    if (n > 0)
        m_bodyRemaining -= n;
    return n;
}

bool HttpReceiver::bodyWaiting() const
{
    return m_bodyRemaining > 0 && m_socket->bytesAvailable() > 0;
}

bool HttpReceiver::discardBody()
{
    if (const qint64 n = m_socket->skip(std::min(m_socket->bytesAvailable(), m_bodyRemaining)); n > 0)
        m_bodyRemaining -= n;
    return m_bodyRemaining == 0;
}

} // namespace vistrel::server
