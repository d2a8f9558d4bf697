#include "graphics/EdgeEffects.h"

#include "CurveTestSupport.h"
#include "graphics/CurveIterator.h"
#include "graphics/GraphicUtils.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "platform/Random.h"
#include "support/TestSupport.h"

#include <QImage>
#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace zandrel {
namespace {

using test::makeCurve;

struct Pt {
    double x;
    double y;
    bool on;
    bool operator==(const Pt&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Pt& p)
{
    return out << '(' << p.x << ", " << p.y << (p.on ? ", on)" : ", off)");
}

std::vector<Pt> pointsOf(const Curve& curve)
{
    std::vector<Pt> out;
    for (const CurvePointPtr& p : curve.points())
        out.push_back({ p->point().x(), p->point().y(), p->onCurve() });
    return out;
}

// Results go through single precision: equal within a ten-thousandth, and the same flags.
void expectPoints(const std::vector<Pt>& actual, const std::vector<Pt>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_NEAR(actual[i].x, expected[i].x, 1e-4) << i;
        EXPECT_NEAR(actual[i].y, expected[i].y, 1e-4) << i;
        EXPECT_EQ(actual[i].on, expected[i].on) << i;
    }
}

using Effect = std::function<CurvePtr(const Curve&)>;

struct NamedEffect {
    const char* name;
    Effect run;
};

// The effects with the values their callers pass.
const std::vector<NamedEffect>& allEffects()
{
    static const std::vector<NamedEffect> effects {
        { "spike", [](const Curve& c) { return spikePathAroundCurve(c, false, 12, 20, 0); } },
        { "scallop", [](const Curve& c) { return scallopPathAroundCurve(c, 12, 15); } },
        { "roughSpike", [](const Curve& c) { return roughSpikePathAroundCurve(c, false, 24, 13, 0); } },
        { "roughScallop", [](const Curve& c) { return roughScallopPathAroundCurve(c, 20, 5); } },
        { "marked", [](const Curve& c) { return markedPathAlongCurve(c, 12, 3); } },
        { "markedOpen", [](const Curve& c) { return markedPathAlongCurveOpen(c, 15, 10); } },
        { "handDrawn", [](const Curve& c) { return handDrawnPathFromCurve(c); } },
    };
    return effects;
}

CurvePtr roundedRect()
{
    return Curve::initWithRect(QRectF(20, 15, 120, 80), 14);
}

CurvePtr ellipse()
{
    return Curve::initWithEllipseIn(QRectF(20, 15, 120, 80));
}

CurvePtr line(double length)
{
    return makeCurve({ { 0, 0, true }, { length, 0, true } });
}

TEST(EdgeEffectsTest, EveryRedrawGivesTheSameOutline)
{
    const CurvePtr outlines[] = { roundedRect(), ellipse() };
    for (const CurvePtr& outline : outlines) {
        const std::vector<Pt> sourceBefore = pointsOf(*outline);
        for (const NamedEffect& effect : allEffects()) {
            SCOPED_TRACE(effect.name);
            const std::vector<Pt> first = pointsOf(*effect.run(*outline));
            ASSERT_FALSE(first.empty());
            // Other users of the generator draw in between, and so do the other effects.
            Random::seed(7);
            for (int i = 0; i < 13; ++i)
                randomFloatBetween(0, 1);
            handDrawnPathFromCurve(*line(37));
            spikePathAroundCurve(*ellipse(), true, 5, 5, 5);
            EXPECT_EQ(pointsOf(*effect.run(*outline)), first);
        }
        EXPECT_EQ(pointsOf(*outline), sourceBefore) << "the source is never changed";
    }
}

TEST(EdgeEffectsTest, AroundEffectsTakeWholeStepsAndAlwaysClose)
{
    struct Around {
        const char* name;
        std::function<CurvePtr(const Curve&, float step)> run;
        int pointsPerStep;
    };
    const Around effects[] = {
        { "spike", [](const Curve& c, float s) { return spikePathAroundCurve(c, false, s, 20, 0); }, 2 },
        { "scallop", [](const Curve& c, float s) { return scallopPathAroundCurve(c, s, 15); }, 2 },
        { "roughSpike", [](const Curve& c, float s) { return roughSpikePathAroundCurve(c, true, s, 13, -5); },
            3 },
        { "roughScallop", [](const Curve& c, float s) { return roughScallopPathAroundCurve(c, s, 5); }, 4 },
    };
    // Open lines of these lengths with a step of 12: no step below half a step, one up to a step
    // and a half, then the nearest whole count.
    const struct {
        double length;
        int steps;
    } table[]
        = { { 0, 0 }, { 5.9, 0 }, { 6, 1 }, { 8, 1 }, { 17.9, 1 }, { 18.1, 2 }, { 120, 10 }, { 125, 10 } };
    for (const Around& effect : effects) {
        SCOPED_TRACE(effect.name);
        for (const auto& row : table) {
            SCOPED_TRACE(row.length);
            const CurvePtr result = effect.run(*line(row.length), 12);
            EXPECT_TRUE(result->closed());
            EXPECT_EQ(result->numPoints(), row.steps * effect.pointsPerStep);
        }
        // A step that is not a positive number takes no steps at all.
        for (float bad : { 0.0f, -12.0f, std::nanf(""), std::numeric_limits<float>::infinity() })
            EXPECT_EQ(effect.run(*roundedRect(), bad)->numPoints(), 0) << bad;
        // A tiny step is capped rather than making millions of points.
        EXPECT_EQ(effect.run(*roundedRect(), 1e-6f)->numPoints(), kEdgeEffectMaxSteps * effect.pointsPerStep);
    }
}

// How much farther from the centre of the outline's bounds a result point lies than the outline
// point it was pushed from.
struct PushCheck {
    CurveIterator it;
    QPointF centre;
    float step = 0;

