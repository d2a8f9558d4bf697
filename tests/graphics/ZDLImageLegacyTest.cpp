#include "graphics/BigEndianReader.h"
#include "graphics/ZDLImage.h"
#include "platform/Exception.h"

#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// PackBits literal runs of the stored bytes (a stored 1 bit is black).
QByteArray literalRuns(const QByteArray& stored)
{
    QByteArray out;
    for (qsizetype i = 0; i < stored.size(); i += 128) {
        const QByteArray run = stored.mid(i, 128);
        out.append(char(run.size() - 1));
        out.append(run);
    }
    return out;
}

// Coordinates as the record holds them: bytes for bitmaps of at most 254 x 254, else 16-bit.
struct Region {
    bool bytes;
    QByteArray data;
    Region& add(int value)
    {
        if (bytes) {
            data.append(char(value));
        } else {
            data.append(char(value >> 8));
            data.append(char(value));
        }
        return *this;
    }
    Region& end() { return add(bytes ? 255 : 0x7FFF); }
};

QByteArray rectRegion(bool bytes, int top, int left, int bottom, int right)
{
    Region region { bytes, QByteArray::fromHex("000a") };
    return region.add(top).add(left).add(bottom).add(right).data;
}

// A complex region opening columns [3, 6) on rows 2 to 4.
QByteArray boxRegion(bool bytes)
{
    Region region { bytes, QByteArray::fromHex("0020") };
    region.add(2).add(3).add(5).add(6); // bounding box, skipped
    region.add(2).add(3).add(6).end();
    region.add(5).add(3).add(6).end();
    return region.end().data;
}

QImage pixelsOf(const ZDLImagePtr& image)
{
    const auto* rep = image ? dynamic_cast<const ZDLBitmapImageRep*>(image->imageRep().get()) : nullptr;
    return rep ? rep->image().convertToFormat(QImage::Format_ARGB32) : QImage();
}

constexpr QRgb kBlack = 0xFF000000u;
constexpr QRgb kWhite = 0xFFFFFFFFu;

void expectRefused(const std::function<void()>& decode)
{
    try {
        decode();
        ADD_FAILURE() << "record accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.name(), kBigEndianReaderException);
    }
}

TEST(ZDLImageLegacy, PixelRowsAndRectRegion)
{
    // Rows of 16 pixels: black 0-3, white 4-11, black 12-15; the region is columns 2-13 of rows 0-1.
    const QByteArray stored = QByteArray::fromHex("f00ff00ff00f");
    const ZDLImagePtr image = ZDLImage::initWithZDL86Data(
        literalRuns(stored), rectRegion(true, 0, 2, 2, 14), QSizeF(16.9, 3.2), 2);
    const QImage pixels = pixelsOf(image);
    ASSERT_EQ(pixels.size(), QSize(16, 3));
    EXPECT_TRUE(image->savedData().startsWith("\x89PNG"));
    EXPECT_TRUE(image->hasAlpha());
    const QRgb row0[] = { 0, 0, kBlack, kBlack, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite,
        kWhite, kBlack, kBlack, 0, 0 };
    for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(pixels.pixel(x, 0), row0[x]) << x;
        EXPECT_EQ(pixels.pixel(x, 1), row0[x]) << x;
        EXPECT_EQ(pixels.pixel(x, 2), 0u) << x;
    }
}

// A header of -127 repeats its byte 128 times; -128 is a no-op that takes no byte.
TEST(ZDLImageLegacy, RepeatRunsAndNoOpHeaders)
{
    const QByteArray data = QByteArray::fromHex("8081aa80");
    const QImage pixels
        = pixelsOf(ZDLImage::initWithZDL86Data(data, rectRegion(true, 0, 0, 128, 8), QSizeF(8, 128), 1));
    ASSERT_EQ(pixels.size(), QSize(8, 128));
    for (int y : { 0, 127 }) {
        EXPECT_EQ(pixels.pixel(0, y), kBlack);
        EXPECT_EQ(pixels.pixel(1, y), kWhite);
        EXPECT_EQ(pixels.pixel(6, y), kBlack);
        EXPECT_EQ(pixels.pixel(7, y), kWhite);
    }
}

// Bitmaps up to 254 x 254 use byte coordinates ending at 255; larger ones 16-bit ending at 0x7FFF.
TEST(ZDLImageLegacy, ComplexRegionsInBothCoordinateWidths)
{
    struct Case {
        QSizeF size;
        qint16 rowBytes;
    };
    for (const Case& c :
        { Case { QSizeF(254, 254), 32 }, Case { QSizeF(255, 10), 32 }, Case { QSizeF(8, 300), 1 } }) {
        const bool bytes = c.size.width() <= 254 && c.size.height() <= 254;
        const QByteArray white(c.rowBytes * int(c.size.height()), '\0');
        const QImage pixels
            = pixelsOf(ZDLImage::initWithZDL86Data(literalRuns(white), boxRegion(bytes), c.size, c.rowBytes));
        ASSERT_EQ(QSizeF(pixels.size()), c.size);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 8; ++x) {
                const bool inside = y >= 2 && y < 5 && x >= 3 && x < 6;
                EXPECT_EQ(pixels.pixel(x, y), inside ? kWhite : 0u) << x << "," << y;
            }
        }
    }
}

