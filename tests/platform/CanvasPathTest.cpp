#include "platform/CanvasPath.h"

#include "platform/CurrentCanvas.h"

#include <cmath>
#include <gtest/gtest.h>
#include <stdexcept>

namespace zandrel {
namespace {

// Two nested squares: the inner one is a hole under even-odd and filled under non-zero.
CanvasPath nestedSquares(WindingRule rule)
{
    CanvasPath path;
    path.addRect(QRectF(0, 0, 10, 10));
    path.addRect(QRectF(3, 3, 4, 4));
    path.setWindingRule(rule);
    return path;
}

TEST(CanvasPath, ContainsFollowsTheWindingRule)
{
    EXPECT_TRUE(nestedSquares(WindingRule::NonZero).contains(QPointF(5, 5)));
    EXPECT_FALSE(nestedSquares(WindingRule::EvenOdd).contains(QPointF(5, 5)));
    EXPECT_TRUE(nestedSquares(WindingRule::EvenOdd).contains(QPointF(1, 1)));
    EXPECT_FALSE(nestedSquares(WindingRule::NonZero).contains(QPointF(11, 5)));

    // New paths fill non-zero, like the platform's, whatever QPainterPath's default.
    EXPECT_EQ(CanvasPath().windingRule(), WindingRule::NonZero);
    EXPECT_EQ(CanvasPath::fromRect(QRectF(0, 0, 1, 1)).windingRule(), WindingRule::NonZero);
    EXPECT_EQ(CanvasPath::fromEllipse(QRectF(0, 0, 1, 1)).windingRule(), WindingRule::NonZero);
}

TEST(CanvasPath, BuildingAndElementAccess)
{
    CanvasPath path;
    EXPECT_TRUE(path.isEmpty());
    path.close(); // nothing to close
    EXPECT_TRUE(path.isEmpty());

    path.moveTo(QPointF(0, 0));
    path.lineTo(QPointF(10, 0));
    path.quadTo(QPointF(20, 0), QPointF(20, 10));
    path.cubicTo(QPointF(20, 20), QPointF(0, 20), QPointF(0, 10));
    path.close();
    EXPECT_FALSE(path.isEmpty());
    ASSERT_GE(path.elementCount(), 6);
    EXPECT_EQ(path.elementAt(0).type, QPainterPath::MoveToElement);
    EXPECT_EQ(path.elementAt(1).type, QPainterPath::LineToElement);
    EXPECT_EQ(path.elementAt(2).type, QPainterPath::CurveToElement); // quadratics become cubics
    EXPECT_EQ(QPointF(path.elementAt(path.elementCount() - 1)), QPointF(0, 0));

    // The curves bulge less than their control points.
    EXPECT_LT(path.bounds().bottom(), path.controlPointBounds().bottom());
    EXPECT_DOUBLE_EQ(path.controlPointBounds().bottom(), 20.0);
    EXPECT_NEAR(path.bounds().bottom(), 17.5, 1e-9);
}

TEST(CanvasPath, AppendKeepsOwnRuleAndAttributes)
{
    CanvasPath path = CanvasPath::fromRect(QRectF(0, 0, 10, 10));
    path.setWindingRule(WindingRule::EvenOdd);
    path.setLineWidth(3);
    CanvasPath other = CanvasPath::fromEllipse(QRectF(2, 2, 6, 6));
    other.setWindingRule(WindingRule::NonZero);
    path.appendPath(other);
    EXPECT_EQ(path.windingRule(), WindingRule::EvenOdd);
    EXPECT_EQ(path.lineWidth(), 3.0);
    EXPECT_FALSE(path.contains(QPointF(5, 5)));
}

TEST(CanvasPath, TransformedCopyKeepsRuleAndLeavesOriginal)
{
    const CanvasPath path = nestedSquares(WindingRule::EvenOdd);
    const CanvasPath moved = path.transformed(QTransform::fromTranslate(100, 0).scale(2, 2));
    EXPECT_EQ(moved.windingRule(), WindingRule::EvenOdd);
    EXPECT_EQ(moved.bounds(), QRectF(100, 0, 20, 20));
    EXPECT_EQ(path.bounds(), QRectF(0, 0, 10, 10));
    EXPECT_FALSE(moved.contains(QPointF(110, 10)));
    EXPECT_NE(moved, path);
    EXPECT_EQ(path, nestedSquares(WindingRule::EvenOdd));
}

TEST(CanvasPath, StrokeAttributesRejectBadValues)
{
    CanvasPath path;
    path.setLineWidth(std::nan(""));
    EXPECT_EQ(path.lineWidth(), 0.0);
    path.setLineWidth(-2);
    EXPECT_EQ(path.lineWidth(), 0.0);
    path.setMiterLimit(0.2);
    EXPECT_EQ(path.miterLimit(), 1.0);

    path.setDash({ 4, 2 }, std::nan(""));
    EXPECT_EQ(path.dashPattern(), (QVector<double> { 4, 2 }));
    EXPECT_EQ(path.dashPhase(), 0.0);
    path.setDash({ 4, -1 });
    EXPECT_FALSE(path.isDashed());
    path.setDash({ 0, 0 });
    EXPECT_FALSE(path.isDashed());
    path.setDash({ 3 }, 1); // odd counts alternate: 3 on, 3 off
    EXPECT_EQ(path.dashPattern(), (QVector<double> { 3, 3 }));
    EXPECT_EQ(path.dashPhase(), 1.0);
}

TEST(CanvasPath, StrokeOutlineUsesAbsoluteDashLengths)
{
    CanvasPath line;
    line.moveTo(QPointF(0, 0));
    line.lineTo(QPointF(100, 0));
    line.setLineWidth(4);
    line.setDash({ 10, 10 });
    // Dashes of 10 units: 0..10 on, 10..20 off, whatever the width.
    EXPECT_TRUE(line.strokeContains(QPointF(5, 1)));
    EXPECT_FALSE(line.strokeContains(QPointF(15, 1)));
    EXPECT_TRUE(line.strokeContains(QPointF(25, 1)));
    EXPECT_FALSE(line.strokeContains(QPointF(5, 3))); // beyond half the width
    line.setDash({ 10, 10 }, 5);
    EXPECT_FALSE(line.strokeContains(QPointF(7, 1)));
    EXPECT_TRUE(line.strokeContains(QPointF(17, 1)));
}

TEST(CurrentCanvas, ScopesNestAndUnwind)
{
    EXPECT_EQ(currentCanvas(), nullptr);
    auto* a = reinterpret_cast<Canvas*>(0x1000);
    auto* b = reinterpret_cast<Canvas*>(0x2000);
    {
        CanvasScope outer(a);
        EXPECT_EQ(currentCanvas(), a);
        {
            CanvasScope inner(b);
            EXPECT_EQ(currentCanvas(), b);
            {
                CanvasScope none(nullptr);
                EXPECT_EQ(currentCanvas(), nullptr);
            }
            EXPECT_EQ(currentCanvas(), b);
        }
        EXPECT_EQ(currentCanvas(), a);
        try {
            CanvasScope thrower(b);
            throw std::runtime_error("drawing failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(currentCanvas(), a);
    }
    EXPECT_EQ(currentCanvas(), nullptr);
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST(CanvasPath, DetachedCopiesShareNoGeometry)
{
    CanvasPath path;
    path.moveTo(QPointF(1, 2));
    path.cubicTo(QPointF(5, 0), QPointF(9, 4), QPointF(10, 10));
    path.close();
    path.setWindingRule(WindingRule::EvenOdd);
    path.setDash({ 2, 1 }, 0.5);
    path.setLineWidth(3);
    const CanvasPath copy = path.detached();
    EXPECT_EQ(copy, path);
    EXPECT_EQ(copy.windingRule(), WindingRule::EvenOdd);
    EXPECT_EQ(copy.bounds(), path.bounds());
    // Different data: editing one leaves the other.
    CanvasPath edited = copy;
    edited.lineTo(QPointF(50, 50));
    EXPECT_EQ(copy, path);
    EXPECT_EQ(copy.painterPath().elementCount(), path.painterPath().elementCount());
    EXPECT_TRUE(CanvasPath().detached().isEmpty());
}

} // namespace
} // namespace zandrel
