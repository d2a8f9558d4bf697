// Balloon tails: wedges, text-block lines and thought bubbles, their bounds, hit tests and how
// they join their balloon when drawn.
#include "BalloonTestSupport.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"

#include <cmath>
#include <vector>

namespace zandrel {
namespace {

using test::CurvePt;

void expectPoints(const CurvePtr& curve, const std::vector<CurvePt>& expected)
{
    test::expectCurvePoints(curve, expected, false);
}

// A balloon whose body is exactly (0, 0, 100, 20), with one tail through the points.
BalloonPtr balloonWithTail(const QList<QPointF>& points, int shape = 0, int style = 0)
{
    BalloonPtr balloon = test::emptyBalloon(100);
    balloon->setShape(shape);
    balloon->setStyle(style);
    balloon->pointers().first()->setPointValues(points);
    return balloon;
}

using BalloonPointerTest = test::BalloonTestBase;

TEST_F(BalloonPointerTest, WedgesTaperFromTheBaseToTheTip)
{
    const BalloonPtr balloon = balloonWithTail({ QPointF(0, 0), QPointF(0, 72) });
    const BalloonPointerPtr tail = balloon->pointers().first();
    // The anchor is at half the body's width and three quarters of its height.
    EXPECT_EQ(tail->pointerOffset(), QPointF(50, 15));
    expectPoints(tail->pointerPath(), { { 10, 0, true }, { 0, 72, true }, { -10, 0, true } });

    // A bend gets a point either side, 10 (T - c) / T across the bisector: smooth for style 0,
    // sharp for the spiky styles.
    const QList<QPointF> bent { QPointF(0, 0), QPointF(0, 50), QPointF(30, 90) };
    const double ax = 4.743416472900204;
    const double ay = -1.5811388821412828;
    for (const auto& [style, sharp] : { std::pair { 0, false }, { 2, true }, { 3, true } }) {
        SCOPED_TRACE(style);
        expectPoints(balloonWithTail(bent, 0, style)->pointers().first()->pointerPath(),
            { { 10, 0, true }, { ax, 50 + ay, sharp }, { 30, 90, true }, { -ax, 50 - ay, sharp },
                { -10, 0, true } });
    }
    // Style 4 makes the wedge wavy.
    const CurvePtr wavy = balloonWithTail(bent, 0, 4)->pointers().first()->pointerPath();
    EXPECT_GT(wavy->numPoints(), 10);

    // Without an owner the pointer is a plain wedge at (0, 0).
    BalloonPointer loose;
    EXPECT_EQ(loose.pointerOffset(), QPointF());
    expectPoints(loose.pointerPath(), { { 10, 0, true }, { 0, 72, true }, { -10, 0, true } });

    // Changing the points or the anchor builds the path again.
    const CurvePtr before = tail->pointerPath();
    tail->setXPos(0.25f);
    EXPECT_NE(tail->pointerPath(), before);
    EXPECT_EQ(tail->pointerOffset(), QPointF(25, 15));
    tail->setPointValues({ QPointF(0, 0), QPointF(20, 40) });
    expectPoints(tail->pointerPath(),
        { { 8.944272, -4.472136, true }, { 20, 40, true }, { -8.944272, 4.472136, true } });
    // A pointer always keeps a base and a tip.
    tail->setPointValues({ QPointF(5, 5) });
    EXPECT_EQ(tail->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(0, 72) }));
}

