#include "capture/PageImageName.h"

#include "platform/TextEncodings.h"

#include <algorithm>
#include <cstdio>

namespace vistrel::capture {

namespace {
constexpr std::string_view kExtension = ".BMP";
}

QString PageImageName::filePath(const QString &baseFolder) const
{
    std::string native = relative;
    std::replace(native.begin(), native.end(), '\\', '/');
    return baseFolder + QString::fromStdString(native);
}

PageImageName pageImageName(const QString &baseFolder, const QString &shortcutFileName, int generation, bool history)
{
    const std::string fileName = shortcutFileName.toStdString();
    const std::size_t dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);

    char number[16];
    std::snprintf(number, sizeof number, "%4d", generation);
    const std::string folder = history ? "images\\history\\" : "images\\";

    PageImageName name;
    std::string withoutExtension = folder + platform::hexEncode(std::string(number) + stem);
    const std::size_t baseLength = std::size_t(baseFolder.toUtf8().size());
    if (baseLength + withoutExtension.size() + kExtension.size() > kMaxPageImagePath) {
        const std::size_t room = kShortenedPageImagePath - kExtension.size();
        // A base folder that leaves no room still keeps the image in its folder.
        const std::size_t keep = std::max(room > baseLength ? room - baseLength : 0, folder.size() + 2);
        withoutExtension.resize(std::min(keep, withoutExtension.size()));
        name.shortened = true;
    }
    name.relative = withoutExtension + std::string(kExtension);
    return name;
}

} // namespace vistrel::capture
