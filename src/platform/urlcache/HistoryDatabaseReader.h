#pragma once

#include "platform/urlcache/HistoryDatabase.h"
#include "platform/urlcache/UrlCacheProblem.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace vistrel::platform {

class PrivateTempFolder;

// One visited URL as a database row gives it. The views are valid only during
// the call.
struct HistoryRow
{
    std::string_view url;
    std::string_view title;
    std::int64_t visitCount = 0;
    std::int64_t lastVisit = 0; // FILETIME ticks, 0 when unknown
};

// Streams the visited URLs of one history database from a private read-only
// copy. Whatever cannot be read (a missing or unreadable file, a file that is
// not a database, a schema without the needed table or columns, corruption
// met on the way) goes to problems; rows read before a fault are kept.
class HistoryDatabaseReader
{
public:
    using RowSink = std::function<void(const HistoryRow &)>;

    explicit HistoryDatabaseReader(const PrivateTempFolder &tempFolder) : m_tempFolder(tempFolder) {}

    // Returns the number of rows handed to sink.
    std::size_t read(const HistoryDatabase &database, const RowSink &sink,
                     std::vector<UrlCacheProblem> &problems) const;

private:
    const PrivateTempFolder &m_tempFolder;
};

} // namespace vistrel::platform
