#pragma once

#include <QString>
#include <QtGlobal>

namespace vistrel::server {

class THttpServer;

// Tried in order when the chosen port is reserved for the administrator, as
// ports below 1024 are for an ordinary user on Linux (80, the usual default).
inline constexpr quint16 kFallbackFirstPort = 8080;
inline constexpr quint16 kFallbackLastPort = 8099;

struct ListenOutcome
{
    bool listening = false;
    // The port listened on; on failure the requested one, trimmed.
    QString port;
    // The requested port needed rights the program lacks, so a fallback port was taken.
    bool fellBack = false;
};

// Starts the configured server on the requested port (blanks around it ignored)
// or, when that port needs rights the program lacks, on the first free port of
// the fallback range. Any other failure is no reason to move elsewhere.
ListenOutcome listenWithFallback(THttpServer &server, const QString &requestedPort);

// What the display and the balloon say about a fallback.
QString fallbackNotice(const QString &requestedPort, const QString &usedPort);

} // namespace vistrel::server
