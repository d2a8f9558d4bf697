#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "platform/Canvas.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Draws with the offscreen canvas current, as a view or an export would, on a white ground
// unless transparent is asked for.
QImage render(const QSize& size, const std::function<void()>& draw, bool transparent = false)
{
    OffscreenImage offscreen(size);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    if (!transparent)
        canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size)), QColor(Qt::white));
    {
        CanvasScope scope(canvas);
        draw();
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

// A grey level (the red channel) of an opaque pixel.
int grey(const QImage& image, int x, int y)
{
    return qRed(image.pixel(x, y));
}

CanvasPath squareWithHole()
{
    // Both squares run the same way, so only the even-odd rule leaves the hole.
    CanvasPath path;
    path.setWindingRule(WindingRule::NonZero);
    path.addRect(QRectF(2, 2, 36, 36));
    path.addRect(QRectF(12, 12, 16, 16));
    return path;
}

GradientFill blackToWhite(int type, float angle, QPointF center = {})
{
    GradientFill fill;
    fill.setGradientType(type);
    fill.setLinearAngle(angle);
    fill.setRelativeCenter(center);
    return fill;
}

TEST(FillDrawingTest, ColorFillPaintsItsAdjustedColour)
{
    ColorFill fill;
    fill.setFillColor(ZDLColor::colorFromHexNamed("#3366CC", "Blue"));
    fill.setFillColorAdjust(0.5f); // halfway to white: #99B2E5
    const QImage image = render({ 40, 40 }, [&] { fill.fillRect(QRectF(10, 10, 20, 20)); });
    const QColor inside = image.pixelColor(20, 20);
    EXPECT_NEAR(inside.red(), 0x99, 1);
    EXPECT_NEAR(inside.green(), 0xB2, 1);
    EXPECT_NEAR(inside.blue(), 0xE5, 1);
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));

    // The path calls: one always even-odd, one with the path's own rule.
    const QImage evenOdd = render({ 40, 40 }, [&] { fill.fillCGPath(squareWithHole()); });
    const QImage nonZero = render({ 40, 40 }, [&] { fill.fillNSPath(squareWithHole()); });
    EXPECT_EQ(evenOdd.pixelColor(20, 20), QColor(Qt::white));
    EXPECT_NE(evenOdd.pixelColor(6, 6), QColor(Qt::white));
    EXPECT_EQ(nonZero.pixelColor(20, 20), inside);

    // Without a colour, or without a canvas, nothing is drawn and nothing breaks.
    ColorFill empty;
    empty.setFillColor(nullptr);
    EXPECT_EQ(render({ 10, 10 }, [&] { empty.fillRect(QRectF(0, 0, 10, 10)); }).pixelColor(5, 5),
        QColor(Qt::white));
    fill.fillRect(QRectF(0, 0, 10, 10));
    blackToWhite(0, 0).fillRect(QRectF(0, 0, 10, 10));
}

TEST(FillDrawingTest, LinearGradientRunsAlongItsAngle)
{
    // angle -> (x, y) of the darkest and the lightest sample in a 100 x 100 rect.
    struct Row {
        float angle;
        QPoint dark, light;
    } rows[] = {
        { 0, { 1, 50 }, { 98, 50 } },
        { 90, { 50, 1 }, { 50, 98 } }, // toward growing y
        { 180, { 98, 50 }, { 1, 50 } },
        { 270, { 50, 98 }, { 50, 1 } },
        { 45, { 1, 1 }, { 98, 98 } },
    };
    for (const Row& row : rows) {
        const GradientFill fill = blackToWhite(GradientTypeLinear, row.angle);
        const QImage image = render({ 100, 100 }, [&] { fill.fillRect(QRectF(0, 0, 100, 100)); });
        SCOPED_TRACE(row.angle);
        EXPECT_LE(grey(image, row.dark.x(), row.dark.y()), 8);
        EXPECT_GE(grey(image, row.light.x(), row.light.y()), 247);
        EXPECT_NEAR(grey(image, 50, 50), 128, 4);
    }
}

