#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vistrel::platform {

// JPEG through libjpeg, so the background picture is always a real JPEG whatever
// image plug-ins Qt has.
inline constexpr int kJpegQuality = 85;
// Pictures larger than this many pixels are refused rather than decoded.
inline constexpr qint64 kMaxJpegPixels = 40'000'000;

QByteArray encodeJpeg(const QImage &image, int quality = kJpegQuality);
// A null image and a reason when the bytes are not a readable JPEG.
QImage decodeJpeg(const QByteArray &bytes, QString *error = nullptr);

// The built-in background picture as JPEG bytes.
QByteArray builtInBackgroundJpeg();

} // namespace vistrel::platform
