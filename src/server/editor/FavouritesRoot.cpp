#include "server/editor/FavouritesRoot.h"

#include "catalogue/ListingFormat.h"
#include "platform/TextEncodings.h"

#include <cstdlib>

namespace vistrel::server {

namespace {

std::optional<std::string> realPath(const std::string &path)
{
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

FavouritesRoot::FavouritesRoot(std::string folder) : m_folder(std::move(folder))
{
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
}

std::optional<std::string> FavouritesRoot::decodeIdentifier(std::string_view hex) const
{
    if (hex.empty() || hex.size() % 2 != 0)
        return std::nullopt;
    for (char c : hex)
        if (!isHexDigit(c))
            return std::nullopt;
    const std::string path = platform::hexDecode(hex);
    if (path.size() <= m_folder.size() || path.compare(0, m_folder.size(), m_folder) != 0)
        return std::nullopt;
    std::string_view rest = std::string_view(path).substr(m_folder.size());
    for (;;) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string_view::npos)
            return std::nullopt;
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    return path;
}

bool FavouritesRoot::reallyHolds(const std::string &folder) const
{
    if (!m_real)
        m_real = realPath(m_folder).value_or(std::string());
    if (m_real->empty())
        return false;
    const std::optional<std::string> real = realPath(folder);
    if (!real)
        return false;
    if (*real == *m_real)
        return true;
    const std::string prefix = *m_real == "/" ? *m_real : *m_real + '/';
    return real->compare(0, prefix.size(), prefix) == 0;
}

std::string FavouritesRoot::relativeKey(const std::string &folder) const
{
    return catalogue::listing::relativeFolder(m_folder, folder);
}

std::string FavouritesRoot::relativeShown(const std::string &folder) const
{
    std::string shown(1, '\\');
    const std::string key = relativeKey(folder);
    if (!key.empty()) {
        shown += key;
        shown += '\\';
    }
    return shown;
}

bool isSafeFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 32 || u == 127)
            return false;
    }
    return true;
}

std::string withExtension(std::string_view name, std::string_view ext)
{
    const std::size_t dot = name.rfind('.');
    return std::string(name.substr(0, dot)) + std::string(ext);
}

std::string withoutExtension(std::string_view name)
{
    return std::string(name.substr(0, name.rfind('.')));
}

std::string fileNameOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string folderOf(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

} // namespace vistrel::server
