#pragma once

#include <QImage>
#include <QString>

namespace vistrel::capture {

// Writes the picture as a 24-bit Windows bitmap, replacing the file in one
// step. False when it could not be written.
bool saveBitmap(const QImage &image, const QString &path);

} // namespace vistrel::capture
