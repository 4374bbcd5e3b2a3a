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

std::optional<FavouriteIndex::Found> FavouriteIndex::first(std::string_view fileName, std::string_view exactName)
{
    if (!m_loaded)
        load();
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        if (!equalsIgnoringAsciiCase(it->name, fileName))
            continue;
        if (!exactName.empty() && it->name != exactName) {
            // A folder's files stand together in the index.
            for (auto same = it; same != m_files.end() && same->folder == it->folder; ++same)
                if (same->name == exactName)
                    return *same;
        }
        return *it;
    }
    return std::nullopt;
}

} // namespace vistrel::server
