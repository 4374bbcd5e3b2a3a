#pragma once

#include <QImage>

namespace vistrel::capture {

// A thumbnail as the extractor hands it over. A device-dependent bitmap has no
// pixel layout we can read, so it is never judged blank.
struct Thumbnail
{
    QImage image;
    bool deviceDependent = false;
};

// True when every row but the first and the last holds the same bytes
// (also when there are fewer than four rows).
bool isBlankThumbnail(const Thumbnail &thumbnail);

} // namespace vistrel::capture
