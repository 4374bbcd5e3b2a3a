#pragma once

#include <QImage>
#include <QString>

namespace vistrel::app {

inline constexpr const char *kBackgroundFile = "_back.jpg";
// Files larger than this are not read as pictures.
inline constexpr qint64 kMaxPictureFileBytes = 128LL * 1024 * 1024;

// Reads a picture file of any format Qt knows (JPEG through the program's own
// codec). Pictures above the JPEG codec's pixel limit are refused before
// they are decoded. A null image and a reason on failure.
QImage loadPicture(const QString &path, QString *error);

// Loads the picture and stores it as the data folder's "_back.jpg", always as a
// real JPEG and replaced in one step. On failure the old file is untouched.
bool installBackgroundPicture(const QString &path, const QString &dataFolder, QString *error);

} // namespace vistrel::app
