#pragma once

namespace vistrel::capture {

class PreviewImage;
class ThumbnailSource;
class UrlCacheLookup;

// What a capture uses besides the program context. Every member may stay
// empty: no history, a browser when one is installed (else the card), and a
// preview nobody sees.
struct CaptureServices
{
    const UrlCacheLookup *urlCache = nullptr;
    ThumbnailSource *thumbnails = nullptr;
    PreviewImage *preview = nullptr;
};

// The services runCapture uses; the main window fills them in once.
CaptureServices &defaultCaptureServices();

} // namespace vistrel::capture
