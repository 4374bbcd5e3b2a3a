#pragma once

#include "capture/http/HttpTarget.h"

#include <QByteArray>

#include <string>
#include <string_view>

namespace vistrel::capture::http {

// The optional parts of a request. The program itself sets none of them.
struct HttpRequestOptions
{
    std::string proxyHost; // empty: no proxy
    quint16 proxyPort = 0;
    bool authorization = false;
    std::string userName, password;
    bool proxyAuthorization = false;
    std::string proxyUserName, proxyPassword;
    std::string userAgent;

    bool useProxy() const { return !proxyHost.empty(); }
};

// The bytes of one request: request line, Host, Accept, the optional
// authorisation and agent lines, "Connection: close" and the empty line.
QByteArray writeRequest(std::string_view verb, const HttpTarget &target, const HttpRequestOptions &options);

} // namespace vistrel::capture::http
