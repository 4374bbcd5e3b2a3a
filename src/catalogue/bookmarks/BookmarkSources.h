#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace vistrel::catalogue {

// One place bookmarks are read from.
struct BookmarkSource
{
    enum class Kind { Firefox, Chromium, File };
    Kind kind;
    QString name; // for the report: "Firefox profile abc.default", "Chromium profile Default", the file
    QString path; // places.sqlite, Bookmarks, or the HTML file
};

// The sources a request names: "firefox" (every profile of profiles.ini),
// "chromium" (every Chromium and Google Chrome profile), a bookmark file, or
// nothing for every browser.
class BookmarkSources
{
public:
    static const QString kFirefox;
    static const QString kChromium;

    // Empty, with error set, when the request names nothing usable or no
    // browser profile with bookmarks is there.
    static std::optional<std::vector<BookmarkSource>> find(const QString &request, const QString &homeFolder,
                                                           const QString &configFolder, QString &error);
};

} // namespace vistrel::catalogue
