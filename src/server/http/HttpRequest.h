#pragma once

#include "server/http/HttpRange.h"

#include <QByteArray>
#include <QList>

namespace vistrel::server {

// What one request's line and header said. Texts are the bytes as received.
struct HttpRequest
{
    QByteArray Method;   // upper case
    QByteArray Path;     // target up to the first "?"
    QByteArray Params;   // target after the first "?"
    QByteArray Version;  // upper case, "HTTP/1.0" when the line has none
    QList<QByteArray> HeaderLines;

    qint64 ContentLength = 0;
    bool HasContentLength = false;
    bool HasTransferEncoding = false;
    QByteArray ContentType;
    QByteArray Accept;
    QByteArray Referer;
    QByteArray AcceptLanguage;
    QByteArray AcceptEncoding;
    QByteArray UserAgent;
    QByteArray Authorization;
    QByteArray Cookie;
    QByteArray Host;
    QByteArray HostName;
    QByteArray HostPort;
    QByteArray Connection;
    bool KeepAlive = false;
    THttpRangeList Ranges;

    void clear() { *this = HttpRequest(); }
};

} // namespace vistrel::server