    PushCheck(const Curve& source, float requested)
        : it(source, 16)
    {
        centre = rectCenter(it.bounds());
        step = it.getDivisibleSegmentLengthNear(requested);
    }
    double pushAt(const Pt& p, float d)
    {
        it.setTraverseDistance(d);
        const QPointF from = it.currentPoint();
        return std::hypot(p.x - centre.x(), p.y - centre.y())
            - std::hypot(from.x() - centre.x(), from.y() - centre.y());
    }
};

TEST(EdgeEffectsTest, AroundEffectsPushWithinTheirRanges)
{
    const CurvePtr source = roundedRect();
    const double e = 1e-3;
    for (bool inward : { false, true }) {
        SCOPED_TRACE(inward);
        const double s = inward ? -1 : 1;
        // Base points 1 unit in to 2 out, tips between half the amplitude and the amplitude; the
        // offset moves both.
        PushCheck check(*source, 10);
        const std::vector<Pt> spike = pointsOf(*spikePathAroundCurve(*source, inward, 10, 14, -8));
        ASSERT_EQ(spike.size() % 2, 0u);
        for (std::size_t i = 0; i < spike.size(); i += 2) {
            const float d = check.step * float(i / 2);
            EXPECT_TRUE(spike[i].on && spike[i + 1].on);
            const double base = s * check.pushAt(spike[i], d);
            EXPECT_GE(base, -1 - 8 - e);
            EXPECT_LT(base, 2 - 8 + e);
            const double tip = s * check.pushAt(spike[i + 1], d + check.step / 2);
            EXPECT_GE(tip, 7 - 8 - e);
            EXPECT_LT(tip, 14 - 8 + e);
        }

        // Rough spikes: both control points of a tip at one height, 0.6 to 1 times the amplitude.
        PushCheck rough(*source, 20);
        const std::vector<Pt> bumps = pointsOf(*roughSpikePathAroundCurve(*source, inward, 20, 10, -5));
        ASSERT_EQ(bumps.size() % 3, 0u);
        for (std::size_t i = 0; i < bumps.size(); i += 3) {
            const float d = rough.step * float(i / 3);
            EXPECT_TRUE(bumps[i].on && !bumps[i + 1].on && !bumps[i + 2].on);
            const double a = s * rough.pushAt(bumps[i + 1], d + rough.step / 6);
            EXPECT_NEAR(s * rough.pushAt(bumps[i + 2], d + 5 * rough.step / 6), a, e);
            EXPECT_GE(a, 6 - 5 - e);
            EXPECT_LT(a, 10 - 5 + e);
        }
    }

    // Scallops: control points step - 3 to step units inside, sharp points outside.
    PushCheck scallopCheck(*source, 12);
    const std::vector<Pt> scallop = pointsOf(*scallopPathAroundCurve(*source, 12, 15));
    for (std::size_t i = 0; i < scallop.size(); i += 2) {
        const float d = scallopCheck.step * float(i / 2);
        EXPECT_TRUE(!scallop[i].on && scallop[i + 1].on);
        const double control = scallopCheck.pushAt(scallop[i], d);
        EXPECT_GE(control, -12 - e);
        EXPECT_LT(control, -9 + e);
        const double tip = scallopCheck.pushAt(scallop[i + 1], d + scallopCheck.step / 2);
        EXPECT_GE(tip, 7.5 - e);
        EXPECT_LT(tip, 15 + e);
    }

    // Rough scallops: two points just inside, then two at one height outside.
    PushCheck roughScallopCheck(*source, 20);
    const std::vector<Pt> rough = pointsOf(*roughScallopPathAroundCurve(*source, 20, 5));
    const float q = roughScallopCheck.step / 4;
    for (std::size_t i = 0; i < rough.size(); i += 4) {
        const float d = roughScallopCheck.step * float(i / 4);
        for (int k = 0; k < 4; ++k)
            EXPECT_FALSE(rough[i + k].on);
        for (int k = 0; k < 2; ++k) {
            const double inside = roughScallopCheck.pushAt(rough[i + k], d + k * q);
            EXPECT_GE(inside, -4 - e);
            EXPECT_LT(inside, -1 + e);
        }
        const double a = roughScallopCheck.pushAt(rough[i + 2], d + 2 * q);
        EXPECT_NEAR(roughScallopCheck.pushAt(rough[i + 3], d + 3 * q), a, e);
        EXPECT_GE(a, 3 - e);
        EXPECT_LT(a, 5 + e);
    }
}

TEST(EdgeEffectsTest, MarkedPathsAlternateSidesPartByPart)
{
    // A span of three steps holds six parts; the first goes to the right of the direction of travel
    // (negative y here, with y up), then the sides alternate.
    expectPoints(pointsOf(*markedPathAlongCurve(*line(36), 12, 4)),
        (std::vector<Pt> { { 1.5, -2, false }, { 4.5, -2, false }, { 7.5, 2, false }, { 10.5, 2, false },
            { 13.5, -2, false }, { 16.5, -2, false }, { 19.5, 2, false }, { 22.5, 2, false },
            { 25.5, -2, false }, { 28.5, -2, false }, { 31.5, 2, false }, { 34.5, 2, false },
            { 36, 0, true } }));
    // The zigzag puts its corner 0.5 units into each part's middle half.
    expectPoints(pointsOf(*markedPathAlongCurveOpen(*line(36), 12, 4)),
        (std::vector<Pt> { { 2, -2, true }, { 8, 2, true }, { 14, -2, true }, { 20, 2, true },
            { 26, -2, true }, { 32, 2, true }, { 36, 0, true } }));
    // A span no longer than half a step is a single part.
    expectPoints(pointsOf(*markedPathAlongCurve(*line(6), 12, 4)),
        (std::vector<Pt> { { 1.5, -2, false }, { 4.5, -2, false }, { 6, 0, true } }));
    // A span of no length keeps only its end.
    EXPECT_EQ(pointsOf(*markedPathAlongCurve(*line(0), 12, 4)), (std::vector<Pt> { { 0, 0, true } }));

    // Around a square each side holds an even number of parts, so every side starts on the same
    // side; the result stays closed and passes through every corner, the start last.
    const CurvePtr square = Curve::initWithRect(QRectF(0, 0, 24, 24), 0);
    const CurvePtr wave = markedPathAlongCurve(*square, 12, 2);
    EXPECT_TRUE(wave->closed());
    const std::vector<Pt> points = pointsOf(*wave);
    ASSERT_EQ(points.size(), 36u);
    const Pt corners[] = { { 24, 0, true }, { 24, 24, true }, { 0, 24, true }, { 0, 0, true } };
    const Pt starts[] = { { 1.5, -1, false }, { 25, 1.5, false }, { 22.5, 25, false }, { -1, 22.5, false } };
    for (int side = 0; side < 4; ++side) {
        expectPoints({ points[side * 9] }, { starts[side] });
        expectPoints({ points[side * 9 + 8] }, { corners[side] });
    }
    EXPECT_FALSE(markedPathAlongCurveOpen(*line(30), 15, 10)->closed());
}

TEST(EdgeEffectsTest, HandDrawnStraightSidesKeepTheirCornersAndStayNearTheChord)
{
    const CurvePtr rect = Curve::initWithRect(QRectF(10, 10, 200, 100), 0);
    const CurvePtr result = handDrawnPathFromCurve(*rect);
    EXPECT_TRUE(result->closed());
    std::vector<Pt> corners;
    const QPointF sides[4][2] = { { { 10, 10 }, { 210, 10 } }, { { 210, 10 }, { 210, 110 } },
        { { 210, 110 }, { 10, 110 } }, { { 10, 110 }, { 10, 10 } } };
    int side = 0;
    int offCurve = 0;
    for (const Pt& p : pointsOf(*result)) {
        if (p.on) {
            corners.push_back(p);
            ++side;
            continue;
        }
        ASSERT_LT(side, 4);
        ++offCurve;
        EXPECT_LE(distanceFromPointToSegment(sides[side][0], sides[side][1], QPointF(p.x, p.y)), 1.75 + 1e-4);
    }
    // Steps of 3 to 60 units along 600 units.
    EXPECT_GE(offCurve, 600 / 60 - 4);
    EXPECT_LE(offCurve, 600 / 3);
    expectPoints(corners,
        (std::vector<Pt> { { 210, 10, true }, { 210, 110, true }, { 10, 110, true }, { 10, 10, true } }));

    // An open line starts with its start point; lines of the same whole length draw the same
    // numbers, so their points agree until the shorter one ends.
    const std::vector<Pt> a = pointsOf(*handDrawnPathFromCurve(*line(100.2)));
    const std::vector<Pt> b = pointsOf(*handDrawnPathFromCurve(*line(100.7)));
    ASSERT_GE(a.size(), 3u);
    EXPECT_EQ(a.front(), (Pt { 0, 0, true }));
    expectPoints({ a.back() }, { { 100.2, 0, true } });
    expectPoints({ b.back() }, { { 100.7, 0, true } });
    for (std::size_t i = 0; i + 1 < a.size() && i + 1 < b.size(); ++i) {
        if (!a[i].on && a[i].x < 100.2)
            EXPECT_EQ(a[i], b[i]);
    }
    EXPECT_FALSE(handDrawnPathFromCurve(*line(100))->closed());
}

TEST(EdgeEffectsTest, HandDrawnCurvesStartOnTheCurveWhereTheyCan)
{
    // The rounded rectangle starts off the curve: the walk starts at its first on-curve point, on a
    // copy, so the result ends there.
    const CurvePtr rounded = roundedRect();
    ASSERT_FALSE(rounded->getPointAtIndex(0)->onCurve());
    ASSERT_TRUE(rounded->getPointAtIndex(1)->onCurve());
    const std::vector<Pt> before = pointsOf(*rounded);
    const CurvePtr result = handDrawnPathFromCurve(*rounded);
    EXPECT_EQ(pointsOf(*rounded), before);
    EXPECT_TRUE(result->closed());
    const Pt last = pointsOf(*result).back();
    EXPECT_TRUE(last.on);
    EXPECT_NEAR(last.x, before[1].x, 1e-3);
    EXPECT_NEAR(last.y, before[1].y, 1e-3);
    int onCurve = 0;
    for (const Pt& p : pointsOf(*result))
        onCurve += p.on;
    EXPECT_EQ(onCurve, 8) << "one per source vertex";

    // An outline of off-curve points only has no vertex to end on: all of it stays off the curve.
    const CurvePtr oval = ellipse();
    const CurvePtr wobbly = handDrawnPathFromCurve(*oval);
    EXPECT_TRUE(wobbly->closed());
    EXPECT_GT(wobbly->numPoints(), 4);
    for (const Pt& p : pointsOf(*wobbly))
        EXPECT_FALSE(p.on);
    // It still follows the outline closely.
    const QRectF bounds = wobbly->getBounds();
    EXPECT_NEAR(bounds.left(), 20, 3);
    EXPECT_NEAR(bounds.right(), 140, 3);
    EXPECT_NEAR(bounds.top(), 15, 3);
    EXPECT_NEAR(bounds.bottom(), 95, 3);
}

TEST(EdgeEffectsTest, BadOutlinesAndNumbersNeverRunAway)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Nothing to walk: no points, never a point made up at the origin.
    const CurvePtr nothing[] = {
        std::make_shared<Curve>(),
        makeCurve({ { 5, 5, true } }, true),
        makeCurve({ { 0, 0, true }, { nan, 3, true }, { 4, 4, true } }),
        makeCurve({ { 0, 0, true }, { inf, 0, true } }, true),
    };
    for (const NamedEffect& effect : allEffects()) {
        SCOPED_TRACE(effect.name);
        for (const CurvePtr& source : nothing)
            EXPECT_EQ(effect.run(*source)->numPoints(), 0);
    }

