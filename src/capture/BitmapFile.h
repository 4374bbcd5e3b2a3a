#pragma once

#include <QImage>
#include <QString>

namespace vistrel::capture {

// Writes the picture as a 24-bit Windows bitmap, replacing the file in one
// step. False when it could not be written.
bool saveBitmap(const QImage &image, const QString &path);

// Replaces a page image file with the given bytes in one step.
bool replacePageImage(const QString &path, const QByteArray &bytes);

} // namespace vistrel::capture
