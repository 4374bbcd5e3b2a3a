#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace vistrel::platform {
class DiagnosticMemo;
}

namespace vistrel::capture {

class PreviewImage;
struct PageImageName;

inline constexpr QRgb kSecureFill = 0xFFFFFFFF;          // white
inline constexpr QRgb kCaptionFill = 0xFFBDBD73;         // red 189, green 189, blue 115
inline constexpr QRgb kCaptionColour = 0xFF000080;       // dark blue
inline constexpr int kCaptionTop = 100;
inline constexpr int kCaptionPixelHeight = 19;

// "Scripted Site" (-100), "Secure Site" (-98), "Untrusted" (-95),
// "TLS Failed" (-94), else "Error:" + code for codes below 1 and the code
// alone otherwise.
QString captionFor(int code);

// The 122 x 122 picture for a code: the fill, the picture centred, the caption
// centred at y = 100 in "Tahoma" (or the platform's substitute), italic, 19 px.
QImage captionedPicture(int code);

// Draws the picture on the preview, records it in the diagnostic memo and
// saves it as baseFolder + name. False when the file could not be written.
bool composeAndSave(int code, const QString &baseFolder, const PageImageName &name, PreviewImage &preview,
                    platform::DiagnosticMemo &memo);

} // namespace vistrel::capture
