#include "server/TMyHttpConnection.h"

#include "server/http/HttpLimits.h"

namespace vistrel::server {

TMyHttpConnection::TMyHttpConnection(QObject *parent) : THttpConnection(parent) {}

TMyHttpConnection::~TMyHttpConnection()
{
    // The body goes before the base class closes anything.
    m_posted = QByteArray();
}

bool TMyHttpConnection::BeginPostedData(qint64 length)
{
    m_posted = QByteArray();
    m_postedCount = 0;
    m_postedLength = 0;
    if (length < 0 || length > limits::kMaxPostedBody)
        return false;
    m_postedLength = length;
    // One byte more than the body, as the body is kept zero-terminated.
    m_posted.reserve(qsizetype(length) + 1);
    return true;
}

qint64 TMyHttpConnection::ReceivePostedData()
{
    const qint64 remaining = m_postedLength - m_postedCount;
    if (remaining <= 0)
        return 0;
    const qsizetype before = m_posted.size();
    m_posted.resize(before + qsizetype(remaining));
    const qint64 n = Receive(m_posted.data() + before, remaining);
    m_posted.resize(before + qsizetype(std::max<qint64>(n, 0)));
    if (n > 0)
        m_postedCount += n;
    return n;
}

} // namespace vistrel::server
