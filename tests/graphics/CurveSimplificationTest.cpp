#include "CurveTestSupport.h"
#include "graphics/Curve.h"
#include "graphics/CurveIterator.h"
#include "graphics/GraphicUtils.h"

#include <cmath>
#include <random>

namespace zandrel {
namespace {

using test::makeCurve;

std::vector<QPointF> positions(const Curve& curve)
{
    std::vector<QPointF> v;
    for (const auto& p : curve.points())
        v.push_back(p->point());
    return v;
}

TEST(CurveSimplificationTest, StraightRunsKeepOnlyTheirEnds)
{
    for (double tolerance : { 0.0, 0.5, 8.0 }) {
        auto curve = makeCurve(
            { { 0, 0, true }, { 1, 0, false }, { 2, 0, false }, { 3, 0, false }, { 4, 0, true } });
        const auto first = curve->getPointAtIndex(0);
        curve->reducePointsWithTolerance(tolerance);
        EXPECT_EQ(positions(*curve), (std::vector<QPointF> { { 0, 0 }, { 4, 0 } })) << tolerance;
        EXPECT_EQ(curve->getPointAtIndex(0), first); // the same point objects
    }
    // Points on the chord are dropped at any tolerance, negative ones included.
    auto points = makeCurve({ { 0, 0, true }, { 1, 1, false }, { 3, 3, false }, { 4, 4, true } })->points();
    EXPECT_TRUE(Curve::douglasPeuckerReduceSection(points, 0, 3, -1.0).empty());
}

TEST(CurveSimplificationTest, SectionKeepsTheFarthestPointFirst)
{
    // Points 1 and 3 are both 5 from the chord: the earlier one wins. From point 1 the chord to the
    // end passes 3.18 from point 3, which a tolerance of 3.5 drops; a tolerance of 2 keeps it, and
    // then point 2 as well (4 from the chord between 1 and 3).
    auto points
        = makeCurve({ { 0, 0, true }, { 2, 5, false }, { 5, 1, false }, { 8, 5, false }, { 10, 0, true } })
              ->points();
    EXPECT_EQ(Curve::douglasPeuckerReduceSection(points, 0, 4, 3.5), (std::vector<int> { 1 }));
    EXPECT_EQ(Curve::douglasPeuckerReduceSection(points, 0, 4, 2.0), (std::vector<int> { 1, 3, 2 }));
    EXPECT_EQ(Curve::douglasPeuckerReduceSection(points, 0, 4, 5.0), std::vector<int> {});
    // Found order, not sorted: the peak first, then its left half, then its right half.
    auto arch = makeCurve(
        { { 0, 0, true }, { 2.5, 7, false }, { 5, 10, false }, { 7.5, 7, false }, { 10, 0, true } })
                    ->points();
    EXPECT_EQ(Curve::douglasPeuckerReduceSection(arch, 0, 4, 0.5), (std::vector<int> { 2, 1, 3 }));
    EXPECT_TRUE(Curve::douglasPeuckerReduceSection(arch, 4, 4, 0.5).empty());
    EXPECT_TRUE(Curve::douglasPeuckerReduceSection(arch, 3, 1, 0.5).empty());
    EXPECT_TRUE(Curve::douglasPeuckerReduceSection(arch, -1, 9, 0.5).empty());
}

TEST(CurveSimplificationTest, WholeArrayReduction)
{
    Curve curve;
    auto points = makeCurve({ { 0, 0, true }, { 5, 5, false }, { 10, 0, true } })->points();
    EXPECT_EQ(curve.douglasPeuckerReduction(points, 1.0), (std::vector<int> { 0, 1, 2 }));
    EXPECT_TRUE(curve.douglasPeuckerReduction({}, 1.0).empty());
    EXPECT_TRUE(
        curve.douglasPeuckerReduction(makeCurve({ { 0, 0, true }, { 1, 1, true } })->points(), 1).empty());
    auto same = makeCurve({ { 2, 2, true }, { 2, 2, false }, { 2, 2, true }, { 2, 2, true } })->points();
    EXPECT_EQ(curve.douglasPeuckerReduction(same, 1.0), (std::vector<int> { 0, 3 }));
    // A closed stroke ending where it began keeps its far corner.
    auto loop
        = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false }, { 0, 10, false }, { 0, 0, true } })
              ->points();
    EXPECT_EQ(curve.douglasPeuckerReduction(loop, 1.0), (std::vector<int> { 0, 1, 2, 3, 4 }));
}

