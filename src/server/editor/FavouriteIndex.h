#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::server {

// The files of the Favorites tree in the order the folder walk meets them
// (a folder's own files, then each subfolder), for finding a favourite by its
// file name as a walk that stops at the first match would. The name is
// compared literally, ASCII letter case aside: "*" and "?" in it are plain
// characters. Read once and again after every change the editor makes.
class FavouriteIndex
{
public:
    struct Found
    {
        std::string folder; // ending in "/"
        std::string name;
    };

    explicit FavouriteIndex(std::string root);

    // The first file named fileName. Where its folder also holds a file named
    // exactly `exactName` (a name that differs only in letter case from
    // another, on a file system that tells them apart), that one.
    std::optional<Found> first(std::string_view fileName, std::string_view exactName = {});
    // The tree changed: read it again at the next look-up.
    void invalidate() { m_loaded = false; }

private:
    void load();

    std::string m_root;
    std::vector<Found> m_files;
    bool m_loaded = false;
};

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace vistrel::server
