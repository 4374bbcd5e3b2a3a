#include "support/ProgramFixture.h"

#include "app/BackgroundPicture.h"
#include "platform/JpegCodec.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace vistrel;
using vistrel::test::readAll;
using vistrel::test::writeAll;

namespace {

QImage noise(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, random.generate());
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putBigEndian(QByteArray &bytes, qsizetype at, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char((value >> (8 * (size - 1 - i))) & 0xFF);
}

// A small picture whose header claims 10000 x 5000 pixels (50 megapixels).
QByteArray hugePng()
{
    QByteArray png = encoded(noise(8, 8), "PNG");
    const qsizetype ihdr = png.indexOf("IHDR");
    putBigEndian(png, ihdr + 4, 10000, 4);
    putBigEndian(png, ihdr + 8, 5000, 4);
    putBigEndian(png, ihdr + 17, crc32(png.mid(ihdr, 17)), 4);
    return png;
}

QByteArray hugeJpeg()
{
    QByteArray jpeg = platform::encodeJpeg(noise(8, 8));
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    putBigEndian(jpeg, sof + 5, 5000, 2);
    putBigEndian(jpeg, sof + 7, 10000, 2);
    return jpeg;
}

} // namespace

TEST(Background, APictureOfAnyFormatBecomesARealJpeg)
{
    test::ProgramFixture p;
    app::TMain &m = p.start();
    const QString file = p.home.file("picture.png");
    writeAll(file, encoded(noise(64, 48), "PNG"));
    ASSERT_TRUE(m.LoadBackground(file));
    const QImage stored = platform::decodeJpeg(readAll(p.paths.dataFolder + "_back.jpg"));
    EXPECT_EQ(stored.size(), QSize(64, 48));
    EXPECT_TRUE(p.messages->shown.isEmpty());

    writeAll(file, platform::encodeJpeg(noise(20, 30)));
    ASSERT_TRUE(m.LoadBackground(file));
    EXPECT_EQ(platform::decodeJpeg(readAll(p.paths.dataFolder + "_back.jpg")).size(), QSize(20, 30));
}

TEST(Background, BadPicturesAreRefusedWithAMessageAndTheOldOneStays)
{
    test::ProgramFixture p;
    app::TMain &m = p.start();
    const QString back = p.paths.dataFolder + "_back.jpg";
    const QByteArray before = readAll(back);
    ASSERT_FALSE(before.isEmpty());

    const QByteArray jpeg = platform::encodeJpeg(noise(64, 64));
    const QByteArray png = encoded(noise(64, 64), "PNG");
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"text.jpg", "this is not a picture"},
        {"empty.png", ""},
        {"huge.png", hugePng()},
        {"huge.jpg", hugeJpeg()},
        {"cut.jpg", jpeg.left(jpeg.size() / 2)},
        {"cut.png", png.left(png.size() / 2)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = p.home.file(c.name);
        writeAll(file, c.bytes);
        p.messages->shown.clear();
        EXPECT_FALSE(m.LoadBackground(file));
        ASSERT_EQ(p.messages->shown.size(), 1);
        EXPECT_TRUE(p.messages->shown.first().text.contains(file));
        EXPECT_EQ(readAll(back), before);
    }
    EXPECT_FALSE(m.LoadBackground(p.home.file("missing.jpg")));
    EXPECT_EQ(readAll(back), before);
}
