#include "capture/ThumbnailSource.h"

#include "capture/http/HttpTarget.h"

#include <algorithm>
#include <cctype>

namespace vistrel::capture {

QImage squareThumbnail(const QImage &screenshot)
{
    if (screenshot.isNull())
        return {};
    const int side = std::min(screenshot.width(), screenshot.height());
    return screenshot.copy(0, 0, side, side)
        .scaled(kThumbnailSize, kThumbnailSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB888);
}

std::string renderableUrl(const std::string &url)
{
    std::string trimmed = url;
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.front())))
        trimmed.erase(trimmed.begin());
    while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back())))
        trimmed.pop_back();
    if (trimmed.empty())
        return {};
    for (char c : trimmed) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return {};
    }
    std::string lower = trimmed;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char *scheme : {"http://", "https://", "ftp://"}) {
        if (lower.rfind(scheme, 0) == 0)
            return trimmed;
    }
    if (http::hasScheme(trimmed) || trimmed.front() == '-' || trimmed.front() == '/')
        return {};
    return "http://" + trimmed;
}

bool isSpkiPin(const std::string &pin)
{
    // 32 bytes in base64: 43 characters and one "=". Anything else is no pin
    // and must not reach the command line.
    if (pin.size() != kSpkiPinLength || pin.back() != '=')
        return false;
    for (std::size_t i = 0; i + 1 < pin.size(); ++i) {
        const char c = pin[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/')
            return false;
    }
    return true;
}

} // namespace vistrel::capture
