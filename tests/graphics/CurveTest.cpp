#include "graphics/Curve.h"

#include "CurveTestSupport.h"
#include "graphics/CurveIterator.h"

#include <QTransform>
#include <cmath>

namespace zandrel {
namespace {

using namespace test;

struct DrawCommandCase {
    const char* name;
    std::shared_ptr<Curve> curve;
    DrawCommandList expected;
};

TEST(CurveTest, DrawCommandsFollowTheSplineRule)
{
    const DrawCommandCase cases[] = {
        { "open, two off-curve points between on-curve ends",
            makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false }, { 0, 10, true } }),
            { move(0, 0), quad(10, 0, 10, 5), quad(10, 10, 0, 10), mark() } },
        { "the same closed",
            makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false }, { 0, 10, true } }, true),
            { move(0, 0), quad(10, 0, 10, 5), quad(10, 10, 0, 10), mark(), line(0, 0), mark(), close() } },
        { "closed, all off-curve: no mark at all",
            makeCurve({ { 10, 0, false }, { 20, 10, false }, { 10, 20, false }, { 0, 10, false } }, true),
            { move(5, 5), quad(10, 0, 15, 5), quad(20, 10, 15, 15), quad(10, 20, 5, 15), quad(0, 10, 5, 5),
                close() } },
        { "closed, first off and second on: no mark after the opening segment",
            makeCurve({ { 0, 0, false }, { 10, 0, true }, { 10, 10, true }, { 0, 10, true } }, true),
            { move(0, 10), quad(0, 0, 10, 0), line(10, 10), mark(), line(0, 10), mark(), close() } },
        { "closed, first and second off, last on",
            makeCurve({ { 0, 0, false }, { 10, 0, false }, { 10, 10, true } }, true),
            { move(10, 10), quad(0, 0, 5, 0), quad(10, 0, 10, 10), mark(), close() } },
        { "closed, last off wraps to an on-curve first point",
            makeCurve({ { 0, 0, true }, { 10, 0, true }, { 10, 10, false } }, true),
            { move(0, 0), line(10, 0), mark(), quad(10, 10, 0, 0), mark(), close() } },
        { "open, last stored off-curve ends as on-curve",
            makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false } }),
            { move(0, 0), quad(10, 0, 10, 10), mark() } },
        { "open, first point off-curve still starts the outline",
            makeCurve({ { 0, 0, false }, { 10, 0, true } }), { move(0, 0), line(10, 0), mark() } },
        { "open, one point", makeCurve({ { 1, 2, true } }), {} },
        { "closed, one point", makeCurve({ { 1, 2, true } }, true), { close() } },
        { "closed, empty", makeCurve({}, true), { close() } },
        { "coordinates pass through float", makeCurve({ { 0.1, 1e-9, true }, { 1.0 / 3, 2, true } }),
            { move(0.1f, 1e-9f), line(1.0f / 3, 2), mark() } },
    };
    for (const DrawCommandCase& c : cases) {
        EXPECT_EQ(c.curve->getDrawCommands(), c.expected) << c.name;
    }
}

TEST(CurveTest, DrawingLeavesStoredFlagsAlone)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, false } });
    curve->getDrawCommands();
    EXPECT_FALSE(curve->lastPoint()->onCurve());
    curve->setClosed(true);
    // Closed, the stored flag counts again.
    EXPECT_EQ(curve->getDrawCommands(),
        (DrawCommandList { move(0, 0), quad(10, 0, 10, 5), quad(10, 10, 0, 0), mark(), close() }));
}

struct PointCase {
    double x;
    double y;
    bool on;
};

void expectPoints(const Curve& curve, const std::vector<PointCase>& expected, double tolerance = 1e-4)
{
    ASSERT_EQ(curve.numPoints(), int(expected.size()));
    for (int i = 0; i < curve.numPoints(); ++i) {
        const CurvePoint& p = *curve.getPointAtIndex(i);
        EXPECT_NEAR(p.point().x(), expected[i].x, tolerance) << "point " << i;
        EXPECT_NEAR(p.point().y(), expected[i].y, tolerance) << "point " << i;
        EXPECT_EQ(p.onCurve(), expected[i].on) << "point " << i;
    }
}

