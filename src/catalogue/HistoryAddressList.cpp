#include "catalogue/HistoryAddressList.h"

#include "platform/urlcache/UrlCache.h"
#include "platform/urlcache/UrlCacheEnumeration.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace vistrel::catalogue {

namespace {

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

bool isHistoryEntry(const platform::UrlCacheEntry &entry)
{
    return (entry.entryType & platform::URLHISTORY_CACHE_ENTRY) != 0;
}

using Keys = std::vector<std::pair<std::uint64_t, std::uint32_t>>;

// Calls visit(first, end) for every run of two or more sorted keys sharing a hash.
template <typename Visit>
void forEachSharedHash(const Keys &keys, Visit visit)
{
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t end = i + 1;
        while (end < keys.size() && keys[end].first == keys[i].first)
            ++end;
        if (end - i > 1)
            visit(i, end);
        i = end;
    }
}

} // namespace

HistoryAddressList::HistoryAddressList(const platform::UrlCache &cache, Hash hash) : m_cache(cache)
{
    if (!hash)
        hash = [](std::string_view text) { return std::uint64_t(std::hash<std::string_view>()(text)); };

    // (hash of the lower-cased address, position); sorted, equal hashes sit together.
    Keys keys;
    keys.reserve(cache.size());
    m_marks.reserve(cache.size());
    platform::UrlCacheEnumeration walk(cache);
    for (auto entry = walk.first(); entry; entry = walk.next()) {
        const auto position = std::uint32_t(m_marks.size());
        if (!isHistoryEntry(*entry)) {
            m_marks.push_back(Mark::NotHistory);
            continue;
        }
        m_marks.push_back(Mark::Address);
        keys.emplace_back(hash(lowerCase(entry->sourceName)), position);
    }
    walk.close();
    m_found = keys.size();
    markDuplicates(keys);
    m_distinct = std::size_t(std::count(m_marks.begin(), m_marks.end(), Mark::Address));
}

void HistoryAddressList::markDuplicates(std::vector<std::pair<std::uint64_t, std::uint32_t>> &keys)
{
    std::sort(keys.begin(), keys.end());

    // Only addresses that share a hash need their text compared.
    std::vector<std::uint32_t> shared;
    forEachSharedHash(keys, [&](std::size_t first, std::size_t end) {
        for (std::size_t k = first; k < end; ++k)
            shared.push_back(keys[k].second);
    });
    if (shared.empty())
        return;
    std::sort(shared.begin(), shared.end());

    std::unordered_map<std::uint32_t, std::string> texts;
    texts.reserve(shared.size());
    platform::UrlCacheEnumeration walk(m_cache);
    std::size_t next = 0;
    std::uint32_t position = 0;
    for (auto entry = walk.first(); entry && next < shared.size(); entry = walk.next(), ++position) {
        if (position == shared[next]) {
            texts.emplace(position, lowerCase(entry->sourceName));
            ++next;
        }
    }
    walk.close();

    // Within a run the positions ascend: the first of each text stays.
    forEachSharedHash(keys, [&](std::size_t first, std::size_t end) {
        std::vector<const std::string *> kept;
        for (std::size_t k = first; k < end; ++k) {
            const std::string &text = texts.at(keys[k].second);
            if (std::any_of(kept.begin(), kept.end(), [&](const std::string *t) { return *t == text; }))
                m_marks[keys[k].second] = Mark::Duplicate;
            else
                kept.push_back(&text);
        }
    });
}

bool HistoryAddressList::forEachDistinct(const std::function<bool(const platform::UrlCacheEntry &)> &visit) const
{
    platform::UrlCacheEnumeration walk(m_cache);
    std::size_t position = 0;
    for (auto entry = walk.first(); entry && position < m_marks.size(); entry = walk.next(), ++position) {
        if (m_marks[position] != Mark::Address)
            continue;
        if (!visit(*entry))
            return false;
    }
    return true;
}

} // namespace vistrel::catalogue
