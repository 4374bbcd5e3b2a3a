#pragma once

#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::catalogue {

// Captures one favourite: runs the watchdog and worker until they are done,
// appending the capture's pieces to the current link text (UTF-8). Path is the
// folder that holds the shortcut (it may end in "/"), name the shortcut's file
// name. Answers whether the watchdog timed out. May throw; the caller absorbs it.
using CaptureFunction =
    std::function<bool(const QString &path, const QString &name, bool isHistory, std::string &currentLinkText)>;

// The capture call around that function: the "starting" and "ended" trace lines
// with a "files.log" save after each, and the tray status before the capture.
// Without a function nothing is appended and the capture counts as not timed out.
class CaptureCall
{
public:
    CaptureCall(platform::ProgramContext &context, std::string &currentLinkText);

    void setFunction(CaptureFunction capture) { m_capture = std::move(capture); }
    bool hasFunction() const { return bool(m_capture); }

    // Sets MainFlags::lastCaptureTimedOut. Never throws.
    void operator()(std::string_view path, std::string_view name, bool isHistory);

private:
    void traceAndSave(const char *what, const QString &path, const QString &name);

    platform::ProgramContext &m_context;
    std::string &m_currentLinkText;
    CaptureFunction m_capture;
};

} // namespace vistrel::catalogue
