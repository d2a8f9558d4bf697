// The pencil's clean-up and fitting of a stroke, on strokes built point by point.
#include "graphics/Curve.h"
#include "tools/PencilTool.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

struct Stroke {
    const char* name;
    // The press point first (on-curve), then the drawn points; true marks a pause corner.
    QList<std::pair<QPointF, bool>> points;
    bool closed;
    // On-curve points left between the ends after fitting.
    int innerCorners;
};

TEST(PencilFittingTest, StrokesCloseOnTheirStartAndKeepOnlyRealCorners)
{
    const QRectF target(-3, -3, 6, 6);
    const QList<Stroke> strokes {
        // Back into the target around the start: closed, the points inside it dropped.
        { "closing",
            { { { 0, 0 }, true }, { { 30, 0 }, false }, { { 60, 0 }, false }, { { 60, 30 }, false },
                { { 30, 30 }, false }, { { 2, 2 }, false }, { { 1, 1 }, false } },
            true, 0 },
        // A pause where the stroke turns square stays a corner.
        { "square corner",
            { { { 0, 0 }, true }, { { 20, 0 }, false }, { { 40, 0 }, true }, { { 40, 20 }, false },
                { { 40, 40 }, false } },
            false, 1 },
        // A pause where the stroke runs on almost straight is smoothed away.
        { "soft corner",
            { { { 0, 0 }, true }, { { 20, 0 }, false }, { { 40, 1 }, true }, { { 60, 2 }, false },
                { { 80, 4 }, false } },
            false, 0 },
    };
    for (const Stroke& stroke : strokes) {
        SCOPED_TRACE(stroke.name);
        Curve curve;
        for (const auto& [point, corner] : stroke.points)
            curve.addPoint(point, corner);
        PencilTracker::fitStroke(curve, target, 1.0f);
        EXPECT_EQ(curve.closed(), stroke.closed);
        int corners = 0;
        for (int i = 1; i + 1 < curve.numPoints(); ++i)
            corners += curve.getPointAtIndex(i)->onCurve() ? 1 : 0;
        EXPECT_EQ(corners, stroke.innerCorners);
        for (const auto& point : curve.points())
            EXPECT_FALSE(point != curve.points().front() && target.contains(point->point()));
    }
}

} // namespace
} // namespace zandrel
