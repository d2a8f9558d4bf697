#include "CanvasTestSupport.h"
#include "platform/PainterCanvas.h"

#include <QFont>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::alphaAt;
using test::alphaSum;
using test::rawAt;
using test::renderCanvas;

QImage solid(const QColor& color, QSize size = QSize(4, 4))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

TEST(CanvasCompositing, PlusDarkerAddsDarkness)
{
    struct Case {
        QColor destination;
        QColor source;
        double opacity;
        QRgb expected; // premultiplied
    };
    const Case cases[] = {
        { QColor(200, 200, 200), QColor(100, 100, 100), 1.0, qRgba(45, 45, 45, 255) }, // s + d - 1
        { QColor(200, 150, 90), Qt::white, 1.0, qRgba(200, 150, 90, 255) }, // white vanishes
        { QColor(200, 150, 90), Qt::black, 1.0, qRgba(0, 0, 0, 255) },
        { Qt::transparent, QColor(100, 50, 25), 1.0, qRgba(100, 50, 25, 255) }, // over nothing: the source
        { QColor(200, 200, 200), QColor(100, 100, 100), 0.5, qRgba(122, 122, 122, 255) },
        { QColor(200, 200, 200), Qt::transparent, 1.0, qRgba(200, 200, 200, 255) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.destination.name(QColor::HexArgb).toStdString() << " "
                                        << c.source.name(QColor::HexArgb).toStdString() << " " << c.opacity);
        const QImage image = renderCanvas(QSize(8, 8), [&](Canvas& canvas) {
            canvas.fillRect(QRectF(0, 0, 8, 8), c.destination);
            canvas.drawImage(
                solid(c.source), QRectF(0, 0, 4, 8), QRectF(), c.opacity, CompositionMode::PlusDarker);
        });
        const QRgb got = rawAt(image, 2, 4);
        EXPECT_NEAR(qRed(got), qRed(c.expected), 1);
        EXPECT_NEAR(qGreen(got), qGreen(c.expected), 1);
        EXPECT_NEAR(qBlue(got), qBlue(c.expected), 1);
        EXPECT_NEAR(qAlpha(got), qAlpha(c.expected), 1);
        EXPECT_EQ(rawAt(image, 6, 4), c.destination.isValid() ? qPremultiply(c.destination.rgba()) : 0u);
    }
}

TEST(CanvasCompositing, PlusDarkerRespectsClipAndTransform)
{
    const QImage image = renderCanvas(QSize(20, 20), [&](Canvas& canvas) {
        canvas.fillRect(QRectF(0, 0, 20, 20), QColor(200, 200, 200));
        canvas.setCompositionMode(CompositionMode::PlusDarker);
        canvas.translate(10, 0);
        canvas.clipToRect(QRectF(0, 0, 5, 20));
        canvas.fillRect(QRectF(-10, 0, 20, 20), QColor(100, 100, 100));
    });
    EXPECT_EQ(qRed(image.pixel(5, 5)), 200);
    EXPECT_EQ(qRed(image.pixel(12, 5)), 45);
    EXPECT_EQ(qRed(image.pixel(17, 5)), 200);
}

TEST(CanvasCompositing, PlusDarkerAndLayersLandRightOnHighDensityBitmaps)
{
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2.0);
    image.fill(QColor(200, 200, 200));
    {
        QPainter painter(&image);
        PainterCanvas canvas(&painter);
        canvas.translate(1, 0);
        canvas.drawImage(
            solid(QColor(100, 100, 100)), QRectF(0, 0, 2, 2), QRectF(), 1.0, CompositionMode::PlusDarker);
        canvas.beginTransparencyLayer(0.5);
        canvas.fillRect(QRectF(0, 4, 2, 2), Qt::black);
        canvas.endTransparencyLayer();
    }
    image.setDevicePixelRatio(1.0);
    EXPECT_EQ(qRed(image.pixel(1, 1)), 200);
    EXPECT_EQ(qRed(image.pixel(2, 0)), 45); // user (1, 0) is device pixel (2, 0)
    EXPECT_EQ(qRed(image.pixel(5, 3)), 45);
    EXPECT_EQ(qRed(image.pixel(6, 3)), 200);
    EXPECT_EQ(qRed(image.pixel(2, 4)), 200);
    EXPECT_NEAR(qRed(image.pixel(2, 8)), 100, 1); // half black over grey
    EXPECT_NEAR(qRed(image.pixel(5, 11)), 100, 1);
    EXPECT_EQ(qRed(image.pixel(6, 11)), 200);
}

