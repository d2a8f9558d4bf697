#include "platform/Geometry.h"

#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

const double kNaN = std::nan("");

std::string show(const QRectF& r)
{
    return QStringLiteral("{%1 %2 %3 %4}").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

TEST(Geometry, unionIgnoresEmptyRects)
{
    struct Case {
        QRectF a, b, expected;
    };
    const Case cases[] = {
        { { 0, 0, 10, 10 }, { 5, 5, 10, 10 }, { 0, 0, 15, 15 } },
        { { 0, 0, 10, 10 }, { 20, -5, 1, 1 }, { 0, -5, 21, 15 } },
        { { 0, 0, 10, 10 }, { 100, 100, 0, 50 }, { 0, 0, 10, 10 } }, // zero width: ignored
        { { 100, 100, 50, -1 }, { 0, 0, 10, 10 }, { 0, 0, 10, 10 } }, // negative height: ignored
        { { 3, 3, 0, 0 }, { 7, 7, 0, 5 }, { 0, 0, 0, 0 } }, // both empty: the zero rect
        { { 0, 0, kNaN, 1 }, { 1, 1, 1, 1 }, { 1, 1, 1, 1 } }, // NaN size counts as empty
    };
    for (const Case& c : cases) {
        const QRectF r = unionRect(c.a, c.b);
        EXPECT_TRUE(equalRects(r, c.expected)) << show(c.a) << " + " << show(c.b) << " = " << show(r);
    }
}

TEST(Geometry, intersectionIsFalseForTouchingOrEmptyRects)
{
    struct Case {
        QRectF a, b;
        bool intersects;
        QRectF overlap;
    };
    const Case cases[] = {
        { { 0, 0, 10, 10 }, { 5, 5, 10, 10 }, true, { 5, 5, 5, 5 } },
        { { 0, 0, 10, 10 }, { 10, 0, 5, 5 }, false, {} }, // touching edge
        { { 0, 0, 10, 10 }, { 10, 10, 5, 5 }, false, {} }, // touching corner
        { { 0, 0, 10, 10 }, { 2, 2, 0, 5 }, false, {} }, // empty inside
        { { 0, 0, 10, 10 }, { 9.5, -1, 1, 1.5 }, true, { 9.5, 0, 0.5, 0.5 } },
        { { 0, 0, 10, 10 }, { kNaN, 0, 5, 5 }, false, {} },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(intersectsRect(c.a, c.b), c.intersects) << show(c.a) << " x " << show(c.b);
        EXPECT_EQ(intersectsRect(c.b, c.a), c.intersects);
        EXPECT_TRUE(equalRects(intersectionRect(c.a, c.b), c.overlap)) << show(intersectionRect(c.a, c.b));
    }
}

TEST(Geometry, pointInRectIsHalfOpen)
{
    const QRectF r(10, 20, 30, 40);
    struct Case {
        QPointF p;
        bool inside;
    };
    const Case cases[] = {
        { { 10, 20 }, true }, // min corner
        { { 39.999, 59.999 }, true },
        { { 40, 30 }, false }, // max x edge
        { { 20, 60 }, false }, // max y edge
        { { 9.999, 30 }, false },
        { { kNaN, 30 }, false },
    };
    for (const Case& c : cases)
        EXPECT_EQ(pointInRect(c.p, r), c.inside) << c.p.x() << "," << c.p.y();
    EXPECT_FALSE(pointInRect(QPointF(0, 0), QRectF(0, 0, 0, 10)));
}

TEST(Geometry, insetOffsetIntegralAndCentre)
{
    struct Case {
        QRectF in, expected;
    };
    const Case insets[] = {
        { insetRect({ 0, 0, 10, 10 }, 2, 3), { 2, 3, 6, 4 } },
        { insetRect({ 0, 0, 10, 10 }, -2, -0.5), { -2, -0.5, 14, 11 } }, // negative grows
        { offsetRect({ 1, 2, 3, 4 }, -1, 0.5), { 0, 2.5, 3, 4 } },
        { integralRect({ 0.5, -0.5, 1.2, 0.4 }), { 0, -1, 2, 1 } }, // grows outward
        { integralRect({ 1, 2, 3, 4 }), { 1, 2, 3, 4 } },
        { integralRect({ -1.5, -2.25, 0.25, 0.25 }), { -2, -3, 1, 1 } },
        { integralRect({ 5.5, 5.5, 0, 3 }), { 0, 0, 0, 0 } }, // empty: the zero rect
    };
    for (const Case& c : insets)
        EXPECT_TRUE(equalRects(c.in, c.expected)) << show(c.in) << " != " << show(c.expected);
    EXPECT_TRUE(equalPoints(centerOfRect({ 1, 2, 3, 5 }), { 2.5, 4.5 }));
    EXPECT_TRUE(isEmptyRect({ 0, 0, 5, 0 }));
    EXPECT_FALSE(isEmptyRect({ 0, 0, 5, 0.001 }));
    // Exact comparison, where QPointF's operator would call these equal.
    EXPECT_FALSE(equalPoints({ 1, 1 }, { 1 + 1e-12, 1 }));
    EXPECT_FALSE(equalRects({ 0, 0, 1, 1 }, { 0, 0, 1, 1 + 1e-12 }));
}

} // namespace
} // namespace zandrel
