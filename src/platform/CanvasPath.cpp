#include "platform/CanvasPath.h"

#include <QPainterPathStroker>
#include <cmath>

namespace zandrel {

CanvasPath::CanvasPath()
{
    setWindingRule(WindingRule::NonZero);
}

CanvasPath::CanvasPath(const QPainterPath& path, WindingRule rule)
    : m_path(path)
{
    setWindingRule(rule);
}

CanvasPath CanvasPath::fromRect(const QRectF& rect)
{
    CanvasPath path;
    path.addRect(rect);
    return path;
}

CanvasPath CanvasPath::fromEllipse(const QRectF& rect)
{
    CanvasPath path;
    path.addEllipse(rect);
    return path;
}

void CanvasPath::moveTo(const QPointF& point)
{
    m_path.moveTo(point);
}

void CanvasPath::lineTo(const QPointF& point)
{
    m_path.lineTo(point);
}

void CanvasPath::quadTo(const QPointF& control, const QPointF& end)
{
    m_path.quadTo(control, end);
}

void CanvasPath::cubicTo(const QPointF& control1, const QPointF& control2, const QPointF& end)
{
    m_path.cubicTo(control1, control2, end);
}

void CanvasPath::close()
{
    if (!m_path.isEmpty())
        m_path.closeSubpath();
}

void CanvasPath::addRect(const QRectF& rect)
{
    m_path.addRect(rect);
}

void CanvasPath::addEllipse(const QRectF& rect)
{
    m_path.addEllipse(rect);
}

void CanvasPath::appendPath(const CanvasPath& other)
{
    appendPath(other.m_path);
}

void CanvasPath::appendPath(const QPainterPath& other)
{
    // addPath would also take over the other path's fill rule.
    const Qt::FillRule rule = m_path.fillRule();
    m_path.addPath(other);
    m_path.setFillRule(rule);
}

void CanvasPath::clear()
{
    const Qt::FillRule rule = m_path.fillRule();
    m_path = QPainterPath();
    m_path.setFillRule(rule);
}

bool CanvasPath::isEmpty() const
{
    return m_path.isEmpty();
}

CanvasPath CanvasPath::detached() const
{
    CanvasPath copy = *this;
    // addPath copies the elements only (never the lazily filled bounds), into a path of its own.
    QPainterPath geometry;
    geometry.addPath(m_path);
    geometry.setFillRule(m_path.fillRule());
    copy.m_path = std::move(geometry);
    return copy;
}

QRectF CanvasPath::bounds() const
{
    return m_path.boundingRect();
}

QRectF CanvasPath::controlPointBounds() const
{
    return m_path.controlPointRect();
}

bool CanvasPath::contains(const QPointF& point) const
{
    return m_path.contains(point);
}

QPainterPath CanvasPath::strokeOutline() const
{
    QPainterPathStroker stroker;
    stroker.setWidth(m_lineWidth);
    stroker.setCapStyle(m_lineCap == LineCap::Round ? Qt::RoundCap
            : m_lineCap == LineCap::Square          ? Qt::SquareCap
                                                    : Qt::FlatCap);
    // Qt's own miter join reaches up to the limit times the whole width and cuts the miter off
    // there; its SVG-style join bevels a corner whose miter passes the limit times half the width,
    // which is the reach strokeReach and every bounds built on it count on.
    stroker.setJoinStyle(m_lineJoin == LineJoin::Round ? Qt::RoundJoin
            : m_lineJoin == LineJoin::Bevel            ? Qt::BevelJoin
                                                       : Qt::SvgMiterJoin);
    stroker.setMiterLimit(m_miterLimit);
    if (isDashed() && m_lineWidth > 0) {
        // The stroker, like QPen, measures dashes in line widths.
        QVector<qreal> units;
        units.reserve(m_dashPattern.size());
        for (double length : m_dashPattern)
            units.append(length / m_lineWidth);
        stroker.setDashPattern(units);
        stroker.setDashOffset(m_dashPhase / m_lineWidth);
    }
    QPainterPath outline = stroker.createStroke(m_path);
    outline.setFillRule(Qt::WindingFill);
    return outline;
}

bool CanvasPath::strokeContains(const QPointF& point) const
{
    return strokeOutline().contains(point);
}

CanvasPath CanvasPath::transformed(const QTransform& transform) const
{
    CanvasPath copy(*this);
    copy.transform(transform);
    return copy;
}

void CanvasPath::transform(const QTransform& transform)
{
    const Qt::FillRule rule = m_path.fillRule();
    m_path = transform.map(m_path);
    m_path.setFillRule(rule);
}

void CanvasPath::setWindingRule(WindingRule rule)
{
    m_path.setFillRule(rule == WindingRule::EvenOdd ? Qt::OddEvenFill : Qt::WindingFill);
}

void CanvasPath::setLineWidth(double width)
{
    // Negative or non-finite widths would make QPen and the stroker misbehave.
    m_lineWidth = std::isfinite(width) && width > 0 ? width : 0.0;
}

void CanvasPath::setMiterLimit(double limit)
{
    m_miterLimit = std::isfinite(limit) && limit >= 1.0 ? limit : 1.0;
}

void CanvasPath::setDash(const QVector<double>& lengths, double phase)
{
    m_dashPattern.clear();
    m_dashPhase = std::isfinite(phase) ? phase : 0.0;
    bool anyPositive = false;
    for (double length : lengths) {
        if (!std::isfinite(length) || length < 0)
            return;
        anyPositive = anyPositive || length > 0;
    }
    if (!anyPositive)
        return;
    m_dashPattern = lengths;
    // An odd count repeats once more, so that dashes and gaps alternate through the cycle.
    if (m_dashPattern.size() % 2 == 1)
        m_dashPattern += lengths;
}

bool CanvasPath::operator==(const CanvasPath& other) const
{
    return m_path == other.m_path && m_path.fillRule() == other.m_path.fillRule()
        && m_lineWidth == other.m_lineWidth && m_lineCap == other.m_lineCap && m_lineJoin == other.m_lineJoin
        && m_miterLimit == other.m_miterLimit && m_dashPattern == other.m_dashPattern
        && m_dashPhase == other.m_dashPhase;
}

} // namespace zandrel
