#pragma once

#include <QString>

namespace vistrel::app {

inline constexpr const char *kTrayHint = "Vistrel (Right click for menu)";
inline constexpr const char *kBalloonTitle = "Vistrel Status";
// The title of the program's one-off messages, which are not a status.
inline constexpr const char *kNoticeTitle = "Vistrel";
inline constexpr int kBalloonTimeoutMs = 10000;
// The notification area's limits on a balloon.
inline constexpr int kBalloonTextLimit = 255;
inline constexpr int kBalloonTitleLimit = 63;

// The still icon's text: minutes until the next timed refresh, or that it is off.
QString stillIconStatusText(bool timedRefresh, int intervalMinutes, int halfMinuteCounter);

// The busy icon's text. Times are in days since 30 December 1899 (local), as
// the refresh keeps its start time.
struct RefreshProgress
{
    bool cancelRequested = false;
    int fetchTotal = 0;
    int fetchedCount = 0;
    double startTime = 0;
};
QString busyIconStatusText(const RefreshProgress &progress, double now);

// What a balloon shows: title and text cut to the notification area's limits.
struct Balloon
{
    QString title;
    QString text;
};
Balloon makeBalloon(const QString &text, const QString &title = QString::fromLatin1(kBalloonTitle));

} // namespace vistrel::app
