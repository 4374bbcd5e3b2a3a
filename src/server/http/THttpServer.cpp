#include "server/http/THttpServer.h"

#include "server/http/HttpAnswers.h"
#include "server/http/HttpPath.h"
#include "server/http/THttpConnection.h"
#include "server/http/THttpHandler.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <exception>
#include <csignal>

namespace vistrel::server {

namespace {

qint64 nowMs()
{
    return QDeadlineTimer::current().deadline();
}

} // namespace

template <class F> bool THttpServer::raise(F &&event)
{
    // A handler's fault must not cross the event loop; the caller decides
    // what becomes of the client concerned.
    if (!m_handler)
        return true;
    try {
        event(*m_handler);
        return true;
    } catch (const std::exception &e) {
        qWarning("%s: handler failed: %s", qPrintable(objectName()), e.what());
    } catch (...) {
        qWarning("%s: handler failed", qPrintable(objectName()));
    }
    return false;
}

THttpServer::THttpServer(QObject *parent)
    : QObject(parent)
    , m_factory([] { return new THttpConnection; })
{
    m_sweep.setTimerType(Qt::CoarseTimer);
    connect(&m_sweep, &QTimer::timeout, this, &THttpServer::sweep);
}

THttpServer::~THttpServer()
{
    m_sweep.stop();
    if (m_listener) {
        m_listener->close();
        delete m_listener;
        m_listener = nullptr;
    }
    // No events from here on: the handlers' owner may be going too.
    m_handler = nullptr;
    const QList<THttpConnection *> clients = std::exchange(m_clients, {});
    for (THttpConnection *client : clients)
        delete client;
}

void THttpServer::SetPort(const QString &port)
{
    if (port == m_port)
        return;
    m_port = port;
    if (IsListening()) {
        closeListener();
        openListener();
    }
}

void THttpServer::SetAddr(const QString &addr)
{
    if (addr == m_addr)
        return;
    m_addr = addr;
    if (IsListening()) {
        closeListener();
        openListener();
    }
}

void THttpServer::SetDocDir(const QString &folder)
{
    QByteArray bytes = QFile::encodeName(folder);
    if (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    const QByteArray normalised = httppath::normalise(bytes);
    const QByteArray path = normalised.isEmpty() && bytes == "/" ? bytes : normalised;
    m_docDir = QFile::decodeName(path);
    if (m_root->path() != path)
        m_root = std::make_shared<httppath::DocumentRoot>(path);
}

void THttpServer::SetIdleTimeout(int ms)
{
    m_idleTimeout = std::max(1, ms);
    updateSweep();
}

void THttpServer::SetHeaderTimeout(int ms)
{
    m_headerTimeout = std::max(1, ms);
    updateSweep();
}

void THttpServer::SetClientFactory(ClientFactory factory)
{
    m_factory = factory ? std::move(factory) : ClientFactory([] { return new THttpConnection; });
}

bool THttpServer::IsListening() const
{
    return m_listener && m_listener->isListening();
}

quint16 THttpServer::ListeningPort() const
{
    return IsListening() ? m_listener->serverPort() : 0;
}

THttpConnection *THttpServer::Client(int index) const
{
    return index >= 0 && index < m_clients.size() ? m_clients[index] : nullptr;
}

bool THttpServer::Start()
{
    if (IsListening())
        return true;
    return openListener();
}

void THttpServer::Stop()
{
    if (IsListening())
        closeListener();
    // Each abort reports its client through a posted message, as a close does.
    const QList<THttpConnection *> clients = m_clients;
    for (THttpConnection *client : clients)
        client->Abort();
}

bool THttpServer::openListener()
{
    // Files go to clients with sendfile, which has no MSG_NOSIGNAL: a client
    // that vanishes mid-answer must cost its connection, not the program.
    struct sigaction current {};
    if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        ::signal(SIGPIPE, SIG_IGN);
    m_error.clear();
    m_startNeededRights = false;
    bool portOk = false;
    const uint port = m_port.trimmed().toUInt(&portOk);
    if (!portOk || port > 65535) {
        m_error = QStringLiteral("Invalid port \"%1\".").arg(m_port);
        return false;
    }
    QHostAddress address;
    if (!address.setAddress(m_addr.trimmed())) {
        m_error = QStringLiteral("Invalid address \"%1\".").arg(m_addr);
        return false;
    }
    if (!m_listener) {
        m_listener = new QTcpServer(this);
        m_listener->setMaxPendingConnections(std::numeric_limits<int>::max());
        connect(m_listener, &QTcpServer::pendingConnectionAvailable, this, &THttpServer::acceptClients);
    }
    m_listener->setListenBacklogSize(m_listenBacklog > 0 ? m_listenBacklog : 5);
    if (!m_listener->listen(address, quint16(port))) {
        m_error = m_listener->errorString();
        m_startNeededRights = m_listener->serverError() == QAbstractSocket::SocketAccessError;
        return false;
    }
    updateSweep();
    raise([&](THttpHandler &h) { h.OnServerStarted(); });
    return true;
}

void THttpServer::closeListener()
{
    if (!m_listener)
        return;
    m_listener->close();
    raise([&](THttpHandler &h) { h.OnServerStopped(); });
}

void THttpServer::acceptClients()
{
    while (m_listener && m_listener->hasPendingConnections()) {
        QTcpSocket *socket = m_listener->nextPendingConnection();
        if (!socket)
            break;
        if (m_maxClients > 0 && m_clients.size() >= m_maxClients) {
            refuseOverloaded(socket);
            continue;
        }
        THttpConnection *client = nullptr;
        try {
            client = m_factory();
        } catch (...) {
            client = nullptr;
        }
        if (!client) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_clientCounter;
        client->setParent(this);
        client->setObjectName(objectName() + QStringLiteral("Client") + QString::number(m_clientCounter));
        client->attach(*this, socket, m_root, QFile::encodeName(m_defaultDoc));
        m_clients.append(client);
        if (!raise([&](THttpHandler &h) { h.OnClientConnect(*client); }))
            client->Abort();
        // Released only through the posted report, so the client is still here.
        if (socket->bytesAvailable() > 0)
            client->scheduleInput();
    }
    updateSweep();
}

void THttpServer::refuseOverloaded(QTcpSocket *socket)
{
    socket->write(answers::kOverloaded.data(), answers::kOverloaded.size());
    socket->disconnectFromHost();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never reads must not keep the socket forever.
    QTimer::singleShot(limits::kCloseDrainTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void THttpServer::connectionClosed(THttpConnection &client, int error)
{
    // Closed clients are reported through one posted message for all that
    // closed meanwhile.
    m_closedQueue.append({&client, error});
    if (m_closedQueue.size() == 1)
        QMetaObject::invokeMethod(this, &THttpServer::reportClosedClients, Qt::QueuedConnection);
}

void THttpServer::reportClosedClients()
{
    const QList<ClosedClient> closed = std::exchange(m_closedQueue, {});
    for (const ClosedClient &entry : closed) {
        THttpConnection *client = entry.client;
        if (!client || !m_clients.contains(client))
            continue;
        raise([&](THttpHandler &h) { h.OnClientDisconnect(*client); });
        m_clients.removeOne(client);
        // A handler of this connection may be pumping events below us.
        if (client->isBusy())
            client->deleteLater();
        else
            delete client;
    }
    updateSweep();
}

void THttpServer::updateSweep()
{
    if (m_clients.isEmpty()) {
        m_sweep.stop();
        return;
    }
    const int shortest = std::min({m_idleTimeout, m_headerTimeout, limits::kCloseDrainTimeoutMs});
    const int interval = std::clamp(shortest / 4, 10, 1000);
    if (!m_sweep.isActive() || m_sweep.interval() != interval)
        m_sweep.start(interval);
}

void THttpServer::sweep()
{
    const qint64 now = nowMs();
    const QList<THttpConnection *> clients = m_clients;
    for (THttpConnection *client : clients)
        client->checkTimeouts(now, m_idleTimeout, m_headerTimeout);
}

} // namespace vistrel::server
