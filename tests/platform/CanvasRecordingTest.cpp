// A recording replayed onto a bitmap, whole or band by band, paints what drawing straight through
// the canvas paints, pixel for pixel; device outlines flatten within their tolerance and a band
// keeps only the segments that reach its rows; an outline slot makes its outline once.
#include "platform/CanvasRecording.h"

#include "CanvasTestSupport.h"
#include "platform/DeviceOutlines.h"
#include "platform/PainterCanvas.h"
#include "support/TestSupport.h"

#include <QPaintEngine>
#include <QPainter>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace zandrel {
namespace {

constexpr QSize kImage(320, 480);

QPainterPath randomCurve(std::mt19937& random, bool closed)
{
    std::uniform_real_distribution<double> place(-10, 110);
    QPainterPath path;
    path.moveTo(place(random), place(random) * 1.5);
    for (int k = 0; k < 3; ++k)
        path.cubicTo(place(random), place(random) * 1.5, place(random), place(random) * 1.5, place(random),
            place(random) * 1.5);
    if (closed)
        path.closeSubpath();
    return path;
}

// Fills, wide, thin and dashed strokes, gradients if asked, a picture, rect clips, a translucent
// layer and a shadow cast far below its shape, at three device pixels to the unit.
void drawScene(Canvas& canvas, unsigned seed, bool gradients)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> channel(0, 255);
    const auto color
        = [&] { return QColor(channel(random), channel(random), channel(random), channel(random)); };
    canvas.scale(3, 3);
    for (int i = 0; i < 30; ++i) {
        canvas.save();
        if (i % 7 == 3)
            canvas.clipToRect(QRectF(10, 20, 60, 90));
        CanvasPath path(randomCurve(random, i % 3 != 0), i % 2 ? WindingRule::EvenOdd : WindingRule::NonZero);
        if (gradients && i % 5 == 1) {
            LinearGradient gradient;
            gradient.start = QPointF(0, 0);
            gradient.end = QPointF(100, 150);
            gradient.stops = { { 0.0, color() }, { 1.0, color() } };
            canvas.fillPath(path, CanvasPaint(gradient));
        } else {
            canvas.fillPath(path, CanvasPaint(color()));
        }
        path.setLineWidth(i % 4 == 0 ? 0.2 : 0.5 + i % 3);
        path.setLineJoin(LineJoin(i % 3));
        path.setLineCap(LineCap(i % 3));
        if (i % 6 == 5)
            path.setDash({ 4, 2 });
        canvas.strokePath(path, CanvasPaint(color()));
        canvas.restore();
    }
    canvas.beginTransparencyLayer(0.6);
    canvas.fillPath(CanvasPath::fromEllipse(QRectF(20, 40, 50, 60)), CanvasPaint(QColor(Qt::darkGreen)));
    canvas.fillRect(QRectF(40, 70, 30, 30), CanvasPaint(QColor(Qt::magenta)));
    canvas.endTransparencyLayer();
    QImage picture(8, 8, QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(200, 30, 60, 180));
    canvas.drawImage(picture, QRectF(60, 120, 30, 20));
    canvas.save();
    canvas.setShadow(CanvasShadow { QPointF(0, 90), 4.0, QColor(0, 0, 0, 160) });
    canvas.fillRect(QRectF(70, 5, 20, 10), CanvasPaint(QColor(Qt::blue)));
    canvas.restore();
}

