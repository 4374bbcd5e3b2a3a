#include "server/editor/FolderLocations.h"

#include "catalogue/ListingFormat.h"

#include <QCoreApplication>

#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace vistrel::server {

namespace {

constexpr std::string_view kRootValue = "Root";

// A browser turns every line break of a value into CR LF when it posts a form,
// and reads CR LF or CR in a page as LF; compare line breaks as one.
std::string lineBreaksAsLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Built by appending: GCC 12 warns falsely about std::string::replace here.
void replaceAll(std::string &text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(from, start)) != std::string::npos; start = at + from.size()) {
        out.append(text, start, at - start);
        out.append(to);
    }
    out.append(text, start, std::string::npos);
    text = std::move(out);
}

} // namespace

FolderLocations::FolderLocations(const FavouritesRoot &root) : m_root(root) {}

std::string FolderLocations::postedValue(std::string_view relative)
{
    if (relative.empty())
        return std::string(kRootValue);
    // The listing writes a few characters as references; the page's reader
    // turns them back into the characters.
    std::string text = catalogue::listing::locationText(relative);
    replaceAll(text, "&#34;", "\"");
    replaceAll(text, "&#60;", "<");
    replaceAll(text, "&#9;", "\t");
    replaceAll(text, "&#10;", "\n");
    replaceAll(text, "&#13;", "\r");
    return text;
}

void FolderLocations::load()
{
    m_folders.clear();
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<Folder> pending{{std::string(), m_root.folder()}};
    // Depth first, a folder's subfolders in the order the file system lists
    // them, as the folder walk goes.
    while (!pending.empty()) {
        Folder folder = std::move(pending.back());
        pending.pop_back();
        struct stat self;
        if (::stat(folder.path.c_str(), &self) != 0 || !S_ISDIR(self.st_mode))
            continue;
        if (!seen.insert({self.st_dev, self.st_ino}).second || !m_root.reallyHolds(folder.path))
            continue;
        QCoreApplication::processEvents();
        std::vector<Folder> below;
        if (DIR *dir = ::opendir(folder.path.c_str())) {
            while (const dirent *entry = ::readdir(dir)) {
                const std::string name(entry->d_name);
                if (name == "." || name == "..")
                    continue;
                if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
                    continue;
                const std::string path = folder.path + name + "/";
                if (entry->d_type != DT_DIR) {
                    struct stat info;
                    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
                        continue;
                }
                below.push_back({folder.relative.empty() ? name : folder.relative + "\\" + name, path});
            }
            ::closedir(dir);
        }
        m_folders.push_back(std::move(folder));
        for (auto it = below.rbegin(); it != below.rend(); ++it)
            pending.push_back(std::move(*it));
    }
    m_loaded = true;
}

std::optional<FolderLocations::Folder> FolderLocations::resolve(std::string_view posted, std::string_view current)
{
    if (!m_loaded)
        load();
    const std::string wanted = lineBreaksAsLf(posted);
    const Folder *exact = nullptr;
    const Folder *readsAs = nullptr;
    for (const Folder &f : m_folders) {
        const bool same = lineBreaksAsLf(postedValue(f.relative)) == wanted;
        if (same && f.relative == current)
            return f;
        if (!exact && f.relative == posted && !f.relative.empty())
            exact = &f;
        if (!readsAs && same)
            readsAs = &f;
    }
    if (posted == kRootValue && !m_folders.empty() && m_folders.front().relative.empty())
        return m_folders.front();
    if (exact)
        return *exact;
    if (readsAs)
        return *readsAs;
    return std::nullopt;
}

} // namespace vistrel::server
