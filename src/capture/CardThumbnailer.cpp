#include "capture/CardThumbnailer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTextOption>

namespace vistrel::capture {

namespace {
constexpr int kMargin = 6;
constexpr int kBandHeight = 30;
constexpr int kHostPixelSize = 13;
constexpr int kTitlePixelSize = 12;
} // namespace

QString hostOf(const std::string &url)
{
    std::string rest = url;
    if (const std::size_t scheme = rest.find("://"); scheme != std::string::npos)
        rest.erase(0, scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string::npos)
        rest.erase(0, at + 1);
    if (!rest.empty() && rest.front() != '[')
        rest = rest.substr(0, rest.find(':'));
    return QString::fromStdString(rest);
}

QImage CardThumbnailer::card(const std::string &url, const std::string &title)
{
    QImage image(kThumbnailSize, kThumbnailSize, QImage::Format_RGB888);
    image.fill(QColor::fromRgb(kCardColour));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The host in a band across the top, the title below it.
    painter.fillRect(QRect(0, 0, kThumbnailSize, kBandHeight), QColor(222, 228, 240));
    QFont hostFont;
    hostFont.setPixelSize(kHostPixelSize);
    hostFont.setBold(true);
    painter.setFont(hostFont);
    painter.setPen(QColor::fromRgb(kHostColour));
    const QString host = QFontMetrics(hostFont).elidedText(hostOf(url), Qt::ElideMiddle, kThumbnailSize - 2 * kMargin);
    painter.drawText(QRect(kMargin, 0, kThumbnailSize - 2 * kMargin, kBandHeight), Qt::AlignVCenter | Qt::AlignLeft, host);

    QFont titleFont;
    titleFont.setPixelSize(kTitlePixelSize);
    painter.setFont(titleFont);
    painter.setPen(QColor::fromRgb(kTitleColour));
    const QString text = QString::fromStdString(title).simplified();
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.drawText(QRectF(kMargin, kBandHeight + kMargin, kThumbnailSize - 2 * kMargin,
                            kThumbnailSize - kBandHeight - 2 * kMargin),
                     text, option);
    return image;
}

std::optional<QImage> CardThumbnailer::render(const ThumbnailRequest &request)
{
    return card(request.url, request.title);
}

} // namespace vistrel::capture
