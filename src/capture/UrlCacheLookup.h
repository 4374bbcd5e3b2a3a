#pragma once

#include <QDateTime>
#include <QtGlobal>

#include <optional>
#include <string>

namespace vistrel::capture {

// What the browsers' history knows about one address.
struct UrlCacheEntry
{
    quint32 hitCount = 0;
    QDateTime lastVisit; // invalid when unknown
    std::string title;   // UTF-8, possibly empty
};

// Look-up of one address in the browsers' history (the URL cache of the
// design). Implemented over the browsers' own databases elsewhere.
class UrlCacheLookup
{
public:
    virtual ~UrlCacheLookup() = default;
    // Empty when the address is unknown. The address is compared as given.
    virtual std::optional<UrlCacheEntry> lookup(const std::string &url) const = 0;
};

// No history at all: every address is unknown.
class NullUrlCacheLookup : public UrlCacheLookup
{
public:
    std::optional<UrlCacheEntry> lookup(const std::string &) const override { return std::nullopt; }
};

} // namespace vistrel::capture
