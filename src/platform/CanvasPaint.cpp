#include "platform/CanvasPaint.h"

#include <QLineF>
#include <cmath>
#include <numbers>

namespace zandrel {

LinearGradient LinearGradient::acrossRect(
    const QRectF& rect, double angleDegrees, const QGradientStops& stops)
{
    const double radians = (std::isfinite(angleDegrees) ? angleDegrees : 0.0) * std::numbers::pi / 180.0;
    const QPointF direction(std::cos(radians), std::sin(radians));
    // Half the extent of the rect's projection on the direction: the farthest corner.
    const double reach
        = rect.width() / 2 * std::abs(direction.x()) + rect.height() / 2 * std::abs(direction.y());
    const QPointF center = rect.center();
    LinearGradient gradient;
    gradient.stops = stops;
    gradient.start = center - direction * reach;
    gradient.end = center + direction * reach;
    return gradient;
}

RadialGradient RadialGradient::inRect(
    const QRectF& rect, const QPointF& relativeCenter, const QGradientStops& stops)
{
    const QPointF relative(std::isfinite(relativeCenter.x()) ? relativeCenter.x() : 0.0,
        std::isfinite(relativeCenter.y()) ? relativeCenter.y() : 0.0);
    const QPointF center(rect.center().x() + relative.x() * rect.width() / 2,
        rect.center().y() + relative.y() * rect.height() / 2);
    double radius = 0;
    for (const QPointF& corner : { rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight() })
        radius = std::max(radius, QLineF(center, corner).length());
    RadialGradient gradient;
    gradient.stops = stops;
    gradient.startCenter = center;
    gradient.endCenter = center;
    gradient.endRadius = radius;
    return gradient;
}

} // namespace zandrel
