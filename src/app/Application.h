#pragma once

namespace vistrel::app {

// Runs the whole program: single-instance check, main window, message loop.
int runApplication(int argc, char **argv);

} // namespace vistrel::app
