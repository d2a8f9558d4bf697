// How far a curve's stroke reaches: exact figures for a few corners, and, for random outlines,
// never less than what Qt's stroker paints for the same path and never much more.
#include "graphics/StrokeReach.h"

#include "CurveTestSupport.h"

#include <QPainterPathStroker>
#include <QRandomGenerator>
#include <cmath>

namespace zandrel {
namespace {

using namespace test;

// The outline a canvas paints for a stroke of the curve (butt caps, bevels past the miter limit).
QRectF paintedBounds(const Curve& curve, double width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::SvgMiterJoin);
    stroker.setMiterLimit(CanvasPath::kDefaultMiterLimit);
    return stroker.createStroke(curve.createNSBezierPath().painterPath()).boundingRect();
}

bool doublesBack(const Curve& curve)
{
    QPointF current;
    for (const DrawCommand& command : curve.getDrawCommands()) {
        if (command.command() == DrawCommandQuadCurve && command.point2() == current)
            return true;
        if (command.command() <= DrawCommandLine)
            current = command.point1();
        else if (command.command() == DrawCommandQuadCurve)
            current = command.point2();
    }
    return false;
}

TEST(StrokeReachTest, SharpCornersReachBeyondHalfTheWidth)
{
    const double root5 = std::sqrt(5.0);
    const double goldenHalf = (root5 + 1) / 2;
    const struct {
        const char* name;
        std::shared_ptr<Curve> curve;
        double width;
        QRectF expected;
    } cases[] = {
        { "square: right-angle miters stay within half the width",
            makeCurve({ { 0, 0, true }, { 100, 0, true }, { 100, 100, true }, { 0, 100, true } }, true), 20,
            QRectF(-10, -10, 120, 120) },
        { "triangle: apex and base corners reach out",
            makeCurve({ { 0, 100, true }, { 50, 0, true }, { 100, 100, true } }, true), 10,
            QRectF(QPointF(-5 * goldenHalf, -5 * root5), QPointF(100 + 5 * goldenHalf, 105)) },
        { "open V: only the apex, butt ends",
            makeCurve({ { 0, 100, true }, { 50, 0, true }, { 100, 100, true } }), 10,
            QRectF(QPointF(-5, -5 * root5), QPointF(105, 105)) },
        { "spike past the miter limit is bevelled",
            makeCurve({ { 0, 100, true }, { 1, 0, true }, { 2, 100, true } }), 10, QRectF(-5, -5, 12, 110) },
        { "quadratic arriving straight up turns at a corner towards (100, 100)",
            makeCurve({ { 0, 100, true }, { 50, 100, false }, { 50, 0, true }, { 100, 100, true } }), 10,
            QRectF(QPointF(-5, -5 * (root5 + 2)), QPointF(105, 105)) },
        { "no width", makeCurve({ { 0, 100, true }, { 50, 0, true }, { 100, 100, true } }, true), 0,
            QRectF(0, 0, 100, 100) },
    };
    for (const auto& c : cases) {
        const QRectF bounds = c.curve->getStrokeBounds(c.width);
        EXPECT_NEAR(bounds.left(), c.expected.left(), 1e-9) << c.name;
        EXPECT_NEAR(bounds.top(), c.expected.top(), 1e-9) << c.name;
        EXPECT_NEAR(bounds.right(), c.expected.right(), 1e-9) << c.name;
        EXPECT_NEAR(bounds.bottom(), c.expected.bottom(), 1e-9) << c.name;
        if (c.width > 0) {
            const QRectF painted = paintedBounds(*c.curve, c.width);
            EXPECT_TRUE(bounds.adjusted(-1e-3, -1e-3, 1e-3, 1e-3).contains(painted)) << c.name;
        }
    }
}

// Random outlines of lines and quadratics, open and closed: the bounds hold everything the
// stroke paints, and lie within about half a width of it (a bevelled extreme corner paints less).
TEST(StrokeReachTest, BoundsHoldWhatTheStrokerPaints)
{
    QRandomGenerator random(20240611);
    for (int trial = 0; trial < 400; ++trial) {
        auto curve = std::make_shared<Curve>();
        const int points = 2 + int(random.bounded(8));
        for (int i = 0; i < points; ++i)
            curve->addPoint(QPointF(random.bounded(200.0), random.bounded(200.0)), random.bounded(3) != 0);
        curve->setClosed(random.bounded(2) == 0);
        const double width = 1 + random.bounded(40.0);
        const QRectF bounds = curve->getStrokeBounds(width);
        const QRectF painted = paintedBounds(*curve, width);
        const double slack = 1e-3 * width;
        EXPECT_TRUE(bounds.adjusted(-slack, -slack, slack, slack).contains(painted))
            << trial << ": " << painted.x() << ' ' << painted.y() << ' ' << painted.right() << ' '
            << painted.bottom() << " outside " << bounds.x() << ' ' << bounds.y() << ' ' << bounds.right()
            << ' ' << bounds.bottom();
        // Qt's stroker falls short of the turning point of a curve that comes back to where it
        // started; elsewhere, a corner's tip counted wrongly would be off by several widths.
        const double loose = width / 2 + 1e-3 * width;
        if (!doublesBack(*curve))
            EXPECT_TRUE(painted.adjusted(-loose, -loose, loose, loose).contains(bounds)) << trial;
        // Moving the curve moves its corners' tips with it.
        curve->offsetBy(QPointF(30, -20));
        const QRectF moved = curve->getStrokeBounds(width);
        EXPECT_NEAR(moved.x(), bounds.x() + 30, 1e-3) << trial;
        EXPECT_NEAR(moved.bottom(), bounds.bottom() - 20, 1e-3) << trial;
    }
}

} // namespace
} // namespace zandrel
