#include "catalogue/HistoryUrlCache.h"

#include "platform/ProgramContext.h"
#include "platform/Trace.h"

#include <exception>

namespace vistrel::catalogue {

HistoryUrlCache::HistoryUrlCache(platform::ProgramContext &context) : m_context(context) {}

HistoryUrlCache::~HistoryUrlCache() = default;

void HistoryUrlCache::report(const QString &line) const
{
    m_context.display.write(line);
    m_context.trace.add(line);
}

const platform::UrlCache &HistoryUrlCache::snapshot() const
{
    if (m_cache)
        return *m_cache;
    auto cache = std::make_unique<platform::UrlCache>(m_context.tempFolder);
    try {
        for (const platform::UrlCacheProblem &problem : cache->load())
            report(QStringLiteral("Browser history skipped: ") + problem.text());
    } catch (const std::exception &e) {
        // Out of memory on a huge history, most likely: go on without it.
        cache = std::make_unique<platform::UrlCache>(m_context.tempFolder);
        report(QStringLiteral("Browser history not read: ") + QString::fromUtf8(e.what()));
    }
    qCDebug(vistrelTrace) << "browser history read:" << cache->size() << "addresses";
    m_cache = std::move(cache);
    return *m_cache;
}

void HistoryUrlCache::release()
{
    m_cache.reset();
}

std::optional<capture::UrlCacheEntry> HistoryUrlCache::lookup(const std::string &url) const
{
    const auto entry = snapshot().find(url);
    if (!entry)
        return std::nullopt;
    return capture::UrlCacheEntry{entry->hitRate, entry->lastAccess(), entry->title};
}

} // namespace vistrel::catalogue
