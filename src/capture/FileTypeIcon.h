#pragma once

#include <QImage>
#include <QString>

namespace vistrel::capture {

inline constexpr int kFileTypeIconSize = 32;

// The desktop's icon for files matching a pattern such as "*.pdf", 32 x 32:
// from the icon theme by the file type, else a plain document drawn here.
QImage fileTypeIcon(const QString &pattern);

// The plain document icon.
QImage genericFileIcon();

} // namespace vistrel::capture
