#include "platform/urlcache/UrlCacheEnumeration.h"

#include "platform/urlcache/UrlCache.h"

namespace vistrel::platform {

std::optional<UrlCacheEntry> UrlCacheEnumeration::first()
{
    m_position = 0;
    return current();
}

std::optional<UrlCacheEntry> UrlCacheEnumeration::next()
{
    if (m_cache && m_position < m_cache->m_store.size())
        ++m_position;
    return current();
}

std::optional<UrlCacheEntry> UrlCacheEnumeration::current() const
{
    if (!m_cache || m_position >= m_cache->m_store.size())
        return std::nullopt;
    return m_cache->entry(m_cache->m_store.at(m_position));
}

} // namespace vistrel::platform