    // Non-finite amplitudes and offsets count as 0.
    const CurvePtr oval = ellipse();
    const float fnan = std::nanf("");
    const CurvePtr withNaN[] = { spikePathAroundCurve(*oval, false, 12, fnan, fnan),
        scallopPathAroundCurve(*oval, 12, fnan), roughSpikePathAroundCurve(*oval, true, 24, fnan, fnan),
        roughScallopPathAroundCurve(*oval, 20, fnan), markedPathAlongCurve(*oval, 12, fnan),
        markedPathAlongCurveOpen(*oval, 15, fnan) };
    for (const CurvePtr& result : withNaN) {
        EXPECT_GT(result->numPoints(), 0);
        for (const Pt& p : pointsOf(*result))
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    }

    // Marked paths: no step, a tiny one or a nonsensical one still ends, with a bounded count.
    const CurvePtr rect = roundedRect();
    for (float step : { 0.0f, 1e-9f, -4.0f, fnan, std::numeric_limits<float>::infinity() }) {
        SCOPED_TRACE(step);
        for (const CurvePtr& result :
            { markedPathAlongCurve(*rect, step, 3), markedPathAlongCurveOpen(*rect, step, 3) }) {
            EXPECT_GT(result->numPoints(), 0);
            EXPECT_LE(result->numPoints(), 2 * (2 * kEdgeEffectMaxSteps + 8) + 8);
        }
    }

