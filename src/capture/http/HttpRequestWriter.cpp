#include "capture/http/HttpRequestWriter.h"

namespace vistrel::capture::http {

namespace {

QByteArray basic(const std::string &user, const std::string &password)
{
    return QByteArray::fromStdString(user + ":" + password).toBase64();
}

void line(QByteArray &out, const QByteArray &text)
{
    out += text;
    out += "\r\n";
}

} // namespace

QByteArray writeRequest(std::string_view verb, const HttpTarget &target, const HttpRequestOptions &options)
{
    std::string resource;
    if (options.useProxy()) {
        // Through a proxy the request names the whole URL, with a "/" after the
        // host when the URL has none.
        resource = target.fullUrl;
        if (resource.find('/', 7) == std::string::npos)
            resource += '/';
    } else {
        resource = target.path.empty() ? std::string("/") : target.path;
    }

    QByteArray out;
    line(out, QByteArray(verb.data(), qsizetype(verb.size())) + ' ' + QByteArray::fromStdString(requestPath(resource))
                  + " HTTP/1.1");
    const bool ipv6Literal = target.host.find(':') != std::string::npos;
    line(out, "Host: " + QByteArray::fromStdString(ipv6Literal ? "[" + target.host + "]" : target.host));
    line(out, "Accept: */*");
    if (options.authorization)
        line(out, "Authorization: Basic " + basic(options.userName, options.password));
    if (options.proxyAuthorization)
        line(out, "Proxy-Authorization: Basic " + basic(options.proxyUserName, options.proxyPassword));
    if (!options.userAgent.empty())
        line(out, "User-Agent: " + QByteArray::fromStdString(options.userAgent));
    line(out, "Connection: close");
    line(out, QByteArray());
    return out;
}

} // namespace vistrel::capture::http
