#include "platform/urlcache/UrlStore.h"

#include "platform/urlcache/HistoryDatabaseReader.h"

#include <algorithm>
#include <limits>

namespace vistrel::platform {

namespace {

std::uint32_t saturatedSum(std::uint32_t total, std::int64_t visits)
{
    constexpr std::uint32_t most = std::numeric_limits<std::uint32_t>::max();
    if (visits <= 0)
        return total;
    if (visits >= std::int64_t(most - total))
        return most;
    return total + std::uint32_t(visits);
}

} // namespace

void UrlStore::add(const HistoryRow &row)
{
    auto found = m_index.find(row.url);
    if (found == m_index.end()) {
        Record &record = m_records.emplace_back();
        record.url = m_text.keep(row.url);
        m_index.emplace(record.url, std::uint32_t(m_records.size() - 1));
        record.title = m_text.keep(row.title);
        record.visitCount = saturatedSum(0, row.visitCount);
        record.lastVisit = row.lastVisit;
        return;
    }
    Record &record = m_records[found->second];
    record.visitCount = saturatedSum(record.visitCount, row.visitCount);
    record.lastVisit = std::max(record.lastVisit, row.lastVisit);
    if (record.title.empty() && !row.title.empty())
        record.title = m_text.keep(row.title);
}

void UrlStore::clear()
{
    decltype(m_index)().swap(m_index); // clear() would keep the buckets
    m_records.clear();
    m_text.clear();
}

const UrlStore::Record *UrlStore::find(std::string_view url) const
{
    const auto found = m_index.find(url);
    return found == m_index.end() ? nullptr : &m_records[found->second];
}

} // namespace vistrel::platform
