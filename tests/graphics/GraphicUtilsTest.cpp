#include "graphics/GraphicUtils.h"

#include "platform/Random.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace zandrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kPi = std::numbers::pi_v<float>;

// Points computed through float are compared to the float.
void expectPointNear(const QPointF& actual, const QPointF& expected, double tolerance = 1e-5)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance) << "x of (" << actual.x() << ", " << actual.y() << ")";
    EXPECT_NEAR(actual.y(), expected.y(), tolerance) << "y of (" << actual.x() << ", " << actual.y() << ")";
}

void expectRectEq(const QRectF& actual, const QRectF& expected)
{
    EXPECT_DOUBLE_EQ(actual.x(), expected.x());
    EXPECT_DOUBLE_EQ(actual.y(), expected.y());
    EXPECT_DOUBLE_EQ(actual.width(), expected.width());
    EXPECT_DOUBLE_EQ(actual.height(), expected.height());
}

TEST(GraphicUtilsTest, InterpolationAndScaling)
{
    EXPECT_EQ(pointOnQuadCurve({ 0, 0 }, { 1, 2 }, { 2, 0 }, 0.5f), QPointF(1, 1));
    EXPECT_EQ(pointOnQuadCurve({ 0, 0 }, { 1, 2 }, { 2, 0 }, 0.0f), QPointF(0, 0));
    EXPECT_EQ(pointOnQuadCurve({ 0, 0 }, { 1, 2 }, { 2, 0 }, 1.0f), QPointF(2, 0));
    EXPECT_EQ(interpolatePoints({ 0, 10 }, { 10, 20 }, 0.25f), QPointF(2.5, 12.5));
    expectRectEq(scaleRect(QRectF(1, 2, 3, 4), 2.0f), QRectF(2, 4, 6, 8));
    expectRectEq(scaleRectAroundPoint(QRectF(2, 2, 4, 4), { 1, 1 }, 2.0f, 0.5f), QRectF(3, 1.5, 8, 2));
    EXPECT_EQ(scalePointAroundPoint({ 3, 5 }, { 1, 1 }, 2.0f, -1.0f), QPointF(5, -3));
    EXPECT_EQ(scalePoint({ 3, -5 }, 0.5f), QPointF(1.5, -2.5));
    EXPECT_EQ(rectCenter(QRectF(10, 20, 4, -6)), QPointF(12, 17));
}

TEST(GraphicUtilsTest, MappingBetweenRectsRoundsTheFractionToFloat)
{
    // u = 1/3 is rounded to float before it is scaled back up, so the corner does not return exactly.
    const QPointF p = mapPointFromRectToRect({ 1, 2 }, QRectF(0, 0, 3, 3), QRectF(0, 0, 3, 3));
    EXPECT_EQ(p.x(), double(1.0f / 3.0f) * 3.0);
    EXPECT_NE(p.x(), 1.0);
    EXPECT_EQ(mapPointFromRectToRect({ 2, 3 }, QRectF(0, 1, 4, 4), QRectF(10, 20, 8, 2)), QPointF(14, 21));

    const QRectF r = mapRectFromRectToRect(QRectF(1, 1, 2, 2), QRectF(0, 0, 4, 4), QRectF(10, 20, 8, 2));
    expectRectEq(r, QRectF(12, 20.5, 4, 1));
}

TEST(GraphicUtilsTest, MapPointIntoQuadIsBilinear)
{
    const QPointF quad[4] = { { 0, 0 }, { 10, 0 }, { 0, 10 }, { 20, 20 } };
    const QRectF r(0, 0, 2, 2);
    struct Row {
        QPointF p, expected;
    } rows[] = {
        { { 0, 0 }, { 0, 0 } },
        { { 2, 0 }, { 10, 0 } },
        { { 0, 2 }, { 0, 10 } },
        { { 2, 2 }, { 20, 20 } },
        { { 1, 1 }, { 7.5, 7.5 } },
        { { 1, 0 }, { 5, 0 } },
    };
    for (const Row& row : rows)
        EXPECT_EQ(mapPointIntoQuad(quad, r, row.p), row.expected) << row.p.x() << "," << row.p.y();
    EXPECT_TRUE(isNanPoint(mapPointIntoQuad(nullptr, r, { 1, 1 })));
}

