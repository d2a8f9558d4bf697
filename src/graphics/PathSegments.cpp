#include "graphics/PathSegments.h"

#include "graphics/GeometryRecord.h"
#include "platform/Geometry.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

namespace zandrel {

PathSegments::PathSegments(const PathSegments& other)
    : m_curves(other.segments())
{
}

QList<CurvePtr> PathSegments::segments() const
{
    QList<CurvePtr> copies;
    copies.reserve(m_curves.size());
    for (const CurvePtr& curve : m_curves)
        copies.append(Curve::initByCopying(*curve));
    return copies;
}

void PathSegments::setSegments(const QList<CurvePtr>& segments)
{
    QList<CurvePtr> copies;
    copies.reserve(segments.size());
    for (const CurvePtr& curve : segments) {
        if (curve)
            copies.append(Curve::initByCopying(*curve));
    }
    changeSegments([&] { m_curves = std::move(copies); });
}

CurvePtr PathSegments::getSegmentAtIndex(std::size_t index) const
{
    return index < numSegments() ? m_curves.at(qsizetype(index)) : nullptr;
}

void PathSegments::deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex)
{
    const CurvePtr curve = getSegmentAtIndex(segmentIndex);
    if (!curve || pointIndex >= std::size_t(curve->numPoints()))
        return;
    changeSegments([&] { curve->deletePointAtIndex(int(pointIndex)); });
}

DrawCommandList PathSegments::getDrawCommands() const
{
    DrawCommandList commands;
    for (const CurvePtr& curve : m_curves) {
        const DrawCommandList& own = curve->getDrawCommands();
        commands.insert(commands.end(), own.begin(), own.end());
    }
    return commands;
}

QList<CurvePtr> PathSegments::decodedCurves(KeyedUnarchiver& coder, const ValueList& values)
{
    QList<CurvePtr> curves;
    for (const Value& value : values) {
        if (CurvePtr curve = value.toObject<Curve>())
            curves.append(coder.claimOrCopy(curve, curve->copyCost(), &Curve::initByCopying));
    }
    return curves;
}

bool PathSegments::removeInvalidCurves(const QString& logLine)
{
    bool removed = false;
    for (qsizetype i = m_curves.size() - 1; i >= 0; --i) {
        if (!m_curves.at(i)->validateData()) {
            m_curves.removeAt(i);
            removed = true;
            zdlLog(logLine);
        }
    }
    return removed;
}

QRectF PathSegments::unionOfCurves(QRectF (Curve::*bounds)() const) const
{
    QRectF result;
    for (const CurvePtr& curve : m_curves)
        result = unionRect(result, (curve.get()->*bounds)());
    return result;
}

Value PathSegments::archivedCurves() const
{
    ValueList curves;
    curves.reserve(m_curves.size());
    for (const CurvePtr& curve : m_curves)
        curves.append(Value(curve));
    return Value(curves);
}

void PathSegments::offsetCurves(const QPointF& delta)
{
    for (const CurvePtr& curve : m_curves)
        curve->offsetBy(delta);
}

void PathSegments::transformCurves(const QTransform& transform)
{
    for (const CurvePtr& curve : m_curves)
        curve->transformBy(transform);
}

void PathSegments::perspectiveTransformCurves(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (const CurvePtr& curve : m_curves)
        curve->perspectiveTransformFrom(source, quad.data());
}

void PathSegments::recordCurves(GeometryRecord& record) const
{
    record.addCount(std::size_t(m_curves.size()));
    for (const CurvePtr& curve : m_curves)
        curve->recordPoints(record);
}

void PathSegments::restoreCurves(GeometryReader& reader)
{
    if (!reader.readCount(std::size_t(m_curves.size())))
        return;
    for (const CurvePtr& curve : m_curves)
        curve->restorePoints(reader);
}

} // namespace zandrel
