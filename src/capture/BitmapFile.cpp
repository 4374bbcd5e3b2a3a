#include "capture/BitmapFile.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace vistrel::capture {

bool saveBitmap(const QImage &image, const QString &path)
{
    if (image.isNull())
        return false;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // Three bytes a pixel, no alpha: the writer then stores 24 bits per pixel.
    QImageWriter writer(&file, "BMP");
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
        return false;
    return file.commit();
}

} // namespace vistrel::capture
