#pragma once

#include "server/http/HttpRange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <ctime>
#include <optional>

namespace vistrel::server::answers {

// Sent instead of serving a client beyond the server's client limit.
inline constexpr QByteArrayView kOverloaded =
    "HTTP/1.0 503 Service Unavailable\r\nContent-type: text/plain\r\nContent-length: 33\r\n\r\n"
    "Server overloaded. Retry later.\r\n";

inline constexpr char kMultipartBoundary[] = "[lka9uw3et5vxybtp87ghq23dpu7djv84nhls9p]";

// Header lines every served document and page of the program's own carries:
// no browser guesses a script out of a picture or text file, and no page of
// another site shows these pages in a frame to trick a click out of the user.
inline constexpr char kPageSafetyHeaders[] = "X-Content-Type-Options: nosniff\r\nX-Frame-Options: SAMEORIGIN\r\n";

// Content type for the extension of `document`.
QByteArray contentTypeFor(QByteArrayView document);

// "Wed, 08 Jan 2025 10:11:12 GMT".
QByteArray httpDate(std::time_t time);

// The built-in 404, 403 and 501 answers, header and body; the path is
// written into the body as HTML text.
struct BuiltIn
{
    QByteArray Header;
    QByteArray Body;
};
BuiltIn notFound(const QByteArray &version, const QByteArray &path);
BuiltIn forbidden(const QByteArray &version, const QByteArray &path);
BuiltIn unimplemented(const QByteArray &version);

// The answer to a request that breaks one of the engine's limits, in the
// style of the built-in answers; the connection closes after it.
BuiltIn refused(const QByteArray &version, int status, const QByteArray &reason);

// Status line text for the refusals above ("Payload Too Large", ...).
QByteArray reasonPhrase(int status);

// The document answer's header and, for several ranges, the layout of its
// multipart body.
struct DocumentPlan
{
    int Status = 200;              // 200, 206 or 416
    QByteArray Header;
    qint64 BodySize = 0;
    // Body pieces in order: a piece is either literal bytes or a file span.
    struct Piece
    {
        QByteArray Bytes;
        qint64 Start = 0;
        qint64 Length = 0;         // file bytes when Bytes is empty
    };
    QList<Piece> Pieces;
};

DocumentPlan planDocument(const QByteArray &version, const QByteArray &contentType, qint64 size,
                          std::optional<std::time_t> modified, const THttpRangeList &ranges, bool keepAlive);

} // namespace vistrel::server::answers
