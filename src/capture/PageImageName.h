#pragma once

#include <QString>

#include <string>

namespace vistrel::capture {

// The name of a page image relative to the data folder, as the listing shows
// it ("images\" or "images\history\" + hex of "%4d" generation + shortcut name,
// + ".BMP"), cut so that data folder + name stays within 255 characters.
struct PageImageName
{
    std::string relative;   // backslash form, for the listing
    bool shortened = false;

    // The file itself: base folder + the name with "/" for "\".
    QString filePath(const QString &baseFolder) const;
};

// Longest base folder + name before the name is cut, and the length it is cut to.
inline constexpr std::size_t kMaxPageImagePath = 255;
inline constexpr std::size_t kShortenedPageImagePath = 249;

PageImageName pageImageName(const QString &baseFolder, const QString &shortcutFileName, int generation, bool history);

} // namespace vistrel::capture