TEST(GraphicUtilsTest, DistancesAreSinglePrecision)
{
    EXPECT_EQ(distanceBetweenPoints({ 0, 0 }, { 3, 4 }), 5.0f);
    EXPECT_EQ(distanceBetweenPoints({ 0, 0 }, { 0.1, 0 }), 0.1f);
    EXPECT_EQ(distanceBetweenPoints({ 1, 1 }, { 1, 1 }), 0.0f);

    struct Row {
        QPointF a, b, p;
        float expected;
    } rows[] = {
        { { 0, 0 }, { 10, 0 }, { 5, 3 }, 3.0f }, // beside the middle
        { { 0, 0 }, { 10, 0 }, { 13, 4 }, 5.0f }, // beyond b: distance to b
        { { 0, 0 }, { 10, 0 }, { -3, -4 }, 5.0f }, // before a: distance to a
        { { 2, 2 }, { 2, 2 }, { 5, 6 }, 5.0f }, // a = b: distance to a
        { { 0, 0 }, { 10, 10 }, { 10, 0 }, sqrtf(50.0f) },
        // t = 0.4 is rounded to float, so a point on the segment is a float ulp off it.
        { { 0, 0 }, { 10, 0 }, { 4, 0 }, float(10.0 * double(0.4f) - 4.0) },
    };
    for (const Row& row : rows)
        EXPECT_FLOAT_EQ(distanceFromPointToSegment(row.a, row.b, row.p), row.expected)
            << row.p.x() << "," << row.p.y();

    // A NaN point gives a NaN distance, never a crash.
    EXPECT_TRUE(std::isnan(distanceFromPointToSegment({ 0, 0 }, { 10, 0 }, { kNaN, 1 })));

    EXPECT_TRUE(isPointNearSegment({ 0, 0 }, { 10, 0 }, { 5, 2 }, 4.0f)); // exactly half the weight
    EXPECT_FALSE(isPointNearSegment({ 0, 0 }, { 10, 0 }, { 5, 2.01 }, 4.0f));
}

TEST(GraphicUtilsTest, ProjectionsAndSides)
{
    expectPointNear(projectPointOntoLine({ 0, 0 }, { 10, 10 }, { 10, 0 }), { 5, 5 });
    expectPointNear(projectPointOntoLine({ 1, 1 }, { 5, 1 }, { -7, 9 }), { -7, 1 });
    expectPointNear(projectPointOntoLine({ 0, 0 }, { 0, 0 }, { 3, 4 }), { 3, 0 }); // no direction: x axis

    EXPECT_TRUE(isPointRightOfLine({ 0, 0 }, { 10, 0 }, { 5, -1 }));
    EXPECT_FALSE(isPointRightOfLine({ 0, 0 }, { 10, 0 }, { 5, 1 }));
    EXPECT_FALSE(isPointRightOfLine({ 0, 0 }, { 10, 0 }, { 20, 0 }));

    struct Row {
        QPointF a, b, p;
        float expected;
    } rows[] = {
        { { 0, 0 }, { 10, 0 }, { 10.04, 3 }, 1.004f }, // just beyond b, within the one per cent
        { { 0, 0 }, { 10, 0 }, { 10.2, 3 }, 1.0f }, // clearly beyond b
        { { 0, 0 }, { 10, 0 }, { -0.5, 3 }, 0.0f }, // beyond a
        { { 0, 0 }, { 10, 0 }, { 2.5, -3 }, 0.25f }, { { 4, 4 }, { 4, 4 }, { 9, 9 }, 0.0f }, // zero length
    };
    for (const Row& row : rows)
        EXPECT_FLOAT_EQ(parameterOfPointOnSegment(row.a, row.b, row.p), row.expected) << row.p.x();
}

TEST(GraphicUtilsTest, RectipolarForm)
{
    const RectipolarPoint rp = angleOfVector({ 3, -4 });
    EXPECT_EQ(rp.radius, 4.0f);
    EXPECT_EQ(rp.angle, atan2f(-4.0f, 3.0f));

    expectPointNear(rectipolarToPoint({ 0.0f, 1.0f }), { 1, 0 });
    expectPointNear(rectipolarToPoint({ kPi / 2, 1.0f }), { 0, 1 });
    expectPointNear(rectipolarToPoint({ kPi, 2.0f }), { -2, 0 });
    expectPointNear(rectipolarToPoint({ -kPi / 2, 3.0f }), { 0, -3 });
    expectPointNear(rectipolarToPoint({ 7 * kPi / 4 + 2 * kPi, 1.0f }), { 1, -1 });

    // The two forms are inverses up to rounding, on every side of the square.
    const QPointF points[] = { { 1, 0.5 }, { 0.25, 2 }, { -2, 1 }, { -3, -3 }, { 0.5, -4 }, { 5, -0.1 } };
    for (const QPointF& p : points)
        expectPointNear(rectipolarToPoint(angleOfVector(p)), p);

    // Bad angles give the NaN point and return, whatever their size.
    EXPECT_TRUE(isNanPoint(rectipolarToPoint({ std::numeric_limits<float>::infinity(), 1.0f })));
    EXPECT_TRUE(isNanPoint(rectipolarToPoint({ -std::numeric_limits<float>::infinity(), 1.0f })));
    EXPECT_TRUE(isNanPoint(rectipolarToPoint({ std::numeric_limits<float>::quiet_NaN(), 1.0f })));
    const QPointF huge = rectipolarToPoint({ 1.0e30f, 1.0f });
    EXPECT_TRUE(std::fabs(huge.x()) <= 1.0 + 1e-6 || std::fabs(huge.y()) <= 1.0 + 1e-6);
}

