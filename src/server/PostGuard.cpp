#include "server/PostGuard.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QUrl>

namespace vistrel::server {

namespace {

constexpr int kHttpPort = 80;

bool isLoopbackAddress(const QString &text)
{
    QHostAddress address;
    if (!address.setAddress(text))
        return false;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped)
        return QHostAddress(v4).isLoopback();
    return address.isLoopback();
}

std::optional<int> portNumber(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

PostGuard::PostGuard(QStringList ownNames)
{
    for (const QString &name : ownNames)
        if (!name.isEmpty())
            m_ownNames.append(name.toLower());
}

QStringList PostGuard::machineNames()
{
    QStringList names;
    const QString host = QHostInfo::localHostName();
    if (!host.isEmpty()) {
        names << host;
        const QString domain = QHostInfo::localDomainName();
        if (!domain.isEmpty())
            names << host + QLatin1Char('.') + domain;
    }
    return names;
}

std::optional<PostGuard::Authority> PostGuard::parseHost(QByteArrayView value)
{
    Authority a;
    QByteArrayView rest;
    if (value.startsWith('[')) {
        const qsizetype close = value.indexOf(']');
        if (close < 0)
            return std::nullopt;
        a.host = QString::fromLatin1(value.sliced(1, close - 1)).toLower();
        rest = QByteArrayView(value).sliced(close + 1);
        QHostAddress v6;
        if (!v6.setAddress(a.host) || v6.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
    } else {
        const qsizetype colon = value.indexOf(':');
        a.host = QString::fromLatin1(colon < 0 ? value : value.first(colon)).toLower();
        rest = colon < 0 ? QByteArrayView() : QByteArrayView(value).sliced(colon);
    }
    if (a.host.endsWith(QLatin1Char('.')))
        a.host.chop(1);
    if (a.host.isEmpty())
        return std::nullopt;
    if (!rest.isEmpty()) {
        if (!rest.startsWith(':'))
            return std::nullopt;
        const std::optional<int> port = portNumber(rest.sliced(1));
        if (!port)
            return std::nullopt;
        a.port = *port;
    }
    return a;
}

std::optional<PostGuard::Authority> PostGuard::parseOriginUrl(QByteArrayView value)
{
    const QUrl url(QString::fromUtf8(value), QUrl::TolerantMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0
        || url.host().isEmpty())
        return std::nullopt;
    Authority a;
    a.host = url.host().toLower();
    if (a.host.endsWith(QLatin1Char('.')))
        a.host.chop(1);
    a.port = url.port(kHttpPort);
    return a;
}

bool PostGuard::namesThisMachine(const QString &host) const
{
    if (host == QLatin1String("localhost"))
        return true;
    QHostAddress address;
    if (address.setAddress(host))
        return isLoopbackAddress(host);
    return m_ownNames.contains(host);
}

QString PostGuard::refusal(const PostSource &source) const
{
    if (!isLoopbackAddress(source.peerAddress))
        return QStringLiteral("the client %1 is not on this machine").arg(source.peerAddress);

    const QList<QByteArrayView> hosts = source.headers.values("Host");
    if (hosts.size() != 1)
        return QStringLiteral("the request names no single host");
    const QByteArrayView hostValue = hosts.first().trimmed();
    const std::optional<Authority> host = parseHost(hostValue);
    if (!host || !namesThisMachine(host->host))
        return QStringLiteral("the host %1 is not this machine").arg(QString::fromLatin1(hostValue));

    // A browser that names the post's origin as another site is believed,
    // whatever the other lines say.
    for (const QByteArrayView site : source.headers.values("Sec-Fetch-Site"))
        if (site.trimmed().compare("cross-site", Qt::CaseInsensitive) == 0)
            return QStringLiteral("the browser says the form comes from another site");

    for (const char *name : {"Origin", "Referer"}) {
        for (QByteArrayView value : source.headers.values(name)) {
            value = value.trimmed();
            const std::optional<Authority> from = parseOriginUrl(value);
            if (!from || from->host != host->host || from->port != host->port)
                return QStringLiteral("the form comes from %1").arg(QString::fromLatin1(value));
        }
    }
    return {};
}

} // namespace vistrel::server
