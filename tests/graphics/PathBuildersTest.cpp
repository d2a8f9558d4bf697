#include "graphics/PathBuilders.h"

#include "CurveTestSupport.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QImage>
#include <cmath>

namespace zandrel {
namespace {

using namespace test;

std::vector<QPainterPath::Element> elements(const CanvasPath& path)
{
    std::vector<QPainterPath::Element> v;
    for (int i = 0; i < path.elementCount(); ++i)
        v.push_back(path.elementAt(i));
    return v;
}

TEST(PathBuildersTest, BuildersWalkTheCommands)
{
    const DrawCommandList moveLineClose { move(1, 2), line(5, 2), mark(), close() };
    for (const CanvasPath& path :
        { createCGPathFromDrawCommands(moveLineClose), createNSBezierPathFromDrawCommands(moveLineClose),
            createClosedNSBezierPathFromDrawCommands(moveLineClose) }) {
        const auto e = elements(path);
        // One closed subpath of two points; closing returns to the start.
        ASSERT_EQ(e.size(), 3u);
        EXPECT_TRUE(e[0].isMoveTo());
        EXPECT_EQ(QPointF(e[1]), QPointF(5, 2));
        EXPECT_EQ(QPointF(e[2]), QPointF(1, 2));
    }
    EXPECT_TRUE(createCGPathFromDrawCommands({}).isEmpty());
    EXPECT_TRUE(createNSBezierPathFromDrawCommands({ mark(), DrawCommand(9, 1, 1) }).isEmpty());
    EXPECT_EQ(createCGPathFromDrawCommands({}).windingRule(), WindingRule::NonZero);
    EXPECT_EQ(createNSBezierPathFromDrawCommands({}).windingRule(), WindingRule::EvenOdd);
    EXPECT_EQ(createClosedNSBezierPathFromDrawCommands({}).windingRule(), WindingRule::EvenOdd);
}

TEST(PathBuildersTest, QuadraticsRaisedToCubicsInSinglePrecision)
{
    const DrawCommandList commands { move(0, 0), quad(3, 3, 6, 0) };
    const auto e = elements(createNSBezierPathFromDrawCommands(commands));
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[1].type, QPainterPath::CurveToElement);
    EXPECT_EQ(QPointF(e[1]), QPointF(3 * double(0.6666667f), 3 * double(0.6666667f)));
    EXPECT_EQ(QPointF(e[2]), QPointF(6 - 3 * double(0.6666667f), 3 * double(0.6666667f)));
    EXPECT_EQ(QPointF(e[3]), QPointF(6, 0));

    // A control point on the chord gives a straight cubic: every control point on the line.
    const auto straight = elements(createNSBezierPathFromDrawCommands({ move(0, 0), quad(2, 1, 8, 4) }));
    for (const auto& element : straight)
        EXPECT_NEAR(element.y, element.x / 2, 1e-6);

    // The quadratic builder keeps the quadratic's shape exactly.
    const CanvasPath q = createCGPathFromDrawCommands(commands);
    EXPECT_NEAR(q.bounds().height(), 1.5, 1e-9);
}

TEST(PathBuildersTest, ClosingBuilderClosesEverySubpathButTheLast)
{
    const DrawCommandList commands { move(0, 0), line(10, 0), move(0, 5), line(10, 5) };
    const auto closed = elements(createClosedNSBezierPathFromDrawCommands(commands));
    const auto plain = elements(createNSBezierPathFromDrawCommands(commands));
    // The first subpath gains a line back to its start; the second stays open.
    ASSERT_EQ(closed.size(), 5u);
    ASSERT_EQ(plain.size(), 4u);
    EXPECT_EQ(QPointF(closed[2]), QPointF(0, 0));
    EXPECT_TRUE(closed[3].isMoveTo());
    EXPECT_EQ(QPointF(closed[4]), QPointF(10, 5));
    // A close clears the flag: no second close before the next move.
    const auto once = elements(createClosedNSBezierPathFromDrawCommands(
        { move(0, 0), line(10, 0), line(10, 10), close(), move(20, 0), line(30, 0) }));
    EXPECT_EQ(once.size(), 6u);
}

TEST(PathBuildersTest, RoundedCorner)
{
    CanvasPath path;
    path.moveTo(QPointF(0, 0));
    appendRoundedCorner(path, QPointF(10, 0), QPointF(10, 10), 2);
    const auto e = elements(path);
    ASSERT_EQ(e.size(), 5u);
    // Lengths are single precision, so the points are within float rounding.
    EXPECT_NEAR(e[1].x, 8, 1e-6);
    EXPECT_EQ(e[1].y, 0);
    EXPECT_NEAR(e[2].x, 8 + 2 * 0.55191505, 1e-6);
    EXPECT_NEAR(e[2].y, 0, 1e-9);
    EXPECT_NEAR(e[3].x, 10, 1e-9);
    EXPECT_NEAR(e[3].y, 2 * 0.44808495, 1e-6);
    EXPECT_EQ(e[4].x, 10);
    EXPECT_NEAR(e[4].y, 2, 1e-6);

    // The corner at the current point: the line has no length (the path drops it), and the curve
    // runs from the corner.
    CanvasPath atCorner;
    atCorner.moveTo(QPointF(5, 5));
    appendRoundedCorner(atCorner, QPointF(5, 5), QPointF(5, 15), 3);
    const auto c = elements(atCorner);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[1].type, QPainterPath::CurveToElement);
    EXPECT_EQ(QPointF(c[1]), QPointF(5, 5));
    EXPECT_EQ(c[3].x, 5);
    EXPECT_NEAR(c[3].y, 8, 1e-6);

