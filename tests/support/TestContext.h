#pragma once

#include "platform/ProgramContext.h"
#include "support/RecordingPresenter.h"
#include "support/RecordingStatus.h"
#include "support/TestSupport.h"

#include <QDir>

namespace vistrel::test {

// A whole program context on a temporary HOME: Favorites in ~/Favorites, the data
// folder in ~/Documents/vistrel/, the program folder in ~/program/, the registry in
// ~/.config/vistrel/registry.reg. Recording status and message presenter.
struct TestContext
{
    TempHome home;
    platform::SettingsValues settings;
    RecordingStatus status;
    RecordingPresenter messages;
    platform::DisplayWriter display;
    platform::DiagnosticMemo trace;
    platform::MainFlags flags;
    platform::ProgramPaths paths;
    platform::RegistryFile registry;
    platform::PrivateTempFolder tempFolder;
    platform::ProgramContext context;

    TestContext()
        : paths(makePaths(home)),
          registry(platform::RegistryFile::defaultPath()),
          context{settings, status, messages, display, trace, flags, paths, registry, tempFolder}
    {
        trace.setLogPath(paths.filesLogPath());
        QDir().mkpath(paths.favoritesFolder);
        QDir().mkpath(paths.programFolder);
    }

    static platform::ProgramPaths makePaths(const TempHome &home)
    {
        QDir().mkpath(home.file("program"));
        return platform::ProgramPaths::compute(home.file("program/vistrel"));
    }
};

} // namespace vistrel::test
