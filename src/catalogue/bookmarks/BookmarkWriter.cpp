#include "catalogue/bookmarks/BookmarkWriter.h"

#include "platform/ShortcutWriter.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::catalogue {

namespace {

// Room left in a path for a favourite's own name: folders whose path would
// leave less are not made, their bookmarks stay in the parent.
constexpr std::size_t kMaxPathBytes = 4095;
constexpr std::size_t kRoomForFileName = 255;

QString nativeText(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString failure(const char *what, const std::string &path, int error)
{
    return QStringLiteral("cannot %1 %2 (%3)")
        .arg(QLatin1String(what), nativeText(path), QString::fromLocal8Bit(std::strerror(error)));
}

QByteArray lowerAscii(const std::string &name)
{
    return QByteArray::fromStdString(name).toLower();
}

std::string numbered(const std::string &base, int n)
{
    return n == 1 ? base : base + " (" + std::to_string(n) + ")";
}

} // namespace

BookmarkWriter::BookmarkWriter(platform::MainFlags &flags, const QString &favoritesFolder)
    : m_flags(flags), m_root(QFile::encodeName(favoritesFolder).toStdString())
{
    while (m_root.size() > 1 && m_root.back() == '/')
        m_root.pop_back();
}

BookmarkWriter::FolderNames &BookmarkWriter::namesIn(const std::string &folder)
{
    const QByteArray key = QByteArray::fromStdString(folder);
    auto found = m_names.find(key);
    if (found != m_names.end())
        return *found;
    FolderNames &names = m_names[key];
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            names.taken.insert(lowerAscii(name));
            struct stat info;
            if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode))
                names.dirs.insert(lowerAscii(name), QByteArray::fromStdString(name));
        }
        ::closedir(dir);
    }
    return names;
}

bool BookmarkWriter::makeFolder(const std::string &parent, const QString &title, std::string &path, QString &error)
{
    std::string name = platform::favouriteFileName(title.toUtf8().toStdString());
    if (name.empty())
        name = kUntitledFolder;
    if (parent.size() + 1 + name.size() + 1 + kRoomForFileName > kMaxPathBytes) {
        ++m_flattened;
        path = parent;
        return true;
    }
    FolderNames &names = namesIn(parent);
    for (int n = 1;; ++n) {
        const std::string candidate = numbered(name, n);
        const QByteArray lower = lowerAscii(candidate);
        // A folder of that name already there takes the bookmarks in.
        if (const auto existing = names.dirs.constFind(lower); existing != names.dirs.constEnd()) {
            path = parent + "/" + existing->toStdString();
            return true;
        }
        if (names.taken.contains(lower))
            continue;
        path = parent + "/" + candidate;
        if (::mkdir(path.c_str(), 0755) == 0) {
            m_madeFolders.push_back(path);
            names.taken.insert(lower);
            names.dirs.insert(lower, QByteArray::fromStdString(candidate));
            return true;
        }
        if (errno != EEXIST) {
            error = failure("make the folder", path, errno);
            return false;
        }
        names.taken.insert(lower);
        struct stat info;
        if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return true; // made meanwhile by someone else: it takes the bookmarks in
    }
}

bool BookmarkWriter::writeFavourite(const std::string &folder, const BookmarkTree::Link &link, QString &error)
{
    const std::string base = platform::favouriteNameFor(link.title.toUtf8().toStdString(), link.url.toStdString());
    FolderNames &names = namesIn(folder);
    const QByteArray lowerBase = lowerAscii(base);
    for (int n = names.nextNumber.value(lowerBase, 1);; ++n) {
        const std::string fileName = numbered(base, n) + kShortcutExtension;
        const QByteArray lower = lowerAscii(fileName);
        if (names.taken.contains(lower))
            continue;
        const std::string path = folder + "/" + fileName;
        // Claimed with an exclusive create, so a file that appears meanwhile is never replaced.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) {
                names.taken.insert(lower);
                continue;
            }
            error = failure("write", path, errno);
            return false;
        }
        ::close(fd);
        names.taken.insert(lower);
        names.nextNumber.insert(lowerBase, n + 1);
        m_madeFiles.push_back(path);
        if (!platform::writeShortcut(m_flags, nativeText(path), link.url.toStdString())) {
            error = failure("write", path, errno ? errno : EIO);
            return false;
        }
        return true;
    }
}

void BookmarkWriter::undo()
{
    for (auto file = m_madeFiles.rbegin(); file != m_madeFiles.rend(); ++file)
        ::unlink(file->c_str());
    for (auto folder = m_madeFolders.rbegin(); folder != m_madeFolders.rend(); ++folder)
        ::rmdir(folder->c_str());
    m_madeFiles.clear();
    m_madeFolders.clear();
    m_names.clear();
}

bool BookmarkWriter::write(const BookmarkTree &tree, FavouriteUrls &known, ImportCounts &counts, QString &error)
{
    const std::vector<BookmarkTree::Folder> &folders = tree.folders();
    const std::vector<BookmarkTree::Link> &links = tree.links();
    m_madeFiles.clear();
    m_madeFolders.clear();
    m_flattened = 0;

    // A folder is made when something new goes into it or below it, or when it
    // is empty in the source too; folders always come after their parents.
    std::vector<bool> isNew(links.size(), false);
    std::vector<bool> wanted(folders.size(), false);
    std::vector<bool> holdsSomething(folders.size(), false);
    std::size_t present = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
        holdsSomething[std::size_t(links[i].folder)] = true;
        if (known.contains(links[i].url)) {
            ++present;
        } else {
            isNew[i] = true;
            wanted[std::size_t(links[i].folder)] = true;
        }
    }
    for (std::size_t f = BookmarkTree::kMobile + 1; f < folders.size(); ++f)
        holdsSomething[std::size_t(folders[f].parent)] = true;
    for (std::size_t f = BookmarkTree::kMobile + 1; f < folders.size(); ++f)
        if (!holdsSomething[f])
            wanted[f] = true;
    for (std::size_t f = folders.size(); f-- > BookmarkTree::kMobile + 1;)
        if (wanted[f])
            wanted[std::size_t(folders[f].parent)] = true;

    std::vector<std::string> paths(folders.size());
    paths[BookmarkTree::kFavorites] = m_root;
    for (std::size_t f = 1; f < folders.size(); ++f) {
        if (!wanted[f])
            continue;
        const std::string &parent = folders[f].parent < 0 ? m_root : paths[std::size_t(folders[f].parent)];
        if (!makeFolder(parent, folders[f].title, paths[f], error)) {
            undo();
            return false;
        }
    }
    std::vector<QByteArray> added;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (!isNew[i])
            continue;
        if (!writeFavourite(paths[std::size_t(links[i].folder)], links[i], error)) {
            undo();
            return false;
        }
        added.push_back(links[i].url);
    }
    for (const QByteArray &url : added)
        known.add(url);
    counts.added += added.size();
    counts.present += present;
    counts.skipped += tree.skipped();
    counts.flattened += tree.flattened() + m_flattened;
    return true;
}

} // namespace vistrel::catalogue
