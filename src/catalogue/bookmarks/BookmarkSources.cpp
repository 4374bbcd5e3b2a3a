#include "catalogue/bookmarks/BookmarkSources.h"

#include "platform/urlcache/HistoryDatabaseLocator.h"

#include <QDir>
#include <QFileInfo>

namespace vistrel::catalogue {

const QString BookmarkSources::kFirefox = QStringLiteral("firefox");
const QString BookmarkSources::kChromium = QStringLiteral("chromium");

namespace {

const QString kChromiumBookmarksFile = QStringLiteral("Bookmarks");

// The browsers keep their bookmarks in the profiles that hold their history.
std::vector<BookmarkSource> browserSources(bool firefox, bool chromium, const QString &homeFolder,
                                           const QString &configFolder)
{
    std::vector<platform::UrlCacheProblem> problems;
    std::vector<BookmarkSource> sources;
    for (const platform::HistoryDatabase &database :
         platform::findHistoryDatabases(homeFolder, configFolder, problems)) {
        const QString profileName = QFileInfo(database.profile).fileName();
        if (database.format == platform::HistoryFormat::FirefoxPlaces) {
            if (firefox && QFileInfo::exists(database.path))
                sources.push_back({BookmarkSource::Kind::Firefox,
                                   QStringLiteral("Firefox profile %1").arg(profileName), database.path});
        } else if (chromium) {
            const QString path = QDir(database.profile).filePath(kChromiumBookmarksFile);
            if (!QFileInfo::exists(path))
                continue;
            const bool chrome = QFileInfo(QFileInfo(database.profile).absolutePath()).fileName()
                                == QLatin1String("google-chrome");
            sources.push_back({BookmarkSource::Kind::Chromium,
                               QStringLiteral("%1 profile %2")
                                   .arg(chrome ? QStringLiteral("Google Chrome") : QStringLiteral("Chromium"),
                                        profileName),
                               path});
        }
    }
    return sources;
}

} // namespace

std::optional<std::vector<BookmarkSource>> BookmarkSources::find(const QString &request, const QString &homeFolder,
                                                                  const QString &configFolder, QString &error)
{
    const bool firefox = request.isEmpty() || request.compare(kFirefox, Qt::CaseInsensitive) == 0;
    const bool chromium = request.isEmpty() || request.compare(kChromium, Qt::CaseInsensitive) == 0;
    if (firefox || chromium) {
        std::vector<BookmarkSource> sources = browserSources(firefox, chromium, homeFolder, configFolder);
        if (sources.empty()) {
            const QString which = firefox && chromium ? QStringLiteral("Firefox, Chromium or Google Chrome")
                                  : firefox           ? QStringLiteral("Firefox")
                                                      : QStringLiteral("Chromium or Google Chrome");
            error = QStringLiteral("No %1 profile with bookmarks was found for this user.").arg(which);
            return std::nullopt;
        }
        return sources;
    }
    const QFileInfo file(request);
    if (!file.exists()) {
        error = QStringLiteral("'%1' is neither firefox, chromium nor an existing bookmark file.").arg(request);
        return std::nullopt;
    }
    if (!file.isFile()) {
        error = QStringLiteral("'%1' is not a file.").arg(request);
        return std::nullopt;
    }
    return std::vector<BookmarkSource>{{BookmarkSource::Kind::File, file.absoluteFilePath(), file.absoluteFilePath()}};
}

} // namespace vistrel::catalogue
