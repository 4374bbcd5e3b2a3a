#pragma once

#include "platform/DiagnosticMemo.h"
#include "platform/DisplayWriter.h"
#include "platform/MainFlags.h"
#include "platform/MessagePresenter.h"
#include "platform/PrivateTempFolder.h"
#include "platform/ProgramPaths.h"
#include "platform/RegistryFile.h"
#include "platform/SettingsReader.h"
#include "platform/StatusSink.h"

namespace vistrel::platform {

// Everything the subsystems need from the program: its settings, its status
// display, its message boxes, its two diagnostic channels, its shared flags,
// its paths, the registry and the private temporary folder. The main window owns
// all of it and hands this out; tests build one from the recording variants.
struct ProgramContext
{
    const SettingsReader &settings;
    StatusSink &status;
    MessagePresenter &messages;
    DisplayWriter &display;
    DiagnosticMemo &trace;
    MainFlags &flags;
    ProgramPaths &paths;
    RegistryFile &registry;
    PrivateTempFolder &tempFolder;
};

} // namespace vistrel::platform