TEST_F(BalloonPointerTest, TextBlockTailsStartWhereTheyLeaveTheText)
{
    // The text grown by 2, in pointer coordinates: x from -52 to 52, y from -17 to 7.
    struct Case {
        const char* name;
        QList<QPointF> points;
        std::vector<CurvePt> path;
    };
    const Case cases[] = {
        { "straight down", { QPointF(0, 0), QPointF(0, 72) }, { { 0, 7, false }, { 0, 72, false } } },
        { "around a corner", { QPointF(0, 0), QPointF(0, 3), QPointF(80, 3), QPointF(80, 50) },
            { { 52, 3, false }, { 80, 3, false }, { 80, 50, false } } },
        { "starting outside", { QPointF(60, 30), QPointF(90, 60) },
            { { 60, 30, false }, { 90, 60, false } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        expectPoints(balloonWithTail(c.points, 5)->pointers().first()->pointerPath(), c.path);
    }
    // Style 2 zigzags the line through on-curve points.
    const CurvePtr zigzag = balloonWithTail(cases[0].points, 5, 2)->pointers().first()->pointerPath();
    EXPECT_GT(zigzag->numPoints(), 4);
    EXPECT_GE(zigzag->getBounds().top(), 7 - 1e-4);
    EXPECT_LE(zigzag->getBounds().bottom(), 72 + 1e-4);

    // A tip inside the text: no tail, nothing hit, nothing drawn.
    const BalloonPtr inside = balloonWithTail({ QPointF(0, 0), QPointF(30, 5) }, 5);
    const BalloonPointerPtr tail = inside->pointers().first();
    EXPECT_EQ(tail->pointerPath(), nullptr);
    EXPECT_TRUE(tail->getBounds().isEmpty());
    EXPECT_FALSE(tail->containsPt(QPointF(65, 18)));
    // The text block itself is hit inside its outline, which it does not draw.
    EXPECT_TRUE(inside->containsPt(QPointF(50, 10), 1));
    const QImage drawn = test::rendered(QSize(140, 120), 1, [&](ZDLContext& context) {
        inside->setFormattedText(AttributedText());
        inside->drawIn(context);
    });
    QImage white(drawn.size(), drawn.format());
    white.fill(Qt::white);
    EXPECT_EQ(drawn, white) << "no outline, no fill, no tail";
}

TEST_F(BalloonPointerTest, ThoughtBubblesShrinkTowardTheTip)
{
    const struct {
        int shape;
        std::vector<std::pair<double, double>> bubbles; // centre's y, width
        int count;
    } cases[] = {
        { 0, { { 0, 24 }, { 26.4, 20.304 }, { 48.7344, 17.177184 } }, 6 },
        // A text block's tail starts at the text (y = 7) and so is 93 long.
        { 5, { { 22, 11.870968 }, { 39.806452, 10.530697 }, { 55.602497, 9.341748 } }, 6 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shape);
        const BalloonPtr balloon = balloonWithTail({ QPointF(0, 0), QPointF(0, 100) }, c.shape, 1);
        const BalloonPointerPtr tail = balloon->pointers().first();
        const QList<QRectF> bubbles = tail->bubbleRects().value();
        ASSERT_EQ(bubbles.size(), c.count);
        for (std::size_t i = 0; i < c.bubbles.size(); ++i) {
            const auto [distance, width] = c.bubbles[i];
            EXPECT_NEAR(bubbles[qsizetype(i)].center().y(), distance, 1e-3);
            EXPECT_NEAR(bubbles[qsizetype(i)].center().x(), 0, 1e-6);
            EXPECT_NEAR(bubbles[qsizetype(i)].width(), width, 1e-3);
            EXPECT_NEAR(bubbles[qsizetype(i)].height(), 0.8 * width, 1e-3);
        }
    }

    // Hit inside the ovals only; the bounds are the bubbles'.
    const BalloonPtr balloon = balloonWithTail({ QPointF(0, 0), QPointF(0, 100) }, 0, 1);
    const BalloonPointerPtr tail = balloon->pointers().first();
    const QPointF anchor = tail->pointerOffset();
    const QList<QRectF> bubbles = tail->bubbleRects().value();
    EXPECT_TRUE(tail->containsPt(anchor + bubbles[1].center()));
    EXPECT_FALSE(tail->containsPt(anchor + bubbles[1].topLeft() + QPointF(1, 1)))
        << "a corner of its rectangle";
    QRectF all;
    for (const QRectF& bubble : bubbles)
        all = unionRect(all, bubble);
    EXPECT_EQ(tail->getBounds(), offsetRect(all, anchor.x(), anchor.y()));
    EXPECT_EQ(tail->getInvalidationBounds(), insetRect(tail->getBounds(), -1, -1));

    // A hostile tail of enormous length gets a bounded number of bubbles.
    tail->setPointValues({ QPointF(0, 0), QPointF(0, 1e9) });
    EXPECT_EQ(tail->bubbleRects()->size(), BalloonPointer::kMaxBubbles);
}

TEST_F(BalloonPointerTest, GeometryBoundsAnchorOnTheContainer)
{
    const BalloonPtr balloon = test::balloonWith(QStringLiteral("Two\nlines"), 160, QPointF(10, 20));
    const BalloonPointerPtr tail = balloon->pointers().first();
    tail->setPointValues({ QPointF(0, 0), QPointF(-30, 60) });
    // The container's width and the text height, not the visible body.
    const QPointF anchor(10 + 160 * 0.5, 20 + balloon->textHeight() * 0.75);
    const QRectF expected = offsetRect(QRectF(-30.5, -0.5, 31, 61), anchor.x(), anchor.y());
    EXPECT_NEAR(tail->getGeometryBounds().left(), expected.left(), 1e-4);
    EXPECT_NEAR(tail->getGeometryBounds().top(), expected.top(), 1e-4);
    EXPECT_NEAR(tail->getGeometryBounds().width(), expected.width(), 1e-4);
    EXPECT_NEAR(tail->getGeometryBounds().height(), expected.height(), 1e-4);
    EXPECT_EQ(
        unionRect(balloon->getGeometryBounds(), tail->getGeometryBounds()), balloon->getGeometryBounds());
}

TEST_F(BalloonPointerTest, TailsJoinTheirBalloonWithoutALineAcrossTheBase)
{
    const BalloonPtr balloon = balloonWithTail({ QPointF(0, 0), QPointF(10, 60) });
    balloon->setOrigin(QPointF(20, 20));
    balloon->setLineWeight(2);
    const QImage image
        = test::rendered(QSize(160, 120), 1, [&](ZDLContext& context) { balloon->drawIn(context); });
    // The outline's bottom runs at about y = 46 (26 + 20), where the tail leaves the body.
    const auto grey = [&](int x, int y) { return qGray(image.pixel(x, y)); };
    int darkest = 255;
    for (int y = 40; y <= 52; ++y)
        darkest = std::min(darkest, grey(71, y));
    EXPECT_GT(darkest, 200) << "the tail's fill covers the outline where they meet";
    int outline = 255;
    for (int y = 40; y <= 52; ++y)
        outline = std::min(outline, grey(35, y));
    EXPECT_LT(outline, 60) << "the outline shows beside the tail";
    int tailEdge = 255;
    for (int x = 55; x <= 72; ++x)
        tailEdge = std::min(tailEdge, grey(x, 60));
    EXPECT_LT(tailEdge, 60) << "the tail's own edge";

    // One gradient spans balloon and tail: the tail's base takes the balloon's colours there.
    auto gradient = std::make_shared<GradientFill>();
    gradient->setLinearAngle(0);
    balloon->setFill(gradient);
    balloon->setLineColor(ZDLColor::noneColor());
    const QImage shaded
        = test::rendered(QSize(160, 120), 1, [&](ZDLContext& context) { balloon->drawIn(context); });
    EXPECT_NEAR(qGray(shaded.pixel(74, 60)), qGray(shaded.pixel(74, 40)), 12);
    EXPECT_LT(qGray(shaded.pixel(30, 30)), qGray(shaded.pixel(110, 30)) - 60)
        << "dark at the left, light at the right";
}

// A wedge's base lies inside the outline, a line weight in from it, so that the fill hides the ends
// of the tail's stroke: around no text, one letter, two and a line, in every shape with an outline
// and every style drawn as a wedge, wherever the tail points. Where the body is wide enough the
// base keeps its full width. (Scallops around an empty body of no width cross themselves into
// petals that leave no room inside for any base.)
TEST_F(BalloonPointerTest, WedgeBasesLieInsideTheOutlineWhereverTheTailPoints)
{
    const std::pair<int, float> looks[] = { { 0, 1 }, { 0, 3 }, { 2, 1 }, { 2, 3 }, { 3, 1 }, { 4, 1 } };
    for (const QString text : { "", "?", "Hi", "Ok!", "Hold it right there, pal!" }) {
        const BalloonPtr balloon = text.isEmpty() ? test::emptyBalloon(0) : test::balloonWith(text, 100);
        const BalloonPointerPtr tail = balloon->pointers().first();
        for (const int shape : { 0, 1, 2, 3, 4 }) {
            for (const auto& [style, weight] : looks) {
                if (text.isEmpty() && style >= 3)
                    continue;
                for (const QPointF& tip :
                    { QPointF(0, 72), QPointF(72, 0), QPointF(-60, 40), QPointF(0, -72) }) {
                    balloon->setShape(shape);
                    balloon->setStyle(style);
                    balloon->setLineWeight(weight);
                    tail->setPointValues({ QPointF(), tip });
                    SCOPED_TRACE(QStringLiteral("'%1' shape %2 style %3 weight %4 tip %5,%6")
                                     .arg(text)
                                     .arg(shape)
                                     .arg(style)
                                     .arg(weight)
                                     .arg(tip.x())
                                     .arg(tip.y())
                                     .toStdString());
                    CanvasPath outline = balloon->getBalloonPath()->createCGPath();
                    outline.setWindingRule(WindingRule::EvenOdd);
                    const CurvePtr wedge = tail->pointerPath();
                    for (const CurvePointPtr& end : { wedge->points().front(), wedge->points().back() }) {
                        const QPointF local = end->point() + tail->pointerOffset();
                        for (int i = 0; i < 16; ++i) {
                            const QPointF around(std::cos(i * M_PI / 8), std::sin(i * M_PI / 8));
                            EXPECT_TRUE(outline.contains(local + around * weight * 0.99));
                        }
                    }
                }
            }
        }
    }
    // An ellipse around a line holds the full base of 20.
    const BalloonPtr line = test::balloonWith("Hold it right there, pal!", 100);
    line->setShape(1);
    const CurvePtr wedge = line->pointers().first()->pointerPath();
    EXPECT_NEAR(
        QLineF(wedge->points().front()->point(), wedge->points().back()->point()).length(), 20.0, 1e-4);
}

// How far, in units, the inked pixels of the image (drawn at the scale) lie outside the rectangle:
// pixels that the rectangle touches count as inside, as the dirty rectangles do.
double inkBeyond(const QImage& image, const QRectF& rect, double scale)
{
    double beyond = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qRed(row[x]) > 250 && qGreen(row[x]) > 250 && qBlue(row[x]) > 250)
                continue;
            beyond = std::max({ beyond, rect.left() - (x + 1) / scale, x / scale - rect.right(),
                rect.top() - (y + 1) / scale, y / scale - rect.bottom() });
        }
    }
    return beyond;
}

