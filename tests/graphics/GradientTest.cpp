#include "graphics/Gradient.h"

#include "ColorTestSupport.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace zandrel {
namespace {

using test::expectColor;
using test::kDrawingTolerance;

std::vector<float> locations(const Gradient& gradient)
{
    std::vector<float> result;
    for (int i = 0; i < gradient.numStops(); ++i)
        result.push_back(gradient.locationOfStopAtIndex(i));
    return result;
}

// Stops at the given locations, coloured grey levels equal to their locations.
Gradient gradientWithStops(const std::vector<float>& at)
{
    Gradient gradient;
    gradient.setLocation(at.back(), 1);
    gradient.setLocation(at.front(), 0);
    for (size_t i = 1; i + 1 < at.size(); ++i)
        gradient.addColorStopAt(at[i]);
    return gradient;
}

TEST(GradientTest, NewGradientRunsFromBlackToWhite)
{
    const Gradient gradient;
    EXPECT_EQ(locations(gradient), (std::vector<float> { 0.0f, 1.0f }));
    expectColor(gradient.colorOfStopAtIndex(0), 0, 0, 0, 1);
    expectColor(gradient.colorOfStopAtIndex(1), 1, 1, 1, 1);
    EXPECT_FLOAT_EQ(gradient.minLocationOfStopAtIndex(0), 0.0f);
    EXPECT_FLOAT_EQ(gradient.maxLocationOfStopAtIndex(0), 1.0f);
    EXPECT_FALSE(gradient.colorOfStopAtIndex(7).isValid()); // no such stop
}

TEST(GradientTest, AddingStops)
{
    struct Row {
        float location;
        int expectedIndex;
        std::vector<float> expected;
    } rows[] = {
        { 0.5f, 1, { 0, 0.5f, 1 } }, { 0.0f, 0, { 0, 0, 1 } }, // before the stop it equals
        { 1.0f, 0, { 0, 1 } }, // refused
        { -0.1f, 0, { 0, 1 } }, // refused
        { NAN, 0, { 0, 1 } }, // refused
    };
    for (const Row& row : rows) {
        Gradient gradient;
        EXPECT_EQ(gradient.addColorStopAt(row.location), row.expectedIndex) << row.location;
        EXPECT_EQ(locations(gradient), row.expected) << row.location;
    }
    Gradient gradient;
    gradient.addColorStopAt(0.5f);
    expectColor(gradient.colorOfStopAtIndex(1), 0.5, 0.5, 0.5, 1); // mid grey

    // By index: halfway between the neighbours, or at an end.
    struct IndexRow {
        int index;
        std::vector<float> expected;
        double grey;
    } indexRows[] = {
        { 1, { 0, 0.5f, 1 }, 0.5 },
        { 0, { 0, 0, 1 }, 0.0 },
        { 2, { 0, 1, 1 }, 1.0 },
    };
    for (const IndexRow& row : indexRows) {
        Gradient g;
        g.addColorStopAtIndex(row.index);
        EXPECT_EQ(locations(g), row.expected) << row.index;
        expectColor(g.colorOfStopAtIndex(row.index), row.grey, row.grey, row.grey, 1);
    }
    Gradient g;
    g.addColorStopAtIndex(5); // out of range: ignored
    EXPECT_EQ(g.numStops(), 2);
}

TEST(GradientTest, MovingStops)
{
    struct Row {
        float location;
        int index;
        int expectedIndex;
        std::vector<float> expected;
    } rows[] = {
        { 0.8f, 1, 2, { 0, 0.6f, 0.8f, 1 } }, { 0.1f, 2, 1, { 0, 0.1f, 0.3f, 1 } },
        { 0.0f, 2, 1, { 0, 0, 0.3f, 1 } }, // equal to a neighbour: does not pass it
        { 0.6f, 1, 1, { 0, 0.6f, 0.6f, 1 } }, { 1.0f, 0, 2, { 0.3f, 0.6f, 1, 1 } },
        { 1.5f, 1, 1, { 0, 0.3f, 0.6f, 1 } }, // refused
        { -0.01f, 1, 1, { 0, 0.3f, 0.6f, 1 } }, // refused
        { 0.5f, 9, 9, { 0, 0.3f, 0.6f, 1 } }, // no such stop
    };
    for (const Row& row : rows) {
        Gradient gradient = gradientWithStops({ 0, 0.3f, 0.6f, 1 });
        ASSERT_EQ(locations(gradient), (std::vector<float> { 0, 0.3f, 0.6f, 1 }));
        EXPECT_EQ(gradient.setLocation(row.location, row.index), row.expectedIndex) << row.location;
        EXPECT_EQ(locations(gradient), row.expected) << row.location;
    }

    Gradient gradient = gradientWithStops({ 0, 0.3f, 0.6f, 1 });
    EXPECT_FLOAT_EQ(gradient.minLocationOfStopAtIndex(2), 0.3f);
    EXPECT_FLOAT_EQ(gradient.maxLocationOfStopAtIndex(2), 1.0f);
    EXPECT_FLOAT_EQ(gradient.maxLocationOfStopAtIndex(1), 0.6f);
}

TEST(GradientTest, RemovingKeepsTwoStops)
{
    Gradient gradient;
    gradient.removeColorStopAtindex(0);
    EXPECT_EQ(gradient.numStops(), 2);
    gradient.addColorStopAt(0.5f);
    gradient.removeColorStopAtindex(0);
    EXPECT_EQ(locations(gradient), (std::vector<float> { 0.5f, 1 }));
    gradient.removeColorStopAtindex(1);
    EXPECT_EQ(gradient.numStops(), 2);
}

TEST(GradientTest, InterpolatesColoursAndAlpha)
{
    Gradient gradient;
    gradient.setColor(RgbColor(1, 0, 0, 0), 0);
    gradient.setColor(RgbColor(0, 0, 1, 1), 1);
    gradient.setLocation(0.2f, 0);
    gradient.setLocation(0.6f, 1);
    expectColor(gradient.interpolatedColorAtLocation(0.0f), 1, 0, 0, 0);
    expectColor(gradient.interpolatedColorAtLocation(0.3f), 0.75, 0, 0.25, 0.25);
    expectColor(gradient.interpolatedColorAtLocation(0.9f), 0, 0, 1, 1);
}

TEST(GradientTest, CachesFollowTheStops)
{
    Gradient gradient;
    gradient.setColor(RgbColor(1, 0, 0, 0.5), 0);
    const QGradientStops first = gradient.nsGradient();
    ASSERT_EQ(first.size(), 2);
    EXPECT_DOUBLE_EQ(first[0].first, 0.0);
    EXPECT_NEAR(first[0].second.alphaF(), 0.5, kDrawingTolerance);
    // The opaque colours are the colours as they show over white.
    expectColor(gradient.opaqueGradient()[0].second, 1, 0.5, 0.5, 1);
    expectColor(gradient.opaqueGradient()[1].second, 1, 1, 1, 1);

    gradient.addColorStopAt(0.25f);
    EXPECT_EQ(gradient.nsGradient().size(), 3);
    EXPECT_EQ(gradient.opaqueGradient().size(), 3);
    gradient.setColor(RgbColor(0, 1, 0), 2);
    EXPECT_EQ(gradient.nsGradient()[2].second, QColor(Qt::green));
}

// However many stops a file gives a gradient, drawing hands the canvas a bounded number: the
// stops themselves up to the limit, else even steps that follow the gradient's own colours.
TEST(GradientTest, DrawnStopsAreBoundedAndFollowTheColours)
{
    for (const int count : { 3, Gradient::kMaxDrawnStops, 3000 }) {
        SCOPED_TRACE(count);
        Gradient gradient;
        for (int i = 1; i + 1 < count; ++i)
            gradient.addColorStopAt(float(i) / float(count - 1));
        ASSERT_EQ(gradient.numStops(), count);
        for (int i = 0; i < count; ++i)
            gradient.setColor(i % 2 ? RgbColor(0, 0, 1, 0.5) : RgbColor(1, 0.5, 0), i);
        for (const bool opaque : { false, true }) {
            const QGradientStops& drawn = opaque ? gradient.opaqueGradient() : gradient.nsGradient();
            ASSERT_EQ(drawn.size(), std::min(count, Gradient::kMaxDrawnStops));
            EXPECT_EQ(drawn.front().first, 0.0);
            EXPECT_EQ(drawn.back().first, 1.0);
            for (qsizetype i = 0; i < drawn.size(); ++i) {
                const float location = float(drawn[i].first);
                if (count <= Gradient::kMaxDrawnStops)
                    EXPECT_FLOAT_EQ(location, gradient.locationOfStopAtIndex(int(i)));
                // Opaque colours blend what shows over white, which only matches at the stops.
                if (opaque && count > Gradient::kMaxDrawnStops)
                    continue;
                RgbColor color = gradient.interpolatedColorAtLocation(location);
                if (opaque)
                    color = color.overWhite();
                // Within a 16-bit colour channel and the float of the step's location.
                expectColor(RgbColor::fromQColor(drawn[i].second), color.red(), color.green(), color.blue(),
                    color.alpha(), 1e-4);
            }
        }
    }
}

TEST(GradientTest, CopiesAreIndependent)
{
    Gradient original;
    const GradientPtr copy = original.copy();
    copy->addColorStopAt(0.5f);
    copy->setColor(RgbColor(1, 0, 0), 0);
    EXPECT_EQ(original.numStops(), 2);
    expectColor(original.colorOfStopAtIndex(0), 0, 0, 0, 1);

    Gradient other;
    other.copyColorStopsFrom(copy.get());
    EXPECT_EQ(locations(other), locations(*copy));
    copy->setLocation(0.9f, 1);
    EXPECT_FLOAT_EQ(other.locationOfStopAtIndex(1), 0.5f);
    other.copyColorStopsFrom(nullptr);
    EXPECT_EQ(other.numStops(), 3);
}

TEST(GradientFillTest, DefaultsAndGradientCopies)
{
    GradientFill fill;
    EXPECT_EQ(fill.gradientType(), GradientTypeLinear);
    EXPECT_FLOAT_EQ(fill.linearAngle(), 90.0f);
    EXPECT_EQ(fill.relativeCenter(), QPointF(0, 0));
    EXPECT_FALSE(fill.isNone());
    EXPECT_EQ(fill.fillType(), FillTypeGradient);

    // Changing the gradient taken from the fill changes nothing until it is set back.
    const GradientPtr taken = fill.gradient();
    taken->addColorStopAt(0.5f);
    EXPECT_EQ(fill.gradient()->numStops(), 2);
    fill.setGradient(taken);
    EXPECT_EQ(fill.gradient()->numStops(), 3);
    taken->addColorStopAt(0.25f);
    EXPECT_EQ(fill.gradient()->numStops(), 3);

    fill.setGradientType(GradientTypeRadial);
    fill.setRelativeCenter({ 0.5, -0.25 });
    fill.setLinearAngle(30.0f);
    const auto copy = std::dynamic_pointer_cast<GradientFill>(fill.copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->gradientType(), GradientTypeRadial);
    EXPECT_EQ(copy->relativeCenter(), QPointF(0.5, -0.25));
    EXPECT_FLOAT_EQ(copy->linearAngle(), 30.0f);
    EXPECT_NE(copy->peekGradient(), fill.peekGradient());
    EXPECT_EQ(copy->peekGradient()->numStops(), 3);
}

TEST(GradientFillTest, RotationFollowsTheSquare)
{
    struct Row {
        QPointF center;
        float degrees;
        QPointF expected;
    } rows[] = {
        { { 1, 0 }, 90, { 0, 1 } },
        { { 0.5, 0.5 }, 90, { -0.5, 0.5 } },
        { { 1, 0.5 }, 180, { -1, -0.5 } },
        { { 0, -1 }, -90, { -1, 0 } },
        { { 1, 1 }, 45, { 0, 1 } }, // from a corner to the middle of a side of the square
        { { 0, 0 }, 90, { 0, 0 } },
    };
    for (const Row& row : rows) {
        GradientFill fill;
        fill.setGradientType(GradientTypeRadial);
        fill.setRelativeCenter(row.center);
        fill.rotate(row.degrees);
        EXPECT_NEAR(fill.relativeCenter().x(), row.expected.x(), 1e-6)
            << row.center.x() << "," << row.center.y();
        EXPECT_NEAR(fill.relativeCenter().y(), row.expected.y(), 1e-6)
            << row.center.x() << "," << row.center.y();
        EXPECT_FLOAT_EQ(fill.linearAngle(), 90.0f);
    }
    GradientFill linear;
    linear.rotate(90.0f);
    EXPECT_FLOAT_EQ(linear.linearAngle(), 180.0f);
    linear.rotate(270.0f);
    EXPECT_FLOAT_EQ(linear.linearAngle(), 450.0f); // no wrapping
}

TEST(ColorFillTest, ReferencesThePaletteColour)
{
    ColorFill fill;
    EXPECT_EQ(fill.fillColor(), ZDLColor::whiteColor());
    EXPECT_FLOAT_EQ(fill.fillColorAdjust(), 0.0f);
    EXPECT_EQ(fill.fillType(), FillTypeColor);
    EXPECT_FALSE(fill.isNone());

    const ZDLColorPtr paint = ZDLColor::colorFromHexWithAlphaNamed("#336699", 0.5f, "Paint");
    fill.setFillColor(paint);
    fill.setFillColorAdjust(-0.5f);
    const auto copy = std::dynamic_pointer_cast<ColorFill>(fill.copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->fillColor(), paint); // the same instance, not a copy
    EXPECT_FLOAT_EQ(copy->fillColorAdjust(), -0.5f);

    expectColor(fill.nsColor(), 0.1, 0.2, 0.3, 0.5);
    expectColor(fill.opaqueColor(), (0.2 + 1) / 2 / 2, (0.4 + 1) / 2 / 2, (0.6 + 1) / 2 / 2, 1);

    fill.setFillColor(ZDLColor::noneColor());
    EXPECT_TRUE(fill.isNone());
    fill.setFillColor(nullptr);
    EXPECT_TRUE(fill.isNone());
    EXPECT_FALSE(fill.nsColor().isValid());
}

} // namespace
} // namespace zandrel
