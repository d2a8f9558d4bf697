// Filling an outline straight into the pixels paints what Qt's antialiased fill paints, to a few
// levels at edges; each band of rows gets exactly the pixels of the whole; clips may be
// fractional; outlines far beyond the image cost nothing and break nothing.
#include "platform/OutlineFill.h"

#include "CanvasTestSupport.h"
#include "platform/DeviceOutlines.h"
#include "platform/PainterCanvas.h"
#include "support/TestSupport.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

QImage blankImage(int width = 400, int height = 300)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QPainterPath star(const QPointF& centre, double radius, Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    for (int k = 0; k < 5; ++k) {
        const double angle = M_PI / 2 + k * 4 * M_PI / 5;
        const QPointF point = centre + radius * QPointF(std::cos(angle), -std::sin(angle));
        k == 0 ? path.moveTo(point) : path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

// Shapes of every kind the page draws: curves, self-intersecting stars under either rule, a ring
// (a stroke's outline), overlapping contours, slivers, shapes reaching past every edge of the image.
std::vector<std::pair<QPainterPath, QColor>> shapes()
{
    std::vector<std::pair<QPainterPath, QColor>> result;
    QPainterPath blob;
    blob.moveTo(30, 40);
    blob.cubicTo(180, -20, 260, 160, 120, 200);
    blob.quadTo(10, 240, 30, 40);
    result.push_back({ blob, QColor(200, 30, 40) });
    result.push_back({ star(QPointF(300, 110), 90, Qt::OddEvenFill), QColor(20, 120, 220, 160) });
    result.push_back({ star(QPointF(110, 200), 80, Qt::WindingFill), QColor(20, 180, 60, 220) });
    QPainterPath circle;
    circle.addEllipse(QPointF(250, 220), 70, 50);
    result.push_back({ QPainterPathStroker(QPen(Qt::black, 7.3)).createStroke(circle), QColor(0, 0, 0) });
    QPainterPath overlapping;
    overlapping.addRect(QRectF(150.3, 20.6, 80.2, 60.1));
    overlapping.addRect(QRectF(190.7, 50.2, 80.4, 60.9));
    result.push_back({ overlapping, QColor(250, 200, 0, 200) });
    QPainterPath sliver;
    sliver.moveTo(5, 290);
    sliver.lineTo(395, 285.5);
    sliver.lineTo(395, 286.1);
    result.push_back({ sliver, QColor(90, 0, 160) });
    QPainterPath beyond;
    beyond.addEllipse(QPointF(-40, 150), 120, 260);
    beyond.addEllipse(QPointF(420, -30), 90, 90);
    result.push_back({ beyond, QColor(0, 140, 140, 128) });
    return result;
}

void fillAll(QImage& image, const QRectF& clip)
{
    for (const auto& [path, color] : shapes())
        ASSERT_TRUE(
            fillOutline(image, clip, DeviceOutline::of(path, QTransform()), qPremultiply(color.rgba())));
}

TEST(OutlineFill, PaintsWhatQtsAntialiasedFillPaints)
{
    QImage byQt = blankImage();
    {
        QPainter painter(&byQt);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (const auto& [path, color] : shapes())
            painter.fillPath(path, color);
    }
    QImage direct = blankImage();
    fillAll(direct, QRectF(direct.rect()));
    // Both take the area each pixel covers; they round it apart by a few levels at edges.
    const test::PixelDifference d = test::pixelDifference(direct, byQt);
    EXPECT_LE(d.largest, 4);
    EXPECT_LE(d.pixels, direct.width() * direct.height() / 30);
    EXPECT_GT(test::alphaSum(direct), 20000.0);
}

TEST(OutlineFill, EveryBandOfRowsGetsThePixelsOfTheWhole)
{
    QImage whole = blankImage();
    fillAll(whole, QRectF(whole.rect()));
    std::mt19937 random(5);
    for (int round = 0; round < 4; ++round) {
        QImage banded = blankImage();
        int top = 0;
        while (top < banded.height()) {
            const int bottom = std::min(banded.height(), top + 1 + int(random() % 70));
            fillAll(banded, QRectF(0, top, banded.width(), bottom - top));
            top = bottom;
        }
        EXPECT_EQ(banded, whole) << round;
    }
}

TEST(OutlineFill, AFractionalClipGivesItsEdgePixelsTheirShare)
{
    QPainterPath square;
    square.addRect(QRectF(-10, -10, 100, 100));
    const DeviceOutline outline = DeviceOutline::of(square, QTransform());
    QImage image = blankImage(40, 40);
    ASSERT_TRUE(fillOutline(image, QRectF(10.25, 5.5, 10.5, 20), outline, qRgba(0, 0, 255, 255)));
    struct Case {
        int x, y, alpha;
    };
    const Case cases[] = { { 9, 10, 0 }, { 10, 10, 191 }, { 15, 10, 255 }, { 20, 10, 191 }, { 21, 10, 0 },
        { 15, 4, 0 }, { 15, 5, 128 }, { 15, 25, 128 }, { 10, 5, 96 }, { 15, 26, 0 } };
    for (const Case& c : cases)
        EXPECT_EQ(qAlpha(image.pixel(c.x, c.y)), c.alpha) << c.x << "," << c.y;
}

// An outline of many edges each as tall as the image fills as its parts filled one by one do.
TEST(OutlineFill, ManyTallEdgesFillAsTheirPartsDo)
{
    QPainterPath comb;
    QImage oneByOne = blankImage(1000, 3000);
    for (int x = 0; x < 1000; x += 2) {
        QPainterPath tooth;
        tooth.addRect(QRectF(x, -5, 1, 3010));
        comb.addPath(tooth);
        fillOutline(oneByOne, QRectF(oneByOne.rect()), DeviceOutline::of(tooth, QTransform()), 0xff102030);
    }
    QImage whole = blankImage(1000, 3000);
    ASSERT_TRUE(fillOutline(whole, QRectF(whole.rect()), DeviceOutline::of(comb, QTransform()), 0xff102030));
    EXPECT_EQ(whole, oneByOne);
    EXPECT_EQ(whole.pixel(998, 2999), 0xff102030);
}

TEST(OutlineFill, OutlinesBeyondTheImageAndOtherFormatsAreHarmless)
{
    QImage image = blankImage(50, 50);
    // Far beyond in every direction, and one reaching across from far away.
    QPainterPath far;
    far.addRect(QRectF(1e12, 1e12, 1e9, 1e9));
    far.addRect(QRectF(-1e12, 10, 1e9, 20));
    ASSERT_TRUE(fillOutline(image, QRectF(image.rect()), DeviceOutline::of(far, QTransform()), 0xff000000));
    EXPECT_EQ(test::alphaSum(image), 0.0);
    // All but level, from far left to far right: its slope is beyond any number.
    QPainterPath level;
    level.moveTo(-1e12, 0);
    level.lineTo(1e12, 1e-300);
    level.lineTo(1e12, 0);
    ASSERT_TRUE(fillOutline(image, QRectF(image.rect()), DeviceOutline::of(level, QTransform()), 0xff000000));
    EXPECT_EQ(test::alphaSum(image), 0.0);
    QPainterPath across;
    across.addRect(QRectF(-1e9, 10, 2e9, 20));
    ASSERT_TRUE(
        fillOutline(image, QRectF(image.rect()), DeviceOutline::of(across, QTransform()), 0xff000000));
    EXPECT_EQ(qAlpha(image.pixel(25, 20)), 255);
    EXPECT_EQ(qAlpha(image.pixel(25, 5)), 0);
    // Nothing to fill, nowhere to fill it, a format it does not write.
    EXPECT_TRUE(fillOutline(image, QRectF(image.rect()), DeviceOutline(), 0xff000000));
    EXPECT_TRUE(
        fillOutline(image, QRectF(60, 60, 10, 10), DeviceOutline::of(across, QTransform()), 0xff000000));
    QImage rgb(10, 10, QImage::Format_RGB888);
    EXPECT_FALSE(fillOutline(rgb, QRectF(rgb.rect()), DeviceOutline::of(across, QTransform()), 0xff000000));
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

// A canvas fills straight into the pixels under no clip or clips it knows to be rects (nested
// ones too), and through Qt under any other: either way each fill lands where Qt's own puts it.
TEST(OutlineFill, ACanvasFillsStraightUnderTheClipsItKnows)
{
    const auto draw = [](bool straight) {
        QImage image = blankImage(300, 300);
        PainterCanvas canvas(&image);
        canvas.setDrawsOutlines(straight);
        canvas.scale(2, 2);
        for (int i = 0; i < 6; ++i) {
            canvas.save();
            if (i == 1)
                canvas.clipToRect(QRectF(20, 15, 60, 50));
            if (i == 2) {
                canvas.clipToPath(CanvasPath::fromRect(QRectF(30, 30, 80, 80)));
                canvas.clipToRect(QRectF(50, 20, 100, 40));
            }
            if (i == 3)
                canvas.clipToPath(CanvasPath::fromEllipse(QRectF(20, 20, 100, 60)));
            if (i == 4) {
                canvas.concatenate(QTransform().rotate(15));
                canvas.clipToRect(QRectF(40, 0, 50, 70));
            }
            if (i == 5) {
                canvas.clipToRect(QRectF(0, 100, 150, 50));
                canvas.setAlpha(0.5);
            }
            CanvasPath blob = CanvasPath::fromEllipse(QRectF(5 + 4 * i, 8, 130, 140 - 6 * i));
            canvas.fillPath(blob, CanvasPaint(QColor(40 * i, 200 - 30 * i, 90, 150 + 20 * i)));
            blob.setLineWidth(3 + i);
            canvas.strokePath(blob, CanvasPaint(QColor(0, 0, 60 * i)));
            canvas.restore();
        }
        canvas.finish();
        return image;
    };
    const QImage byQt = draw(false);
    const test::PixelDifference d = test::pixelDifference(draw(true), byQt);
    EXPECT_LE(d.largest, 4);
    EXPECT_LE(d.pixels, byQt.width() * byQt.height() / 30);
    EXPECT_EQ(qAlpha(byQt.pixel(299, 299)), 0);
}

} // namespace
} // namespace zandrel