// Damaged records that stay inside what can be shown: short pixel data is padded white and
// transparent, region rows and columns outside the bitmap are clipped, an odd x opens nothing.
TEST(ZDLImageLegacy, ShortPixelsAndOutOfRangeRegionsStayInside)
{
    const QImage padded = pixelsOf(ZDLImage::initWithZDL86Data(
        literalRuns(QByteArray::fromHex("ff")), rectRegion(true, 0, 0, 4, 16), QSizeF(16, 4), 2));
    ASSERT_EQ(padded.size(), QSize(16, 4));
    EXPECT_EQ(padded.pixel(7, 0), kBlack);
    EXPECT_EQ(padded.pixel(8, 0), 0u);
    EXPECT_EQ(padded.pixel(0, 3), 0u);

    const QByteArray black = literalRuns(QByteArray(6, char(0xFF)));
    const QImage clipped
        = pixelsOf(ZDLImage::initWithZDL86Data(black, rectRegion(true, 1, 5, 200, 250), QSizeF(12, 3), 2));
    ASSERT_EQ(clipped.size(), QSize(12, 3));
    EXPECT_EQ(clipped.pixel(11, 2), kBlack);
    EXPECT_EQ(clipped.pixel(4, 2), 0u);
    EXPECT_EQ(clipped.pixel(11, 0), 0u);

    Region odd { true, QByteArray::fromHex("0000") };
    odd.add(0).add(0).add(0).add(0);
    odd.add(0).add(1).add(3).add(7).end().add(250).add(2).add(240).end().end();
    const QImage oddRegion = pixelsOf(ZDLImage::initWithZDL86Data(black, odd.data, QSizeF(12, 3), 2));
    ASSERT_EQ(oddRegion.size(), QSize(12, 3));
    EXPECT_EQ(oddRegion.pixel(1, 2), kBlack);
    EXPECT_EQ(oddRegion.pixel(3, 2), 0u);
    EXPECT_EQ(oddRegion.pixel(8, 2), 0u);

    EXPECT_FALSE(ZDLImage::initWithZDL86Data(black, rectRegion(true, 0, 0, 1, 1), QSizeF(0, 3), 2));
    EXPECT_FALSE(ZDLImage::initWithZDL86Data(black, rectRegion(true, 0, 0, 1, 1), QSizeF(12, 0.9), 2));
    EXPECT_FALSE(ZDLImage::initWithZDL86Data(black, rectRegion(true, 0, 0, 1, 1), QSizeF(NAN, 3), 2));
}

TEST(ZDLImageLegacy, HostileRecordsAreRefusedLikeShortOnes)
{
    const QByteArray black = literalRuns(QByteArray(8, char(0xFF)));
    const QByteArray region = rectRegion(true, 0, 0, 4, 16);
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, region, QSizeF(16, 4), 0); });
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, region, QSizeF(16, 4), qint16(0x8000)); });
    expectRefused(
        [&] { ZDLImage::initWithZDL86Data(black, region, QSizeF(17, 4), 2); }); // narrower than the width
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, region, QSizeF(16, 5000), 32767); }); // 156 MiB
    // 16 Mi pixels and one more row: small buffers, but a 32-bit image too large to decode in time.
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, region, QSizeF(4096, 4097), 512); });
    // Running out of bytes: a literal run, the region size, a rect, a complex region without end.
    expectRefused(
        [&] { ZDLImage::initWithZDL86Data(QByteArray::fromHex("05ffff"), region, QSizeF(16, 4), 2); });
    expectRefused([&] { ZDLImage::initWithZDL86Data(QByteArray::fromHex("81"), region, QSizeF(16, 4), 2); });
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, QByteArray::fromHex("00"), QSizeF(16, 4), 2); });
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, region.left(4), QSizeF(16, 4), 2); });
    expectRefused([&] { ZDLImage::initWithZDL86Data(black, boxRegion(true).chopped(3), QSizeF(16, 4), 2); });

    // Rows going back and forth would refill the whole mask for every pair of coordinates.
    Region pingPong { false, QByteArray::fromHex("0000") };
    pingPong.add(0).add(0).add(0).add(0);
    pingPong.add(0).add(0).add(7999).end();
    for (int i = 0; i < 20000; ++i)
        pingPong.add(7999).end().add(0).end();
    expectRefused([&] { ZDLImage::initWithZDL86Data(QByteArray(), pingPong.data, QSizeF(4000, 4000), 500); });
}

} // namespace
} // namespace zandrel
