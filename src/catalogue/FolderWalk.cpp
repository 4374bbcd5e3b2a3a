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
    Walker(std::string_view mask, const WalkVisitor &visitor) : m_mask(mask), m_visitor(visitor) {}

    WalkResult walk(const std::string &folder)
    {
        QCoreApplication::processEvents();

        struct stat self;
        if (::stat(folder.c_str(), &self) != 0 || !S_ISDIR(self.st_mode))
            return WalkResult::Completed;
        if (!m_seen.insert({self.st_dev, self.st_ino}).second)
            return WalkResult::Completed; // reached again through a link: no loops, no duplicates

        // Read the names first and close the folder, so deep trees do not hold
        // one descriptor per level.
        std::vector<std::string> names;
        if (DIR *dir = ::opendir(folder.c_str())) {
            while (const dirent *entry = ::readdir(dir)) {
                const std::string_view name(entry->d_name);
                if (name != "." && name != "..")
                    names.emplace_back(name);
            }
            ::closedir(dir);
        } else {
            return WalkResult::Completed;
        }

        std::vector<const std::string *> subfolders;
        for (const std::string &name : names) {
            struct stat info;
            if (::stat((folder + name).c_str(), &info) != 0)
                continue; // vanished, or a dangling link
            if (S_ISDIR(info.st_mode)) {
                subfolders.push_back(&name);
                continue;
            }
            if (!S_ISREG(info.st_mode) || !platform::matchesWildcard(name, m_mask))
                continue;
            if (m_visitor(folder, DirectoryEntry{name, static_cast<std::int64_t>(info.st_mtime)}) == WalkAnswer::Stop)
                return WalkResult::Stopped;
        }
        for (const std::string *name : subfolders) {
            if (walk(folder + *name + "/") == WalkResult::Stopped)
                return WalkResult::Stopped;
        }
        return WalkResult::Completed;
    }

private:
    std::string_view m_mask;
    const WalkVisitor &m_visitor;
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

} // namespace

WalkResult walkFolder(std::string folder, std::string_view mask, const WalkVisitor &visitor)
{
    if (folder.empty())
        folder = "./";
    if (folder.back() != '/')
        folder += '/';
    return Walker(mask, visitor).walk(folder);
}

WalkVisitor countingVisitor(int &total)
{
    return [&total](const std::string &, const DirectoryEntry &) {
        ++total;
        return WalkAnswer::Continue;
    };
}

} // namespace vistrel::catalogue
