#pragma once

#include <QImage>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace vistrel::capture {

struct ThumbnailRequest
{
    std::string url;   // as the shortcut holds it
    std::string title; // the page's title when known (UTF-8)
    // Base64 of the SHA-256 of the SubjectPublicKeyInfo of the certificate the
    // probe verified for an https page; empty otherwise. The browser may accept
    // that one certificate and no other it cannot verify itself.
    std::string spkiPin;
    std::chrono::milliseconds timeout{60000};
    const std::atomic<bool> *abandon = nullptr; // set: give up now
    // Asked on the main thread while the picture is taken: true once the user
    // has cancelled the refresh, which then needs no picture.
    std::function<bool()> cancelled;
};

// Something that can picture a page: a real rendering, or a stand-in card.
class ThumbnailSource
{
public:
    virtual ~ThumbnailSource() = default;
    // A picture of kThumbnailSize x kThumbnailSize, or nothing when it failed.
    virtual std::optional<QImage> render(const ThumbnailRequest &request) = 0;
};

inline constexpr int kThumbnailSize = 122;
// Base64 of a SHA-256 digest.
inline constexpr std::size_t kSpkiPinLength = 44;

// True for a well-formed pin (see ThumbnailRequest::spkiPin).
bool isSpkiPin(const std::string &pin);

// A screenshot cut to its top-left square and scaled smoothly to the thumbnail size.
QImage squareThumbnail(const QImage &screenshot);

// The URL a browser may be pointed at: http, https and ftp as they are, an
// address without a scheme as http; empty for anything else (file:, data:,
// javascript:, command-line options), which must never be rendered.
std::string renderableUrl(const std::string &url);

} // namespace vistrel::capture
