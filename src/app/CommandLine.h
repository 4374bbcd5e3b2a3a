#pragma once

#include <QString>
#include <QStringList>

namespace vistrel::app {

// What the program was asked to do on its command line. Parsing needs no
// application object, so --help, --version and mistakes are answered before
// anything touches a display or the single-instance channel.
class CommandLine
{
public:
    enum class Action { Run, Help, Version, ImportBookmarks, ExportBookmarks, Mistake };

    // Exit code of a command line the program cannot follow.
    static constexpr int kUsageExitCode = 2;
    static constexpr int kLowestPort = 1;
    static constexpr int kHighestPort = 65535;

    // arguments[0] is the program's own name, as in argv.
    static CommandLine parse(const QStringList &arguments);

    Action action() const { return m_action; }
    // --port for this run only; empty when not given.
    QString port() const { return m_port; }
    // Empty for every browser, else "firefox", "chromium" or a bookmark file.
    QString importSource() const { return m_importSource; }
    QString exportFile() const { return m_exportFile; }
    // What went wrong, one line, for Action::Mistake.
    QString mistake() const { return m_mistake; }

    QString helpText() const { return m_helpText; }
    static QString versionText();

private:
    Action m_action = Action::Run;
    QString m_port;
    QString m_importSource;
    QString m_exportFile;
    QString m_mistake;
    QString m_helpText;
};

} // namespace vistrel::app
