#include "platform/JpegCodec.h"

#include <QPainter>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace vistrel::platform {

namespace {

struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onError(j_common_ptr info)
{
    auto *err = reinterpret_cast<ErrorManager *>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

// Quiet, but still counted: a warning is how a truncated file shows itself.
void silence(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

} // namespace

QByteArray encodeJpeg(const QImage &source, int quality)
{
    if (source.isNull())
        return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

QImage decodeJpeg(const QByteArray &bytes, QString *error)
{
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = silence;
    QImage image;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QString::fromLocal8Bit(err.message);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QStringLiteral("not a JPEG picture");
        return {};
    }
    if (qint64(info.image_width) * qint64(info.image_height) > kMaxJpegPixels) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QStringLiteral("the picture is too large (%1 x %2)").arg(info.image_width).arg(info.image_height);
        return {};
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        if (error)
            *error = QStringLiteral("not enough memory for the picture");
        return {};
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    // A truncated file shows up as a warning; treat it as unreadable.
    const bool truncated = err.base.num_warnings > 0;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (truncated) {
        if (error)
            *error = QStringLiteral("the picture is damaged or incomplete");
        return {};
    }
    return image;
}

QByteArray builtInBackgroundJpeg()
{
    // Quiet ruled paper that keeps captions readable and tiles without seams.
    QImage image(256, 256, QImage::Format_RGB888);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(0xF4, 0xF1, 0xE8));
    p.setPen(QColor(0xE0, 0xDE, 0xD6));
    for (int i = 0; i < 256; i += 16)
        p.drawLine(0, i, 256, i);
    p.end();
    return encodeJpeg(image);
}

} // namespace vistrel::platform
