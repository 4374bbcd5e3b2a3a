#include "server/http/THttpAnswer.h"

#include "server/http/HttpHeaders.h"
#include "server/http/HttpLimits.h"

namespace vistrel::server {

namespace {

// Whether the header at the start of a handler's own answer gives its
// length, so that the connection may be kept open behind it.
bool declaresLength(const QByteArray &answer)
{
    const QByteArrayView start = QByteArrayView(answer).first(std::min(answer.size(), limits::kAnswerHeaderScan));
    qsizetype end = start.indexOf("\r\n\r\n");
    if (end < 0)
        end = start.indexOf("\n\n");
    if (end < 0)
        return false;
    HttpHeaders header;
    qsizetype pos = start.indexOf('\n') + 1; // past the status line
    while (pos > 0 && pos < end) {
        qsizetype lineEnd = start.indexOf('\n', pos);
        if (lineEnd < 0 || lineEnd > end)
            lineEnd = end;
        header.append(start.sliced(pos, lineEnd - pos).trimmed().toByteArray());
        pos = lineEnd + 1;
    }
    return !header.value("content-length").trimmed().isEmpty();
}

} // namespace

THttpAnswer THttpAnswer::bytes(QByteArray answer, bool thenClose)
{
    THttpAnswer a(Kind::Bytes);
    a.m_text = std::move(answer);
    a.m_thenClose = thenClose || !declaresLength(a.m_text);
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