TEST_F(BalloonPointerTest, WhatBalloonsDrawStaysInTheirBoundsWhereverTheTailsPoint)
{
    // Every kind of balloon: speech, thought bubbles, burst, scallops, rough scallops, ellipse,
    // rounded box, narration box, text block and a text block's zigzag tail.
    const std::pair<int, int> kinds[] = { { 0, 0 }, { 0, 1 }, { 0, 2 }, { 0, 3 }, { 0, 4 }, { 1, 0 },
        { 2, 0 }, { 3, 0 }, { 5, 0 }, { 5, 2 } };
    for (const auto& [shape, style] : kinds) {
        for (int direction = 0; direction < 8; ++direction) {
            const double angle = (direction * 45 + 10) * M_PI / 180;
            // Short tails come to a blunt tip, long ones to a needle.
            const double length = direction % 2 ? 160 : 60;
            const float weight = direction % 4 < 2 ? 1.0f : 3.0f;
            BalloonPtr balloon = test::balloonWith(QStringLiteral("Hi!"), 60, QPointF(150.3, 140.6));
            balloon->setShape(shape);
            balloon->setStyle(style);
            balloon->setLineWeight(weight);
            balloon->pointers().first()->setPointValues(
                { QPointF(0, 0), QPointF(length * std::cos(angle), length * std::sin(angle)) });
            for (const double scale : { 1.0, 2.0, 3.0 }) {
                SCOPED_TRACE(QStringLiteral("shape %1 style %2 direction %3 scale %4")
                                 .arg(shape)
                                 .arg(style)
                                 .arg(direction)
                                 .arg(scale)
                                 .toStdString());
                const QImage image = test::rendered(
                    QSize(360, 340), float(scale), [&](ZDLContext& context) { balloon->drawIn(context); });
                EXPECT_LE(inkBeyond(image, balloon->getVisualBounds(), scale), 0.0);
                EXPECT_LE(inkBeyond(image, balloon->getInvalidationBounds(), scale), 0.0);
                // Nothing reaches further past the selection box than the outline's own stroke,
                // which shows a line weight outside the outline, and a pixel of smoothing. Bursts
                // and scallops keep the mitred points of their edges.
                if (style != 2 && style != 3)
                    EXPECT_LE(inkBeyond(image, balloon->getBounds(), scale), weight + 1 / scale);
            }
        }
    }
}

} // namespace
} // namespace zandrel
