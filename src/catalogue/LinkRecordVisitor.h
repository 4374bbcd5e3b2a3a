#pragma once

#include "catalogue/FolderWalk.h"
#include "catalogue/MenuOrder.h"
#include "catalogue/SortKeys.h"

#include <string>
#include <string_view>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::catalogue {

class CaptureCall;
struct RefreshState;

// Turns each shortcut of the walk into a Link element: opens a Folder element
// when the walk reaches another folder (sorting and flushing the one before),
// writes the favourite's own attributes, has it captured, and parks the finished
// element in the folder link buffer under its sort key.
class LinkRecordVisitor
{
public:
    static constexpr int kTraceRuleLength = 82;

    // root: the walked folder (the Favorites folder), without a trailing "/";
    // folders are named by their path below it.
    LinkRecordVisitor(platform::ProgramContext &context, RefreshState &state, CaptureCall &capture,
                      std::string root);

    // Stop only when a cancel has been asked for; a failure ends this favourite
    // (it gets no Link element) and the walk goes on.
    WalkAnswer visit(const std::string &folder, const DirectoryEntry &entry);
    WalkVisitor visitor();

    // Sorts and flushes the open folder's links and closes its element, if one is open.
    void closeOpenFolder();

    // The folder's path below the root, backslash-separated, no leading or trailing one.
    std::string relativePath(const std::string &folder) const;

private:
    void record(const std::string &folder, const DirectoryEntry &entry);
    void openFolder(const std::string &folder);

    platform::ProgramContext &m_context;
    RefreshState &m_state;
    CaptureCall &m_capture;
    std::string m_root; // with a trailing "/"
    SortMode m_mode;
    SortKeyMaker m_keys;
};

// The file name without its last extension ("a.b.url" -> "a.b").
std::string withoutExtension(std::string_view name);

} // namespace vistrel::catalogue
