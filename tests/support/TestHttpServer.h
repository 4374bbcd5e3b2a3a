#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <memory>

namespace vistrel::test {

// A loopback web site for the probe's tests: each path answers with a scripted
// reply, which may be any bytes, arrive slowly, stop short, never come, or
// never end. Given a TLS configuration it is an https site; a plain one
// answers a TLS handshake with 400, as web servers do.
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Reply
    {
        QByteArray bytes;          // sent first, as they stand
        int dripMilliseconds = 0;  // > 0: one byte of `bytes` per interval
        bool silent = false;       // accept and never answer
        bool close = true;         // close once everything is sent
        QByteArray endless;        // after `bytes`, repeated until the client goes
        int delayMilliseconds = 0; // wait before answering
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QByteArray raw;
    };

    TestHttpServer();
    explicit TestHttpServer(const QSslConfiguration &tls);
    ~TestHttpServer() override;

    quint16 port() const { return m_server->serverPort(); }
    QString url(const QString &path = QStringLiteral("/")) const;

    // The reply for a path (the request target as sent); an unknown path gets 404.
    void on(const QByteArray &path, Reply reply);
    // Optionally separate replies for HEAD and GET.
    void on(const QByteArray &method, const QByteArray &path, Reply reply);

    // Shorthands.
    static Reply status(int code, const QByteArray &extraHeaders = {}, const QByteArray &body = {});
    static Reply page(const QByteArray &html, const QByteArray &contentType = "text/html");
    static Reply redirect(int code, const QByteArray &location);

    const QList<Request> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    int openConnections() const { return m_open; }

private:
    void accept();
    void serve(class QTcpSocket *socket, const Request &request);

    std::unique_ptr<QTcpServer> m_server;
    bool m_secure = false;
    QHash<QByteArray, Reply> m_replies;
    QList<Request> m_requests;
    int m_open = 0;
};

} // namespace vistrel::test
