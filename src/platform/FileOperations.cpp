#include "platform/FileOperations.h"

#include "platform/TextEncodings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vistrel::platform {

namespace {

// Qt makes the home trash inside the user's data folder but will not create
// that folder; without it, it quietly "trashes" into the current folder.
bool homeTrashPossible()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return !data.isEmpty() && QDir().mkpath(data);
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Position after the character at pos, so "?" takes a whole UTF-8 character.
std::size_t nextCharacter(std::string_view text, std::size_t pos)
{
    detail::decodeUtf8At(text, pos);
    return pos;
}

} // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern)
{
    std::size_t n = 0, p = 0;
    // Where the last "*" stood and how much of the name it has taken so far.
    std::size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            n = nextCharacter(name, n);
            ++p;
        } else if (p < pattern.size() && asciiLower(pattern[p]) == asciiLower(name[n])) {
            ++n;
            ++p;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            starName = nextCharacter(name, starName);
            n = starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool deleteByPattern(const QString &pattern, bool allowUndo)
{
    const QByteArray raw = QFile::encodeName(pattern);
    const qsizetype slash = raw.lastIndexOf('/');
    const std::string folder = slash < 0 ? std::string(".") : raw.left(slash + 1).toStdString();
    const std::string wildcard = raw.mid(slash + 1).toStdString();

    std::vector<std::string> matches;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return errno == ENOENT;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == ".." || !matchesWildcard(name, wildcard))
            continue;
        matches.emplace_back(folder.back() == '/' ? folder + std::string(name) : folder + "/" + std::string(name));
    }
    ::closedir(dir);

    bool ok = true;
    if (allowUndo && !matches.empty() && !homeTrashPossible())
        return false;
    for (const std::string &path : matches) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno != ENOENT)
                ok = false;
            continue;
        }
        if (S_ISDIR(info.st_mode))
            continue;
        if (allowUndo) {
            if (!QFile::moveToTrash(QFile::decodeName(QByteArray::fromStdString(path))))
                ok = false;
        } else if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            ok = false;
        }
    }
    return ok;
}

} // namespace vistrel::platform