TEST(GraphicUtilsTest, LineAndSegmentIntersections)
{
    struct Row {
        QPointF a, b, c, d;
        bool line; // lines meet
        bool segment; // segments meet
        QPointF expected;
    } rows[] = {
        { { 0, 0 }, { 10, 0 }, { 5, -5 }, { 5, 5 }, true, true, { 5, 0 } },
        { { 0, 0 }, { 10, 0 }, { 10.2, -5 }, { 10.2, 5 }, true, true, { 10.2, 0 } },
        { { 0, 0 }, { 10, 0 }, { 10.3, -5 }, { 10.3, 5 }, true, false, { 10.3, 0 } },
        { { 0, 0 }, { 10, 10 }, { 0, 10 }, { 10, 0 }, true, true, { 5, 5 } },
        { { 0, 0 }, { 10, 10 }, { 0, 10 }, { 1, 9 }, true, false, { 5, 5 } },
        { { 0, 0 }, { 10, 0 }, { 0, 5 }, { 10, 5 }, false, false, {} }, // same direction
        { { 0, 0 }, { 10, 0 }, { 10, 5 }, { 0, 5 }, false, false, {} }, // opposite direction
        { { 0, 0 }, { 3, 7 }, { 10, 1 }, { 4, -13 }, false, false, {} }, // opposite, slanted
        { { 0, 0 }, { 10, 0 }, { 20, 0 }, { 10, 0 }, false, false, {} }, // same line, opposite
        // A first line without direction has the angle 0: the horizontal through a.
        { { 5, 5 }, { 5, 5 }, { 0, 0 }, { 10, 10 }, true, true, { 5, 5 } },
        { { 5, 3 }, { 5, 3 }, { 0, 0 }, { 10, 10 }, true, false, { 3, 3 } },
        // A second line without direction meets nothing.
        { { 0, 0 }, { 10, 10 }, { 5, 5 }, { 5, 5 }, false, false, {} },
        { { 0, 0 }, { 10, 0 }, { 5, 5 }, { 5, 5 }, false, false, {} },
    };
    for (const Row& row : rows) {
        const QPointF line = lineIntersection(row.a, row.b, row.c, row.d);
        const QPointF segment = segmentIntersection(row.a, row.b, row.c, row.d);
        SCOPED_TRACE(testing::Message() << "c " << row.c.x() << "," << row.c.y());
        if (row.line) {
            expectPointNear(line, row.expected, 1e-9);
        } else {
            EXPECT_TRUE(std::isnan(line.x()) && std::isnan(line.y()));
        }
        if (row.segment)
            expectPointNear(segment, row.expected, 1e-9);
        else
            EXPECT_TRUE(std::isnan(segment.x()) && std::isnan(segment.y()));
    }
}

TEST(GraphicUtilsTest, ConstructedPoints)
{
    EXPECT_EQ(pointAtDistanceToward({ 0, 0 }, { 3, 4 }, 10.0f), QPointF(6, 8));
    EXPECT_EQ(pointAtDistanceToward({ 1, 1 }, { 1, 1 }, 10.0f), QPointF(1, 1));
    EXPECT_EQ(pointExtendedFromPoint({ 0, 0 }, { 3, 4 }, 5.0f), QPointF(6, 8));
    EXPECT_EQ(pointExtendedFromPoint({ 2, 2 }, { 2, 2 }, 5.0f), QPointF(2, 2));

    struct Row {
        QPointF a, b;
        float along, aside;
        QPointF expected;
    } rows[] = {
        { { 0, 0 }, { 10, 0 }, 2.0f, 3.0f, { 2, 3 } }, { { 0, 0 }, { 10, 0 }, 2.0f, -3.0f, { 2, -3 } },
        { { 0, 0 }, { 0, 10 }, 4.0f, 1.0f, { -1, 4 } }, // left of upward is negative x
        { { 5, 5 }, { 5, 5 }, 4.0f, 1.0f, { 5, 5 } }, // zero length: a
    };
    for (const Row& row : rows)
        expectPointNear(pointPerpendicularToSegment(row.a, row.b, row.along, row.aside), row.expected);
}

