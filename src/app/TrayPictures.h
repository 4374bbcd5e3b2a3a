#pragma once

#include <QIcon>
#include <QList>

namespace vistrel::app {

inline constexpr int kStillIconSize = 32;
inline constexpr int kBusyFrameSize = 16;
inline constexpr int kBusyFrameCount = 8;

// The still tray icon: a small sheet of page thumbnails.
QIcon stillTrayPicture();
// The busy icon's frames: a ring of dots whose bright dot runs round, so the
// cycle reads as "working".
QList<QIcon> busyTrayFrames();

} // namespace vistrel::app
