#include "server/PortFallback.h"

#include "server/http/THttpServer.h"

namespace vistrel::server {

ListenOutcome listenWithFallback(THttpServer &server, const QString &requestedPort)
{
    const QString requested = requestedPort.trimmed();
    server.SetPort(requested);
    if (server.Start())
        return {true, QString::number(server.ListeningPort()), false};
    if (!server.StartNeededRights())
        return {false, requested, false};
    for (quint16 port = kFallbackFirstPort; port <= kFallbackLastPort; ++port) {
        server.SetPort(QString::number(port));
        if (server.Start())
            return {true, QString::number(server.ListeningPort()), true};
    }
    // The next Start() tries what the user asked for again.
    server.SetPort(requested);
    return {false, requested, false};
}

QString fallbackNotice(const QString &requestedPort, const QString &usedPort)
{
    return QStringLiteral("Port %1 needs administrator rights: serving on port %2").arg(requestedPort, usedPort);
}

} // namespace vistrel::server
