#pragma once

#include <QPointF>
#include <QRectF>

namespace zandrel {

// Grows a rectangle point by point on the caller's stack. The limits are kept in float, and the
// rectangle it gives is never thinner than 0.1 so that a single point or a straight line still
// has an area to invalidate and hit-test.
struct BoundsAccumulator {
    bool hasPoints = false;
    float minX = 0.0f;
    float minY = 0.0f;
    float maxX = 0.0f;
    float maxY = 0.0f;
};

// All four accept a null accumulator and then do nothing (the rect of none is the zero rect).
void boundsAccumulatorInit(BoundsAccumulator* acc);
void boundsAccumulatorInitWithRect(BoundsAccumulator* acc, const QRectF& r);
void boundsAccumulatorAddPoint(BoundsAccumulator* acc, const QPointF& p);
QRectF boundsAccumulatorRect(const BoundsAccumulator* acc);

} // namespace zandrel