TEST(CanvasCompositing, QtModesApplyToOneImage)
{
    const QImage image = renderCanvas(QSize(30, 10), [&](Canvas& canvas) {
        canvas.fillRect(QRectF(0, 0, 30, 10), QColor(200, 100, 50));
        canvas.drawImage(
            solid(QColor(128, 128, 128)), QRectF(0, 0, 10, 10), QRectF(), 1.0, CompositionMode::Multiply);
        canvas.drawImage(
            solid(QColor(0, 0, 255, 128)), QRectF(10, 0, 10, 10), QRectF(), 1.0, CompositionMode::Copy);
        canvas.drawImage(solid(Qt::white), QRectF(20, 0, 10, 10), QRectF(), 1.0, CompositionMode::Clear);
        canvas.fillRect(QRectF(29, 0, 1, 10), Qt::black); // the mode did not stick
    });
    EXPECT_EQ(image.pixel(5, 5), qRgb(100, 50, 25));
    EXPECT_EQ(rawAt(image, 15, 5), qRgba(0, 0, 128, 128)); // replaced, not blended
    EXPECT_EQ(alphaAt(image, 25, 5), 0);
    EXPECT_EQ(image.pixel(29, 5), qRgb(0, 0, 0));
}

TEST(CanvasCompositing, TransparencyLayerCompositesAsOneImage)
{
    auto overlap = [](bool layer) {
        return renderCanvas(QSize(30, 10), [layer](Canvas& canvas) {
            if (layer)
                canvas.beginTransparencyLayer(0.5);
            else
                canvas.setAlpha(0.5);
            canvas.fillRect(QRectF(0, 0, 20, 10), Qt::red);
            canvas.fillRect(QRectF(10, 0, 20, 10), Qt::red);
            if (layer)
                canvas.endTransparencyLayer();
        });
    };
    const QImage direct = overlap(false);
    const QImage layered = overlap(true);
    EXPECT_NEAR(alphaAt(direct, 15, 5), 191, 1); // the overlap darkens
    EXPECT_NEAR(alphaAt(layered, 15, 5), 128, 1); // the layer does not
    EXPECT_NEAR(alphaAt(layered, 5, 5), 128, 1);
    EXPECT_NEAR(alphaAt(layered, 25, 5), 128, 1);
}

TEST(CanvasCompositing, ModesInsideALayerTouchOnlyTheLayerAtEveryAlpha)
{
    for (double alpha : { 1.0, 0.999 }) {
        SCOPED_TRACE(alpha);
        const QImage image = renderCanvas(QSize(20, 10), [alpha](Canvas& canvas) {
            canvas.fillRect(QRectF(0, 0, 20, 10), Qt::blue);
            canvas.beginTransparencyLayer(alpha);
            canvas.fillRect(QRectF(0, 0, 20, 10), Qt::red);
            canvas.setCompositionMode(CompositionMode::DestinationOut); // erases the layer's red
            canvas.fillRect(QRectF(10, 0, 10, 10), Qt::black);
            canvas.endTransparencyLayer();
        });
        EXPECT_EQ(image.pixel(15, 5), qRgb(0, 0, 255));
        EXPECT_NEAR(qRed(image.pixel(5, 5)), 255 * alpha, 1);
    }
}

TEST(CanvasCompositing, LayersNestKeepStateAndCloseWhenLeftOpen)
{
    const QImage image = renderCanvas(QSize(40, 10), [](Canvas& canvas) {
        canvas.endTransparencyLayer(); // none open: nothing happens
        canvas.clipToRect(QRectF(0, 0, 30, 10));
        canvas.beginTransparencyLayer(0.5);
        canvas.save();
        canvas.translate(10, 0);
        canvas.beginTransparencyLayer(0.5, QRectF(0, 0, 10, 10));
        EXPECT_EQ(canvas.transform(), QTransform::fromTranslate(10, 0));
        EXPECT_EQ(canvas.alpha(), 1.0); // the layer starts at full alpha
        canvas.fillRect(QRectF(-10, 0, 50, 10), Qt::black); // limited to the layer bounds
        canvas.endTransparencyLayer();
        canvas.fillRect(QRectF(10, 0, 10, 10), Qt::black); // clipped at x = 30
        EXPECT_EQ(canvas.saveDepth(), 1);
        canvas.beginTransparencyLayer(1.0);
        canvas.save(); // left unbalanced inside the layer
        canvas.setAlpha(0.0);
        canvas.endTransparencyLayer();
        EXPECT_EQ(canvas.saveDepth(), 1);
        EXPECT_EQ(canvas.alpha(), 1.0);
        canvas.beginTransparencyLayer(0.5); // left open: composited when drawing ends
        canvas.fillRect(QRectF(-10, 0, 10, 10), Qt::black);
    });
    EXPECT_NEAR(alphaAt(image, 5, 5), 64, 1); // outer 0.5 of an open layer at 0.5
    EXPECT_NEAR(alphaAt(image, 15, 5), 64, 1); // inner 0.5 inside outer 0.5
    EXPECT_NEAR(alphaAt(image, 25, 5), 128, 1);
    EXPECT_EQ(alphaAt(image, 35, 5), 0);
}