TEST(FillDrawingTest, RadialGradientCentresRelativeToTheRect)
{
    struct Row {
        QPointF center;
        QPoint dark;
    } rows[] = {
        { { 0, 0 }, { 50, 25 } },
        { { -1, -1 }, { 0, 0 } },
        { { 0.5, -0.5 }, { 75, 12 } },
    };
    for (const Row& row : rows) {
        const GradientFill fill = blackToWhite(GradientTypeRadial, 0, row.center);
        const QImage image = render({ 100, 50 }, [&] { fill.fillRect(QRectF(0, 0, 100, 50)); });
        SCOPED_TRACE(testing::Message() << row.center.x() << "," << row.center.y());
        EXPECT_LE(grey(image, row.dark.x(), row.dark.y()), 10);
        // The farthest corner is white.
        const int farX = row.dark.x() < 50 ? 99 : 0;
        const int farY = row.dark.y() < 25 ? 49 : 0;
        EXPECT_GE(grey(image, farX, farY), 245);
    }
}

TEST(FillDrawingTest, GradientPathFillsAndOpaqueStops)
{
    const GradientFill fill = blackToWhite(GradientTypeLinear, 0);
    const QImage evenOdd = render({ 40, 40 }, [&] { fill.fillCGPath(squareWithHole()); });
    const QImage nonZero = render({ 40, 40 }, [&] { fill.fillNSPath(squareWithHole()); });
    EXPECT_EQ(evenOdd.pixelColor(20, 20), QColor(Qt::white));
    EXPECT_EQ(evenOdd.pixelColor(1, 20), QColor(Qt::white)); // clipped to the path
    EXPECT_LE(grey(evenOdd, 3, 20), 20); // the ramp spans the path's box
    EXPECT_NEAR(grey(nonZero, 20, 20), 128, 6);

    // Translucent stops: plain drawing lets the ground through, the opaque form does not.
    GradientFill glass;
    GradientPtr gradient = glass.gradient();
    gradient->setColor(RgbColor(1, 0, 0, 0.5), 0);
    gradient->setColor(RgbColor(1, 0, 0, 0.5), 1);
    glass.setGradient(gradient);
    const QImage plain = render(
        { 20, 20 }, [&] { glass.fillRect(QRectF(0, 0, 20, 20)); }, true);
    const QImage opaque = render(
        { 20, 20 }, [&] { glass.opaqueFillRect(QRectF(0, 0, 20, 20)); }, true);
    EXPECT_NEAR(plain.pixelColor(10, 10).alpha(), 128, 2);
    EXPECT_EQ(opaque.pixelColor(10, 10).alpha(), 255);
    EXPECT_NEAR(opaque.pixelColor(10, 10).green(), 128, 2); // red as it shows over white
}

// A sheet of the fill kinds, compared with the reference image within a small tolerance, as
// antialiasing may differ by a level between builds of the rasteriser.
QImage referenceSheet()
{
    return render({ 160, 120 }, [] {
        GradientFill fill;
        GradientPtr gradient = fill.gradient();
        gradient->setColor(RgbColor::fromQColor(QColor(200, 30, 30)), 0);
        gradient->addColorStopAt(0.5f);
        gradient->setColor(RgbColor::fromQColor(QColor(250, 220, 40)), 1);
        gradient->setColor(RgbColor::fromQColor(QColor(40, 90, 220)), 2);
        fill.setGradient(gradient);

        fill.setLinearAngle(0);
        fill.fillRect(QRectF(5, 5, 45, 50));
        fill.setLinearAngle(45);
        fill.fillRect(QRectF(57, 5, 45, 50));
        fill.setLinearAngle(90);
        fill.fillNSPath(CanvasPath::fromEllipse(QRectF(109, 5, 45, 50)));

        fill.setGradientType(GradientTypeRadial);
        fill.fillRect(QRectF(5, 62, 45, 50));
        fill.setRelativeCenter({ 0.5, -0.5 });
        fill.fillCGPath(CanvasPath::fromEllipse(QRectF(57, 62, 45, 50)));

        ColorFill color;
        color.setFillColor(ZDLColor::colorFromHexWithAlphaNamed("#2060A0", 0.6f, "Sea"));
        color.setFillColorAdjust(-0.25f);
        CanvasPath path = squareWithHole();
        path.transform(QTransform::fromTranslate(110, 68));
        color.fillCGPath(path);
    });
}

TEST(FillDrawingTest, ReferenceSheet)
{
    const QImage image = referenceSheet();
    test::expectLikeReferenceImage(image, QStringLiteral("tests/graphics/data/fills.png"), 3, 200);
}

} // namespace
} // namespace zandrel
