#pragma once

#include "server/http/HttpHeaders.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vistrel::server {

// What a post says about where it comes from.
struct PostSource
{
    QString peerAddress; // the client's IP address
    HttpHeaders headers;
};

// Decides whether a post may change the user's files: only a browser on this
// machine, showing one of this program's own pages, may. A page of another
// site can make the browser post a form to localhost, and a foreign name that
// resolves to 127.0.0.1 can make it look local; the Host, Origin and Referer
// lines tell those apart.
class PostGuard
{
public:
    // ownNames: the names this machine answers to besides "localhost" and the
    // loopback addresses (compared without regard to case).
    explicit PostGuard(QStringList ownNames = machineNames());

    // Empty when the post is accepted, else the reason it is not.
    QString refusal(const PostSource &source) const;

    // The host name and its fully qualified form.
    static QStringList machineNames();

private:
    struct Authority
    {
        QString host; // lower case, IPv6 without brackets
        int port = 80;
    };
    static std::optional<Authority> parseHost(QByteArrayView value);
    static std::optional<Authority> parseOriginUrl(QByteArrayView value);
    bool namesThisMachine(const QString &host) const;

    QStringList m_ownNames;
};

} // namespace vistrel::server
