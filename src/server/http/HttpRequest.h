#pragma once

#include "server/http/HttpHeaders.h"
#include "server/http/HttpRange.h"

#include <QByteArray>

namespace vistrel::server {

// What one request's line and header said. Texts are the bytes as received.
struct HttpRequest
{
    QByteArray Method;   // upper case
    QByteArray Path;     // target up to the first "?"
    QByteArray Params;   // target after the first "?"
    QByteArray Version;  // upper case, "HTTP/1.0" when the line has none
    HttpHeaders Headers;

    // What the engine itself takes from the header.
    qint64 ContentLength = 0;
    bool HasTransferEncoding = false;
    bool KeepAlive = false;
    THttpRangeList Ranges;

    void clear();
};

} // namespace vistrel::server
