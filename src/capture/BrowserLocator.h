#pragma once

#include <QString>

namespace vistrel::capture {

// The browser that renders thumbnails: $VISTREL_BROWSER when it is set (a path
// or a name on PATH; empty when it names nothing runnable), else the first of
// chromium-headless-shell, chromium, chromium-browser and google-chrome on
// PATH. Empty: none.
QString findBrowser();

} // namespace vistrel::capture
