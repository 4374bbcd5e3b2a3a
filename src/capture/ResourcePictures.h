#pragma once

#include <QImage>

namespace vistrel::capture {

// The three pictures of the captioned page images, drawn on a silver ground
// that is part of the picture (they are put down opaque).
inline constexpr int kScriptPictureSize = 64;
inline constexpr int kPadlockPictureSize = 48;
inline constexpr int kErrorPictureSize = 64;
inline constexpr QRgb kPictureGround = 0xFFC0C0C0;

QImage scriptPicture();  // a script sheet, 64 x 64
QImage padlockPicture(); // a padlock, 48 x 48
QImage errorPicture();   // an error sign, 64 x 64

} // namespace vistrel::capture