TEST(CurveTest, RoundedPolygonsRectanglesAndEllipses)
{
    EXPECT_EQ(Curve::initWithPolygonPoints({ QPointF(0, 0), QPointF(1, 1) }, 0), nullptr);
    EXPECT_EQ(Curve::initWithPolygonPoints({}, 2), nullptr);

    auto sharp = Curve::initWithRect(QRectF(0, 0, 10, 10), 0);
    EXPECT_TRUE(sharp->closed());
    expectPoints(*sharp, { { 0, 0, true }, { 10, 0, true }, { 10, 10, true }, { 0, 10, true } });

    // Radius 2: each side starts and ends 2 from its corners, control points 1.1716 from them.
    auto rounded = Curve::initWithRect(QRectF(0, 0, 10, 10), 2);
    ASSERT_EQ(rounded->numPoints(), 16);
    expectPoints(*rounded,
        { { 1.1716, 0, false }, { 2, 0, true }, { 8, 0, true }, { 8.8284, 0, false }, { 10, 1.1716, false },
            { 10, 2, true }, { 10, 8, true }, { 10, 8.8284, false }, { 8.8284, 10, false }, { 8, 10, true },
            { 2, 10, true }, { 1.1716, 10, false }, { 0, 8.8284, false }, { 0, 8, true }, { 0, 2, true },
            { 0, 1.1716, false } });

    // Radius 6: every side is short (10 <= 12) and is all curve.
    auto shortSides = Curve::initWithRect(QRectF(0, 0, 10, 10), 6);
    ASSERT_EQ(shortSides->numPoints(), 8);
    expectPoints(*shortSides,
        { { 2.9289, 0, false }, { 7.0711, 0, false }, { 10, 2.9289, false }, { 10, 7.0711, false },
            { 7.0711, 10, false }, { 2.9289, 10, false }, { 0, 7.0711, false }, { 0, 2.9289, false } });

    // The ellipse is the negative-radius rectangle: off-curve points only, passing through the
    // midpoints of the sides.
    auto ellipse = Curve::initWithEllipseIn(QRectF(0, 0, 20, 10));
    auto negative = Curve::initWithRect(QRectF(0, 0, 20, 10), -5);
    EXPECT_EQ(ellipse->getDrawCommands(), negative->getDrawCommands());
    const DrawCommandList& commands = ellipse->getDrawCommands();
    ASSERT_EQ(commands.size(), 10u);
    const CurvePoint& first = *ellipse->getPointAtIndex(0);
    EXPECT_EQ(commands[0],
        move(float(first.midwayPointTo(*ellipse->lastPoint()).x()),
            float(first.midwayPointTo(*ellipse->lastPoint()).y())));
    for (const DrawCommand& c : commands)
        EXPECT_NE(c.command(), DrawCommandMark);
    const QRectF bounds = ellipse->getBounds();
    EXPECT_NEAR(bounds.left(), 0, 0.05);
    EXPECT_NEAR(bounds.right(), 20, 0.05);
    EXPECT_NEAR(bounds.top(), 0, 0.05);
    EXPECT_NEAR(bounds.bottom(), 10, 0.05);
    // A rectangle given with a negative width keeps its corner order.
    auto flipped = Curve::initWithRect(QRectF(10, 0, -10, 10), 0);
    expectPoints(*flipped, { { 10, 0, true }, { 0, 0, true }, { 0, 10, true }, { 10, 10, true } });
    // A NaN roundness is a sharp polygon.
    EXPECT_EQ(Curve::initWithRect(QRectF(0, 0, 10, 10), std::nanf(""))->numPoints(), 4);
}

