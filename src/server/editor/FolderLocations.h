#pragma once

#include "server/editor/FavouritesRoot.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::server {

// Finds the real folder behind a folder name the editing form posts. The form
// offers each folder's Location as the listing shows it, where "&" reads "and"
// and a letter after a backslash may be upper case, so the posted text is
// compared with the Location of every existing folder rather than taken as a
// path.
class FolderLocations
{
public:
    struct Folder
    {
        std::string relative; // backslash form, "" for the Favorites folder
        std::string path;     // ending in "/"
    };

    explicit FolderLocations(const FavouritesRoot &root);

    // The folder a posted value means for a favourite now in `current`
    // (relative, backslash form): the current folder when its own value reads
    // the same (so an unchanged form moves nothing), the Favorites folder for
    // "Root", else the folder whose path is exactly the value, else the first
    // folder whose Location reads as the value. None when no folder does.
    std::optional<Folder> resolve(std::string_view posted, std::string_view current);

    // What the form posts for a folder: "Root" for the Favorites folder, else
    // its Location as a browser reads it from the page.
    static std::string postedValue(std::string_view relative);

    // Folders met again after a change are read again.
    void invalidate() { m_loaded = false; }

private:
    void load();

    const FavouritesRoot &m_root;
    std::vector<Folder> m_folders;
    bool m_loaded = false;
};

} // namespace vistrel::server