    EXPECT_EQ(floatAbs(-2.0f), 2.0f);
    EXPECT_EQ(floatAbs(3.5f), 3.5f);
}

// Pixels of an image drawn through a canvas, compared channel by channel.
bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

TEST(PathBuildersTest, CheckerboardRendering)
{
    OffscreenImage target(QSize(40, 24));
    ASSERT_TRUE(target.isValid());
    {
        // Drawing "in the current context".
        CanvasScope scope(target.canvas());
        fillRectWithCheckerboard(nullptr, QColor(), QColor(), QRectF(0, 0, 32, 16), 8);
        fillRectWithCheckerboard(nullptr, QColor(255, 0, 0), QColor(0, 0, 255), QRectF(32, 16, 8, 8), 4);
    }
    const QImage image = target.takeImage().convertToFormat(QImage::Format_ARGB32);
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QRgb expected = qRgba(0, 0, 0, 0);
            if (x < 32 && y < 16) {
                // White at each cell's origin and on its diagonal, black elsewhere.
                const bool first = ((x % 8) < 4) == ((y % 8) < 4);
                expected = first ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
            } else if (x >= 32 && y >= 16) {
                const bool first = ((x % 4) < 2) == ((y % 4) < 2);
                expected = first ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
            }
            mismatches += !near(image.pixel(x, y), expected, 2);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PathBuildersTest, CheckerboardFollowsTheDeviceResolution)
{
    // At twice the resolution the squares are still 4 base units: 8 pixels.
    OffscreenImage target(QSize(32, 32), 2.0);
    fillRectWithCheckerboard(target.canvas(), QColor(), QColor(), QRectF(0, 0, 16, 16), 8);
    const QImage image = target.takeImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.pixel(7, 7), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(8, 7), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(12, 12), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(17, 1), qRgb(255, 255, 255));
}

TEST(PathBuildersTest, HatchRendering)
{
    const QColor a(200, 40, 40);
    const QColor b(40, 40, 200);
    OffscreenImage target(QSize(48, 32));
    ASSERT_TRUE(target.isValid());
    // Transforms of the user space do not move the pattern, which lies in the base space.
    target.canvas()->translate(3, 5);
    fillRectWithHatchPattern(target.canvas(), a, b, QRectF(-3, -5, 48, 32));
    const QImage image = target.takeImage().convertToFormat(QImage::Format_ARGB32);
    int checked = 0;
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            // Stripes 4 units wide along x that rise to the right: x + y constant along a stripe.
            // Pixel centres on a stripe edge are half covered; they are left out.
            const int s = (x + y + 1) % 8;
            if (s % 4 == 0)
                continue;
            ++checked;
            mismatches += !near(image.pixel(x, y), (s < 4 ? a : b).rgb(), 3);
        }
    }
    EXPECT_GT(checked, 48 * 32 / 2);
    EXPECT_EQ(mismatches, 0);

    // A missing colour leaves its stripes empty.
    OffscreenImage half(QSize(8, 8));
    fillRectWithHatchPattern(half.canvas(), a, QColor(), QRectF(0, 0, 8, 8));
    const QImage h = half.takeImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_TRUE(near(h.pixel(1, 1), a.rgb(), 3)); // s = 3
    EXPECT_EQ(qAlpha(h.pixel(3, 2)), 0); // s = 6
}

TEST(PathBuildersTest, PatternFillsWithoutACanvasOrWithBadSizesDoNothing)
{
    fillRectWithCheckerboard(nullptr, QColor(), QColor(), QRectF(0, 0, 10, 10), 8);
    fillRectWithHatchPattern(nullptr, Qt::red, Qt::blue, QRectF(0, 0, 10, 10));
    OffscreenImage target(QSize(8, 8));
    for (float size : { 0.0f, -8.0f, std::nanf(""), INFINITY })
        fillRectWithCheckerboard(target.canvas(), QColor(), QColor(), QRectF(0, 0, 8, 8), size);
    // A huge cell is drawn from a capped tile: still one colour per quarter.
    fillRectWithCheckerboard(target.canvas(), QColor(), QColor(), QRectF(0, 0, 8, 8), 1e7f);
    const QImage image = target.takeImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.pixel(7, 7), qRgb(255, 255, 255));
}

} // namespace
} // namespace zandrel