TEST(CurveTest, RoundedSideOfZeroLength)
{
    Curve curve;
    curve.addPointsForRoundedPolygonSideFrom(QPointF(3, 3), QPointF(3, 3), 2);
    expectPoints(curve, { { 3, 3, true }, { 3, 3, false }, { 3, 3, false } });
}

TEST(CurveTest, EditingOperations)
{
    auto abcd = [] {
        return makeCurve({ { 0, 0, true }, { 1, 0, false }, { 2, 0, true }, { 3, 0, false } });
    };
    auto xs = [](const Curve& c) {
        std::vector<double> v;
        for (const auto& p : c.points())
            v.push_back(p->point().x());
        return v;
    };
    auto c = abcd();
    c->setFirstPoint(2);
    EXPECT_EQ(xs(*c), (std::vector<double> { 2, 3, 0, 1 }));
    c->setFirstPoint(4);
    c->setFirstPoint(0);
    c->setFirstPoint(-1);
    EXPECT_EQ(xs(*c), (std::vector<double> { 2, 3, 0, 1 }));
    c->reverse();
    EXPECT_EQ(xs(*c), (std::vector<double> { 1, 0, 3, 2 }));
    Curve empty;
    empty.reverse();
    EXPECT_EQ(empty.numPoints(), 0);

    c = abcd();
    EXPECT_NE(c->insertPointAtIndex(4, 9, 9, true), nullptr);
    EXPECT_EQ(c->insertPointAtIndex(6, 9, 9, true), nullptr);
    EXPECT_EQ(c->insertPointAtIndex(-1, 9, 9, true), nullptr);
    c->insertPointAtIndex(0, 0.1, 0, false);
    EXPECT_EQ(xs(*c), (std::vector<double> { double(0.1f), 0, 1, 2, 3, 9 }));
    c->deletePointAtIndex(0);
    c->deletePointAtIndex(17);
    c->deletePointsInRange(1, 2);
    EXPECT_EQ(xs(*c), (std::vector<double> { 0, 3, 9 }));
    c->deletePointsInRange(2, 100);
    EXPECT_EQ(xs(*c), (std::vector<double> { 0, 3 }));
    EXPECT_EQ(c->getPointAtIndex(2), nullptr);
    EXPECT_EQ(c->getPointAtIndex(-1), nullptr);

    c->appendPointsFrom(*c);
    EXPECT_EQ(xs(*c), (std::vector<double> { 0, 3, 0, 3 }));
    EXPECT_NE(c->getPointAtIndex(0), c->getPointAtIndex(2));

    auto copy = Curve::initByCopying(*c);
    EXPECT_NE(copy->getPointAtIndex(0), c->getPointAtIndex(0));
    EXPECT_EQ(xs(*copy), xs(*c));

    EXPECT_TRUE(c->validateData());
    EXPECT_FALSE(makeCurve({ { 1, 1, true } })->validateData());
}

TEST(CurveTest, CachesFollowChanges)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, true } });
    const QRectF before = curve->getBounds();
    // Bounds do not keep the iterator they were measured with; hit tests do.
    EXPECT_NE(curve->getCurveIteratorCaching(false), curve->getCurveIteratorCaching(false));
    auto cached = curve->getCurveIteratorCaching(true);
    EXPECT_EQ(curve->getCurveIteratorCaching(false), cached);

    // A point changed directly reaches the caches only through flushCache.
    curve->getPointAtIndex(2)->setPoint(QPointF(20, 20));
    EXPECT_EQ(curve->getBounds(), before);
    curve->flushCache();
    EXPECT_EQ(curve->getBounds(), QRectF(0, 0, 20, 20));
    EXPECT_NE(curve->getCurveIteratorCaching(true), cached);

    // Setting the same closed flag keeps the caches; a change empties them.
    const DrawCommandList* commands = &curve->getDrawCommands();
    curve->setClosed(false);
    EXPECT_EQ(commands, &curve->getDrawCommands());
    curve->setClosed(true);
    EXPECT_EQ(curve->getDrawCommands().back(), close());

    curve->transformBy(QTransform::fromScale(0.5, 0.5));
    EXPECT_EQ(curve->getBounds(), QRectF(0, 0, 10, 10));
}

