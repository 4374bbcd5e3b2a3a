#pragma once

#include <QByteArray>

namespace vistrel::server {

// What a handler answers a request with. The engine proposes one (the mapped
// document for GET and HEAD, 404 for POST, 403 outside the document folder)
// and the handler returns it or another.
class THttpAnswer
{
public:
    enum class Kind {
        Document,   // the mapped document file, whole or the ranges asked for
        Bytes,      // the handler's own answer, status line and header included
        NotFound,   // the built-in 404 answer
        Forbidden,  // the built-in 403 answer
        Refused,    // a built-in refusal with its status and reason; closes
        Pending,    // the handler answers later through THttpConnection::Answer()
        TakeBody,   // POST only: the body goes to the handler's OnPostedData
        None,       // nothing is sent; the connection closes unless kept alive
    };

    static THttpAnswer document() { return THttpAnswer(Kind::Document); }
    // Sent unchanged. Without a Content-Length line in its header, or when
    // asked to, the connection closes after it: the client could not tell
    // where it ends otherwise.
    static THttpAnswer bytes(QByteArray answer, bool thenClose = false);
    static THttpAnswer notFound() { return THttpAnswer(Kind::NotFound); }
    static THttpAnswer forbidden() { return THttpAnswer(Kind::Forbidden); }
    static THttpAnswer refused(int status, QByteArray reason);
    static THttpAnswer pending() { return THttpAnswer(Kind::Pending); }
    static THttpAnswer takeBody() { return THttpAnswer(Kind::TakeBody); }
    static THttpAnswer none() { return THttpAnswer(Kind::None); }

    Kind kind() const { return m_kind; }
    // The handler's answer for Bytes, the reason for Refused.
    const QByteArray &text() const { return m_text; }
    int status() const { return m_status; }
    // No answer may follow this one on the connection.
    bool thenClose() const { return m_thenClose; }

private:
    explicit THttpAnswer(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    QByteArray m_text;
    int m_status = 0;
    bool m_thenClose = false;
};

} // namespace vistrel::server
