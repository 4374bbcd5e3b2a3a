#pragma once

#include "server/http/HttpConnectionOwner.h"
#include "server/http/HttpLimits.h"
#include "server/http/HttpPath.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

namespace vistrel::server {

class THttpConnection;
class THttpHandler;

// The event-driven HTTP server: listens, owns one connection object per
// client and raises the events in which the handler chooses its answers, all
// on the thread that owns the server. Without a handler it serves the files of
// its document folder.
class THttpServer : public QObject, private HttpConnectionOwner
{
    Q_OBJECT
public:
    using ClientFactory = std::function<THttpConnection *()>;

    explicit THttpServer(QObject *parent = nullptr);
    ~THttpServer() override;

    // Changing Port or Addr while listening listens again on the new value.
    QString Port() const { return m_port; }
    void SetPort(const QString &port);
    QString Addr() const { return m_addr; }
    void SetAddr(const QString &addr);
    int ListenBacklog() const { return m_listenBacklog; }
    void SetListenBacklog(int backlog) { m_listenBacklog = backlog; }
    // 0: no limit. Beyond it a client gets the 503 answer and is closed.
    int MaxClients() const { return m_maxClients; }
    void SetMaxClients(int count) { m_maxClients = count; }
    // Loses one trailing "/" and is normalised.
    QString DocDir() const { return m_docDir; }
    void SetDocDir(const QString &folder);
    QString DefaultDoc() const { return m_defaultDoc; }
    void SetDefaultDoc(const QString &name) { m_defaultDoc = name; }
    // Time-outs in milliseconds; the defaults are the engine's limits.
    int IdleTimeout() const { return m_idleTimeout; }
    void SetIdleTimeout(int ms);
    int HeaderTimeout() const { return m_headerTimeout; }
    void SetHeaderTimeout(int ms);

    // The handler of every event, or none; it must outlive the server or be
    // unset first.
    void SetHandler(THttpHandler *handler) { m_handler = handler; }

    // The class of new client connections.
    void SetClientFactory(ClientFactory factory);
    template <class T> void SetClientClass()
    {
        SetClientFactory([] { return static_cast<THttpConnection *>(new T); });
    }

    // Starts listening; nothing happens when already listening. On failure
    // (bad port or address, port in use, no rights) returns false and says
    // why in ErrorString().
    bool Start();
    // Stops listening and aborts every client.
    void Stop();
    bool IsListening() const;
    // The port actually listened on (useful with Port "0").
    quint16 ListeningPort() const;
    QString ErrorString() const { return m_error; }
    // The last Start() failed because the port needs rights the program lacks
    // (as ports below 1024 do for an ordinary user), not because it is taken.
    bool StartNeededRights() const { return m_startNeededRights; }

    int ClientCount() const { return int(m_clients.size()); }
    THttpConnection *Client(int index) const;

private:
    THttpHandler *handler() const override { return m_handler; }
    void connectionClosed(THttpConnection &client, int error) override;

    bool openListener();
    void closeListener();
    void acceptClients();
    void refuseOverloaded(QTcpSocket *socket);
    void reportClosedClients();
    void sweep();
    void updateSweep();
    template <class F> bool raise(F &&event);

    QString m_port = "80";
    QString m_addr = "0.0.0.0";
    int m_listenBacklog = 5;
    int m_maxClients = 0;
    QString m_docDir = "/var/www";
    // Shared with the connections, which keep the one they started with.
    std::shared_ptr<httppath::DocumentRoot> m_root = std::make_shared<httppath::DocumentRoot>("/var/www");
    QString m_defaultDoc = "index.html";
    THttpHandler *m_handler = nullptr;
    int m_idleTimeout = limits::kIdleTimeoutMs;
    int m_headerTimeout = limits::kHeaderTimeoutMs;
    ClientFactory m_factory;

    QTcpServer *m_listener = nullptr;
    QList<THttpConnection *> m_clients;
    struct ClosedClient
    {
        QPointer<THttpConnection> client;
        int error = 0;
    };
    QList<ClosedClient> m_closedQueue;
    quint64 m_clientCounter = 0;
    QTimer m_sweep;
    QString m_error;
    bool m_startNeededRights = false;
};

} // namespace vistrel::server
