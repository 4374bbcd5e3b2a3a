#include "capture/FileTypeIcon.h"

#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

namespace vistrel::capture {

QImage genericFileIcon()
{
    QImage image(kFileTypeIconSize, kFileTypeIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A sheet with a folded corner and a few lines of text.
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(26.5, 8.5);
    sheet.lineTo(26.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setBrush(QColor(210, 210, 210));
    QPainterPath fold;
    fold.moveTo(20.5, 2.5);
    fold.lineTo(20.5, 8.5);
    fold.lineTo(26.5, 8.5);
    fold.closeSubpath();
    p.drawPath(fold);
    p.setPen(QPen(QColor(120, 140, 180), 1.5));
    for (int y = 13; y <= 25; y += 4)
        p.drawLine(QPointF(10, y), QPointF(23, y));
    return image;
}

QImage fileTypeIcon(const QString &pattern)
{
    QString sample = pattern;
    if (sample.startsWith(QLatin1Char('*')))
        sample.replace(0, 1, QStringLiteral("file"));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(sample, QMimeDatabase::MatchExtension);
    for (const QString &name : {type.iconName(), type.genericIconName()}) {
        if (name.isEmpty() || !QIcon::hasThemeIcon(name))
            continue;
        const QPixmap pixmap = QIcon::fromTheme(name).pixmap(kFileTypeIconSize, kFileTypeIconSize);
        if (!pixmap.isNull())
            return pixmap.toImage().scaled(kFileTypeIconSize, kFileTypeIconSize, Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation);
    }
    return genericFileIcon();
}

} // namespace vistrel::capture
