#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace vistrel::capture::http {

// Reads one response from the bytes a connection delivers, never touching the
// connection itself. Header lines are kept as sent (cut at the line limit, the
// first carriage return removed), the final empty line included. The body is
// read chunked, by Content-Length, or until the connection closes, and is cut
// at the body limit; a response that breaks the rules ends in failed().
class HttpResponseParser
{
public:
    explicit HttpResponseParser(bool readBody);

    // Consumes bytes; anything after the end of the response is ignored.
    void feed(QByteArrayView bytes);
    // The connection has closed: whatever was read so far is the response.
    void endOfStream();

    bool done() const { return m_phase == Phase::Done; }
    bool failed() const { return m_phase == Phase::Failed; }
    bool finished() const { return done() || failed(); }
    QString errorText() const { return m_error; }

    int status() const;
    const std::vector<std::string> &headerLines() const { return m_headers; }
    const QByteArray &body() const { return m_body; }
    // The body stopped at the limit, or the connection closed before the
    // announced length was complete.
    bool bodyTruncated() const { return m_truncated; }

    // The value of the first header line with this name (any case), trimmed.
    static bool headerValue(const std::vector<std::string> &lines, std::string_view name, std::string &value);

private:
    enum class Phase { Header, LengthBody, CloseBody, ChunkSize, ChunkData, ChunkDataEnd, Trailer, Done, Failed };

    // Collects one line into m_line; true when a line feed completed it.
    bool takeLine(const char *&p, const char *end, std::size_t limit);
    void headerLine();
    void startBody();
    void chunkSizeLine();
    bool appendBody(const char *data, std::size_t size);
    void fail(const QString &text);

    bool m_readBody;
    Phase m_phase = Phase::Header;
    std::string m_line;
    bool m_lineOverflow = false;
    std::vector<std::string> m_headers;
    QByteArray m_body;
    std::uint64_t m_remaining = 0;
    bool m_truncated = false;
    QString m_error;
};

} // namespace vistrel::capture::http
