#include "support/TestHttpServer.h"

#include <QHostAddress>
#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

namespace vistrel::test {

namespace {
// An endless reply stops here at the latest, so a broken client cannot fill the disk or the pipe for ever.
constexpr qint64 kEndlessCap = qint64(64) * 1024 * 1024;
constexpr qint64 kEndlessBlock = 64 * 1024;
// The first byte a TLS client sends.
constexpr char kTlsHandshakeRecord = 0x16;
} // namespace

TestHttpServer::TestHttpServer() : m_server(std::make_unique<QTcpServer>())
{
    connect(m_server.get(), &QTcpServer::newConnection, this, &TestHttpServer::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
}

TestHttpServer::TestHttpServer(const QSslConfiguration &tls) : m_secure(true)
{
    auto server = std::make_unique<QSslServer>();
    server->setSslConfiguration(tls);
    // Only connections whose handshake succeeded are handed on.
    connect(server.get(), &QTcpServer::pendingConnectionAvailable, this, &TestHttpServer::accept);
    m_server = std::move(server);
    m_server->listen(QHostAddress::LocalHost, 0);
}

TestHttpServer::~TestHttpServer() = default;

QString TestHttpServer::url(const QString &path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(m_secure ? "https" : "http").arg(port()).arg(path);
}

void TestHttpServer::on(const QByteArray &path, Reply reply)
{
    m_replies.insert(path, std::move(reply));
}

void TestHttpServer::on(const QByteArray &method, const QByteArray &path, Reply reply)
{
    m_replies.insert(method + ' ' + path, std::move(reply));
}

TestHttpServer::Reply TestHttpServer::status(int code, const QByteArray &extraHeaders, const QByteArray &body)
{
    Reply r;
    r.bytes = "HTTP/1.1 " + QByteArray::number(code) + " Status\r\n" + extraHeaders
              + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    return r;
}

TestHttpServer::Reply TestHttpServer::page(const QByteArray &html, const QByteArray &contentType)
{
    return status(200, "Content-Type: " + contentType + "\r\n", html);
}

TestHttpServer::Reply TestHttpServer::redirect(int code, const QByteArray &location)
{
    return status(code, "Location: " + location + "\r\nContent-Type: text/html\r\n", "moved");
}

void TestHttpServer::accept()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_open;
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_open;
            socket->deleteLater();
        });
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!m_secure && buffer->startsWith(kTlsHandshakeRecord) && !socket->property("served").toBool()) {
                socket->setProperty("served", true);
                socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
                return;
            }
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0 || socket->property("served").toBool())
                return;
            socket->setProperty("served", true);
            Request request;
            request.raw = buffer->left(end + 4);
            const QList<QByteArray> words = buffer->left(buffer->indexOf("\r\n")).split(' ');
            request.method = words.value(0);
            request.path = words.value(1);
            m_requests.append(request);
            serve(socket, request);
        });
    }
}

void TestHttpServer::serve(QTcpSocket *socket, const Request &request)
{
    Reply reply;
    if (auto it = m_replies.constFind(request.method + ' ' + request.path); it != m_replies.constEnd())
        reply = *it;
    else if (auto plain = m_replies.constFind(request.path); plain != m_replies.constEnd())
        reply = *plain;
    else
        reply = status(404, "Content-Type: text/html\r\n", "<title>Not here</title>");
    if (reply.silent)
        return;

    QPointer<QTcpSocket> guarded(socket);
    auto finish = [guarded, reply] {
        if (!guarded)
            return;
        if (!reply.endless.isEmpty()) {
            auto sent = std::make_shared<qint64>(0);
            auto top = [guarded, reply, sent] {
                if (!guarded || guarded->state() != QAbstractSocket::ConnectedState)
                    return;
                while (guarded->bytesToWrite() < kEndlessBlock && *sent < kEndlessCap) {
                    QByteArray block;
                    while (block.size() < kEndlessBlock)
                        block += reply.endless;
                    guarded->write(block);
                    *sent += block.size();
                }
                if (*sent >= kEndlessCap)
                    guarded->disconnectFromHost();
            };
            QObject::connect(guarded, &QTcpSocket::bytesWritten, guarded, top);
            top();
        } else if (reply.close) {
            guarded->disconnectFromHost();
        }
    };
    auto start = [guarded, reply, finish] {
        if (!guarded)
            return;
        if (reply.dripMilliseconds <= 0) {
            guarded->write(reply.bytes);
            finish();
            return;
        }
        auto timer = new QTimer(guarded);
        auto index = std::make_shared<qsizetype>(0);
        QObject::connect(timer, &QTimer::timeout, guarded, [guarded, reply, index, timer, finish] {
            if (*index >= reply.bytes.size()) {
                timer->stop();
                finish();
                return;
            }
            guarded->write(reply.bytes.mid((*index)++, 1));
        });
        timer->start(reply.dripMilliseconds);
    };
    if (reply.delayMilliseconds > 0)
        QTimer::singleShot(reply.delayMilliseconds, socket, start);
    else
        start();
}

} // namespace vistrel::test
