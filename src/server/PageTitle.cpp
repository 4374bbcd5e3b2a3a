#include "server/PageTitle.h"

namespace vistrel::server {

std::string pageTitle(const std::string &url, int timeoutSeconds, quint16 ownPort)
{
    // PENDING-CAPTURE: the probe's title fetch arrives with the capture subsystem.
    (void)url;
    (void)timeoutSeconds;
    (void)ownPort;
    return {};
}

} // namespace vistrel::server
