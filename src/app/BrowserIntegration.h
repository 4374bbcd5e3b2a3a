#pragma once

#include <QString>

#include <optional>

namespace vistrel::platform {
class MessagePresenter;
class RegistryFile;
struct MainFlags;
}

namespace vistrel::app {

// The browser's settings key; it is only ever opened, never created.
inline constexpr const char *kBrowserMainKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char *kStartPageValue = "Start Page";
inline constexpr const char *kOldHomePageFile = "_Old Home Page.URL";
inline constexpr const char *kInstructionsPage = "instructions.htm";
inline constexpr const char *kBrowserLaunchFailed = "Couldn't launch default browser";
// Registry texts longer than this do not fit the reader and count as unreadable.
inline constexpr int kRegistryTextLimit = 259;

// "http://localhost:" + port + "/".
QString localStartAddress(const QString &port);
QString instructionsAddress(const QString &port);

// Makes the local server the browser's start page, keeping the previous one as
// the favourite "_Old Home Page.URL". True when the start page was changed.
bool claimStartPage(platform::RegistryFile &registry, platform::MainFlags &flags, const QString &favoritesFolder,
                    const QString &port);

// The open command of the ".htm" class, when the registry has one.
std::optional<QString> defaultBrowserCommand(const platform::RegistryFile &registry);
// The command cut just before its "%1" placeholder (quoted or bare), then a
// blank and the address.
QString browserCommandLine(const QString &command, const QString &address);
// Starts the command line on its own; false when it could not be started.
bool launchCommandLine(const QString &commandLine);

// Opens the address with the default browser's command; says "Couldn't launch
// default browser" when it does not start, and nothing without a command.
void openInBrowser(const platform::RegistryFile &registry, platform::MessagePresenter &messages,
                   const QString &address);
// The tray's "Instructions": opens the instructions page in the default browser.
// Says "Couldn't launch default browser" when the browser does not start.
void openInstructions(const platform::RegistryFile &registry, platform::MessagePresenter &messages,
                      const QString &port);

// Puts the built-in instructions page into the data folder when it is missing
// or from an older version of the program.
bool writeInstructionsPage(const QString &dataFolder);
QByteArray builtInInstructionsPage();

} // namespace vistrel::app