    // Huge outlines: the counts stay bounded and the work quick, however long the outline.
    const auto started = std::chrono::steady_clock::now();
    const CurvePtr hugeOutlines[] = { Curve::initWithRect(QRectF(0, 0, 3e7, 2e7), 4e5),
        Curve::initWithEllipseIn(QRectF(-1e8, -1e8, 2e8, 1e8)) };
    for (const CurvePtr& huge : hugeOutlines) {
        for (const NamedEffect& effect : allEffects()) {
            SCOPED_TRACE(effect.name);
            const int count = effect.run(*huge)->numPoints();
            EXPECT_GT(count, 0);
            EXPECT_LE(count, 4 * kEdgeEffectMaxSteps + 16);
        }
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
}

// Every effect, with the values its callers pass, on a rounded rectangle (top row) and an
// ellipse (bottom row).
QImage referenceSheet()
{
    // Room for tips of up to 20 units around the 120 by 80 shapes.
    const int width = 180;
    const int height = 130;
    const int rows = 2;
    const int columns = int(allEffects().size());
    const QSize size(columns * width, rows * height);
    OffscreenImage offscreen(size);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size)), QColor(Qt::white));
    {
        CanvasScope scope(canvas);
        const CurvePtr shapes[] = { roundedRect(), ellipse() };
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                CurvePtr result = allEffects()[column].run(*shapes[row]);
                result->offsetBy(QPointF(column * width + 10, row * height + 10));
                CanvasPath path = result->createCGPath();
                path.setLineWidth(1.5);
                canvas->strokePath(path, QColor(Qt::black));
            }
        }
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(EdgeEffectsTest, ReferenceSheet)
{
    const QImage image = referenceSheet();
    ASSERT_FALSE(image.isNull());
    test::expectLikeReferenceImage(image, QStringLiteral("tests/graphics/data/edge-effects.png"), 24, 500);
}

} // namespace
} // namespace zandrel
