#pragma once

#include "capture/ThumbnailSource.h"

namespace vistrel::capture {

// The stand-in when no browser is installed: the site's host and the page's
// title on a plain card, so every reachable favourite still gets a picture.
class CardThumbnailer : public ThumbnailSource
{
public:
    static constexpr QRgb kCardColour = 0xFFF4F1E8;
    static constexpr QRgb kHostColour = 0xFF000080;
    static constexpr QRgb kTitleColour = 0xFF303030;

    std::optional<QImage> render(const ThumbnailRequest &request) override;

    static QImage card(const std::string &url, const std::string &title);
};

// The host part of a URL ("example.com" of "http://example.com:81/x").
QString hostOf(const std::string &url);

} // namespace vistrel::capture
