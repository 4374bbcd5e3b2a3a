#pragma once

#include "server/http/HttpRequest.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace vistrel::server {

// Turns raw request bytes into an HttpRequest. It never touches a socket: the
// connection feeds it whatever arrived and gets back how much was taken. It
// stops right behind the empty line that ends a header, so body bytes and the
// next request stay with the caller until reset() asks for the next request.
class HttpRequestParser
{
public:
    enum class Status { NeedMore, HeaderComplete, Failed };
    enum class State { RequestLine, HeaderLines, Complete, Failed };

    Status feed(QByteArrayView data, qsizetype *consumed);
    // Waits for the next request line; the finished request's fields stay
    // readable until that line arrives.
    void reset();

    State state() const { return m_state; }
    // True once any byte of a request that is not complete yet has arrived.
    bool inRequest() const { return m_state == State::HeaderLines || !m_line.isEmpty(); }
    const HttpRequest &request() const { return m_request; }
    // The 4xx status for a failed request, and a short reason for it.
    int failureStatus() const { return m_failureStatus; }
    const char *failureReason() const { return m_failureReason; }

    static void parseRequestLine(QByteArrayView line, HttpRequest &request);

private:
    void takeLine(QByteArrayView line);
    // What the engine needs from the complete header, looked up in it.
    void takeHeader();
    std::optional<qint64> contentLength(QByteArrayView value);
    void fail(int status, const char *reason);

    HttpRequest m_request;
    QByteArray m_line;
    State m_state = State::RequestLine;
    int m_emptyLines = 0;
    qsizetype m_headerBytes = 0;
    int m_failureStatus = 0;
    const char *m_failureReason = "";
};

} // namespace vistrel::server
