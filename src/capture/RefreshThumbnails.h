#pragma once

#include <memory>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::capture {

class ThumbnailSource;

// The page pictures of one refresh: made when the refresh begins and put
// among the captures' default services until it ends, so one browser serves
// every capture of the refresh and is gone with it (cancelled or not). The
// browser kept open over its pipe by default; VISTREL_BROWSER_MODE=oneshot
// starts one browser per page instead; the card when no browser is installed.
class RefreshThumbnails
{
public:
    static constexpr const char *kModeVariable = "VISTREL_BROWSER_MODE";

    explicit RefreshThumbnails(platform::ProgramContext &context);
    ~RefreshThumbnails();
    RefreshThumbnails(const RefreshThumbnails &) = delete;
    RefreshThumbnails &operator=(const RefreshThumbnails &) = delete;

    ThumbnailSource &source() { return *m_source; }

private:
    std::unique_ptr<ThumbnailSource> m_source;
    ThumbnailSource *m_replaced = nullptr;
};

} // namespace vistrel::capture
