#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vistrel::server {

// The Favorites folder as the editor sees it: every path the editor changes
// must lie inside it, and folders below it are named by their relative path in
// backslash form.
class FavouritesRoot
{
public:
    // folder: the Favorites folder, with or without a trailing "/".
    explicit FavouritesRoot(std::string folder);

    // With a trailing "/".
    const std::string &folder() const { return m_folder; }

    // The full path a form identifier stands for (hex digit pairs, either
    // case), when it decodes to a file below this folder: no NUL, no empty,
    // "." or ".." component. None otherwise.
    std::optional<std::string> decodeIdentifier(std::string_view hex) const;

    // Whether an existing folder (ending in "/"), with every link resolved,
    // is this folder or lies below it.
    bool reallyHolds(const std::string &folder) const;

    // A folder below this one (ending in "/") as the sort-order value names it:
    // "" for this folder itself, "Links\News" below it.
    std::string relativeKey(const std::string &folder) const;
    // The same between backslashes, as the report lines show it: "\", "\Links\".
    std::string relativeShown(const std::string &folder) const;

private:
    std::string m_folder;
    mutable std::optional<std::string> m_real; // resolved once per request
};

// A name the editor may give a favourite within its folder: not empty, not "."
// or "..", without "/", "\" and control characters.
bool isSafeFileName(std::string_view name);

// "a.b.url" -> "a.b" + ext; a name without "." gets ext appended.
std::string withExtension(std::string_view name, std::string_view ext);
std::string withoutExtension(std::string_view name);
// The last component of a path, and everything before it (ending in "/").
std::string fileNameOf(std::string_view path);
std::string folderOf(std::string_view path);

} // namespace vistrel::server
