#include "graphics/CurvePoint.h"

#include "graphics/GraphicUtils.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kXArchiveKey = QStringLiteral("x");
const QString kYArchiveKey = QStringLiteral("y");
const QString kOnCurveArchiveKey = QStringLiteral("onCurve");

} // namespace

CurvePoint::CurvePoint(float x, float y, bool onCurve)
    : m_point(x, y)
    , m_onCurve(onCurve)
{
}

const PropertyTable& CurvePoint::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<CurvePoint>(kXKey, &CurvePoint::x, &CurvePoint::setX),
            property<CurvePoint>(kYKey, &CurvePoint::y, &CurvePoint::setY),
            property<CurvePoint>(kPointKey, &CurvePoint::point, &CurvePoint::setPoint),
            property<CurvePoint>(kOnCurveKey, &CurvePoint::onCurve, &CurvePoint::setOnCurve),
        });
    return table;
}

std::shared_ptr<CurvePoint> CurvePoint::curvePointAtX(float x, float y, bool onCurve)
{
    return std::make_shared<CurvePoint>(x, y, onCurve);
}

std::shared_ptr<CurvePoint> CurvePoint::initByCopying(const CurvePoint& other)
{
    return std::make_shared<CurvePoint>(other);
}

QString CurvePoint::className() const
{
    return kClassName;
}

void CurvePoint::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeFloat(x(), kXArchiveKey);
    coder.encodeFloat(y(), kYArchiveKey);
    coder.encodeBool(m_onCurve, kOnCurveArchiveKey);
}

ObjectPtr CurvePoint::initWithCoder(KeyedUnarchiver& coder)
{
    // A non-finite coordinate in a damaged file would poison every bounds and hit test of the
    // outline; it reads as 0 instead.
    auto finite = [](float v) { return std::isfinite(v) ? v : 0.0f; };
    m_point = QPointF(
        finite(coder.decodeFloatForKey(kXArchiveKey)), finite(coder.decodeFloatForKey(kYArchiveKey)));
    m_onCurve = coder.decodeBoolForKey(kOnCurveArchiveKey);
    return shared_from_this();
}

QPointF CurvePoint::midwayPointTo(const CurvePoint& other) const
{
    return QPointF((m_point.x() + other.x()) / 2.0, (m_point.y() + other.y()) / 2.0);
}

void CurvePoint::perspectiveTransformFrom(const QRectF& from, const QPointF* quad)
{
    if (!quad)
        return;
    m_point = mapPointIntoQuad(quad, from, m_point);
}

float CurvePoint::distanceTo(const CurvePoint& other) const
{
    return hypotf(other.x() - x(), other.y() - y());
}

PointAlignment CurvePoint::getPointAlignmentWith(const CurvePoint& other, float tolerance) const
{
    if (m_point.x() == other.m_point.x() && m_point.y() == other.m_point.y())
        return PointAlignmentEqual;
    const float quarterPi = 0.7853982f;
    // Written so that a NaN tolerance ends as 0.
    if (!(tolerance >= 0.0f))
        tolerance = 0.0f;
    if (tolerance > quarterPi)
        tolerance = quarterPi;
    const float angle = fabsf(atan2f(static_cast<float>(m_point.y() - other.m_point.y()),
        static_cast<float>(m_point.x() - other.m_point.x())));
    if (angle <= tolerance || std::fabs(double(angle) - M_PI) <= tolerance)
        return PointAlignmentHorizontal;
    if (std::fabs(double(angle) - M_PI_2) <= tolerance)
        return PointAlignmentVertical;
    return PointAlignmentNone;
}

} // namespace zandrel
