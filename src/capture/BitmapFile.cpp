#include "capture/BitmapFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryFile>

#include <cstdio>

namespace vistrel::capture {

bool saveBitmap(const QImage &image, const QString &path)
{
    if (image.isNull())
        return false;
    // Three bytes a pixel, no alpha: the writer then stores 24 bits per pixel.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "BMP").write(image.convertToFormat(QImage::Format_RGB888)))
        return false;

    return replacePageImage(path, bytes);
}

bool replacePageImage(const QString &path, const QByteArray &bytes)
{
    // Written beside the target and renamed over it, so no reader ever sees half
    // a picture. Not synced to disk: a page image is made anew at every refresh,
    // and waiting for the disk at every favourite would slow the refresh down.
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.image-XXXXXX"));
    if (!temporary.open() || temporary.write(bytes) != bytes.size() || !temporary.flush())
        return false;
    temporary.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}

} // namespace vistrel::capture
