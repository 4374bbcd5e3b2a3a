#include "server/http/HttpAnswers.h"

#include "server/http/HttpHtmlText.h"

#include <cstdio>

namespace vistrel::server::answers {

namespace {

struct TypeEntry
{
    QByteArrayView extension;
    QByteArrayView type;
};

constexpr TypeEntry kContentTypes[] = {
    {"htm", "text/html"},
    {"html", "text/html"},
    {"gif", "image/gif"},
    {"bmp", "image/bmp"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"txt", "text/plain"},
    {"css", "text/css"},
    {"wav", "audio/x-wav"},
    {"ico", "image/x-icon"},
    {"wml", "text/vnd.wap.wml"},
    {"wbmp", "image/vnd.wap.wbmp"},
    {"wmlc", "application/vnd.wap.wmlc"},
    {"wmlscript", "text/vnd.wap.wmlscript"},
    {"wmlscriptc", "application/vnd.wap.wmlscriptc"},
    {"pdf", "application/pdf"},
};

BuiltIn htmlAnswer(const QByteArray &version, const QByteArray &status, const QByteArray &text,
                   const QByteArray &path)
{
    BuiltIn answer;
    answer.Body = QByteArray("<HTML><HEAD><TITLE>") + status + "</TITLE></HEAD><BODY><H1>" + status
                  + "</H1>The requested URL " + escapeHtmlText(path) + ' ' + text
                  + " on this server.<P></BODY></HTML>\r\n";
    answer.Header = version + ' ' + status + "\r\nContent-Type: text/html\r\nContent-Length: "
                    + QByteArray::number(answer.Body.size()) + "\r\n\r\n";
    return answer;
}

QByteArray contentRange(const THttpByteSpan &span, qint64 size)
{
    return "bytes " + QByteArray::number(span.Start) + '-' + QByteArray::number(span.End) + '/'
           + QByteArray::number(size);
}

} // namespace

QByteArray contentTypeFor(QByteArrayView document)
{
    const qsizetype slash = document.lastIndexOf('/');
    const qsizetype dot = document.lastIndexOf('.');
    if (dot < 0 || dot < slash)
        return "application/binary";
    const QByteArray extension = document.sliced(dot + 1).toByteArray().toLower();
    for (const TypeEntry &entry : kContentTypes) {
        if (extension == entry.extension)
            return entry.type.toByteArray();
    }
    return "application/binary";
}

QByteArray httpDate(std::time_t time)
{
    static constexpr char kDays[] = "MonTueWedThuFriSatSun";
    static constexpr char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    std::tm utc{};
    gmtime_r(&time, &utc);
    const int day = (utc.tm_wday + 6) % 7;
    char text[64];
    std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d GMT", kDays + day * 3,
                  utc.tm_mday, kMonths + utc.tm_mon * 3, utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

BuiltIn notFound(const QByteArray &version, const QByteArray &path)
{
    return htmlAnswer(version, "404 Not Found", "was not found", path);
}

BuiltIn forbidden(const QByteArray &version, const QByteArray &path)
{
    return htmlAnswer(version, "403 Forbidden", "is Forbidden", path);
}

BuiltIn unimplemented(const QByteArray &version)
{
    BuiltIn answer;
    answer.Body = "501 Unimplemented";
    answer.Header = version + " 501 Unimplemented\r\nContent-Type: text/plain\r\nContent-Length: "
                    + QByteArray::number(answer.Body.size()) + "\r\n\r\n";
    return answer;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Unimplemented";
    default: return "Bad Request";
    }
}

BuiltIn refused(const QByteArray &version, int status, const QByteArray &reason)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status);
    BuiltIn answer;
    answer.Body = "<HTML><HEAD><TITLE>" + title + "</TITLE></HEAD><BODY><H1>" + title + "</H1>"
                  + escapeHtmlText(reason) + "<P></BODY></HTML>\r\n";
    answer.Header = version + ' ' + title + "\r\nContent-Type: text/html\r\nContent-Length: "
                    + QByteArray::number(answer.Body.size()) + "\r\n" + kPageSafetyHeaders + "Connection: Close\r\n\r\n";
    return answer;
}

DocumentPlan planDocument(const QByteArray &version, const QByteArray &contentType, qint64 size,
                          std::optional<std::time_t> modified, const THttpRangeList &ranges, bool keepAlive)
{
    DocumentPlan plan;
    QByteArray &h = plan.Header;
    h = version;
    if (ranges.isEmpty()) {
        plan.Status = 200;
        h += " 200 OK\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(size)
             + "\r\nAccept-Ranges: bytes\r\n";
        plan.BodySize = size;
        if (size > 0)
            plan.Pieces.append({{}, 0, size});
    } else if (const auto spans = ranges.resolve(size); !spans) {
        plan.Status = 416;
        // Without a length a kept-alive client would wait for a body forever.
        h += " 416 Request range not satisfiable\r\nContent-Length: 0\r\n";
    } else if (spans->size() == 1) {
        const THttpByteSpan &span = spans->first();
        plan.Status = 206;
        h += " 206 Partial Content\r\nContent-Type: " + contentType + "\r\nContent-Length: "
             + QByteArray::number(span.size()) + "\r\nContent-Range: " + contentRange(span, size) + "\r\n";
        plan.BodySize = span.size();
        plan.Pieces.append({{}, span.Start, span.size()});
    } else {
        plan.Status = 206;
        for (qsizetype i = 0; i < spans->size(); ++i) {
            const THttpByteSpan &span = spans->at(i);
            QByteArray partHeader = i == 0 ? QByteArray() : QByteArray("\r\n");
            partHeader += "--" + QByteArray(kMultipartBoundary) + "\r\nContent-Type: " + contentType
                          + "\r\nContent-Range: " + contentRange(span, size) + "\r\n\r\n";
            plan.BodySize += partHeader.size() + span.size();
            plan.Pieces.append({partHeader, 0, 0});
            plan.Pieces.append({{}, span.Start, span.size()});
        }
        const QByteArray closing = "\r\n--" + QByteArray(kMultipartBoundary) + "--\r\n";
        plan.BodySize += closing.size();
        plan.Pieces.append({closing, 0, 0});
        h += " 206 Partial Content\r\nContent-Type: multipart/byteranges; boundary=" + QByteArray(kMultipartBoundary)
             + "\r\nContent-Length: " + QByteArray::number(plan.BodySize) + "\r\n";
    }
    if (modified)
        h += "Last-Modified: " + httpDate(*modified) + "\r\n";
    h += kPageSafetyHeaders;
    h += keepAlive ? "Connection: Keep-Alive\r\n\r\n" : "Connection: Close\r\n\r\n";
    return plan;
}

} // namespace vistrel::server::answers
