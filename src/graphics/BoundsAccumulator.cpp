#include "graphics/BoundsAccumulator.h"

#include <cmath>

namespace zandrel {

void boundsAccumulatorInit(BoundsAccumulator* acc)
{
    if (acc)
        *acc = BoundsAccumulator {};
}

void boundsAccumulatorInitWithRect(BoundsAccumulator* acc, const QRectF& r)
{
    if (!acc)
        return;
    acc->hasPoints = true;
    acc->minX = float(r.x());
    acc->minY = float(r.y());
    acc->maxX = float(r.x() + r.width());
    acc->maxY = float(r.y() + r.height());
}

void boundsAccumulatorAddPoint(BoundsAccumulator* acc, const QPointF& p)
{
    if (!acc)
        return;
    if (!acc->hasPoints) {
        acc->hasPoints = true;
        acc->minX = acc->maxX = float(p.x());
        acc->minY = acc->maxY = float(p.y());
        return;
    }
    // fmin/fmax keep the number when one side is NaN, so one bad point does not spoil the rest.
    acc->minX = float(std::fmin(double(acc->minX), p.x()));
    acc->minY = float(std::fmin(double(acc->minY), p.y()));
    acc->maxX = float(std::fmax(double(acc->maxX), p.x()));
    acc->maxY = float(std::fmax(double(acc->maxY), p.y()));
}

QRectF boundsAccumulatorRect(const BoundsAccumulator* acc)
{
    if (!acc || !acc->hasPoints)
        return QRectF();
    // A box of points on one line is never thinner than this, so that it still has an area.
    constexpr float kMinimumThickness = 0.1f;
    return QRectF(acc->minX, acc->minY, fmaxf(acc->maxX - acc->minX, kMinimumThickness),
        fmaxf(acc->maxY - acc->minY, kMinimumThickness));
}

} // namespace zandrel