TEST(CurveTest, OffsetMovesTheCachesWithThePoints)
{
    auto curve
        = makeCurve({ { 0, 0, true }, { 10.1, 0, false }, { 10, 10.3, false }, { 0, 10, true } }, true);
    curve->getDrawCommands();
    const QRectF bounds = curve->getBounds();
    curve->getCurveIteratorCaching(true);
    curve->offsetBy(QPointF(5.5, -2.25));
    const DrawCommandList moved = curve->getDrawCommands();
    EXPECT_EQ(curve->getBounds(), bounds.translated(5.5, -2.25));
    curve->flushCache();
    const DrawCommandList fresh = curve->getDrawCommands();
    ASSERT_EQ(moved.size(), fresh.size());
    for (std::size_t i = 0; i < moved.size(); ++i) {
        EXPECT_EQ(moved[i].command(), fresh[i].command());
        EXPECT_NEAR(moved[i].x1(), fresh[i].x1(), 1e-5);
        EXPECT_NEAR(moved[i].y1(), fresh[i].y1(), 1e-5);
        EXPECT_NEAR(moved[i].x2(), fresh[i].x2(), 1e-5);
        EXPECT_NEAR(moved[i].y2(), fresh[i].y2(), 1e-5);
    }
    EXPECT_NEAR(curve->getBounds().left(), bounds.left() + 5.5, 1e-5);
}

TEST(CurveTest, BoundsAndHitTests)
{
    auto single = makeCurve({ { 3, 4, false } });
    EXPECT_EQ(single->getGeometryBounds(), QRectF(3, 4, double(0.1f), double(0.1f)));
    EXPECT_EQ(Curve().getGeometryBounds(), QRectF());
    EXPECT_EQ(Curve().getBounds(), QRectF());

    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, true } });
    // Geometry bounds hold the control point; bounds only the flattened outline.
    EXPECT_EQ(curve->getGeometryBounds(), QRectF(0, 0, 10, 10));
    auto bow = makeCurve({ { 0, 0, true }, { 10, 20, false }, { 20, 0, true } });
    EXPECT_EQ(bow->getGeometryBounds(), QRectF(0, 0, 20, 20));
    EXPECT_NEAR(bow->getBounds().height(), 10, 1e-5);

    EXPECT_TRUE(bow->isPointOnCurve(QPointF(10, 10.4), 1));
    EXPECT_FALSE(bow->isPointOnCurve(QPointF(10, 12), 1));
    // Hit tests keep their flattening for the next test.
    EXPECT_EQ(bow->getCurveIteratorCaching(false), bow->getCurveIteratorCaching(false));
    EXPECT_NE(bow->getCurveIteratorCaching(false), nullptr);
    EXPECT_EQ(bow->getCurveIteratorCaching(false)->precision(), 8);
}

TEST(CurveTest, CurvesBecomeCanvasPaths)
{
    auto curve = makeCurve({ { 0, 0, true }, { 10, 0, false }, { 10, 10, true }, { 0, 10, true } }, true);
    const CanvasPath quadratic = curve->createCGPath();
    const CanvasPath cubic = curve->createNSBezierPath();
    EXPECT_EQ(quadratic.windingRule(), WindingRule::NonZero);
    EXPECT_EQ(cubic.windingRule(), WindingRule::EvenOdd);
    for (const CanvasPath* path : { &quadratic, &cubic }) {
        EXPECT_TRUE(path->contains(QPointF(5, 5)));
        EXPECT_FALSE(path->contains(QPointF(9.9, 0.5))); // outside the curved corner
        EXPECT_NEAR(path->bounds().width(), 10, 1e-9);
    }
}

TEST(CurveTest, PropertiesByName)
{
    Curve curve;
    curve.setValueForKey(Value(true), "closed");
    EXPECT_TRUE(curve.closed());
    EXPECT_EQ(curve.className(), "Curve");
}

} // namespace
} // namespace zandrel
