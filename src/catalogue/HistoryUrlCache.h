#pragma once

#include "capture/UrlCacheLookup.h"
#include "platform/urlcache/UrlCache.h"

#include <memory>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::catalogue {

// The browsers' history as a refresh sees it: one snapshot of the URL cache,
// read when first needed and kept until release(), which the refresh command
// calls at its end. The captures' visit counts and site properties and the
// history pass all answer from that one snapshot, so a refresh reads the
// browsers' databases once however many favourites it captures.
//
// Databases that are missing, locked, damaged or of an unknown layout are
// read as far as they can be; what was skipped goes to the server display
// and the refresh trace.
class HistoryUrlCache : public capture::UrlCacheLookup
{
public:
    explicit HistoryUrlCache(platform::ProgramContext &context);
    ~HistoryUrlCache() override;
    HistoryUrlCache(const HistoryUrlCache &) = delete;
    HistoryUrlCache &operator=(const HistoryUrlCache &) = delete;

    // The snapshot, read now when there is none. It stays unchanged until release().
    const platform::UrlCache &snapshot() const;
    bool isLoaded() const { return m_cache != nullptr; }
    // Forgets the snapshot (and its memory); the next use reads the databases again.
    void release();

    // Exact address, as the capture asks (it has cut the fragment already).
    std::optional<capture::UrlCacheEntry> lookup(const std::string &url) const override;

private:
    void report(const QString &line) const;

    platform::ProgramContext &m_context;
    mutable std::unique_ptr<platform::UrlCache> m_cache;
};

} // namespace vistrel::catalogue
