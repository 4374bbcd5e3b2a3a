#pragma once

#include "capture/CaptureServices.h"

#include <QString>

#include <string>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::capture {

// The capture of one favourite, as the refresh driver calls it: creates the
// watchdog, waits for it while events are processed (the capture itself runs
// in that processing), and appends the capture's pieces to the UTF-8 Link text.
// path: the folder holding the shortcut; name: its file name with ".url".
// Returns true when the watchdog gave up waiting ("TIMED OUT"); also stored in
// MainFlags::lastCaptureTimedOut. MainFlags::captureInProgress is set meanwhile.
bool runCapture(platform::ProgramContext &context, const QString &path, const QString &name, bool isHistory,
                std::string &currentLinkText);

// The same with services of the caller's choosing.
bool runCaptureWith(platform::ProgramContext &context, const CaptureServices &services, const QString &path,
                    const QString &name, bool isHistory, std::string &currentLinkText);

} // namespace vistrel::capture
