#pragma once

#include "app/TMain.h"
#include "support/RecordingPresenter.h"
#include "support/TestSupport.h"

#include <QDir>

#include <memory>

namespace vistrel::test {

// The main window on a temporary HOME and program folder, with a recording
// message presenter and a refresh command that counts its runs.
struct ProgramFixture
{
    TempHome home;
    platform::ProgramPaths paths;
    RecordingPresenter *messages = nullptr;
    std::unique_ptr<app::TMain> main;
    int refreshes = 0;
    // Runs inside each counted refresh, as the refresh would.
    std::function<void()> duringRefresh;

    ProgramFixture()
    {
        QDir().mkpath(home.file("program"));
        paths = platform::ProgramPaths::compute(home.file("program/vistrel"));
        QDir().mkpath(paths.favoritesFolder);
    }

    app::TMain &start()
    {
        auto recorder = std::make_unique<RecordingPresenter>();
        messages = recorder.get();
        main = std::make_unique<app::TMain>(paths, std::move(recorder));
        main->LoadSettings();
        main->setRefreshCommand([this] {
            // What the real refresh does to the flags at its start.
            main->flags().cancelRequested = false;
            main->flags().changePending = false;
            ++refreshes;
            if (duringRefresh)
                duringRefresh();
        });
        return *main;
    }
};

} // namespace vistrel::test