TEST(GraphicUtilsTest, BoundsAccumulator)
{
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);
    EXPECT_EQ(boundsAccumulatorRect(&acc), QRectF());

    boundsAccumulatorAddPoint(&acc, { 3, 4 });
    expectRectEq(boundsAccumulatorRect(&acc), QRectF(3, 4, 0.1f, 0.1f));

    boundsAccumulatorAddPoint(&acc, { 13, 4 }); // a horizontal line keeps a height of 0.1
    expectRectEq(boundsAccumulatorRect(&acc), QRectF(3, 4, 10, 0.1f));

    boundsAccumulatorAddPoint(&acc, { kNaN, -2 }); // the NaN coordinate is ignored
    boundsAccumulatorAddPoint(&acc, { 0.1, 5 }); // stored as float
    expectRectEq(boundsAccumulatorRect(&acc), QRectF(0.1f, -2, 13 - 0.1f, 7));

    // A NaN first point is replaced by the next one.
    boundsAccumulatorInit(&acc);
    boundsAccumulatorAddPoint(&acc, { kNaN, kNaN });
    EXPECT_TRUE(std::isnan(boundsAccumulatorRect(&acc).x()));
    EXPECT_FLOAT_EQ(float(boundsAccumulatorRect(&acc).width()), 0.1f); // a NaN difference gives 0.1
    boundsAccumulatorAddPoint(&acc, { 1, 2 });
    expectRectEq(boundsAccumulatorRect(&acc), QRectF(1, 2, 0.1f, 0.1f));

    boundsAccumulatorInitWithRect(&acc, QRectF(1, 2, 3, 4));
    boundsAccumulatorAddPoint(&acc, { 0, 3 });
    expectRectEq(boundsAccumulatorRect(&acc), QRectF(0, 2, 4, 4));

    boundsAccumulatorInit(nullptr);
    boundsAccumulatorAddPoint(nullptr, { 1, 1 });
    EXPECT_EQ(boundsAccumulatorRect(nullptr), QRectF());
}

TEST(GraphicUtilsTest, PixelAlignment)
{
    EXPECT_EQ(pixelAlignPoint({ 1.7, -0.2 }), QPointF(1.5, -0.5));
    EXPECT_EQ(pixelCenterAtScale({ 1.3, 2.6 }, 2.0f), QPointF(1.25, 2.75));
    EXPECT_EQ(pixelCornerAtScale({ 1.3, 2.6 }, 2.0f), QPointF(1.0, 2.5));
    // Coordinates go through float first: 2.9999999999 is 3 in float.
    EXPECT_EQ(pixelAlignPoint({ 2.9999999999, 0 }), QPointF(3.5, 0.5));
    expectRectEq(pixelAlignRect(QRectF(0.2, 0.7, 10.5, 3.1)), QRectF(0.5, 0.5, 10, 3));
}

TEST(GraphicUtilsTest, ClampingAndKeepingInside)
{
    const QRectF r(0, 0, 10, 20);
    struct Row {
        QPointF p, expected;
    } rows[] = {
        { { 5, 5 }, { 5, 5 } },
        { { -3, 25 }, { 0, 20 } },
        { { 12, -1 }, { 10, 0 } },
        { { kNaN, 7 }, { 0, 7 } },
        { { 3, kNaN }, { 3, 0 } },
    };
    for (const Row& row : rows)
        EXPECT_EQ(clampPointToRect(row.p, r), row.expected);

    const QRectF bound(0, 0, 100, 100);
    struct KeepRow {
        QRectF r, expected;
    } keepRows[] = {
        { QRectF(-3, 10, 20, 20), QRectF(0, 10, 20, 20) }, // sticks out left by 3
        { QRectF(10, 10, 20, 20), QRectF(10, 10, 20, 20) }, // already inside
        { QRectF(90, 95, 20, 20), QRectF(80, 80, 20, 20) }, // out at the max edges
        { QRectF(-10, -5, 200, 10), QRectF(0, 0, 200, 10) }, // too wide: the min edge wins
    };
    for (const KeepRow& row : keepRows)
        expectRectEq(keepRectInsideRect(row.r, bound), row.expected);
}

TEST(GraphicUtilsTest, RandomFloatsRepeatAfterReseedingAndStayInRange)
{
    Random::seed(100);
    float first[20];
    for (float& value : first) {
        value = randomFloatBetween(-2.0f, 3.0f);
        EXPECT_GE(value, -2.0f);
        EXPECT_LT(value, 3.0f);
    }
    Random::seed(100);
    for (float value : first)
        EXPECT_EQ(randomFloatBetween(-2.0f, 3.0f), value);
    EXPECT_EQ(randomFloatBetween(4.0f, 4.0f), 4.0f);
}

TEST(GraphicUtilsTest, Descriptions)
{
    EXPECT_EQ(describeRect(QRectF(1.25, -2, 3.04, 400)).toStdString(), "Origin: 1.2, -2.0  Size: 3.0, 400.0");
    EXPECT_EQ(describePoint({ 1.005, -7 }).toStdString(), "X: 1.00, Y: -7.00");
}

} // namespace
} // namespace zandrel
