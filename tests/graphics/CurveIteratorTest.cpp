#include "graphics/CurveIterator.h"

#include "CurveTestSupport.h"

#include <cmath>
#include <limits>

namespace zandrel {
namespace {

using test::makeCurve;

// Positions along a segment go through a single-precision fraction.
void expectNear(const QPointF& actual, const QPointF& expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-5);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-5);
}

TEST(CurveIteratorTest, StraightOpenCurve)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, true } });
    CurveIterator it(*curve);
    EXPECT_EQ(it.precision(), 16);
    EXPECT_EQ(it.length(), 10.0f);
    EXPECT_EQ(it.marks(), std::vector<float> { 10.0f });
    EXPECT_EQ(it.bounds(), QRectF(0, 0, 10, double(0.1f)));
    ASSERT_EQ(it.lineCommands().size(), 2u);
    EXPECT_EQ(it.lineCommands()[0], DrawCommand::moveToX(0, 0));
    EXPECT_EQ(it.lineCommands()[1], DrawCommand::lineToX(10, 0));
}

TEST(CurveIteratorTest, QuadraticSegmentsAreCutIntoPrecisionSteps)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, true } });
    for (int precision : { 16, 8, 1 }) {
        CurveIterator it(*curve, precision);
        ASSERT_EQ(it.lineCommands().size(), std::size_t(precision) + 1) << precision;
        EXPECT_GE(it.length(), std::sqrt(200.0f));
        EXPECT_LT(it.length(), 20.0f);
        ASSERT_EQ(it.marks().size(), 1u);
        EXPECT_EQ(it.marks()[0], it.length());
        EXPECT_EQ(it.lineCommands().back().point1(), QPointF(10, 10));
        // The k-th step lands on the curve at k / precision.
        const QPointF half = it.lineCommands()[std::size_t(precision + 1) / 2].point1();
        if (precision % 2 == 0) {
            EXPECT_EQ(half, QPointF(7.5, 2.5));
        }
    }
    // Finer flattening is longer: it follows the curve closer.
    EXPECT_GT(CurveIterator(*curve, 16).length(), CurveIterator(*curve, 8).length());
    // Bounds of the flattened outline, not of the control point.
    const QRectF bounds = CurveIterator(*curve).bounds();
    EXPECT_EQ(bounds, QRectF(0, 0, 10, 10));
    // A curve's own iterator is coarser.
    EXPECT_EQ(curve->getCurveIteratorCaching(false)->lineCommands().size(), 9u);
}

TEST(CurveIteratorTest, PrecisionOutsideTheUsableRangeIsClamped)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, true } });
    CurveIterator none(*curve, 0);
    EXPECT_EQ(none.precision(), 1);
    EXPECT_EQ(none.lineCommands().back().point1(), QPointF(10, 10));
    EXPECT_EQ(CurveIterator(*curve, -5).precision(), 1);
    EXPECT_EQ(CurveIterator(*curve, 1 << 30).precision(), CurveIterator::kMaxPrecision);
}

// A closed square of side 10: marks at 10, 20, 30, 40.
std::shared_ptr<Curve> square()
{
    return makeCurve({ { 0, 0, true }, { 10, 0, true }, { 10, 10, true }, { 0, 10, true } }, true);
}

TEST(CurveIteratorTest, WalkingForwardBackwardAndAround)
{
    CurveIterator it(*square());
    EXPECT_EQ(it.length(), 40.0f);
    EXPECT_EQ(it.marks(), (std::vector<float> { 10, 20, 30, 40 }));

    struct Step {
        float distance;
        float expectedTraverse;
        QPointF expectedPoint;
        int expectedSegment;
    };
    const Step steps[] = {
        { 5, 5, { 5, 0 }, 0 }, { 25, 25, { 5, 10 }, 2 }, // forward over two corners
        { 12, 12, { 10, 2 }, 1 }, // backward over one
        { 43, 3, { 3, 0 }, 0 }, // beyond the length: around again
        { 40, 40, { 0, 0 }, 3 }, // exactly the length: the end of the last segment
        { 0, 0, { 0, 0 }, 0 }, { 30, 30, { 0, 10 }, 2 },
        { -4, 0, { 0, 0 }, 0 }, // negative distances count as 0
    };
    for (const Step& s : steps) {
        it.setTraverseDistance(s.distance);
        EXPECT_EQ(it.traverseDistance(), s.expectedTraverse) << s.distance;
        SCOPED_TRACE(s.distance);
        expectNear(it.currentPoint(), s.expectedPoint);
        EXPECT_EQ(it.segmentIndex(), s.expectedSegment) << s.distance;
    }
    it.setTraverseDistance(40);
    EXPECT_EQ(it.segmentDistance(), 10.0f);

    it.setTraverseDistance(17);
    it.setTraverseDistance(std::numeric_limits<float>::quiet_NaN());
    it.setTraverseDistance(std::numeric_limits<float>::infinity());
    EXPECT_EQ(it.traverseDistance(), 17.0f);
}

