#pragma once

#include "server/http/HttpLimits.h"
#include "server/http/HttpPath.h"
#include "server/http/HttpTypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QTcpServer;
class QTcpSocket;

namespace vistrel::server {

class THttpConnection;

// The event-driven HTTP server: listens, owns one connection object per
// client and raises the events in which the program chooses its answers. All
// events are raised on the thread that owns the server; connect handlers
// directly, since the document events hand over the answer choice by
// reference for the handler to change.
class THttpServer : public QObject
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
    QString TemplateDir() const { return m_templateDir; }
    void SetTemplateDir(const QString &folder) { m_templateDir = folder; }
    THttpLinger LingerOnOff() const { return m_linger; }
    void SetLingerOnOff(THttpLinger mode) { m_linger = mode; }
    int LingerTimeout() const { return m_lingerTimeout; }
    void SetLingerTimeout(int seconds) { m_lingerTimeout = seconds; }
    THttpOptions Options() const { return m_options; }
    void SetOptions(THttpOptions options) { m_options = options; }
    // Time-outs in milliseconds; the defaults are the engine's limits.
    int IdleTimeout() const { return m_idleTimeout; }
    void SetIdleTimeout(int ms);
    int HeaderTimeout() const { return m_headerTimeout; }
    void SetHeaderTimeout(int ms);

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

signals:
    void OnServerStarted(vistrel::server::THttpServer *server);
    void OnServerStopped(vistrel::server::THttpServer *server);
    void OnClientConnect(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client, int error);
    // The connection object is released right after the handlers return.
    void OnClientDisconnect(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client,
                            int error);
    void OnGetDocument(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client,
                       vistrel::server::THttpGetFlag &flag);
    void OnHeadDocument(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client,
                        vistrel::server::THttpGetFlag &flag);
    void OnPostDocument(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client,
                        vistrel::server::THttpGetFlag &flag);
    // Body bytes of an accepted POST are waiting to be read with Receive();
    // raised once with none waiting for an accepted POST whose body is empty.
    void OnPostedData(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client, int error);
    void OnBeforeProcessRequest(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client);
    void OnHttpRequestDone(vistrel::server::THttpServer *server, vistrel::server::THttpConnection *client);

private:
    friend class THttpConnection;

    bool openListener();
    void closeListener();
    void acceptClients();
    void refuseOverloaded(QTcpSocket *socket);
    void queueClosed(THttpConnection *client, int error);
    void reportClosedClients();
    void clientClosed(THttpConnection *client, int error);
    void requestDone(THttpConnection *client);
    void sweep();
    void updateSweep();
    bool postedDataHandled() const;
    template <class F> bool raise(F &&event);
    bool requestDoneHandled() const;

    QString m_port = "80";
    QString m_addr = "0.0.0.0";
    int m_listenBacklog = 5;
    int m_maxClients = 0;
    QString m_docDir = "/var/www";
    httppath::DocumentRoot m_root{"/var/www"};
    QString m_defaultDoc = "index.html";
    QString m_templateDir = "/var/www/templates";
    THttpLinger m_linger = THttpLinger::NotSet;
    int m_lingerTimeout = 0;
    THttpOptions m_options;
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