TEST(CanvasCompositing, HardShadowIsTheShapeMoved)
{
    const QImage image = renderCanvas(QSize(40, 40), [](Canvas& canvas) {
        canvas.setShadow(CanvasShadow { QPointF(10, 5), 0, QColor(0, 0, 255, 128) });
        canvas.fillRect(QRectF(5, 5, 10, 10), Qt::red);
        canvas.setShadow(std::nullopt);
        canvas.fillRect(QRectF(30, 30, 5, 5), Qt::green);
    });
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(rawAt(image, 20, 15), qRgba(0, 0, 128, 128));
    EXPECT_EQ(alphaAt(image, 20, 5), 0);
    EXPECT_NEAR(alphaSum(image), 100 + 100 * 128 / 255.0 + 25, 0.5); // shape, shadow, green
}

TEST(CanvasCompositing, SoftShadowFollowsTheGaussian)
{
    // The shadow of a half-plane edge blurred by sigma s (half the blur radius) is at half
    // strength on the moved edge and about 16% one sigma beyond it.
    const QImage image = renderCanvas(QSize(120, 40), [](Canvas& canvas) {
        canvas.setShadow(CanvasShadow { QPointF(50, 0), 16, Qt::black });
        canvas.drawImage(solid(Qt::transparent), QRectF(0, 0, 1, 1)); // casts nothing
        canvas.fillRect(QRectF(-100, -100, 110, 300), Qt::red);
    });
    EXPECT_EQ(image.pixel(5, 20), qRgb(255, 0, 0));
    EXPECT_NEAR(alphaAt(image, 30, 20), 255, 1);
    EXPECT_NEAR(alphaAt(image, 60, 20) / 255.0, 0.5, 0.03);
    EXPECT_NEAR(alphaAt(image, 68, 20) / 255.0, 0.16, 0.03);
    EXPECT_NEAR(alphaAt(image, 52, 20) / 255.0, 0.84, 0.03);
    EXPECT_LT(alphaAt(image, 90, 20), 2);
}

TEST(CanvasCompositing, ShadowOffsetIsInBaseSpaceAndFollowsTheDeviceScale)
{
    const QImage image = renderCanvas(
        QSize(40, 40),
        [](Canvas& canvas) {
            canvas.scale(4, 4); // the user transform does not move the shadow further
            canvas.setShadow(CanvasShadow { QPointF(5, 0), 0, Qt::black });
            canvas.fillRect(QRectF(0, 0, 1, 1), Qt::red);
        },
        2.0);
    // A 4x4 unit square at device scale 2 is 8x8 pixels; the shadow sits 10 pixels right.
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(alphaAt(image, 9, 4), 0);
    EXPECT_EQ(image.pixel(14, 4), qRgb(0, 0, 0));
    EXPECT_NEAR(alphaSum(image), 128, 0.5);
}

TEST(CanvasCompositing, GlyphRunsDrawAtTheirBaseline)
{
    QFont font("DejaVu Sans");
    font.setPixelSize(20);
    QTextLayout layout("HH", font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty() || !runs.first().rawFont().isValid())
        GTEST_SKIP() << "no font available";
    const QPointF origin(5, 5);
    const QImage image = renderCanvas(
        QSize(80, 40), [&](Canvas& canvas) { canvas.drawGlyphRun(origin, runs.first(), Qt::black); });
    // Glyph positions are relative to the layout's origin, with the baseline at the ascent.
    const QRect ink = runs.first().boundingRect().translated(origin).toAlignedRect().adjusted(-1, -1, 1, 1);
    double inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            (ink.contains(x, y) ? inside : outside) += alphaAt(image, x, y);
    EXPECT_GT(inside, 255 * 50);
    EXPECT_EQ(outside, 0);
    const int baseline = int(origin.y() + runs.first().rawFont().ascent());
    for (int x = 0; x < image.width(); ++x)
        EXPECT_LT(alphaAt(image, x, baseline + 2), 20);
}

} // namespace
} // namespace zandrel
