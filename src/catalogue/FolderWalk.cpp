#include "catalogue/FolderWalk.h"

#include "platform/FileOperations.h"

#include <QCoreApplication>

#include <set>
#include <utility>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace vistrel::catalogue {

namespace {

class Walker
{
public:
    Walker(std::string_view mask, const WalkVisitor &visitor, bool namesOnly)
        : m_mask(mask), m_visitor(visitor), m_namesOnly(namesOnly)
    {
    }

    WalkResult walk(const std::string &folder)
    {
        QCoreApplication::processEvents();

        struct stat self;
        if (::stat(folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode))
            return WalkResult::Completed;
        if (!m_seen.insert({self.st_dev, self.st_ino}).second)
            return WalkResult::Completed; // reached again through a link: no loops, no duplicates

        DIR *dir = ::opendir(folder.c_str());
        if (!dir)
            return WalkResult::Completed;
        // The names are read first, so a file renamed by a visitor (the editor runs
        // during a capture) is not met again under its new name.
        std::vector<std::pair<std::string, unsigned char>> names;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            if (name != "." && name != "..")
                names.emplace_back(name, entry->d_type);
        }

        // Subfolders are walked after this folder is closed, so deep trees do
        // not hold one descriptor per level.
        std::vector<std::string> subfolders;
        const int fd = ::dirfd(dir);
        WalkResult result = WalkResult::Completed;
        for (auto &[name, type] : names) {
            if (type == DT_DIR) {
                subfolders.push_back(std::move(name));
                continue;
            }
            // Only names that may be wanted are looked at more closely; a link
            // may stand for a folder.
            const bool wanted = platform::matchesWildcard(name, m_mask);
            if (!wanted && type != DT_LNK && type != DT_UNKNOWN)
                continue;
            if (wanted && type == DT_REG && m_namesOnly) {
                if (m_visitor(folder, DirectoryEntry{name, 0}) == WalkAnswer::Stop) {
                    result = WalkResult::Stopped;
                    break;
                }
                continue;
            }
            struct stat info;
            if (::fstatat(fd, name.c_str(), &info, 0) != 0)
                continue; // vanished, or a dangling link
            if (S_ISDIR(info.st_mode)) {
                subfolders.push_back(std::move(name));
                continue;
            }
            if (!wanted || !S_ISREG(info.st_mode))
                continue;
            if (m_visitor(folder, DirectoryEntry{name, static_cast<std::int64_t>(info.st_mtime)}) == WalkAnswer::Stop) {
                result = WalkResult::Stopped;
                break;
            }
        }
        ::closedir(dir);
        if (result == WalkResult::Stopped)
            return result;

        for (const std::string &name : subfolders) {
            if (walk(folder + name + "/") == WalkResult::Stopped)
                return WalkResult::Stopped;
        }
        return WalkResult::Completed;
    }

private:
    std::string_view m_mask;
    const WalkVisitor &m_visitor;
    bool m_namesOnly;
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

} // namespace

namespace {

WalkResult walkFrom(std::string folder, std::string_view mask, const WalkVisitor &visitor, bool namesOnly)
{
    if (folder.empty())
        folder = "./";
    if (folder.back() != '/')
        folder += '/';
    return Walker(mask, visitor, namesOnly).walk(folder);
}

} // namespace

WalkResult walkFolder(std::string folder, std::string_view mask, const WalkVisitor &visitor)
{
    return walkFrom(std::move(folder), mask, visitor, false);
}

WalkResult walkFolderNames(std::string folder, std::string_view mask, const WalkVisitor &visitor)
{
    return walkFrom(std::move(folder), mask, visitor, true);
}

WalkVisitor countingVisitor(int &total)
{
    return [&total](const std::string &, const DirectoryEntry &) {
        ++total;
        return WalkAnswer::Continue;
    };
}

} // namespace vistrel::catalogue
