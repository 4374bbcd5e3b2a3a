#include "server/RequestClock.h"

#include "server/LocalTimeText.h"

#include <QDateTime>

namespace vistrel::server {

const QString &RequestClock::timeOfDay()
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != m_second) {
        m_second = now;
        m_text = localTimeText(QDateTime::fromSecsSinceEpoch(now), u"HH:NN:SS");
    }
    return m_text;
}

} // namespace vistrel::server
