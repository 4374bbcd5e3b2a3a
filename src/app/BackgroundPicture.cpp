#include "app/BackgroundPicture.h"

#include "platform/AtomicFile.h"
#include "platform/JpegCodec.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace vistrel::app {

namespace {

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

// Four bytes per pixel while decoding, in the reader's megabytes.
constexpr int kAllocationLimitMb = int(platform::kMaxJpegPixels * 4 / (1024 * 1024)) + 1;

} // namespace

QImage loadPicture(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return QImage();
    };
    const QFileInfo info(path);
    if (!info.isFile())
        return fail(QStringLiteral("the file does not exist"));
    if (info.size() > kMaxPictureFileBytes)
        return fail(QStringLiteral("the file is too large (%1 bytes)").arg(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return fail(QStringLiteral("the file is empty"));

    if (isJpeg(bytes)) {
        QString why;
        const QImage image = platform::decodeJpeg(bytes, &why);
        return image.isNull() ? fail(why) : image;
    }

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!reader.canRead())
        return fail(QStringLiteral("not a picture"));
    if (size.isValid() && qint64(size.width()) * size.height() > platform::kMaxJpegPixels)
        return fail(QStringLiteral("the picture is too large (%1 x %2)").arg(size.width()).arg(size.height()));
    const int oldLimit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    QImage image = reader.read();
    QImageReader::setAllocationLimit(oldLimit);
    if (image.isNull())
        return fail(reader.errorString());
    if (qint64(image.width()) * image.height() > platform::kMaxJpegPixels)
        return fail(QStringLiteral("the picture is too large (%1 x %2)").arg(image.width()).arg(image.height()));
    return image;
}

bool installBackgroundPicture(const QString &path, const QString &dataFolder, QString *error)
{
    const QImage image = loadPicture(path, error);
    if (image.isNull())
        return false;
    const QByteArray jpeg = platform::encodeJpeg(image);
    if (jpeg.isEmpty()) {
        if (error)
            *error = QStringLiteral("the picture could not be stored as JPEG");
        return false;
    }
    const QString target = dataFolder + QLatin1String(kBackgroundFile);
    if (!platform::writeFileAtomically(target, jpeg)) {
        if (error)
            *error = QStringLiteral("%1 could not be written").arg(target);
        return false;
    }
    return true;
}

} // namespace vistrel::app
