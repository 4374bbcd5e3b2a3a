#pragma once

#include "platform/urlcache/UrlCacheEntry.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace vistrel::platform {
class UrlCache;
}

namespace vistrel::catalogue {

// The history address list of one pass: the URL cache's history entries in
// its enumeration order, where an address that differs from an earlier one
// only in (ASCII) letter case counts as a duplicate and is left out.
//
// It keeps a mark per entry, not the addresses: they stay in the cache, which
// must not change while the list is in use. Duplicates are found through a
// hash of each lower-cased address; equal hashes are confirmed on the text.
class HistoryAddressList
{
public:
    using Hash = std::function<std::uint64_t(std::string_view lowerCaseAddress)>;

    // hash: for tests that need collisions; by default the standard string hash.
    explicit HistoryAddressList(const platform::UrlCache &cache, Hash hash = {});

    // History addresses found, duplicates included.
    std::size_t size() const { return m_found; }
    // Addresses left once duplicates are removed.
    std::size_t distinctCount() const { return m_distinct; }

    // Calls visit with the entry of each distinct address, in list order,
    // until it answers false. False when it was stopped.
    bool forEachDistinct(const std::function<bool(const platform::UrlCacheEntry &)> &visit) const;

private:
    enum class Mark : std::uint8_t { NotHistory, Address, Duplicate };

    void markDuplicates(std::vector<std::pair<std::uint64_t, std::uint32_t>> &keys);

    const platform::UrlCache &m_cache;
    std::vector<Mark> m_marks; // by enumeration position
    std::size_t m_found = 0;
    std::size_t m_distinct = 0;
};

} // namespace vistrel::catalogue
