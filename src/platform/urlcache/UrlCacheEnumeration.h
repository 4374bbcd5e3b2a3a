#pragma once

#include "platform/urlcache/UrlCacheEntry.h"

#include <cstddef>
#include <optional>

namespace vistrel::platform {

class UrlCache;

// A walk over a loaded URL cache, one entry at a time: first() starts (again),
// next() goes on, both answer nothing at the end; close() ends the walk early.
// The cache must stay unchanged while the walk lasts.
class UrlCacheEnumeration
{
public:
    explicit UrlCacheEnumeration(const UrlCache &cache) : m_cache(&cache) {}

    std::optional<UrlCacheEntry> first();
    std::optional<UrlCacheEntry> next();
    void close() { m_cache = nullptr; }
    bool isOpen() const { return m_cache != nullptr; }

private:
    std::optional<UrlCacheEntry> current() const;

    const UrlCache *m_cache;
    std::size_t m_position = 0;
};

} // namespace vistrel::platform
