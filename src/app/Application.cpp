#include "app/Application.h"

#include "app/BookmarkCommand.h"
#include "app/CommandLine.h"
#include "app/Dialogs.h"
#include "app/TMain.h"
#include "app/QtMessagePresenter.h"
#include "platform/InstanceLock.h"
#include "platform/SingleInstanceChannel.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QFile>
#include <QSessionManager>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace vistrel::app {

namespace {

// How long a second start waits for the running copy to answer before it
// says "already running" anyway.
constexpr int kOtherCopyPatienceMs = 5000;

// On a machine without a display the program still runs, serving its pages.
void chooseOffscreenWhenHeadless()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void tellHeadless(const QString &text)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    std::fprintf(stderr, "Vistrel: %s\n", line.toLocal8Bit().constData());
}

} // namespace

int runApplication(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    switch (command.action()) {
    case CommandLine::Action::Help:
        std::fputs(command.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("%s\n", CommandLine::versionText().toLocal8Bit().constData());
        return 0;
    case CommandLine::Action::Mistake:
        std::fprintf(stderr, "vistrel: %s\nTry 'vistrel --help' for the options.\n",
                     command.mistake().toLocal8Bit().constData());
        return CommandLine::kUsageExitCode;
    case CommandLine::Action::ImportBookmarks:
    case CommandLine::Action::ExportBookmarks:
        return runBookmarkCommand(argc, argv, command);
    case CommandLine::Action::Run:
        break;
    }

    chooseOffscreenWhenHeadless();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vistrel"));
    QApplication::setQuitOnLastWindowClosed(false);
    const bool interactive = QtMessagePresenter::interactive();

    // The instance is claimed before anything slow (the first-run dialog, the
    // window): two copies started together must not both go on.
    platform::InstanceLock lock;
    const platform::InstanceLock::State claim = lock.claim();
    platform::SingleInstanceChannel channel;
    if (claim != platform::InstanceLock::State::Claimed) {
        // A live copy holds the lock; it may still be starting or busy, but it
        // is running either way, so no answer still means "already running".
        const int patience = claim == platform::InstanceLock::State::HeldByOther ? kOtherCopyPatienceMs : 0;
        const auto other = channel.askOther(patience);
        if (other == platform::SingleInstanceChannel::Other::Raised)
            return 0;
        if (other == platform::SingleInstanceChannel::Other::Minimised
            || claim == platform::InstanceLock::State::HeldByOther) {
            if (interactive) {
                Trunning dialog;
                dialog.exec();
            } else {
                tellHeadless(Trunning::kText);
            }
            return 0;
        }
        tellHeadless(QStringLiteral("the single-instance lock %1 cannot be used; going on without it").arg(lock.path()));
    }
    // Answered from here on, through the first-run dialog's own event loop too.
    if (!channel.listen(claim == platform::InstanceLock::State::Claimed))
        tellHeadless(QStringLiteral("another start of the program cannot reach this one"));

    const platform::ProgramPaths paths = platform::ProgramPaths::compute();
    bool instructionsWanted = false;
    if (!QFile::exists(paths.settingsPath)) {
        if (interactive) {
            Tfirst_run dialog;
            dialog.exec();
            instructionsWanted = dialog.instructionsWanted();
        } else {
            tellHeadless(Tfirst_run::kText);
        }
    }

    TMain main(paths);
    main.setInstructionsAtStart(instructionsWanted);
    if (!command.port().isEmpty())
        main.setPortForThisRun(command.port());
    channel.setWindow([&main] { return !main.isVisible() || main.isMinimized(); },
                      [&main] { main.ShowMainWindow(); });

    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, &main, [&main](int) {
        main.flags().shutdownRequested = true;
        main.close();
    });

    // The desktop session ending closes the program like "C&lose".
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &main, [&main](QSessionManager &) {
        main.flags().shutdownRequested = true;
        main.close();
    });

    // Without a tray the window is the only way in, so it stays reachable.
    if (interactive && !QSystemTrayIcon::isSystemTrayAvailable())
        main.showMinimized();

    QTimer::singleShot(0, &main, [&main] { main.FormShow(); });
    const int result = app.exec();
    channel.setWindow({}, {}); // the window goes first
    return result;
}

} // namespace vistrel::app
