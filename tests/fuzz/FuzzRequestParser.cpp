// Differential fuzzing of the request parser: the same bytes fed whole and in
// arbitrary pieces must give the same requests, every request must respect
// the limits, and whatever path it names must map inside the document folder
// or be marked outside it.
#include "server/http/HttpAnswers.h"
#include "server/http/HttpHtmlText.h"
#include "server/http/HttpLimits.h"
#include "server/http/HttpPath.h"
#include "server/http/HttpRequestParser.h"

#include <cstdint>
#include <cstdlib>

using namespace vistrel::server;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

struct Outcome
{
    QList<HttpRequest> requests;
    int failure = 0;
};

bool sameRequest(const HttpRequest &a, const HttpRequest &b)
{
    return a.Method == b.Method && a.Path == b.Path && a.Params == b.Params && a.Version == b.Version
           && a.Headers.lines() == b.Headers.lines() && a.ContentLength == b.ContentLength
           && a.Headers.value("host") == b.Headers.value("host") && a.KeepAlive == b.KeepAlive && a.Ranges.items() == b.Ranges.items()
           && a.Ranges.tooMany() == b.Ranges.tooMany() && a.HasTransferEncoding == b.HasTransferEncoding;
}

// Runs the parser over `data` as a connection would, skipping each body.
Outcome run(QByteArrayView data, uint32_t seed, bool split)
{
    Outcome outcome;
    HttpRequestParser parser;
    qsizetype pos = 0;
    qint64 bodyLeft = 0;
    uint32_t state = seed | 1;
    while (pos < data.size()) {
        if (bodyLeft > 0) {
            const qint64 skip = std::min<qint64>(bodyLeft, data.size() - pos);
            pos += skip;
            bodyLeft -= skip;
            continue;
        }
        qsizetype piece = data.size() - pos;
        if (split) {
            state = state * 1103515245u + 12345u;
            piece = std::min<qsizetype>(piece, 1 + (state >> 16) % 64);
        }
        qsizetype consumed = 0;
        const auto status = parser.feed(data.sliced(pos, piece), &consumed);
        check(consumed >= 0 && consumed <= piece);
        pos += consumed;
        if (status == HttpRequestParser::Status::Failed) {
            const int f = parser.failureStatus();
            check(f == 400 || f == 413 || f == 414 || f == 431);
            outcome.failure = f;
            return outcome;
        }
        if (status == HttpRequestParser::Status::HeaderComplete) {
            const HttpRequest &r = parser.request();
            check(r.Headers.size() <= limits::kMaxHeaderLines);
            for (const QByteArray &line : r.Headers.lines())
                check(line.size() <= limits::kMaxHeaderLine && !line.isEmpty());
            check(r.ContentLength >= 0 && r.ContentLength <= limits::kMaxPostedBody);
            // Every named line is found by its name in any letter case.
            for (const QByteArray &line : r.Headers.lines()) {
                const qsizetype colon = line.indexOf(':');
                if (colon >= 0)
                    check(!r.Headers.value(line.first(colon).toUpper()).isNull());
            }
            check(!r.Version.isEmpty());
            outcome.requests.append(r);
            bodyLeft = r.ContentLength;
            parser.reset();
        } else {
            check(consumed == piece);
        }
    }
    return outcome;
}

void checkMapping(const HttpRequest &r)
{
    const QByteArray root = "/srv/docs";
    const httppath::Mapping m = httppath::mapPath(r.Path, root);
    if (!m.OutsideRoot) {
        check(httppath::isInsideRoot(m.Document, root));
        check(!m.Document.contains("/../") && !m.Document.endsWith("/..") && !m.Document.contains('\0'));
        check(!m.Document.contains("/./") && !m.Document.contains("//"));
    }
    const QByteArray once = httppath::normalise(m.Document);
    check(httppath::normalise(once) == once);

    const QByteArray html = escapeHtmlText(r.Path);
    check(!html.contains('<') || html.contains("\n<BR>"));
    check(!html.contains('>') && !html.contains('"') && !html.contains('\''));

    for (const qint64 size : {qint64(0), qint64(1), qint64(100)}) {
        if (const auto spans = r.Ranges.resolve(size)) {
            check(!r.Ranges.tooMany());
            for (const THttpByteSpan &span : *spans)
                check(span.Start >= 0 && span.Start <= span.End && span.End < size);
            const answers::DocumentPlan plan =
                answers::planDocument(r.Version, "text/plain", size, std::nullopt, r.Ranges, r.KeepAlive);
            qint64 total = 0;
            for (const auto &piece : plan.Pieces)
                total += piece.Bytes.isEmpty() ? piece.Length : piece.Bytes.size();
            check(total == plan.BodySize);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint32_t seed = data[0];
    const QByteArrayView text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const Outcome whole = run(text, seed, false);
    const Outcome pieces = run(text, seed, true);
    check(whole.failure == pieces.failure);
    check(whole.requests.size() == pieces.requests.size());
    for (qsizetype i = 0; i < whole.requests.size(); ++i) {
        check(sameRequest(whole.requests[i], pieces.requests[i]));
        checkMapping(whole.requests[i]);
    }
    return 0;
}
