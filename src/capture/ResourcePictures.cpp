#include "capture/ResourcePictures.h"

#include <QPainter>
#include <QPainterPath>

namespace vistrel::capture {

namespace {

QImage ground(int size)
{
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(kPictureGround);
    return image;
}

} // namespace

QImage scriptPicture()
{
    QImage image = ground(kScriptPictureSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A sheet of paper with a rolled top, covered in lines of code.
    p.setPen(QPen(QColor(64, 64, 64), 1.5));
    p.setBrush(QColor(255, 255, 224));
    p.drawRect(QRectF(12.5, 10.5, 40, 46));
    p.setBrush(QColor(230, 230, 190));
    p.drawRoundedRect(QRectF(9.5, 6.5, 46, 8), 4, 4);
    p.setPen(QPen(QColor(0, 0, 160), 2));
    const int indent[] = {0, 6, 6, 12, 6, 0};
    const int length[] = {26, 20, 16, 14, 22, 18};
    for (int n = 0; n < 6; ++n) {
        const qreal y = 21 + n * 6;
        p.drawLine(QPointF(17 + indent[n], y), QPointF(17 + indent[n] + length[n] * 0.8, y));
    }
    return image;
}

QImage padlockPicture()
{
    QImage image = ground(kPadlockPictureSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Shackle, body, keyhole.
    p.setPen(QPen(QColor(96, 96, 96), 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(13, 5, 22, 26), 0, 180 * 16);
    p.drawLine(QPointF(13, 18), QPointF(13, 23));
    p.drawLine(QPointF(35, 18), QPointF(35, 23));
    p.setPen(QPen(QColor(128, 96, 0), 1.5));
    p.setBrush(QColor(230, 180, 40));
    p.drawRoundedRect(QRectF(8.5, 22.5, 31, 21), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 30, 0));
    p.drawEllipse(QPointF(24, 30), 3, 3);
    p.drawRect(QRectF(22.5, 31, 3, 7));
    return image;
}

QImage errorPicture()
{
    QImage image = ground(kErrorPictureSize);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A red disc with a white cross.
    p.setPen(QPen(QColor(128, 0, 0), 2));
    p.setBrush(QColor(220, 0, 0));
    p.drawEllipse(QRectF(6, 6, 52, 52));
    p.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(22, 22), QPointF(42, 42));
    p.drawLine(QPointF(42, 22), QPointF(22, 42));
    return image;
}

} // namespace vistrel::capture
