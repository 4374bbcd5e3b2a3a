#pragma once

#include <QString>

namespace vistrel::server {

// The local time of day that request lines carry ("HH:NN:SS" with the
// locale's separator), worked out once a second: the conversion to local time
// and the locale look-up cost more than the rest of a request.
class RequestClock
{
public:
    const QString &timeOfDay();

private:
    qint64 m_second = -1;
    QString m_text;
};

} // namespace vistrel::server
