#include "catalogue/SortKeys.h"

#include "catalogue/MenuOrder.h"

#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

namespace vistrel::catalogue {

namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kDateKeyUnitsPerDay = 100'000;
// Days from 30 December 1899 to 1 January 1970.
constexpr std::int64_t kDaysTo1970 = 25'569;

std::string formatNumber(const char *format, long long value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

} // namespace

SortMode sortModeFromIndex(int index)
{
    if (index < 0 || index > static_cast<int>(SortMode::Random))
        return SortMode::Alphabetical;
    return static_cast<SortMode>(index);
}

std::int64_t dateKey(std::int64_t lastWrite)
{
    const std::time_t time = static_cast<std::time_t>(lastWrite);
    std::tm local{};
    if (!::localtime_r(&time, &local))
        return 0;
    // timegm reads the broken-down local time as if it were UTC: seconds since
    // 1970 of the local wall-clock time. The second is cut to an even one: file
    // times are compared at two-second resolution.
    local.tm_sec &= ~1;
    const std::int64_t wall = static_cast<std::int64_t>(::timegm(&local));
    const std::int64_t sinceEpoch = wall + kDaysTo1970 * kSecondsPerDay;
    return sinceEpoch * kDateKeyUnitsPerDay / kSecondsPerDay;
}

SortKeyMaker::SortKeyMaker(QRandomGenerator *random) : m_random(random) {}

std::string SortKeyMaker::key(const DirectoryEntry &entry, SortMode mode, const MenuOrderTable &table) const
{
    switch (mode) {
    case SortMode::MenuOrder:
        return formatNumber("%.4lld", table.orderOf(entry.name));
    case SortMode::DateAscending:
    case SortMode::DateDescending:
        return formatNumber("%.15lld", dateKey(entry.lastWrite));
    case SortMode::Random: {
        QRandomGenerator *random = m_random ? m_random : QRandomGenerator::global();
        return formatNumber("%.4lld", random->bounded(kRandomKeyRange));
    }
    case SortMode::Alphabetical:
        break;
    }
    return entry.name;
}

} // namespace vistrel::catalogue
