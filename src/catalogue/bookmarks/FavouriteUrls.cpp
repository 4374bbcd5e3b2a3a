#include "catalogue/bookmarks/FavouriteUrls.h"

#include "capture/IniFile.h"
#include "catalogue/FolderWalk.h"

#include <QFile>
#include <QUrl>

namespace vistrel::catalogue {

FavouriteUrls FavouriteUrls::read(const QString &favoritesFolder)
{
    FavouriteUrls urls;
    walkFolderNames(QFile::encodeName(favoritesFolder).toStdString(), "*.url",
                    [&urls](const std::string &folder, const DirectoryEntry &entry) {
                        const std::optional<capture::IniFile> file =
                            capture::IniFile::load(QFile::decodeName(QByteArray::fromStdString(folder + entry.name)));
                        if (file) {
                            if (const std::optional<std::string> url = file->value("InternetShortcut", "URL"))
                                urls.add(QByteArray::fromStdString(*url));
                        }
                        return WalkAnswer::Continue;
                    });
    return urls;
}

QByteArray FavouriteUrls::key(const QByteArray &url)
{
    const QByteArray trimmed = url.trimmed();
    const QUrl parsed = QUrl::fromEncoded(trimmed, QUrl::TolerantMode);
    return parsed.isValid() ? parsed.toEncoded() : trimmed;
}

} // namespace vistrel::catalogue
