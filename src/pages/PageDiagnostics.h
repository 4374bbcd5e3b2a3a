#pragma once

#include <QString>

namespace vistrel::pages {

// What page generation needs from the program around it: somewhere to report
// the pages it could not write, and a chance for the main loop to run.
class PageDiagnostics
{
public:
    virtual ~PageDiagnostics() = default;
    // One line for the diagnostic channel.
    virtual void pageMessage(const QString &text) = 0;
    // Lets the main window process its pending messages once.
    virtual void processPendingEvents() {}
};

} // namespace vistrel::pages
