#include "server/PageTitle.h"

#include "capture/RedirectionProbe.h"

namespace vistrel::server {

std::string pageTitle(const std::string &url, int timeoutSeconds, int wholeSeconds, quint16 ownPort,
                      bool secureSites)
{
    return capture::fetchPageTitle(url, timeoutSeconds, ownPort, secureSites, wholeSeconds);
}

} // namespace vistrel::server
