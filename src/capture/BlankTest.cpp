#include "capture/BlankTest.h"

#include <algorithm>
#include <cstring>

namespace vistrel::capture {

bool isBlankThumbnail(const Thumbnail &thumbnail)
{
    if (thumbnail.deviceDependent)
        return false;
    const QImage &image = thumbnail.image;
    const int height = image.height();
    if (height < 4)
        return true;
    const int bits = std::max(1, image.depth());
    const qsizetype bytesPerPixel = (bits - 1) / 8 + 1;
    const qsizetype compare = std::min<qsizetype>(qsizetype(image.width()) * bytesPerPixel, image.bytesPerLine());
    const uchar *reference = image.constScanLine(1);
    for (int row = 2; row <= height - 2; ++row) {
        if (std::memcmp(reference, image.constScanLine(row), std::size_t(compare)) != 0)
            return false;
    }
    return true;
}

} // namespace vistrel::capture
