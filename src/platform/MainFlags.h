#pragma once

namespace vistrel::platform {

// The main window's shared state that the refresh, the capture, the scheduler and
// the tray read and write. Touched on the main thread only.
struct MainFlags
{
    bool shutdownRequested = false;
    bool writingShortcut = false;
    bool settingsLoaded = false;
    bool cancelRequested = false;
    bool changePending = false;

    // Refresh progress for the tray texts.
    int fetchTotal = 0;
    int fetchedCount = 0;
    double refreshStartTime = 0; // days since 30 December 1899, local time

    // Image generation number (settings key EvenFileName).
    int evenFileName = 1;

    bool refreshRunning = false;
    bool lastCaptureTimedOut = false;
    // True while a capture watchdog exists; the cancel command waits for it.
    bool captureInProgress = false;
    // Failures the captures of the running refresh met (told once, at its end).
    int captureProblems = 0;
};

} // namespace vistrel::platform
