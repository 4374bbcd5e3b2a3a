#include "catalogue/HistorySite.h"

#include "capture/http/HttpTarget.h"
#include "platform/TextEncodings.h"

#include <QHostAddress>

#include <cctype>

namespace vistrel::catalogue::history {

namespace {

constexpr std::string_view kSourcePrefix = "Visited: ";
constexpr std::string_view kHttp = "http://";
constexpr std::string_view kHttps = "https://";
constexpr std::string_view kLocalhost = "http://localhost";

bool isBlankOrControl(unsigned char c)
{
    return c <= 0x20 || c == 0x7F;
}

} // namespace

std::string_view siteAddress(std::string_view sourceName, std::string_view userName)
{
    // A login name may hold an "@" itself; the known prefix is cut as a whole.
    if (sourceName.substr(0, kSourcePrefix.size()) == kSourcePrefix
        && sourceName.substr(kSourcePrefix.size(), userName.size()) == userName
        && sourceName.substr(kSourcePrefix.size() + userName.size(), 1) == "@")
        return sourceName.substr(kSourcePrefix.size() + userName.size() + 1);
    const std::size_t at = sourceName.find('@');
    return at == std::string_view::npos ? sourceName : sourceName.substr(at + 1);
}

bool isOwnServer(std::string_view url, quint16 ownServerPort)
{
    if (platform::startsWithNoCase(url, kLocalhost))
        return true;
    const auto target = capture::http::HttpTarget::parse(url, true);
    if (!target || ownServerPort == 0 || target->port != ownServerPort)
        return false;
    const QHostAddress address(QString::fromStdString(target->host));
    if (address.isNull())
        return false;
    return address.isLoopback() || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6;
}

bool mayFetchTitle(std::string_view siteAddress, quint16 ownServerPort, bool secureSites)
{
    if (secureSites && siteAddress.substr(0, kHttps.size()) == kHttps)
        return !isOwnServer(siteAddress, ownServerPort);
    return siteAddress.substr(0, kHttp.size()) == kHttp && !isOwnServer(siteAddress, ownServerPort);
}

std::string trimmedTitle(std::string_view title)
{
    while (!title.empty() && isBlankOrControl(static_cast<unsigned char>(title.front())))
        title.remove_prefix(1);
    while (!title.empty() && isBlankOrControl(static_cast<unsigned char>(title.back())))
        title.remove_suffix(1);
    return std::string(title);
}

} // namespace vistrel::catalogue::history
