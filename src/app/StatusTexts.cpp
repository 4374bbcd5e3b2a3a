#include "app/StatusTexts.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vistrel::app {

namespace {

const QString kMenuLine = QStringLiteral("\n\r\n\rRight click on the Vistrel icon for the menu");
constexpr double kMinutesPerDay = 1440.0;

// Truncates toward zero, keeping values that no int can hold (a clock that
// jumped years) from being undefined.
int truncated(double value)
{
    if (std::isnan(value))
        return 0;
    constexpr double low = std::numeric_limits<int>::min();
    constexpr double high = std::numeric_limits<int>::max();
    return int(std::clamp(std::trunc(value), low, high));
}

} // namespace

QString stillIconStatusText(bool timedRefresh, int intervalMinutes, int halfMinuteCounter)
{
    if (!timedRefresh)
        return QStringLiteral("Timed Auto Refresh is OFF") + kMenuLine;
    // The counter keeps running while timed refresh is off, or the interval may
    // have been lowered: the refresh is then due at the next tick, not in the past.
    const int minutes = std::max(0, intervalMinutes - halfMinuteCounter / 2);
    return QStringLiteral("Auto Refresh will restart in %1 minutes").arg(minutes) + kMenuLine;
}

QString busyIconStatusText(const RefreshProgress &progress, double now)
{
    if (progress.cancelRequested)
        return QStringLiteral("Vistrel is attempting to stop fetching web sites") + kMenuLine;
    if (progress.fetchedCount > 0) {
        // A clock set back during the refresh must not give negative minutes.
        const double elapsed = std::max(0.0, (now - progress.startTime) * kMinutesPerDay);
        const double left = std::max(0, progress.fetchTotal - progress.fetchedCount);
        const double estimate = elapsed / progress.fetchedCount * left;
        return QStringLiteral("Vistrel is attempting to fetch %1 web sites.\n\r"
                              "In the last %2 minutes, %3 web sites have been fetched.\n\r"
                              "Vistrel estimates to finish in %4 minutes.")
                   .arg(progress.fetchTotal)
                   .arg(truncated(elapsed))
                   .arg(progress.fetchedCount)
                   .arg(truncated(estimate))
               + kMenuLine;
    }
    return QStringLiteral("Vistrel is starting to fetch %1 web sites.").arg(progress.fetchTotal);
}

Balloon makeBalloon(const QString &text, const QString &title)
{
    return {title.left(kBalloonTitleLimit), text.left(kBalloonTextLimit)};
}

} // namespace vistrel::app
