#include "capture/UrlResolution.h"

#include "capture/http/HttpTarget.h"
#include "platform/TextEncodings.h"

namespace vistrel::capture {

std::string stripFragment(std::string_view url)
{
    return std::string(url.substr(0, url.find('#')));
}

std::string resolveTarget(std::string_view current, std::string_view target)
{
    if (http::hasScheme(target))
        return std::string(target);
    if (target.substr(0, 2) == "//") {
        const std::size_t colon = current.find(':');
        const bool schemed = http::hasScheme(current) && colon != std::string_view::npos;
        return (schemed ? std::string(current.substr(0, colon + 1)) : std::string("http:")) + std::string(target);
    }
    // "http://host" has no "/" after its host; it means "http://host/", and
    // without it the root and base would cut into the host name.
    std::string base(current);
    if (const std::size_t slashes = base.find("://"); slashes != std::string::npos
                                                       && base.find('/', slashes + 3) == std::string::npos)
        base += '/';
    if (!target.empty() && target.front() == '/')
        return platform::siteRoot(base) + std::string(target.substr(1));
    return platform::urlBase(base) + std::string(target);
}

} // namespace vistrel::capture
