#include "graphics/CurvePoint.h"

#include "graphics/DrawCommand.h"

#include <QTransform>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

struct AlignmentCase {
    QPointF other;
    float tolerance;
    PointAlignment expected;
};

TEST(CurvePointTest, AlignmentOfPointsAgainstTheOrigin)
{
    const AlignmentCase cases[] = {
        { { 10, 1 }, 0.2f, PointAlignmentHorizontal },
        { { -10, 1 }, 0.2f, PointAlignmentHorizontal }, // the other side: |angle - pi| counts
        { { 1, 10 }, 0.2f, PointAlignmentVertical },
        { { 1, -10 }, 0.2f, PointAlignmentVertical },
        { { 10, 10 }, 0.2f, PointAlignmentNone },
        { { 0, 0 }, 0.2f, PointAlignmentEqual },
        { { 0, 0 }, -1.0f, PointAlignmentEqual },
        // Above pi/4 the tolerance is pi/4: 42 degrees still counts as horizontal ...
        { { 10, 9 }, 5.0f, PointAlignmentHorizontal },
        { { 10, 9 }, 0.5f, PointAlignmentNone },
        // ... and exactly 45 degrees is horizontal, since that test comes first.
        { { 10, 10 }, 5.0f, PointAlignmentHorizontal },
        // A negative tolerance is 0: only exact directions count.
        { { 10, 0.001 }, -1.0f, PointAlignmentNone },
        { { -10, 0 }, -1.0f, PointAlignmentHorizontal },
        { { 10, 0.001 }, std::numeric_limits<float>::quiet_NaN(), PointAlignmentNone },
        // The editor's 15 degrees.
        { { 10, 2.6 }, 0.2617994f, PointAlignmentHorizontal },
        { { 10, 2.7 }, 0.2617994f, PointAlignmentNone },
    };
    const CurvePoint origin(0, 0, true);
    for (const AlignmentCase& c : cases) {
        const CurvePoint other(float(c.other.x()), float(c.other.y()), false);
        EXPECT_EQ(origin.getPointAlignmentWith(other, c.tolerance), c.expected)
            << "other (" << c.other.x() << ", " << c.other.y() << ") tolerance " << c.tolerance;
    }
}

TEST(CurvePointTest, CoordinatesRoundThroughFloat)
{
    CurvePoint p(0.1f, 0.2f, true);
    EXPECT_EQ(p.point(), QPointF(double(0.1f), double(0.2f)));
    p.setPoint(QPointF(0.1, 1e10 + 0.3));
    EXPECT_EQ(p.x(), 0.1f);
    EXPECT_EQ(p.point().x(), 0.1); // the double is kept
    EXPECT_EQ(p.y(), float(1e10 + 0.3));

    // The other point's coordinates pass through float; the receiver's do not.
    const CurvePoint a(0, 0, true);
    CurvePoint b;
    b.setPoint(QPointF(0.1, 0.3));
    EXPECT_EQ(a.midwayPointTo(b), QPointF(double(0.1f) / 2, double(0.3f) / 2));
    EXPECT_EQ(b.midwayPointTo(a), QPointF(0.05, 0.15));

    EXPECT_EQ(CurvePoint(1, 1, true).distanceTo(CurvePoint(4, 5, false)), 5.0f);
    EXPECT_EQ(a.distanceTo(b), hypotf(0.1f, 0.3f));
}

TEST(CurvePointTest, MovesAndTransforms)
{
    auto p = CurvePoint::curvePointAtX(2, 3, false);
    EXPECT_FALSE(p->onCurve());
    p->offsetBy(QPointF(0.5, -1));
    EXPECT_EQ(p->point(), QPointF(2.5, 2));
    p->transformBy(QTransform().translate(10, 0).scale(2, 2));
    EXPECT_EQ(p->point(), QPointF(15, 4));

    auto copy = CurvePoint::initByCopying(*p);
    EXPECT_NE(copy, p);
    EXPECT_EQ(copy->point(), p->point());
    EXPECT_EQ(copy->onCurve(), p->onCurve());

    // The point at the middle of the rect goes to the middle of the quad.
    const QPointF quad[4] = { { 0, 0 }, { 100, 0 }, { 0, 50 }, { 100, 50 } };
    CurvePoint q(5, 5, true);
    q.perspectiveTransformFrom(QRectF(0, 0, 10, 10), quad);
    EXPECT_EQ(q.point(), QPointF(50, 25));
    q.perspectiveTransformFrom(QRectF(0, 0, 10, 10), nullptr);
    EXPECT_EQ(q.point(), QPointF(50, 25));
}

TEST(CurvePointTest, PropertiesByName)
{
    CurvePoint p(1, 2, false);
    p.setValueForKey(Value(0.1), "x");
    EXPECT_EQ(p.x(), 0.1f);
    p.setValueForKey(Value(true), "onCurve");
    EXPECT_TRUE(p.onCurve());
    EXPECT_EQ(p.valueForKey("y").toFloat(), 2.0f);
    EXPECT_EQ(p.className(), "CurvePoint");
}

TEST(DrawCommandTest, ConstructorsAndOffsets)
{
    const DrawCommand close = DrawCommand::close();
    const DrawCommand mark = DrawCommand::mark();
    EXPECT_EQ(close.command(), DrawCommandClose);
    EXPECT_EQ(mark.command(), DrawCommandMark);
    for (const DrawCommand& c : { close, mark, DrawCommand() }) {
        EXPECT_EQ(c.point1(), QPointF(0, 0));
        EXPECT_EQ(c.point2(), QPointF(0, 0));
    }
    EXPECT_EQ(DrawCommand().command(), DrawCommandMove);

    DrawCommand line = DrawCommand::lineToX(1, 2);
    line.offsetBy(QPointF(10, 20));
    EXPECT_EQ(line.point1(), QPointF(11, 22));
    EXPECT_EQ(line.point2(), QPointF(0, 0));

    DrawCommand quad = DrawCommand::quadCurveByX(1, 2, 3, 4);
    quad.offsetBy(QPointF(0.1, -1));
    EXPECT_EQ(quad.x1(), float(1 + 0.1));
    EXPECT_EQ(quad.point2(), QPointF(double(float(3.1)), 3));
    EXPECT_EQ(quad.command(), DrawCommandQuadCurve);
}

} // namespace
} // namespace zandrel
