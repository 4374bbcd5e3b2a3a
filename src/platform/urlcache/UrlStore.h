#pragma once

#include "platform/urlcache/TextArena.h"

#include <cstdint>
#include <deque>
#include <string_view>
#include <unordered_map>

namespace vistrel::platform {

struct HistoryRow;

// The merged history: one record per distinct URL (exact bytes), in the order
// the URLs were first met. Each URL and title is stored once, in the arena; the
// index maps views of those same bytes to records.
class UrlStore
{
public:
    struct Record
    {
        std::string_view url;
        std::string_view title;       // the first non-empty title met
        std::uint32_t visitCount = 0; // summed, held at the largest 32-bit value
        std::int64_t lastVisit = 0;   // the latest, FILETIME ticks
    };

    void add(const HistoryRow &row);
    void clear();

    std::size_t size() const { return m_records.size(); }
    const Record &at(std::size_t index) const { return m_records[index]; }
    const Record *find(std::string_view url) const;

private:
    TextArena m_text;
    std::deque<Record> m_records; // a deque never moves records, nor doubles its memory when growing
    std::unordered_map<std::string_view, std::uint32_t> m_index;
};

} // namespace vistrel::platform
