#include "server/http/THttpAnswer.h"

namespace vistrel::server {

THttpAnswer THttpAnswer::bytes(QByteArray answer, bool thenClose)
{
    THttpAnswer a(Kind::Bytes);
    a.m_text = std::move(answer);
    a.m_thenClose = thenClose;
    return a;
}

THttpAnswer THttpAnswer::refused(int status, QByteArray reason)
{
    THttpAnswer a(Kind::Refused);
    a.m_status = status;
    a.m_text = std::move(reason);
    a.m_thenClose = true;
    return a;
}

} // namespace vistrel::server
