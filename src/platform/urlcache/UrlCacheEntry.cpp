#include "platform/urlcache/UrlCacheEntry.h"

#include <limits>

namespace vistrel::platform {

namespace {

constexpr std::int64_t kTicksPerMicrosecond = 10;
constexpr std::int64_t kTicksPerMillisecond = 10000;

std::int64_t ticksFromMicroseconds(std::int64_t microseconds, std::int64_t epochTicks)
{
    constexpr std::int64_t maxTicks = std::numeric_limits<std::int64_t>::max();
    if (microseconds <= 0 || microseconds > (maxTicks - epochTicks) / kTicksPerMicrosecond)
        return 0;
    return microseconds * kTicksPerMicrosecond + epochTicks;
}

} // namespace

std::int64_t fileTimeFromUnixMicroseconds(std::int64_t microseconds)
{
    return ticksFromMicroseconds(microseconds, kFileTimeUnixEpoch);
}

std::int64_t fileTimeFromWindowsMicroseconds(std::int64_t microseconds)
{
    return ticksFromMicroseconds(microseconds, 0);
}

QDateTime dateTimeFromFileTime(std::int64_t fileTime)
{
    if (fileTime <= 0)
        return {};
    // Floor division keeps times before 1970 on the right millisecond.
    const std::int64_t sinceUnix = fileTime - kFileTimeUnixEpoch;
    std::int64_t msecs = sinceUnix / kTicksPerMillisecond;
    if (sinceUnix % kTicksPerMillisecond < 0)
        --msecs;
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

QDateTime UrlCacheEntry::lastAccess() const
{
    return dateTimeFromFileTime(lastAccessTime);
}

} // namespace vistrel::platform
