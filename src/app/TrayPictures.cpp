#include "app/TrayPictures.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>
#include <numbers>

namespace vistrel::app {

QIcon stillTrayPicture()
{
    QPixmap pixmap(kStillIconSize, kStillIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1B, 0x3F, 0x75), 1.5));
    p.setBrush(QColor(0x2F, 0x6F, 0xC4));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    // Four thumbnails, the first with a title bar, as the generated pages show them.
    p.setPen(Qt::NoPen);
    const QColor tiles[] = {QColor(0xFF, 0xFF, 0xFF), QColor(0xE8, 0xF0, 0xFA), QColor(0xE8, 0xF0, 0xFA),
                            QColor(0xFF, 0xFF, 0xFF)};
    for (int i = 0; i < 4; ++i) {
        const QRectF tile(6 + (i % 2) * 11, 6 + (i / 2) * 11, 9, 9);
        p.setBrush(tiles[i]);
        p.drawRect(tile);
        p.setBrush(QColor(0xF2, 0xA9, 0x00));
        p.drawRect(QRectF(tile.left(), tile.top(), tile.width(), 2));
    }
    p.end();
    return QIcon(pixmap);
}

QList<QIcon> busyTrayFrames()
{
    QList<QIcon> frames;
    constexpr double centre = kBusyFrameSize / 2.0;
    constexpr double radius = 5.2;
    constexpr double dot = 1.9;
    for (int frame = 0; frame < kBusyFrameCount; ++frame) {
        QPixmap pixmap(kBusyFrameSize, kBusyFrameSize);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < kBusyFrameCount; ++i) {
            // The bright dot leads; the ones behind it fade out.
            const int behind = (frame - i + kBusyFrameCount) % kBusyFrameCount;
            const int alpha = behind < 4 ? 255 - behind * 55 : 50;
            const QColor colour = behind == 0 ? QColor(0xE0, 0x30, 0x20, alpha) : QColor(0x2F, 0x6F, 0xC4, alpha);
            const double angle = -std::numbers::pi / 2 + i * 2 * std::numbers::pi / kBusyFrameCount;
            p.setBrush(colour);
            p.drawEllipse(QPointF(centre + radius * std::cos(angle), centre + radius * std::sin(angle)), dot, dot);
        }
        p.end();
        frames << QIcon(pixmap);
    }
    return frames;
}

} // namespace vistrel::app
