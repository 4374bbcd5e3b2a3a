#include "server/editor/FavouriteIndex.h"

#include "catalogue/FolderWalk.h"

namespace vistrel::server {

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

FavouriteIndex::FavouriteIndex(std::string root) : m_root(std::move(root)) {}

void FavouriteIndex::load()
{
    m_files.clear();
    catalogue::walkFolderNames(m_root, "*", [this](const std::string &folder, const catalogue::DirectoryEntry &entry) {
        m_files.push_back({folder, entry.name});
        return catalogue::WalkAnswer::Continue;
    });
    m_loaded = true;
}

std::optional<FavouriteIndex::Found> FavouriteIndex::first(std::string_view fileName)
{
    if (!m_loaded)
        load();
    for (const Found &f : m_files)
        if (equalsIgnoringAsciiCase(f.name, fileName))
            return f;
    return std::nullopt;
}

} // namespace vistrel::server
