#pragma once

#include "platform/urlcache/HistoryDatabase.h"
#include "platform/urlcache/UrlCacheEntry.h"
#include "platform/urlcache/UrlCacheProblem.h"
#include "platform/urlcache/UrlStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vistrel::platform {

class PrivateTempFolder;
class UrlCacheEnumeration;

// The user's URL cache: the visited pages of every Firefox, Chromium and Google
// Chrome profile, read once by load() into one entry per distinct URL. Lookups
// and enumerations answer from that snapshot until the next load().
//
//     UrlCache cache(context.tempFolder);
//     for (const UrlCacheProblem &p : cache.load()) trace(p.text());
//     UrlCacheEnumeration e(cache);
//     for (auto entry = e.first(); entry; entry = e.next()) ...
//     e.close();
class UrlCache
{
public:
    // userName goes into every entry's source name; by default the login name.
    explicit UrlCache(const PrivateTempFolder &tempFolder, std::string userName = loginName());

    // Reads the databases of the current HOME and XDG configuration folder, or
    // the given ones, replacing what was loaded. Returns what had to be skipped.
    const std::vector<UrlCacheProblem> &load();
    const std::vector<UrlCacheProblem> &load(const std::vector<HistoryDatabase> &databases);
    const std::vector<UrlCacheProblem> &problems() const { return m_problems; }

    std::size_t size() const { return m_store.size(); }
    bool isEmpty() const { return m_store.size() == 0; }
    const std::string &userName() const { return m_userName; }

    // The entry of exactly this URL (bytes compared as they are).
    std::optional<UrlCacheEntry> find(std::string_view url) const;
    // The entry of the URL without its "#" fragment.
    std::optional<UrlCacheEntry> findWithoutFragment(std::string_view url) const;
    // The hit rate of the URL without its fragment; 0 when it has no entry.
    std::uint32_t visitCount(std::string_view url) const;

    // The login name of the user running the program ("user" when none is known).
    static std::string loginName();

private:
    friend class UrlCacheEnumeration;
    UrlCacheEntry entry(const UrlStore::Record &record) const;

    const PrivateTempFolder &m_tempFolder;
    std::string m_userName;
    UrlStore m_store;
    std::vector<UrlCacheProblem> m_problems;
};

} // namespace vistrel::platform
