#include "capture/BitmapFile.h"
#include "capture/BlankTest.h"
#include "capture/CaptionedPicture.h"
#include "capture/PageImageName.h"
#include "capture/PreviewImage.h"
#include "capture/ProbeCodes.h"
#include "capture/ResourcePictures.h"
#include "platform/DiagnosticMemo.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace vistrel::capture;

namespace {

QRgb pixel(const QImage &image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000;
}

bool hasCaptionInk(const QImage &image)
{
    for (int y = kCaptionTop; y < kCaptionTop + kCaptionPixelHeight + 4 && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 90 && c.red() < 60 && c.green() < 60)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(PageImageName, GenerationAndNameInHex)
{
    const QString base = QStringLiteral("/home/u/Documents/vistrel/");
    auto name = pageImageName(base, QStringLiteral("Example.url"), 12, false);
    EXPECT_EQ(name.relative, "images\\20203132" "4578616D706C65" ".BMP");
    EXPECT_FALSE(name.shortened);
    EXPECT_EQ(name.filePath(base), base + "images/20203132" "4578616D706C65" ".BMP");
    EXPECT_EQ(pageImageName(base, QStringLiteral("a.b.url"), 1, true).relative, "images\\history\\20202031612E62.BMP");
    EXPECT_EQ(pageImageName(base, QStringLiteral("noext"), 10000, false).relative.substr(7, 10), "3130303030");
}

TEST(PageImageName, LongNamesAreCutTo249Characters)
{
    const QString base = QStringLiteral("/home/someone/Documents/vistrel/");
    const QString longName = QString(120, QLatin1Char('n')) + QStringLiteral(".url");
    const auto name = pageImageName(base, longName, 3, false);
    EXPECT_TRUE(name.shortened);
    EXPECT_EQ(name.filePath(base).size(), 249);
    EXPECT_TRUE(name.relative.ends_with(".BMP"));
    EXPECT_TRUE(name.relative.starts_with("images\\20202033"));

    // Just short enough stays whole.
    const std::size_t room = 255 - std::size_t(base.size()) - 7 - 4 - 8;
    const auto fits = pageImageName(base, QString(int(room / 2), QLatin1Char('m')) + ".url", 3, false);
    EXPECT_FALSE(fits.shortened);
    EXPECT_LE(fits.filePath(base).size(), 255);

    // The previous generation is cut the same way.
    EXPECT_EQ(pageImageName(base, longName, 2, false).filePath(base).size(), 249);
}

TEST(CaptionedPicture, Captions)
{
    EXPECT_EQ(captionFor(404), "404");
    EXPECT_EQ(captionFor(1), "1");
    EXPECT_EQ(captionFor(0), "Error:0");
    EXPECT_EQ(captionFor(-99), "Error:-99");
    EXPECT_EQ(captionFor(kCodeSecure), "Secure Site");
    EXPECT_EQ(captionFor(kCodeScriptedSite), "Scripted Site");
    EXPECT_EQ(captionFor(kCodeCertificate), "Untrusted");
    EXPECT_EQ(captionFor(kCodeSecureFailed), "TLS Failed");
}

TEST(CaptionedPicture, FillPictureAndCaptionWhereTheyBelong)
{
    struct Case
    {
        int code;
        QRgb fill;
        int pictureSize;
    };
    for (const Case c : {Case{kCodeSecure, kSecureFill, kPadlockPictureSize}, Case{kCodeScriptedSite, kCaptionFill, kScriptPictureSize},
                         Case{404, kCaptionFill, kErrorPictureSize}, Case{-99, kCaptionFill, kErrorPictureSize},
                         Case{kCodeCertificate, kCaptionFill, kPadlockPictureSize},
                         Case{kCodeSecureFailed, kCaptionFill, kPadlockPictureSize}}) {
        SCOPED_TRACE("code " + std::to_string(c.code));
        const QImage image = captionedPicture(c.code);
        ASSERT_EQ(image.size(), QSize(122, 122));
        const int at = (122 - c.pictureSize) / 2; // 29 or 37
        EXPECT_EQ(pixel(image, 0, 0), c.fill);
        EXPECT_EQ(pixel(image, 121, 60), c.fill);
        EXPECT_EQ(pixel(image, at - 1, at - 1), c.fill);
        EXPECT_EQ(pixel(image, at, at), kPictureGround);
        EXPECT_EQ(pixel(image, at + c.pictureSize - 1, at + c.pictureSize - 1), kPictureGround);
        EXPECT_EQ(pixel(image, at + c.pictureSize, at + c.pictureSize), c.fill);
        EXPECT_TRUE(hasCaptionInk(image));
        EXPECT_EQ(pixel(image, 0, 99), c.fill);
        // The new captions fit: their first and last columns stay clear.
        const bool secureFailure = c.code == kCodeCertificate || c.code == kCodeSecureFailed;
        for (int y = kCaptionTop; secureFailure && y < 122; ++y) {
            EXPECT_EQ(pixel(image, 0, y), c.fill) << "y " << y;
            EXPECT_EQ(pixel(image, 121, y), c.fill) << "y " << y;
        }
    }
}

TEST(CaptionedPicture, SavedAs24BitBitmapAndShownInThePreview)
{
    QTemporaryDir dir;
    const QString base = dir.path() + QLatin1Char('/');
    PreviewImage preview;
    vistrel::platform::DiagnosticMemo memo;
    int shown = 0;
    QObject::connect(&preview, &PreviewImage::changed, [&] { ++shown; });
    const auto name = pageImageName(base, QStringLiteral("Site.url"), 2, false);
    ASSERT_TRUE(composeAndSave(404, base, name, preview, memo));
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(memo.lines().value(0), "picture_pathEx = " + base);
    EXPECT_EQ(memo.lines().value(1), "picture_filenameEx = " + QString::fromStdString(name.relative));

    const QByteArray file = vistrel::test::readAll(name.filePath(base));
    ASSERT_GE(file.size(), 54);
    EXPECT_EQ(file.left(2), "BM");
    EXPECT_EQ(qFromLittleEndian<qint32>(file.constData() + 18), 122);
    EXPECT_EQ(qFromLittleEndian<qint32>(file.constData() + 22), 122);
    EXPECT_EQ(qFromLittleEndian<quint16>(file.constData() + 28), 24);
    const QImage back(name.filePath(base));
    EXPECT_EQ(pixel(back, 0, 0), kCaptionFill);

    // A file that cannot be written is reported.
    EXPECT_FALSE(saveBitmap(preview.image(), base + "Site.url/x/../../nowhere\0"));
    EXPECT_FALSE(saveBitmap(QImage(), base + "empty.BMP"));
}

TEST(BlankTest, RowsOneToHeightMinusTwoDecide)
{
    QImage image(122, 122, QImage::Format_RGB888);
    image.fill(Qt::white);
    EXPECT_TRUE(isBlankThumbnail({image}));
    // The first and the last row do not count.
    for (int x = 0; x < 122; ++x) {
        image.setPixel(x, 0, qRgb(255, 0, 0));
        image.setPixel(x, 121, qRgb(0, 255, 0));
    }
    EXPECT_TRUE(isBlankThumbnail({image}));
    QImage dot = image;
    dot.setPixel(60, 120, qRgb(0, 0, 0));
    EXPECT_FALSE(isBlankThumbnail({dot}));
    dot = image;
    dot.setPixel(121, 1, qRgb(1, 1, 1));
    EXPECT_FALSE(isBlankThumbnail({dot}));
    // Same colour per row but rows differing: not blank.
    QImage stripes(10, 10, QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            stripes.setPixel(x, y, qRgb(y * 20, 0, 0));
    EXPECT_FALSE(isBlankThumbnail({stripes}));

    EXPECT_FALSE(isBlankThumbnail({image, true}));
    EXPECT_TRUE(isBlankThumbnail({QImage(50, 3, QImage::Format_RGB888)}));
    QImage mono(30, 30, QImage::Format_Mono);
    mono.fill(0);
    EXPECT_TRUE(isBlankThumbnail({mono}));
    mono.setPixel(29, 15, 1);
    EXPECT_FALSE(isBlankThumbnail({mono}));
}
