#include "server/editor/HistoryFavourite.h"

#include "platform/ProgramContext.h"
#include "platform/ShortcutWriter.h"
#include "platform/TextEncodings.h"
#include "server/editor/FavouriteIndex.h"
#include "server/editor/FavouritesRoot.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <dirent.h>

namespace vistrel::server {

namespace {

constexpr std::string_view kShortcutExtension = ".URL";
// Whether the folder holds a file of that name in any ASCII letter case: on
// the systems the favourites come from, those would be one file.
bool nameTaken(const std::string &folder, std::string_view name)
{
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    bool taken = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (equalsIgnoringAsciiCase(entry->d_name, name)) {
            taken = true;
            break;
        }
    }
    ::closedir(dir);
    return taken;
}

} // namespace

HistoryFavourite::HistoryFavourite(platform::ProgramContext &context, TitleFetch fetchTitle, ActionReport &report)
    : m_context(context), m_fetchTitle(std::move(fetchTitle)), m_report(report)
{
}

std::string HistoryFavourite::favouriteName(std::string_view title, std::string_view url)
{
    return platform::favouriteNameFor(title, url);
}

void HistoryFavourite::add(std::string_view postedName)
{
    std::string url;
    try {
        // The browser sent the button's name URL-encoded; only its own
        // decoding gives back the address as the page holds it.
        url = platform::decodeFormValue(postedName);
    } catch (const platform::ConversionError &) {
        m_report.add("Favourite %s was not added. Its address could not be decoded<br>", {postedName});
        return;
    }
    const std::string fetched = m_fetchTitle ? m_fetchTitle(url) : std::string();
    const std::string title(platform::trimBlanks(fetched));
    const std::string base = favouriteName(platform::decodePercent(title), url);

    const std::string folder = FavouritesRoot(QFile::encodeName(m_context.paths.favoritesFolder).toStdString()).folder();
    // The name is taken with an exclusive create, so no favourite is ever
    // replaced, even one that appears while the title is fetched.
    std::string name;
    std::string path;
    int error = EEXIST;
    for (int n = 1; n <= kMaxNumberedNames && error == EEXIST; ++n) {
        name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        const std::string fileName = name + std::string(kShortcutExtension);
        if (nameTaken(folder, fileName))
            continue;
        path = folder + fileName;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            error = 0;
        } else {
            error = errno;
        }
    }
    if (error != 0) {
        m_context.messages.show(platform::MessagePresenter::Kind::Error, QString::number(error));
        m_report.add("Favourite %s was not added. Error %d<br>", {base}, error);
        return;
    }
    if (!platform::writeShortcut(m_context.flags, QFile::decodeName(QByteArray::fromStdString(path)), url)) {
        const int writeError = errno ? errno : EIO;
        ::unlink(path.c_str());
        m_context.messages.show(platform::MessagePresenter::Kind::Error, QString::number(writeError));
        m_report.add("Favourite %s was not added. Error %d<br>", {name}, writeError);
        return;
    }
    m_report.add("Added Favourite %s <br>", {name});
}

} // namespace vistrel::server
