#pragma once

namespace vistrel::app {

class CommandLine;

// --import-bookmarks and --export-bookmarks: done without a window or display,
// whether or not another copy runs (a running copy sees the new files through
// its folder monitor). Prints what was done; 0 on success, 1 otherwise.
int runBookmarkCommand(int argc, char **argv, const CommandLine &command);

} // namespace vistrel::app
