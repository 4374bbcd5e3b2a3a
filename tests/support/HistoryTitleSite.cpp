#include "support/HistoryTitleSite.h"

#include <QTcpSocket>

#include <stdexcept>

namespace vistrel::test {

namespace {

constexpr qsizetype kMaxRequestBytes = 16 * 1024;

} // namespace

HistoryTitleSite::HistoryTitleSite()
{
    if (!m_v4.listen(QHostAddress::LocalHost))
        throw std::runtime_error("the title site cannot listen on 127.0.0.1");
    m_v6.listen(QHostAddress::LocalHostIPv6, m_v4.serverPort()); // optional: no IPv6 is fine
    listen(m_v4);
    listen(m_v6);
}

HistoryTitleSite::~HistoryTitleSite() = default;

void HistoryTitleSite::listen(QTcpServer &server)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

std::string HistoryTitleSite::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port()) + path;
}

void HistoryTitleSite::page(const QByteArray &path, const QByteArray &title)
{
    m_titles.insert(path, title);
}

int HistoryTitleSite::requestsFor(const QByteArray &path) const
{
    int count = 0;
    for (const QByteArray &request : m_requests)
        count += request.endsWith(" " + path);
    return count;
}

void HistoryTitleSite::serve(QTcpSocket *socket)
{
    QByteArray received = socket->property("received").toByteArray() + socket->readAll();
    if (!received.contains("\r\n\r\n")) {
        if (received.size() > kMaxRequestBytes)
            socket->abort();
        else
            socket->setProperty("received", received);
        return;
    }
    const QList<QByteArray> words = received.left(received.indexOf("\r\n")).split(' ');
    const QByteArray method = words.value(0);
    const QByteArray path = words.value(1);
    m_requests.append(method + ' ' + path);

    QByteArray status = "200 OK";
    QByteArray body;
    if (const auto title = m_titles.constFind(path); title != m_titles.constEnd())
        body = "<html><head><title>" + *title + "</title></head><body><p>A page</p></body></html>";
    else {
        status = "404 Not Found";
        body = "<html><head><title>Not here</title></head><body></body></html>";
    }
    QByteArray reply = "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                       + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
    if (method != "HEAD")
        reply += body;
    socket->write(reply);
    socket->disconnectFromHost();
}

} // namespace vistrel::test