TEST(CurveIteratorTest, PointAtAndSavedStatesLeaveThePosition)
{
    CurveIterator it(*square());
    it.setTraverseDistance(15);
    expectNear(it.pointAt(35), QPointF(0, 5));
    expectNear(it.pointAt(15), QPointF(10, 5));
    expectNear(it.pointAt(2), QPointF(2, 0));
    EXPECT_EQ(it.traverseDistance(), 15.0f);
    expectNear(it.currentPoint(), QPointF(10, 5));

    const CurveIteratorState state = it.saveState();
    it.setTraverseDistance(33);
    expectNear(it.currentPoint(), QPointF(0, 7));
    it.restoreState(state);
    EXPECT_EQ(it.traverseDistance(), 15.0f);
    EXPECT_EQ(it.segmentIndex(), 1);
    EXPECT_EQ(it.segmentDistance(), 5.0f);
    expectNear(it.currentPoint(), QPointF(10, 5));
}

TEST(CurveIteratorTest, NextMark)
{
    CurveIterator it(*square());
    const std::pair<float, float> cases[] = { { 0, 10 }, { 10, 20 }, { 10.5f, 20 }, { 39, 40 }, { 40, 40 } };
    for (auto [at, expected] : cases) {
        it.setTraverseDistance(at);
        EXPECT_EQ(it.nextMark(), expected) << at;
    }
    // An open curve without marks past its start answers the length.
    auto ellipse = Curve::initWithEllipseIn(QRectF(0, 0, 20, 10));
    CurveIterator round(*ellipse);
    EXPECT_TRUE(round.marks().empty());
    EXPECT_EQ(round.nextMark(), round.length());
}

TEST(CurveIteratorTest, DivisibleSegmentLength)
{
    CurveIterator it(*makeCurve({ { 0, 0, true }, { 100, 0, true } }));
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(7), 100.0f / 14.0f);
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(7), 7.142857f);
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(100), 100.0f);
    // Steps of more than twice the outline, and unusable steps, walk around once.
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(250), 100.0f);
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(0), 100.0f);
    EXPECT_EQ(it.getDivisibleSegmentLengthNear(-3), 100.0f);
    EXPECT_EQ(CurveIterator().getDivisibleSegmentLengthNear(7), 0.0f);
}

TEST(CurveIteratorTest, HitTestWithinHalfTheWeight)
{
    CurveIterator it(*makeCurve({ { 0, 0, true }, { 100, 0, true } }));
    EXPECT_TRUE(it.isPointOnCurve(QPointF(50, 1), 2));
    EXPECT_TRUE(it.isPointOnCurve(QPointF(50, -1), 2));
    EXPECT_FALSE(it.isPointOnCurve(QPointF(50, 1.01), 2));
    EXPECT_TRUE(it.isPointOnCurve(QPointF(101, 0), 2));
    EXPECT_FALSE(it.isPointOnCurve(QPointF(101.5, 0), 2));

    // The move is not a segment: the stretch from the origin to the start is never hit.
    CurveIterator away(*makeCurve({ { 50, 50, true }, { 60, 50, true } }));
    EXPECT_FALSE(away.isPointOnCurve(QPointF(25, 25), 2));
    EXPECT_TRUE(away.isPointOnCurve(QPointF(55, 50.5), 2));
}

TEST(CurveIteratorTest, EmptyAndSinglePointCurvesAreHarmless)
{
    CurveIterator empty;
    EXPECT_EQ(empty.length(), 0.0f);
    EXPECT_EQ(empty.bounds(), QRectF());
    EXPECT_TRUE(empty.lineCommands().empty());
    empty.setTraverseDistance(5);
    EXPECT_EQ(empty.traverseDistance(), 0.0f);
    EXPECT_EQ(empty.currentPoint(), QPointF(0, 0));
    EXPECT_EQ(empty.pointAt(3), QPointF(0, 0));
    EXPECT_EQ(empty.nextMark(), 0.0f);
    EXPECT_FALSE(empty.isPointOnCurve(QPointF(0, 0), 10));

    auto one = makeCurve({ { 3, 4, true }, { 3, 4, true } });
    CurveIterator degenerate(*one);
    EXPECT_EQ(degenerate.length(), 0.0f);
    EXPECT_EQ(degenerate.bounds(), QRectF(3, 4, double(0.1f), double(0.1f)));
    degenerate.setTraverseDistance(1);
    EXPECT_EQ(degenerate.currentPoint(), QPointF(3, 4));

    // Non-finite points never hang or crash the walk.
    auto wild = makeCurve(
        { { 0, 0, true }, { std::nan(""), 1, false }, { 5, std::nan(""), true }, { 1, 1, true } });
    CurveIterator it(*wild);
    for (float d : { 0.5f, 3.0f, 1.0f, 100.0f })
        it.setTraverseDistance(d);
    (void)it.currentPoint();
    (void)it.isPointOnCurve(QPointF(0.5, 0.5), 1);
}

} // namespace
} // namespace zandrel
