#pragma once

#include <QtGlobal>

#include <string>

namespace vistrel::server {

// The title of the page at url, through a client of its own (the refresh's
// may be waiting for a site meanwhile); empty when the fetch fails or the page
// has none. ownPort: the program's own server; secureSites: https pages too.
// Each request waits at most timeoutSeconds, and the whole fetch ends within
// wholeSeconds.
std::string pageTitle(const std::string &url, int timeoutSeconds, int wholeSeconds, quint16 ownPort,
                      bool secureSites);

} // namespace vistrel::server
