#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QTcpServer>

#include <memory>

namespace vistrel::test {

// A loopback web site of titled pages for the history tests and benchmark:
// each path answers 200 with an HTML page holding its title; other paths 404.
// It listens on 127.0.0.1 and, when the system has it, on [::1] with the same
// port, and records every request it gets.
class HistoryTitleSite
{
public:
    HistoryTitleSite();
    ~HistoryTitleSite();
    HistoryTitleSite(const HistoryTitleSite &) = delete;
    HistoryTitleSite &operator=(const HistoryTitleSite &) = delete;

    quint16 port() const { return m_v4.serverPort(); }
    // "http://127.0.0.1:port" + path.
    std::string url(const std::string &path) const;

    // The page at path has this title (bytes as they stand in <title>).
    void page(const QByteArray &path, const QByteArray &title);

    // Request targets received ("GET /a"), in order.
    const QList<QByteArray> &requests() const { return m_requests; }
    int requestsFor(const QByteArray &path) const;

private:
    void listen(QTcpServer &server);
    void serve(class QTcpSocket *socket);

    QTcpServer m_v4;
    QTcpServer m_v6;
    QHash<QByteArray, QByteArray> m_titles;
    QList<QByteArray> m_requests;
};

} // namespace vistrel::test