TEST(CurveSimplificationTest, ThinningADrawnStrokeStaysWithinTheTolerance)
{
    // A wavy stroke sampled every half unit, with a pause (an on-curve point) in the middle.
    auto curve = std::make_shared<Curve>();
    std::mt19937 random(7);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    for (int i = 0; i <= 400; ++i) {
        const double x = i * 0.5;
        curve->addPoint(QPointF(x, 20 * std::sin(x / 15) + jitter(random)), i == 0 || i == 200 || i == 400);
    }
    const std::vector<QPointF> drawn = positions(*curve);
    const double tolerance = 1.0;
    curve->reducePointsWithTolerance(tolerance);
    const std::vector<QPointF> kept = positions(*curve);
    EXPECT_LT(kept.size(), 30u);
    EXPECT_GT(kept.size(), 10u);
    EXPECT_EQ(kept.front(), drawn.front());
    EXPECT_EQ(kept.back(), drawn.back());
    EXPECT_TRUE(std::find(kept.begin(), kept.end(), drawn[200]) != kept.end());
    // Every drawn point lies within the tolerance of the polyline through the kept points.
    std::size_t segment = 0;
    for (const QPointF& p : drawn) {
        while (segment + 1 < kept.size() && p.x() > kept[segment + 1].x())
            ++segment;
        const QPointF& a = kept[segment];
        const QPointF& b = kept[std::min(segment + 1, kept.size() - 1)];
        EXPECT_LE(distanceFromPointToSegment(a, b, p), tolerance) << p.x();
    }
}

TEST(CurveSimplificationTest, ScaleGivesEightScreenPixels)
{
    // The middle point lies `height` from the chord; it is kept only when that is strictly more
    // than 8 / scale.
    struct Row {
        double height;
        float scale;
        int expectedPoints;
    } rows[] = {
        { 5, 2, 3 }, // tolerance 4
        { 4, 2, 2 }, // exactly the tolerance: dropped
        { 4.5, 2, 3 }, { 5, 1, 2 }, // tolerance 8
        { 8.5, 1, 3 }, { 4.5, 1.6f, 2 }, // tolerance 5
        { 5.5, 1.6f, 3 }, { 5, 0, 2 }, // an infinite tolerance keeps the anchors only
    };
    for (const Row& row : rows) {
        auto curve = makeCurve({ { 0, 0, true }, { 5, row.height, false }, { 10, 0, true } });
        curve->reducePointsDrawnAtScale(row.scale);
        EXPECT_EQ(curve->numPoints(), row.expectedPoints)
            << "height " << row.height << " scale " << row.scale;
    }
}

TEST(CurveSimplificationTest, ReducingARangeRemovesItsEnds)
{
    // Ten points on a zigzag; between 3 and 7 only point 5 stands out.
    auto curve
        = makeCurve({ { 0, 0, true }, { 1, 0, false }, { 2, 0, false }, { 3, 0, false }, { 4, 0.1, false },
            { 5, 6, false }, { 6, 0.1, false }, { 7, 0, false }, { 8, 0, false }, { 9, 0, true } });
    const auto before = curve->points();
    curve->reducePointsFrom(3, 7, 1.0f);
    const CurvePointList expected { before[0], before[1], before[2], before[5], before[8], before[9] };
    EXPECT_EQ(curve->points(), expected);

    // Out-of-range ends are cut to the list; a reversed range changes nothing.
    auto other = makeCurve({ { 0, 0, true }, { 1, 3, false }, { 2, 0, true } });
    other->reducePointsFrom(2, 1, 0.5f);
    EXPECT_EQ(other->numPoints(), 3);
    other->reducePointsFrom(-4, 99, 0.5f);
    EXPECT_EQ(positions(*other), (std::vector<QPointF> { { 1, 3 } }));
}

