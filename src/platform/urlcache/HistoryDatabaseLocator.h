#pragma once

#include "platform/urlcache/HistoryDatabase.h"
#include "platform/urlcache/UrlCacheProblem.h"

#include <vector>

namespace vistrel::platform {

// Where the user's browsers keep their history: Firefox profiles listed in
// "profiles.ini" (under ~/.mozilla/firefox and, for newer releases,
// $XDG_CONFIG_HOME/mozilla/firefox), then the profile folders of Chromium and
// Google Chrome under $XDG_CONFIG_HOME. A listed profile without its database
// is still returned, so the reader can say it was skipped; a profiles.ini that
// cannot be read goes to problems.
std::vector<HistoryDatabase> findHistoryDatabases(const QString &homeFolder, const QString &configFolder,
                                                  std::vector<UrlCacheProblem> &problems);

// The same for the current HOME and XDG configuration folder.
std::vector<HistoryDatabase> findHistoryDatabases(std::vector<UrlCacheProblem> &problems);

} // namespace vistrel::platform
