#include "platform/PainterCanvas.h"

#include "CanvasTestSupport.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::alphaAt;
using test::alphaSum;
using test::paintedRuns;
using test::rawAt;
using test::renderCanvas;

TEST(PainterCanvas, FilledRectCoversItsAreaWithPartialEdges)
{
    const QImage image = renderCanvas(QSize(100, 100), [](Canvas& canvas) {
        canvas.fillRect(QRectF(10, 10, 30, 20), Qt::red);
        canvas.fillRect(QRectF(60.5, 60, 10, 10), Qt::blue);
    });
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(alphaAt(image, 9, 20), 0);
    EXPECT_EQ(alphaAt(image, 40, 20), 0);
    EXPECT_NEAR(alphaAt(image, 60, 65), 128, 2); // half-covered columns
    EXPECT_NEAR(alphaAt(image, 70, 65), 128, 2);
    EXPECT_NEAR(alphaSum(image), 30 * 20 + 10 * 10, 0.5);
}

TEST(PainterCanvas, WindingRuleDecidesNestedContours)
{
    auto render = [](WindingRule rule) {
        return renderCanvas(QSize(40, 40), [rule](Canvas& canvas) {
            CanvasPath path;
            path.addRect(QRectF(0, 0, 40, 40));
            path.addRect(QRectF(10, 10, 20, 20));
            path.setWindingRule(rule);
            canvas.fillPath(path, Qt::black);
        });
    };
    const QImage nonZero = render(WindingRule::NonZero);
    const QImage evenOdd = render(WindingRule::EvenOdd);
    EXPECT_EQ(alphaAt(nonZero, 20, 20), 255);
    EXPECT_EQ(alphaAt(evenOdd, 20, 20), 0);
    EXPECT_EQ(alphaAt(evenOdd, 5, 5), 255);
    EXPECT_NEAR(alphaSum(evenOdd), 40 * 40 - 20 * 20, 0.5);
}

TEST(PainterCanvas, ClipsIntersectAndSaveRestoreBringsBackTransformAndClip)
{
    const QImage image = renderCanvas(QSize(100, 100), [](Canvas& canvas) {
        EXPECT_EQ(canvas.clipBounds(), QRectF(0, 0, 100, 100));
        canvas.save();
        canvas.clipToRect(QRectF(0, 0, 60, 60));
        CanvasPath second = CanvasPath::fromRect(QRectF(40, 40, 60, 60));
        canvas.clipToPath(second);
        EXPECT_EQ(canvas.clipBounds(), QRectF(40, 40, 20, 20));
        canvas.translate(50, 0);
        EXPECT_EQ(canvas.transform(), QTransform::fromTranslate(50, 0));
        EXPECT_EQ(canvas.clipBounds(), QRectF(-10, 40, 20, 20)); // in the moved user space
        canvas.fillRect(QRectF(-50, 0, 100, 100), Qt::green);
        EXPECT_EQ(canvas.saveDepth(), 1);
        canvas.restore();
        canvas.restore(); // unbalanced: nothing happens
        EXPECT_EQ(canvas.saveDepth(), 0);
        EXPECT_EQ(canvas.transform(), QTransform());
        canvas.fillRect(QRectF(0, 90, 10, 10), Qt::blue);
    });
    EXPECT_NEAR(alphaSum(image), 20 * 20 + 10 * 10, 0.5);
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 255, 0));
    EXPECT_EQ(alphaAt(image, 30, 30), 0);
    EXPECT_EQ(image.pixel(5, 95), qRgb(0, 0, 255));
}

TEST(PainterCanvas, EmptyClipDrawsNothing)
{
    const QImage image = renderCanvas(QSize(20, 20), [](Canvas& canvas) {
        canvas.clipToRect(QRectF(0, 0, 5, 5));
        canvas.clipToRect(QRectF(10, 10, 5, 5));
        EXPECT_TRUE(canvas.clipBounds().isEmpty());
        canvas.fillRect(QRectF(0, 0, 20, 20), Qt::red);
        canvas.clipToRect(QRectF(std::nan(""), 0, 5, 5));
    });
    EXPECT_EQ(alphaSum(image), 0.0);
}

