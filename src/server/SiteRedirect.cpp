#include "server/SiteRedirect.h"

namespace vistrel::server {

bool isSiteRedirect(QByteArrayView path)
{
    return path.compare("/site=", Qt::CaseInsensitive) == 0;
}

std::optional<QByteArray> siteRedirectAnswer(const QByteArray &version, const QByteArray &query)
{
    for (char c : query)
        if (c == '\r' || c == '\n' || c == '\0')
            return std::nullopt;
    return version + " 301 Moved Permanently \r\nContent-Type: text/html\r\nLocation: " + query + "\r\n\r\n";
}

} // namespace vistrel::server
