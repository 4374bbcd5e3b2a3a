#pragma once

#include <QDateTime>

#include <cstdint>
#include <string>

namespace vistrel::platform {

// Entry type bit of a visited-page (history) entry in the URL cache.
inline constexpr std::uint32_t URLHISTORY_CACHE_ENTRY = 0x00200000;

// Ticks of 100 ns between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
inline constexpr std::int64_t kFileTimeUnixEpoch = 116444736000000000LL;

// One URL of the browsers' history, merged over every database that knows it.
// Text fields are the bytes the browsers stored (titles may hold markup, line
// breaks or invalid UTF-8); consumers escape them.
struct UrlCacheEntry
{
    std::string sourceName;           // "Visited: " + user + "@" + url
    std::string url;
    std::uint32_t hitRate = 0;        // visit counts summed over all databases
    std::int64_t lastAccessTime = 0;  // FILETIME ticks (100 ns since 1601, UTC); 0 when unknown
    std::string title;                // the first non-empty title met
    std::uint32_t entryType = URLHISTORY_CACHE_ENTRY;

    // The last visit as a UTC date and time; invalid when unknown.
    QDateTime lastAccess() const;
};

// Conversions of the browsers' time stamps to FILETIME ticks. Values that are
// not a plausible time (zero, negative, beyond what the ticks can hold) give 0.
std::int64_t fileTimeFromUnixMicroseconds(std::int64_t microseconds);
std::int64_t fileTimeFromWindowsMicroseconds(std::int64_t microseconds);
QDateTime dateTimeFromFileTime(std::int64_t fileTime);

} // namespace vistrel::platform