QImage transparentImage()
{
    QImage image(kImage, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// Replays into the rows of each band in turn, each through a canvas of its own limited to them,
// as the bands of a large image do.
QImage replayInBands(const CanvasRecording& recording, const std::vector<int>& edges)
{
    QImage image = transparentImage();
    for (size_t band = 0; band + 1 < edges.size(); ++band) {
        const QRect rows(0, edges[band], kImage.width(), edges[band + 1] - edges[band]);
        QImage view(image.bits(), image.width(), image.height(), image.bytesPerLine(), image.format());
        view.paintEngine()->setSystemClip(QRegion(rows));
        QPainter painter(&view);
        PainterCanvas canvas(&painter, CanvasTarget::Bitmap);
        canvas.setDrawsSharedModel(true);
        canvas.setDrawsOutlines(true);
        canvas.limitToDeviceRect(rows);
        recording.replay(canvas, rows);
    }
    return image;
}

class CanvasRecordingTest : public ::testing::TestWithParam<std::tuple<unsigned, bool>> { };

TEST_P(CanvasRecordingTest, ReplaysPaintWhatDrawingPaints)
{
    const auto [seed, gradients] = GetParam();
    QImage straight = transparentImage();
    {
        PainterCanvas canvas(&straight);
        canvas.setDrawsOutlines(true);
        drawScene(canvas, seed, gradients);
    }
    CanvasRecording recording;
    drawScene(recording, seed, gradients);
    EXPECT_GT(recording.operationCount(), 120u);

    const QImage whole = replayInBands(recording, { 0, kImage.height() });
    EXPECT_EQ(test::pixelDifference(whole, straight).pixels, 0);
    // Bands of a few rows and bands of many: each band paints its rows exactly as the whole does,
    // the shadow cast into bands its shape misses included. Gradients alone may round a level
    // apart, where Qt starts their spans afresh at a band's first row.
    for (const std::vector<int>& edges :
        { std::vector<int> { 0, 1, 7, 40, 41, 100, 199, 250, 480 }, std::vector<int> { 0, 161, 322, 480 } }) {
        const test::PixelDifference d = test::pixelDifference(replayInBands(recording, edges), straight);
        EXPECT_LE(d.largest, gradients ? 1 : 0) << edges.size() << " edges";
        EXPECT_LE(d.pixels, gradients ? 20 : 0) << edges.size() << " edges";
    }
    // With the outlines made ahead by several threads at once, the bands fill from them alike.
    std::atomic<size_t> next { 0 };
    std::vector<std::thread> makers;
    for (int i = 0; i < 3; ++i)
        makers.emplace_back([&] { recording.makeOutlines(next, QRect(QPoint(0, 0), kImage)); });
    for (std::thread& maker : makers)
        maker.join();
    const test::PixelDifference ahead
        = test::pixelDifference(replayInBands(recording, { 0, 1, 7, 40, 41, 100, 199, 250, 480 }), straight);
    EXPECT_LE(ahead.largest, gradients ? 1 : 0);
    EXPECT_LE(ahead.pixels, gradients ? 20 : 0);
    // Drawn at all: the shadow lands 270 rows below its shape.
    EXPECT_GT(qAlpha(whole.pixel(240, 300)), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Seeds, CanvasRecordingTest, ::testing::Combine(::testing::Values(1u, 2u, 3u, 4u), ::testing::Bool()));

// Filling an outline paints the very pixels Qt's own fill or stroke of the path paints, under
// scales, a stretch and a rotation; the outline of a stroke of a closed path is two contours.
TEST(DeviceOutline, OutlinesFillWhatQtPaints)
{
    const QTransform transforms[] = { QTransform::fromScale(300.0 / 72, 300.0 / 72),
        QTransform::fromScale(2, 3), QTransform().rotate(20).scale(3, 3) };
    for (const QTransform& toDevice : transforms) {
        QImage byQt(900, 900, QImage::Format_ARGB32_Premultiplied);
        byQt.fill(Qt::transparent);
        QImage byOutline = byQt;
        QPainter qt(&byQt);
        QPainter outlines(&byOutline);
        qt.setRenderHint(QPainter::Antialiasing);
        outlines.setRenderHint(QPainter::Antialiasing);
        qt.setTransform(toDevice);
        std::mt19937 random(7);
        for (int i = 0; i < 24; ++i) {
            const QPainterPath path = randomCurve(random, i % 2 == 1);
            const QColor color(20 + 9 * i, 40, 200, 180);
            if (i % 3 == 0) {
                qt.fillPath(path, color);
                outlines.fillPath(DeviceOutline::of(path, toDevice).path(), color);
                continue;
            }
            const QPen pen(color, 0.8 + i % 4, Qt::SolidLine, Qt::PenCapStyle(0x10 * (i % 3)),
                i % 2 ? Qt::SvgMiterJoin : Qt::RoundJoin);
            ASSERT_TRUE(DeviceOutline::strokesAsOutline(pen, toDevice));
            qt.strokePath(path, pen);
            outlines.fillPath(DeviceOutline::of(path, toDevice, &pen).path(), color);
        }
        qt.end();
        outlines.end();
        EXPECT_EQ(test::pixelDifference(byOutline, byQt).pixels, 0)
            << toDevice.m11() << " " << toDevice.m12();
        EXPECT_GT(test::alphaSum(byQt), 10000.0);
    }

    QPainterPath circle;
    circle.addEllipse(QPointF(50, 60), 40, 40);
    QPen pen(Qt::black, 4.0);
    EXPECT_EQ(DeviceOutline::of(circle, QTransform(), &pen).contourEnds.size(), 2u);
    // Hairlines are Qt's to draw, and dashes under a transform that does not keep angles.
    const QTransform toDevice = QTransform::fromScale(2.5, 2.5);
    EXPECT_FALSE(DeviceOutline::strokesAsOutline(QPen(Qt::black, 0.3), toDevice));
    pen.setDashPattern({ 2, 1 });
    EXPECT_TRUE(DeviceOutline::strokesAsOutline(pen, toDevice));
    EXPECT_FALSE(DeviceOutline::strokesAsOutline(pen, QTransform::fromScale(2, 3)));
    EXPECT_TRUE(DeviceOutline::strokesAsOutline(pen, QTransform().rotate(30).scale(-2, 2)));
    EXPECT_TRUE(DeviceOutline::of(circle, QTransform::fromScale(qInf(), 1)).points.empty());
}

TEST(DeviceOutline, ABandKeepsTheSegmentsThatReachItsRows)
{
    QPainterPath circle;
    circle.addEllipse(QPointF(0, 0), 1000, 1000);
    const DeviceOutline outline = DeviceOutline::of(circle, QTransform());
    const size_t all = outline.path().elementCount();
    ASSERT_EQ(all, outline.points.size());
    // Rows 0 to 9 cross the circle twice, near its sides: a few points each side, and the two
    // chords that stand for the arcs above and below.
    const QPainterPath band = outline.pathForRows(0, 10);
    EXPECT_LT(band.elementCount(), 30);
    for (int i = 0; i < band.elementCount(); ++i) {
        const double y = band.elementAt(i).y;
        const double next = band.elementAt((i + 1) % band.elementCount()).y;
        // Every segment either touches the rows or lies wholly beyond one of their sides.
        const bool touches = std::max(y, next) >= -1 && std::min(y, next) <= 11;
        const bool beyond = (y < -1 && next < -1) || (y > 11 && next > 11);
        EXPECT_TRUE(touches || beyond) << i;
    }
    EXPECT_TRUE(outline.pathForRows(2000, 2100).isEmpty());

    // A contour wholly within the rows keeps every point; one wholly beyond them, none.
    QPainterPath two;
    two.addEllipse(QPointF(0, 50), 5, 5);
    two.addEllipse(QPointF(0, 500), 5, 5);
    const DeviceOutline both = DeviceOutline::of(two, QTransform::fromScale(2, 2));
    ASSERT_EQ(both.contourEnds.size(), 2u);
    const int first = both.contourEnds.front();
    EXPECT_EQ(both.pathForRows(80, 120).elementCount(), first);
    EXPECT_EQ(both.pathForRows(980, 1020).elementCount(), both.contourEnds.back() - first);
    EXPECT_TRUE(both.pathForRows(300, 400).isEmpty());
}

TEST(DeviceOutline, ASlotMakesItsOutlineOnceForEveryBand)
{
    QPainterPath path;
    path.addEllipse(QRectF(0, 0, 30, 20));
    const QTransform toDevice = QTransform::fromScale(4, 4);
    OutlineSlot slot;
    std::vector<std::shared_ptr<const DeviceOutline>> outlines(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < outlines.size(); ++i)
        threads.emplace_back([&, i] { outlines[i] = slot.outline(path, toDevice, nullptr); });
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& outline : outlines)
        EXPECT_EQ(outline.get(), outlines.front().get());
    // Another transform (a layer's bitmap) gets an outline of its own.
    const auto other = slot.outline(path, QTransform::fromScale(2, 2), nullptr);
    EXPECT_NE(other.get(), outlines.front().get());
    EXPECT_LT(other->points.size(), outlines.front()->points.size());
    const QPen pen(Qt::black, 2.0);
    EXPECT_EQ(slot.outline(path, toDevice, &pen)->contourEnds.size(), 2u);
}

} // namespace
} // namespace zandrel
