#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vistrel::catalogue {

// One file as the walk hands it to a visitor. The name is the directory entry's
// own bytes, so any name, valid UTF-8 or not, reaches the listing intact.
struct DirectoryEntry
{
    std::string name;           // with its extension
    std::int64_t lastWrite = 0; // seconds since 1970-01-01 UTC
};

enum class WalkAnswer { Continue, Stop };
enum class WalkResult { Completed, Stopped };

// Receives the folder (ending in "/") and one of its files.
using WalkVisitor = std::function<WalkAnswer(const std::string &folder, const DirectoryEntry &entry)>;

// Visits every regular file matching mask (shell wildcards, ASCII case ignored)
// in folder and all folders below it: a folder's own files first, in the order
// the file system lists them, then each subfolder completely, in the same order.
// A visitor's Stop ends the whole walk at once. Folders reached twice (through
// symbolic links) are walked once; folders that cannot be read, and files that
// vanish on the way, are passed over. An empty folder means the current one.
// Pending events are processed at every folder.
WalkResult walkFolder(std::string folder, std::string_view mask, const WalkVisitor &visitor);

// The same walk for visitors that need only the names (lastWrite stays 0): files
// the folder listing already shows as regular are not looked at further.
WalkResult walkFolderNames(std::string folder, std::string_view mask, const WalkVisitor &visitor);

// A visitor that only counts, and always continues.
WalkVisitor countingVisitor(int &total);

} // namespace vistrel::catalogue
