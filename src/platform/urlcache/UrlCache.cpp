#include "platform/urlcache/UrlCache.h"

#include "platform/urlcache/HistoryDatabaseLocator.h"
#include "platform/urlcache/HistoryDatabaseReader.h"
#include "platform/urlcache/UrlFragment.h"

#include <pwd.h>
#include <unistd.h>

namespace vistrel::platform {

namespace {

constexpr std::string_view kSourcePrefix = "Visited: ";
constexpr std::size_t kPasswdBufferBytes = 16384;

} // namespace

UrlCache::UrlCache(const PrivateTempFolder &tempFolder, std::string userName)
    : m_tempFolder(tempFolder), m_userName(std::move(userName))
{
}

const std::vector<UrlCacheProblem> &UrlCache::load()
{
    std::vector<UrlCacheProblem> locating;
    const std::vector<HistoryDatabase> databases = findHistoryDatabases(locating);
    load(databases);
    m_problems.insert(m_problems.begin(), locating.begin(), locating.end());
    return m_problems;
}

const std::vector<UrlCacheProblem> &UrlCache::load(const std::vector<HistoryDatabase> &databases)
{
    m_store.clear();
    m_problems.clear();
    const HistoryDatabaseReader reader(m_tempFolder);
    for (const HistoryDatabase &database : databases)
        reader.read(database, [this](const HistoryRow &row) { m_store.add(row); }, m_problems);
    return m_problems;
}

std::optional<UrlCacheEntry> UrlCache::find(std::string_view url) const
{
    const UrlStore::Record *record = m_store.find(url);
    if (!record)
        return std::nullopt;
    return entry(*record);
}

std::optional<UrlCacheEntry> UrlCache::findWithoutFragment(std::string_view url) const
{
    return find(stripUrlFragment(url));
}

std::uint32_t UrlCache::visitCount(std::string_view url) const
{
    const UrlStore::Record *record = m_store.find(stripUrlFragment(url));
    return record ? record->visitCount : 0;
}

UrlCacheEntry UrlCache::entry(const UrlStore::Record &record) const
{
    UrlCacheEntry e;
    e.sourceName.reserve(kSourcePrefix.size() + m_userName.size() + 1 + record.url.size());
    e.sourceName.append(kSourcePrefix).append(m_userName).append(1, '@').append(record.url);
    e.url = record.url;
    e.hitRate = record.visitCount;
    e.lastAccessTime = record.lastVisit;
    e.title = record.title;
    e.entryType = URLHISTORY_CACHE_ENTRY;
    return e;
}

std::string UrlCache::loginName()
{
    char buffer[kPasswdBufferBytes];
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name
        && *found->pw_name)
        return found->pw_name;
    const QByteArray user = qgetenv("USER");
    return user.isEmpty() ? std::string("user") : user.toStdString();
}

} // namespace vistrel::platform