TEST(PainterCanvas, DashLengthsAreAbsoluteUnitsWhateverTheWidth)
{
    struct Case {
        double width;
        double scale;
        QVector<double> dash;
        double phase;
        std::vector<int> runs; // device pixels along the line, from x = 0
    };
    const Case cases[] = {
        { 4, 1, { 10, 5 }, 0, { 10, 5, 10, 5, 10, 5, 10 } },
        { 1, 1, { 10, 5 }, 0, { 10, 5, 10, 5, 10, 5, 10 } },
        { 6, 1, { 6, 4 }, 3, { 3, 4, 6, 4, 6, 4, 6 } },
        { 2, 2, { 5, 5 }, 0, { 10, 10, 10, 10 } }, // user units follow the transform
        { 0, 2, { 4, 4 }, 0, { 8, 8, 8, 8, 8 } }, // a hairline too
        // Lines thinner than a device pixel, which Qt draws one pixel thick and dashes in pixels.
        { 0.5, 1, { 4, 4 }, 0, { 4, 4, 4, 4, 4 } },
        { 0.5, 1, { 4, 4 }, 2, { 2, 4, 4, 4, 4 } },
        { 0.8, 1, { 6, 2 }, 0, { 6, 2, 6, 2, 6 } },
        { 0.25, 1, { 3, 5 }, 0, { 3, 5, 3, 5, 3 } },
        { 0.4, 2, { 4, 4 }, 0, { 8, 8, 8, 8, 8 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "width " << c.width << " scale " << c.scale);
        const QImage image = renderCanvas(QSize(200, 20), [&](Canvas& canvas) {
            canvas.scale(c.scale, c.scale);
            CanvasPath line;
            line.moveTo(QPointF(0, 10.5 / c.scale));
            line.lineTo(QPointF(200, 10.5 / c.scale));
            line.setLineWidth(c.width);
            line.setDash(c.dash, c.phase);
            canvas.strokePath(line, Qt::black);
        });
        std::vector<int> runs = paintedRuns(image, 10, 1);
        runs.resize(std::min(runs.size(), c.runs.size()));
        EXPECT_EQ(runs, c.runs);
    }

    // Turned a quarter: a thin line dashes the same down a column.
    const QImage turned = renderCanvas(QSize(20, 200), [](Canvas& canvas) {
        canvas.translate(10.5, 0);
        canvas.rotate(90);
        CanvasPath line;
        line.lineTo(QPointF(200, 0));
        line.setLineWidth(0.5);
        line.setDash({ 4, 4 });
        canvas.strokePath(line, Qt::black);
    });
    std::vector<int> column;
    for (int y = 0; y < 40; ++y)
        column.push_back(alphaAt(turned, 10, y) > 0);
    EXPECT_EQ(column,
        (std::vector<int> { 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1,
            1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0 }));

    // On a high-density device a unit is two pixels, for hairlines and thin lines alike.
    for (double width : { 0.0, 0.25, 0.5, 2.0 }) {
        SCOPED_TRACE(testing::Message() << "high density, width " << width);
        QImage image(200, 20, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(Qt::transparent);
        {
            PainterCanvas canvas(&image);
            CanvasPath line;
            line.moveTo(QPointF(0, 5.25));
            line.lineTo(QPointF(100, 5.25));
            line.setLineWidth(width);
            line.setDash({ 4, 4 });
            canvas.strokePath(line, Qt::black);
        }
        std::vector<int> runs = paintedRuns(image, 10, 1);
        runs.resize(std::min<std::size_t>(runs.size(), 5));
        EXPECT_EQ(runs, (std::vector<int> { 8, 8, 8, 8, 8 }));
    }
}

TEST(PainterCanvas, AbsurdlyFineDashesStrokeSolidInsteadOfStalling)
{
    const QImage image = renderCanvas(QSize(100, 10), [](Canvas& canvas) {
        CanvasPath line;
        line.moveTo(QPointF(0, 5));
        line.lineTo(QPointF(1e7, 5));
        line.setLineWidth(2);
        line.setDash({ 1e-6, 1e-6 });
        canvas.strokePath(line, Qt::black);
    });
    EXPECT_EQ(alphaAt(image, 50, 5), 255);
}

TEST(PainterCanvas, StrokeCapsAndHairlines)
{
    const QImage image = renderCanvas(QSize(100, 40), [](Canvas& canvas) {
        canvas.strokeLine(QPointF(10, 10), QPointF(50, 10), Qt::black, 4); // butt caps
        CanvasPath square;
        square.moveTo(QPointF(10, 30));
        square.lineTo(QPointF(50, 30));
        square.setLineWidth(4);
        square.setLineCap(LineCap::Square);
        canvas.strokePath(square, Qt::black);
        canvas.scale(4, 4);
        canvas.strokeLine(QPointF(15, 2.6), QPointF(24, 2.6), Qt::black, 0);
    });
    EXPECT_EQ(alphaAt(image, 8, 10), 0);
    EXPECT_EQ(alphaAt(image, 10, 10), 255);
    EXPECT_EQ(alphaAt(image, 9, 30), 255); // square caps reach half the width out
    EXPECT_EQ(alphaAt(image, 51, 30), 255);
    // A zero width is one device pixel, not four.
    double column = 0;
    for (int y = 0; y < 40; ++y)
        column += alphaAt(image, 80, y) / 255.0;
    EXPECT_NEAR(column, 1.0, 0.1);
}

TEST(PainterCanvas, LinearGradientEndsAndExtension)
{
    const QGradientStops stops { { 0.0, Qt::red }, { 1.0, Qt::blue } };
    LinearGradient gradient { stops, QPointF(20, 0), QPointF(80, 0) };
    const QImage extended = renderCanvas(
        QSize(100, 10), [&](Canvas& canvas) { canvas.fillRect(QRectF(0, 0, 100, 10), gradient); });
    EXPECT_EQ(extended.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(extended.pixel(95, 5), qRgb(0, 0, 255));
    const QColor middle = extended.pixelColor(50, 5);
    EXPECT_NEAR(middle.red(), 128, 6);
    EXPECT_NEAR(middle.blue(), 128, 6);

    gradient.extendStart = false;
    gradient.extendEnd = false;
    const QImage limited = renderCanvas(QSize(100, 10),
        [&](Canvas& canvas) { canvas.fillPath(CanvasPath::fromRect(QRectF(0, 2, 100, 6)), gradient); });
    EXPECT_EQ(alphaAt(limited, 10, 5), 0);
    EXPECT_EQ(alphaAt(limited, 90, 5), 0);
    EXPECT_EQ(alphaAt(limited, 50, 5), 255);
    EXPECT_EQ(alphaAt(limited, 50, 0), 0); // clipped to the path as well
}

TEST(PainterCanvas, GradientsAcrossRectsFollowAngleAndCentre)
{
    const QGradientStops stops { { 0.0, Qt::white }, { 1.0, Qt::black } };
    const QRectF rect(0, 0, 40, 40);
    const QImage angled = renderCanvas(QSize(40, 40),
        [&](Canvas& canvas) { canvas.fillRect(rect, LinearGradient::acrossRect(rect, 90, stops)); });
    EXPECT_GT(qRed(angled.pixel(20, 0)), 245); // 90 degrees runs towards growing y
    EXPECT_LT(qRed(angled.pixel(20, 39)), 10);
    EXPECT_EQ(angled.pixel(0, 20), angled.pixel(39, 20));

    const QImage radial = renderCanvas(QSize(40, 40),
        [&](Canvas& canvas) { canvas.fillRect(rect, RadialGradient::inRect(rect, QPointF(-1, -1), stops)); });
    EXPECT_GT(qRed(radial.pixel(0, 0)), 245); // the centre sits at the top-left corner
    EXPECT_LT(qRed(radial.pixel(39, 39)), 10); // and the ramp ends at the farthest corner
    EXPECT_NEAR(qRed(radial.pixel(28, 0)), qRed(radial.pixel(0, 28)), 1);
}

TEST(PainterCanvas, PaintsThatCannotDrawDrawNothing)
{
    const QImage image = renderCanvas(QSize(20, 20), [](Canvas& canvas) {
        const QRectF all(0, 0, 20, 20);
        canvas.fillRect(all, QColor());
        canvas.fillRect(all, LinearGradient {});
        canvas.fillRect(all, RadialGradient { { { 0, Qt::red } }, QPointF(), -1, QPointF(), 5 });
        canvas.fillRect(all, CanvasPattern {});
        canvas.fillRect(QRectF(0, 0, std::nan(""), 5), Qt::red);
        canvas.fillRect(QRectF(0, 0, 1e300, 1e300), QColor(255, 0, 0, 0));
        canvas.drawImage(QImage(), all);
        canvas.setTransform(QTransform(std::nan(""), 0, 0, 1, 0, 0));
        EXPECT_EQ(canvas.transform(), QTransform());
    });
    EXPECT_EQ(alphaSum(image), 0.0);
}

TEST(PainterCanvas, PatternTilesRepeatInBaseSpace)
{
    QImage tile(2, 2, QImage::Format_ARGB32_Premultiplied);
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    tile.setPixel(1, 0, qRgb(0, 255, 0));
    tile.setPixel(0, 1, qRgb(0, 0, 255));
    tile.setPixel(1, 1, qRgb(255, 255, 255));
    auto check = [&](const QImage& image, int period, int shift) {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                ASSERT_EQ(image.pixel(x, y),
                    tile.pixel(int(std::floor(double(x - shift) / period)) & 1, y / period % 2))
                    << x << "," << y;
    };
    const CanvasPattern pattern { tile, QSizeF(), QPointF() };
    check(
        renderCanvas(QSize(12, 12), [&](Canvas& canvas) { canvas.fillRect(QRectF(0, 0, 12, 12), pattern); }),
        1, 0);
    // The user transform does not stretch the pattern.
    check(renderCanvas(QSize(12, 12),
              [&](Canvas& canvas) {
                  canvas.scale(3, 3);
                  canvas.fillRect(QRectF(0, 0, 4, 4), pattern);
              }),
        1, 0);
    // A tile of 2x2 device pixels per base unit on a bitmap of scale 2, moved by one unit.
    const CanvasPattern fine { tile, QSizeF(2, 2), QPointF(1, 0) };
    check(renderCanvas(
              QSize(12, 12), [&](Canvas& canvas) { canvas.fillRect(QRectF(0, 0, 6, 6), fine); }, 2.0),
        2, 2);
}

TEST(PainterCanvas, AlphaAndImageOpacityMultiply)
{
    QImage white(4, 4, QImage::Format_ARGB32_Premultiplied);
    white.fill(Qt::white);
    const QImage image = renderCanvas(QSize(40, 10), [&](Canvas& canvas) {
        canvas.setAlpha(0.5);
        canvas.fillRect(QRectF(0, 0, 10, 10), Qt::red);
        canvas.drawImage(white, QRectF(20, 0, 10, 10), QRectF(), 0.5);
        canvas.setAlpha(1.0);
        canvas.drawImage(white, QRectF(30, 0, 10, 10), QRectF(), 0.25);
        canvas.setAlpha(std::nan(""));
        EXPECT_EQ(canvas.alpha(), 1.0);
    });
    EXPECT_NEAR(alphaAt(image, 5, 5), 128, 1);
    EXPECT_NEAR(alphaAt(image, 25, 5), 64, 1);
    EXPECT_NEAR(alphaAt(image, 35, 5), 64, 1);
    EXPECT_EQ(alphaAt(image, 15, 5), 0);
}

TEST(PainterCanvas, YUpBitmapAtScaleTwo)
{
    OffscreenImage offscreen(QSize(40, 40), 2.0, true);
    ASSERT_TRUE(offscreen.isValid());
    Canvas& canvas = *offscreen.canvas();
    EXPECT_EQ(canvas.deviceScale(), 2.0);
    EXPECT_EQ(canvas.target(), CanvasTarget::Bitmap);
    EXPECT_TRUE(canvas.isDrawingToScreen());
    EXPECT_EQ(canvas.clipBounds(), QRectF(0, 0, 20, 20));
    canvas.fillRect(QRectF(0, 0, 5, 5), Qt::black);
    EXPECT_EQ(canvas.deviceTransform().map(QPointF(5, 5)), QPointF(10, 30));
    const QImage image = offscreen.takeImage();
    EXPECT_EQ(offscreen.canvas(), nullptr);
    EXPECT_EQ(image.size(), QSize(40, 40));
    EXPECT_EQ(image.devicePixelRatio(), 1.0);
    EXPECT_EQ(alphaAt(image, 5, 35), 255); // bottom-left
    EXPECT_EQ(alphaAt(image, 5, 5), 0);
    EXPECT_NEAR(alphaSum(image), 100, 0.5);
}

TEST(OffscreenImage, RefusesAbsurdSizesWithoutAllocating)
{
    EXPECT_FALSE(OffscreenImage(QSize(0, 10)).isValid());
    EXPECT_FALSE(OffscreenImage(QSize(-5, 10)).isValid());
    EXPECT_FALSE(OffscreenImage(QSize(OffscreenImage::kMaxSide + 1, 1)).isValid());
    EXPECT_FALSE(OffscreenImage(QSize(30000, 30000)).isValid()); // 3.6 GB
    EXPECT_FALSE(OffscreenImage(QSize(10, 10), std::nan("")).isValid());
    EXPECT_FALSE(OffscreenImage(QSize(10, 10), 0.0).isValid());
    EXPECT_FALSE(OffscreenImage(QSize(10, 10), -1.0).isValid());
    OffscreenImage refused(QSize(0, 0));
    EXPECT_EQ(refused.canvas(), nullptr);
    EXPECT_TRUE(refused.takeImage().isNull());

    EXPECT_EQ(OffscreenImage::pixelSizeFor(QSizeF(10.2, 3), 2.0), QSize(21, 6));
    EXPECT_EQ(OffscreenImage::pixelSizeFor(QSizeF(std::nan(""), 3), 2.0), QSize());
    EXPECT_EQ(OffscreenImage::pixelSizeFor(QSizeF(1e300, 3), 1.0), QSize());
    EXPECT_EQ(OffscreenImage::pixelSizeFor(QSizeF(10, 10), std::numeric_limits<double>::infinity()), QSize());
    EXPECT_EQ(OffscreenImage::pixelSizeFor(QSizeF(0, 10), 1.0), QSize());
}

TEST(PainterCanvas, HighDensityDeviceAndBorrowedPainterComeBackUnchanged)
{
    QImage image(20, 20, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2.0);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(1, 1);
    {
        PainterCanvas canvas(&painter);
        EXPECT_EQ(canvas.deviceScale(), 2.0);
        EXPECT_EQ(canvas.transform(), QTransform()); // the painter's transform is the base
        canvas.translate(2, 0);
        canvas.save();
        canvas.clipToRect(QRectF(0, 0, 1, 1));
        canvas.fillRect(QRectF(0, 0, 4, 4), Qt::red);
    }
    EXPECT_EQ(painter.worldTransform(), QTransform::fromTranslate(1, 1));
    EXPECT_FALSE(painter.hasClipping());
    painter.end();
    image.setDevicePixelRatio(1.0);
    EXPECT_NEAR(alphaSum(image), 4, 0.01); // one unit square = 2x2 device pixels
    EXPECT_EQ(alphaAt(image, 6, 2), 255);
}

TEST(PainterCanvas, WithoutAPainterEveryCallIsHarmless)
{
    QImage null;
    PainterCanvas onNull(static_cast<QPaintDevice*>(&null));
    PainterCanvas onNothing(static_cast<QPainter*>(nullptr));
    for (PainterCanvas* canvas : { &onNull, &onNothing }) {
        EXPECT_FALSE(canvas->isActive());
        canvas->save();
        canvas->translate(5, 5);
        canvas->clipToRect(QRectF(0, 0, 1, 1));
        canvas->fillRect(QRectF(0, 0, 10, 10), Qt::red);
        canvas->strokeLine(QPointF(), QPointF(10, 10), Qt::red, 1);
        canvas->beginTransparencyLayer(0.5);
        canvas->endTransparencyLayer();
        canvas->restore();
        EXPECT_EQ(canvas->saveDepth(), 0);
        EXPECT_EQ(canvas->transform(), QTransform());
        EXPECT_TRUE(canvas->clipBounds().isEmpty());
        canvas->finish();
    }
}

TEST(PainterCanvas, PdfOutputKeepsImagesLosslessAndSaysItIsNotAScreen)
{
    // Noise, which a lossy encoder would certainly have chosen to compress.
    QImage noise(64, 64, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            noise.setPixel(x, y, qRgb((x * 73 + y * 151) % 256, (x * x + y) % 256, (x ^ y) * 4 % 256));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        PainterCanvas canvas(static_cast<QPaintDevice*>(&writer));
        ASSERT_TRUE(canvas.isActive());
        EXPECT_EQ(canvas.target(), CanvasTarget::Pdf);
        EXPECT_FALSE(canvas.isDrawingToScreen());
        EXPECT_FALSE(canvas.isPrinting());
        canvas.drawImage(noise, QRectF(0, 0, 2000, 2000));
        // Modes that need the destination's pixels and translucent layers still draw.
        canvas.drawImage(noise, QRectF(0, 2000, 2000, 2000), QRectF(), 0.5, CompositionMode::PlusDarker);
        canvas.setShadow(CanvasShadow { QPointF(20, 20), 40, Qt::black });
        canvas.beginTransparencyLayer(0.5);
        canvas.fillRect(QRectF(2000, 0, 1000, 1000), Qt::red);
        canvas.endTransparencyLayer();
    }
    const QByteArray pdf = buffer.data();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_GE(pdf.count("/Subtype /Image"), 2);
    EXPECT_FALSE(pdf.contains("DCTDecode"));
}

} // namespace
} // namespace zandrel