TEST(CurveSimplificationTest, CleaningMouseInput)
{
    auto curve
        = makeCurve({ { 0, 0, true }, { 5, 0.9, true }, { 10, 0, true }, { 12, 10, true }, { 14, 0, true } });
    curve->cleanUpMouseInput();
    // 5 x 0.9 < 10: not a corner. 5 x distance of the sharp peak is far beyond its chord.
    const bool expected[] = { true, false, true, true, true };
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(curve->getPointAtIndex(i)->onCurve(), expected[i]) << i;
    auto ends = makeCurve({ { 0, 0, true }, { 10, 0, true } });
    ends->cleanUpMouseInput();
    EXPECT_TRUE(ends->getPointAtIndex(0)->onCurve());
    EXPECT_TRUE(ends->getPointAtIndex(1)->onCurve());
}

TEST(CurveSimplificationTest, OffCurvePointsMoveTowardTheDrawnPositions)
{
    // Between two on-curve points: 1.5P - 0.25A - 0.25B.
    auto curve = makeCurve({ { 0, 0, true }, { 4, 8, false }, { 12, 0, true } });
    curve->moveOffcurvePointsToHitInputPoints();
    EXPECT_EQ(curve->getPointAtIndex(1)->point(), QPointF(1.5 * 4 - 0.25 * 12, 1.5 * 8));

    // Neighbours are read at their drawn positions: an off-curve neighbour gives its midpoint.
    auto chain = makeCurve({ { 0, 0, true }, { 4, 4, false }, { 8, 4, false }, { 12, 0, true } });
    chain->moveOffcurvePointsToHitInputPoints();
    // For point 1: A = (0, 0), B = (6, 4); M = (3.5, 3); 2P - M = (4.5, 5).
    EXPECT_EQ(chain->getPointAtIndex(1)->point(), QPointF(4.5, 5));
    // For point 2: A = (6, 4) from the drawn (4, 4), not the moved one.
    EXPECT_EQ(chain->getPointAtIndex(2)->point(), QPointF(7.5, 5));

    // A range reaching beyond n - 2 stops there; the ends never move.
    auto range = makeCurve({ { 0, 0, false }, { 4, 8, false }, { 12, 0, false } });
    range->moveOffcurvePointsToHitInputPointsFrom(0, 50);
    EXPECT_EQ(positions(*range), (std::vector<QPointF> { { 0, 0 }, { 3.5, 10 }, { 12, 0 } }));
    range->moveOffcurvePointsToHitInputPointsFrom(2, 1);
    range->moveOffcurvePointsToHitInputPointsFrom(-3, -1);
    EXPECT_EQ(positions(*range), (std::vector<QPointF> { { 0, 0 }, { 3.5, 10 }, { 12, 0 } }));
}

TEST(CurveSimplificationTest, PencilRefitOfADenseStroke)
{
    // What the pencil does: thin, then move the off-curve points. The fitted spline stays near the
    // drawn stroke.
    auto curve = std::make_shared<Curve>();
    const int n = 300;
    for (int i = 0; i <= n; ++i) {
        const double a = M_PI * i / n;
        curve->addPoint(QPointF(100 * std::cos(a), 100 * std::sin(a)), i == 0 || i == n);
    }
    const auto raw = Curve::initByCopying(*curve);
    curve->reducePointsWithTolerance(2.0);
    curve->moveOffcurvePointsToHitInputPoints();
    EXPECT_LT(curve->numPoints(), 20);
    const auto fitted = curve->getCurveIteratorCaching(false);
    for (const auto& p : raw->points()) {
        // Within 2 units (the thinned polyline alone strays 2.8 from the arc).
        EXPECT_TRUE(fitted->isPointOnCurve(p->point(), 4.0f)) << p->x() << ", " << p->y();
    }
}

} // namespace
} // namespace zandrel
