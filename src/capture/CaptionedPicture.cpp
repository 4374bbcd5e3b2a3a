#include "capture/CaptionedPicture.h"

#include "capture/BitmapFile.h"
#include "capture/PageImageName.h"
#include "capture/PreviewImage.h"
#include "capture/ProbeCodes.h"
#include "capture/ResourcePictures.h"
#include "platform/DiagnosticMemo.h"
#include "platform/Trace.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace vistrel::capture {

QString captionFor(int code)
{
    if (code == kCodeScriptedSite)
        return QStringLiteral("Scripted Site");
    if (code == kCodeSecure)
        return QStringLiteral("Secure Site");
    if (code == kCodeCertificate)
        return QStringLiteral("Untrusted");
    if (code == kCodeSecureFailed)
        return QStringLiteral("TLS Failed");
    if (code < 1)
        return QStringLiteral("Error:") + QString::number(code);
    return QString::number(code);
}

QImage captionedPicture(int code)
{
    constexpr int size = PreviewImage::kSize;
    const QColor fill = QColor::fromRgb(code == kCodeSecure ? kSecureFill : kCaptionFill);
    QImage image(size, size, QImage::Format_RGB888);
    image.fill(fill);

    // The padlock on the error colour: a secure site that could not be trusted.
    const bool secureFailure = code == kCodeCertificate || code == kCodeSecureFailed;
    const QImage picture = code == kCodeScriptedSite                 ? scriptPicture()
                           : code == kCodeSecure || secureFailure ? padlockPicture()
                                                                   : errorPicture();
    QPainter painter(&image);
    // Integer halving, as the pictures have always been placed.
    painter.drawImage(QPoint((size - picture.width()) / 2, (size - picture.height()) / 2), picture);

    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(kCaptionPixelHeight);
    font.setItalic(true);
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(kCaptionColour));
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(fill);
    const QString caption = captionFor(code);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(caption);
    painter.drawText(QRect((size - width) / 2, kCaptionTop, width, metrics.height()), Qt::AlignLeft | Qt::AlignTop,
                     caption);
    return image;
}

bool composeAndSave(int code, const QString &baseFolder, const PageImageName &name, PreviewImage &preview,
                    platform::DiagnosticMemo &memo)
{
    qCDebug(vistrelTrace) << "in make and save";
    preview.setImage(captionedPicture(code));
    memo.add(QStringLiteral("picture_pathEx = ") + baseFolder);
    memo.add(QStringLiteral("picture_filenameEx = ") + QString::fromStdString(name.relative));
    memo.save();
    const bool saved = saveBitmap(preview.image(), name.filePath(baseFolder));
    qCDebug(vistrelTrace) << "out make and save";
    return saved;
}

} // namespace vistrel::capture
