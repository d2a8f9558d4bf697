#pragma once

#include "platform/RgbColor.h"

#include <QColor>
#include <gtest/gtest.h>

namespace zandrel::test {

// Drawing colours hold 16 bits per component.
constexpr double kDrawingTolerance = 1.0 / 65535.0 + 1e-7;

// Colour values are exact; float arguments (alphas, adjustments, locations) round in the seventh
// digit.
inline void expectColor(
    const RgbColor& actual, double r, double g, double b, double a, double tolerance = 1e-7)
{
    ASSERT_TRUE(actual.isValid());
    EXPECT_NEAR(actual.red(), r, tolerance);
    EXPECT_NEAR(actual.green(), g, tolerance);
    EXPECT_NEAR(actual.blue(), b, tolerance);
    EXPECT_NEAR(actual.alpha(), a, tolerance);
}

inline void expectColor(const QColor& actual, double r, double g, double b, double a)
{
    expectColor(RgbColor::fromQColor(actual), r, g, b, a, kDrawingTolerance);
}

} // namespace zandrel::test
