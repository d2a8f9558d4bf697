// The outlines of every balloon shape, their edge effects, and how shapes, styles and tails look.
#include "BalloonTestSupport.h"
#include "graphics/ColorFill.h"
#include "graphics/EdgeEffects.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"
#include "platform/Random.h"

#include <cmath>
#include <vector>

namespace zandrel {
namespace {

using test::CurvePt;

void expectPoints(const CurvePtr& curve, const std::vector<CurvePt>& expected, bool closed)
{
    test::expectCurvePoints(curve, expected, closed);
}

std::vector<CurvePt> pointsOf(const Curve& curve)
{
    std::vector<CurvePt> out;
    for (const CurvePointPtr& p : curve.points())
        out.push_back({ p->point().x(), p->point().y(), p->onCurve() });
    return out;
}

void expectNearRect(const QRectF& actual, const QRectF& expected, double tolerance)
{
    EXPECT_NEAR(actual.left(), expected.left(), tolerance);
    EXPECT_NEAR(actual.top(), expected.top(), tolerance);
    EXPECT_NEAR(actual.right(), expected.right(), tolerance);
    EXPECT_NEAR(actual.bottom(), expected.bottom(), tolerance);
}

// The largest change of direction, in degrees, between the chords reaching `reach` back and forth
// along the closed outline from any point: a corner shows as its angle, a curve of radius r as
// about 2 reach / r.
double sharpestTurn(const QPainterPath& path, double reach)
{
    const double length = path.length();
    auto at
        = [&](double s) { return path.pointAtPercent(path.percentAtLength(std::fmod(s + length, length))); };
    double sharpest = 0;
    for (double s = 0; s < length; s += 0.5) {
        const QPointF a = at(s - reach);
        const QPointF b = at(s);
        const QPointF c = at(s + reach);
        double turn
            = std::abs(std::atan2(c.y() - b.y(), c.x() - b.x()) - std::atan2(b.y() - a.y(), b.x() - a.x()));
        turn = std::min(turn, 2 * M_PI - turn);
        sharpest = std::max(sharpest, turn * 180 / M_PI);
    }
    return sharpest;
}

using BalloonOutlineTest = test::BalloonTestBase;

TEST_F(BalloonOutlineTest, EveryShapeAroundOneLine)
{
    // Empty text at width 100 is the one line (0, 0, 100, 20), placed at (40, 30): outlines are
    // local, so the origin changes nothing.
    const BalloonPtr balloon = test::emptyBalloon(100, QPointF(40, 30));
    expectPoints(balloon->getStandardBalloonPath(),
        { { 10, -6, false }, { 50, -12, false }, { 90, -6, false }, { 106, 2, false }, { 107, 10, false },
            { 106, 18, false }, { 90, 26, false }, { 50, 32, false }, { 10, 26, false }, { -6, 18, false },
            { -7, 10, false }, { -6, 2, false } },
        true);
    // The rounded rectangle keeps 2 + 10 (sqrt 2 - 1) from the text; the narration box 5 and 4.
    const double margin = 6.1421356;
    expectNearRect(balloon->getRoundRectBalloonPath()->getBounds(),
        QRectF(-margin, -margin, 100 + 2 * margin, 20 + 2 * margin), 1e-3);
    expectPoints(balloon->getRectBalloonPath(),
        { { -5, -4, true }, { 105, -4, true }, { 105, 24, true }, { -5, 24, true } }, true);
    // The ellipse of the line's aspect (5:1) through its corners: half axes 50 sqrt 2 and 10 sqrt 2.
    const double a = 50 * std::sqrt(2.0);
    expectNearRect(
        balloon->getEllipseBalloonPath()->getBounds(), QRectF(50 - a, 10 - a / 5, 2 * a, 2 * a / 5), 0.05);
    for (const QPointF& textCorner : { QPointF(0, 0), QPointF(100, 20) }) {
        const QPointF c(50, 10);
        const double r = std::hypot((textCorner.x() - c.x()) / a, (textCorner.y() - c.y()) / (a / 5));
        EXPECT_NEAR(r, 1.0, 1e-6) << "the corners lie on the ellipse";
    }
    // Without glyphs the fitted outline is the standard one.
    EXPECT_EQ(balloon->getFittedBalloonPath()->getDrawCommands(),
        balloon->getStandardBalloonPath()->getDrawCommands());
    // A body without width has no aspect: its ellipse is the standard outline.
    EXPECT_EQ(Balloon::ellipseOutline({ QRectF(0, 0, 0, 20) })->getDrawCommands(),
        Balloon::standardOutline(QRectF())->getDrawCommands());

    // The shape picks the builder; text blocks and unknown shapes take the standard outline.
    const struct {
        int shape;
        CurvePtr expected;
    } shapes[] = {
        { 0, balloon->getStandardBalloonPath() },
        { 1, balloon->getEllipseBalloonPath() },
        { 2, balloon->getRoundRectBalloonPath() },
        { 3, balloon->getRectBalloonPath() },
        { 4, balloon->getFittedBalloonPath() },
        { 5, balloon->getStandardBalloonPath() },
        { 77, balloon->getStandardBalloonPath() },
    };
    for (const auto& shape : shapes) {
        balloon->setShape(shape.shape);
        EXPECT_EQ(balloon->getBalloonPath()->getDrawCommands(), shape.expected->getDrawCommands())
            << shape.shape;
    }
}

TEST_F(BalloonOutlineTest, OutlinesAroundShortTextStayRound)
{
    // Ordinary lettering turns no more sharply than this along its standard outline (a line 100 wide
    // comes to about 23 degrees at its corners); one letter or none once gave a kite turning 110 to
    // 180 degrees at its top and bottom.
    constexpr double kSharpest = 25.0;
    const struct {
        QString text;
        float width;
    } balloons[] = { { QString(), 0 }, { QString(), 100 }, { QStringLiteral("!"), 100 },
        { QStringLiteral("I"), 100 }, { QStringLiteral("Hi"), 100 }, { QStringLiteral("OK?"), 100 },
        { QStringLiteral("Wow"), 100 }, { QStringLiteral("A B C"), 8 }, { QStringLiteral("Hey you"), 100 } };
    for (const auto& [text, width] : balloons) {
        const BalloonPtr balloon
            = text.isEmpty() ? test::emptyBalloon(width) : test::balloonWith(text, width);
        const QRectF body = balloon->getVisibleEnclosingRect();
        for (const int shape : { 0, 1, 2, 4, 5 }) {
            // The ellipse of a long line is meant to be as long: it comes to tighter ends.
            if (shape == 1 && body.width() > 2 * body.height())
                continue;
            SCOPED_TRACE(
                QStringLiteral("'%1' width %2 shape %3").arg(text).arg(width).arg(shape).toStdString());
            balloon->setShape(shape);
            const CanvasPath outline = balloon->getBalloonPath()->createCGPath();
            EXPECT_LE(sharpestTurn(outline.painterPath(), 2.0), kSharpest);
            // The text keeps inside the outline (the ellipse passes through its corners).
            const QRectF inside = insetRect(body, 0.5, 0.5);
            for (const QPointF& corner :
                { inside.topLeft(), inside.topRight(), inside.bottomLeft(), inside.bottomRight() })
                EXPECT_TRUE(outline.contains(corner));
        }
        // The edge effects go round the same smooth outline: the same text keeps inside them.
        for (int style = 1; style <= 4; ++style) {
            balloon->setShape(0);
            balloon->setStyle(style);
            EXPECT_TRUE(balloon->getBalloonPath()->createCGPath().contains(rectCenter(body))) << style;
            balloon->setStyle(0);
        }
    }
}

// Each builder gives its own outline wherever that turns within the limit of ordinary lettering;
// only a body too small for that grows, about its centre, and just as far as the limit needs.
TEST_F(BalloonOutlineTest, SmallBodiesGrowOnlyAsFarAsTheirOutlinesNeed)
{
    const auto turn
        = [](const CurvePtr& outline) { return sharpestTurn(outline->createCGPath().painterPath(), 2.0); };
    // The standard outline's control points, straight from its table in single precision.
    const auto table = [](const QRectF& r) {
        const float w = float(r.width()), h = float(r.height());
        const float a = std::min(h / 10, 20.0f), b = std::min(w / 10, 20.0f);
        const float c = std::max(std::min(h * 0.25f, 12.0f), 7.0f);
        const float points[12][2] = { { b, -6 }, { w / 2, -12 }, { w - b, -6 }, { w + 6, a },
            { w + c, h / 2 }, { w + 6, h - a }, { w - b, h + 6 }, { w / 2, h + 12 }, { b, h + 6 },
            { -6, h - a }, { -c, h / 2 }, { -6, a } };
        std::vector<CurvePt> expected;
        for (const auto& [x, y] : points)
            expected.push_back({ x + r.x(), y + r.y(), false });
        return expected;
    };
    for (const QRectF& body : { QRectF(3, 4, 18.2, 20), QRectF(0, 0, 30, 20), QRectF(0, 0, 39, 10),
             QRectF(0, 0, 100, 12), QRectF(0, 0, 22, 60) })
        expectPoints(Balloon::standardOutline(body), table(body), true);
    const struct {
        const char* name;
        CurvePtr outline;
        CurvePtr grownTo;
    } grown[] = {
        { "an empty balloon of width 0", Balloon::standardOutline(QRectF(50, 0, 0, 20)),
            Balloon::standardOutline(QRectF(40.9, 0, 18.2, 20)) },
        { "two letters", Balloon::standardOutline(QRectF(41, 0, 15, 20)),
            Balloon::standardOutline(QRectF(39.4, 0, 18.2, 20)) },
        { "a line 4 high", Balloon::standardOutline(QRectF(0, 2, 30, 4)),
            Balloon::standardOutline(QRectF(0, 4 - 8.965 / 2, 30, 8.965)) },
        { "a column of letters in an ellipse", Balloon::ellipseOutline({ QRectF(45, 0, 10, 60) }), nullptr },
        { "one letter in an ellipse", Balloon::ellipseOutline({ QRectF(47, 0, 6, 20) }), nullptr },
        { "a fitted point on a long line",
            Balloon::fittedOutline({ QRectF(49, 0, 2, 20), QRectF(0, 20, 100, 20) }),
            Balloon::fittedOutline({ QRectF(47.4, 0, 5.2, 20), QRectF(0, 20, 100, 20) }) },
    };
    for (const auto& each : grown) {
        SCOPED_TRACE(each.name);
        if (each.grownTo) {
            EXPECT_EQ(each.outline->getDrawCommands(), each.grownTo->getDrawCommands());
        }
        EXPECT_LE(turn(each.outline), 25.0);
        EXPECT_GT(turn(each.outline), 23.5) << "grown no further than needed";
    }
    // Low bodies grow higher the wider they are, as far as the limit needs.
    for (double width = 18.2; width < 65; width += 4) {
        SCOPED_TRACE(width);
        EXPECT_LE(turn(Balloon::standardOutline(QRectF(0, 0, width, 2))), 25.0);
        EXPECT_GT(turn(Balloon::standardOutline(QRectF(0, 0, width, 2))), 23.5);
    }
    // Bodies round enough keep their own ellipse and fitted outline.
    expectNearRect(Balloon::ellipseOutline({ QRectF(0, 0, 30, 40) })->getBounds(),
        QRectF(15 - 15 * std::sqrt(2.0), 20 - 20 * std::sqrt(2.0), 30 * std::sqrt(2.0), 40 * std::sqrt(2.0)),
        1e-4);
    expectPoints(Balloon::fittedOutline({ QRectF(0, 0, 6, 8) }),
        { { 0, -10, false }, { -15, 0, false }, { -15, 8, false }, { 0, 18, false }, { 6, 18, false },
            { 21, 8, false }, { 21, 0, false }, { 6, -10, false } },
        true);
}

// The ellipse keeps the aspect of the text's body and passes through its farthest line corner;
// only a body narrower than high is first widened about its centre until its ends are round.
TEST_F(BalloonOutlineTest, EllipsesKeepTheAspectOfTheirText)
{
    const double r2 = std::sqrt(2.0);
    // The widths at which a body 20 and 60 high comes to round ends.
    const double w20 = std::sqrt(5.45 * 20 + 9), w60 = std::sqrt(5.45 * 60 + 9);
    const auto lines = [](int count, double width, double x = 0) {
        QList<QRectF> made;
        for (int i = 0; i < count; ++i)
            made.append(QRectF(x, 20.0 * i, width, 20));
        return made;
    };
    const struct {
        const char* name;
        QList<QRectF> lines;
        QRectF expected;
    } cases[] = {
        { "one line 100 x 20", lines(1, 100), QRectF(50 - 50 * r2, 10 - 10 * r2, 100 * r2, 20 * r2) },
        { "five lines 50 x 20", lines(5, 50), QRectF(25 - 25 * r2, 50 - 50 * r2, 50 * r2, 100 * r2) },
        // Body 100 x 60, aspect 5:3: the outer lines' corners are the farthest.
        { "an indented middle line",
            { QRectF(0, 0, 100, 20), QRectF(20, 20, 60, 20), QRectF(0, 40, 100, 20) },
            QRectF(50 - 50 * r2, 30 - 30 * r2, 100 * r2, 60 * r2) },
        { "one letter widened", { QRectF(47, 0, 6, 20) },
            QRectF(50 - w20 / 2 * r2, 10 - 10 * r2, w20 * r2, 20 * r2) },
        { "a column of letters widened", lines(3, 10, 45),
            QRectF(50 - w60 / 2 * r2, 30 - 30 * r2, w60 * r2, 60 * r2) },
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.name);
        expectNearRect(Balloon::ellipseOutline(each.lines)->getBounds(), each.expected, 0.01);
    }
}

TEST_F(BalloonOutlineTest, FittedOutlinesBridgeIndentedLines)
{
    expectPoints(Balloon::fittedOutline({ QRectF(0, 0, 50, 20), QRectF(0, 20, 100, 20) }),
        { { 0, -10, false }, { -15, 0, false }, { -15, 20, false }, { -15, 40, false }, { 0, 50, false },
            { 100, 50, false }, { 115, 40, false }, { 115, 20, false }, { 65, 0, false },
            { 50, -10, false } },
        true);
    // A short line between two long ones is bridged on both sides.
    expectPoints(
        Balloon::fittedOutline({ QRectF(0, 0, 100, 20), QRectF(30, 20, 40, 20), QRectF(0, 40, 100, 20) }),
        { { 0, -10, false }, { -15, 0, false }, { -15, 20, false }, { -15, 40, false }, { -15, 60, false },
            { 0, 70, false }, { 100, 70, false }, { 115, 60, false }, { 115, 40, false }, { 115, 20, false },
            { 115, 0, false }, { 100, -10, false } },
        true);
}

TEST_F(BalloonOutlineTest, EdgeEffectsGiveTheSameOutlineOnEveryRedraw)
{
    const BalloonPtr balloon = test::balloonWith(QStringLiteral("Aaargh! Not again!"), 90);
    for (int shape = 0; shape <= 4; ++shape) {
        for (int style = 0; style <= 4; ++style) {
            SCOPED_TRACE(QStringLiteral("shape %1 style %2").arg(shape).arg(style).toStdString());
            balloon->setShape(shape);
            balloon->setStyle(style);
            const std::vector<CurvePt> first = pointsOf(*balloon->getBalloonPath());
            balloon->flushCaches();
            Random::seed(99);
            randomFloatBetween(0, 1);
            roughScallopPathAroundCurve(*Curve::initWithEllipseIn(QRectF(0, 0, 30, 30)), 3, 3);
            const std::vector<CurvePt> again = pointsOf(*balloon->getBalloonPath());
            ASSERT_EQ(again.size(), first.size());
            for (std::size_t i = 0; i < first.size(); ++i)
                EXPECT_TRUE(
                    first[i].x == again[i].x && first[i].y == again[i].y && first[i].on == again[i].on)
                    << i;
            EXPECT_TRUE(balloon->getBalloonPath()->closed());
        }
    }
}

// Shapes down, styles across, each balloon with a tail to its lower left.
QImage shapeAndStyleSheet()
{
    constexpr int kCell = 170;
    constexpr int kRowHeight = 150;
    return test::rendered(QSize(5 * kCell, 6 * kRowHeight), 1, [](ZDLContext& context) {
        for (int shape = 0; shape <= 5; ++shape) {
            for (int style = 0; style <= 4; ++style) {
                const BalloonPtr balloon = test::balloonWith(QStringLiteral("Hold it right there, pal!"), 100,
                    QPointF(style * kCell + 45, shape * kRowHeight + 35));
                balloon->setShape(shape);
                balloon->setStyle(style);
                balloon->setLineWeight(1.5f);
                const BalloonPointerPtr tail = balloon->pointers().first();
                tail->setXPos(0.3f);
                tail->setPointValues({ QPointF(0, 0), QPointF(-15, 30), QPointF(-35, 55) });
                balloon->drawIn(context);
            }
        }
    });
}

TEST_F(BalloonOutlineTest, ShapesAndStylesLookLikeTheReference)
{
    const QImage sheet = shapeAndStyleSheet();
    EXPECT_EQ(shapeAndStyleSheet(), sheet) << "every redraw draws the same";
    test::expectLikeReferenceImage(
        sheet, QStringLiteral("tests/comicmodel/data/balloon-shapes-styles.png"), 24, 500);
}

} // namespace
} // namespace zandrel
