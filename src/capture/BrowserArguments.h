#pragma once

#include <QStringList>

namespace vistrel::capture {

inline constexpr int kBrowserWindowWidth = 1024;
inline constexpr int kBrowserWindowHeight = 768;
// Virtual time a page may use for scripts and timers before its picture.
inline constexpr int kVirtualTimeBudgetMs = 3000;

// What every thumbnail browser is started with, whichever way it is driven:
// headless, a 1024 x 768 window, nothing on the network but the page itself,
// and its sandbox unless that cannot work.
QStringList commonBrowserArguments(bool sandboxed);

} // namespace vistrel::capture
