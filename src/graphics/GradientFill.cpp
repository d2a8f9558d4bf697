#include "graphics/GradientFill.h"

#include "graphics/GraphicUtils.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <climits>
#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

// Archive keys.
const QString kGradientArchiveKey = QStringLiteral("gradient");
const QString kTypeArchiveKey = QStringLiteral("type");
const QString kXCenterArchiveKey = QStringLiteral("xCenter");
const QString kYCenterArchiveKey = QStringLiteral("yCenter");
const QString kAngleArchiveKey = QStringLiteral("angle");

} // namespace

GradientFill::GradientFill()
    : m_gradient(std::make_shared<Gradient>())
{
}

GradientFill::GradientFill(const GradientFill& other)
    : Fill(other)
    , m_gradient(other.m_gradient ? other.m_gradient->copy() : nullptr)
    , m_gradientType(other.m_gradientType)
    , m_linearAngle(other.m_linearAngle)
    , m_relativeCenter(other.m_relativeCenter)
{
}

GradientFill& GradientFill::operator=(const GradientFill& other)
{
    if (this != &other) {
        Fill::operator=(other);
        m_gradient = other.m_gradient ? other.m_gradient->copy() : nullptr;
        m_gradientType = other.m_gradientType;
        m_linearAngle = other.m_linearAngle;
        m_relativeCenter = other.m_relativeCenter;
    }
    return *this;
}

const PropertyTable& GradientFill::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<GradientFill>(kGradientKey, &GradientFill::gradient, &GradientFill::setGradient),
            property<GradientFill>(
                kGradientTypeKey, &GradientFill::gradientType, &GradientFill::setGradientType),
            property<GradientFill>(
                kLinearAngleKey, &GradientFill::linearAngle, &GradientFill::setLinearAngle),
            property<GradientFill>(
                kRelativeCenterKey, &GradientFill::relativeCenter, &GradientFill::setRelativeCenter),
        });
    return table;
}

GradientPtr GradientFill::gradient() const
{
    return m_gradient ? m_gradient->copy() : nullptr;
}

void GradientFill::setGradient(const GradientPtr& gradient)
{
    changeValueForKey(kGradientKey, [&] { m_gradient = gradient ? gradient->copy() : nullptr; });
}

void GradientFill::setGradientType(int type)
{
    changeValueForKey(kGradientTypeKey, [&] { m_gradientType = type; });
}

void GradientFill::setLinearAngle(float angle)
{
    changeValueForKey(kLinearAngleKey, [&] { m_linearAngle = angle; });
}

void GradientFill::setRelativeCenter(const QPointF& center)
{
    changeValueForKey(kRelativeCenterKey, [&] { m_relativeCenter = center; });
}

void GradientFill::drawInRect(const QRectF& rect, bool opaque) const
{
    Canvas* canvas = currentCanvas();
    if (!canvas || !m_gradient || !(rect.width() > 0.0 && rect.height() > 0.0))
        return;
    const QGradientStops& stops = opaque ? m_gradient->opaqueGradient() : m_gradient->nsGradient();
    if (stops.isEmpty())
        return;
    if (m_gradientType == GradientTypeLinear)
        canvas->fillRect(rect, LinearGradient::acrossRect(rect, m_linearAngle, stops));
    else
        canvas->fillRect(rect, RadialGradient::inRect(rect, m_relativeCenter, stops));
}

void GradientFill::fillRect(const QRectF& rect) const
{
    drawInRect(rect, false);
}

void GradientFill::opaqueFillRect(const QRectF& rect) const
{
    drawInRect(rect, true);
}

void GradientFill::fillCGPath(const CanvasPath& path) const
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    CanvasPath evenOdd(path);
    evenOdd.setWindingRule(WindingRule::EvenOdd);
    canvas->save();
    canvas->clipToPath(evenOdd);
    // The box of a path with its control points, as the platform path reports it.
    fillRect(path.controlPointBounds());
    canvas->restore();
}

void GradientFill::fillNSPath(const CanvasPath& path) const
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->save();
    canvas->clipToPath(path);
    fillRect(path.bounds());
    canvas->restore();
}

FillPtr GradientFill::copy() const
{
    return std::make_shared<GradientFill>(*this);
}

void GradientFill::rotate(float degrees)
{
    if (m_gradientType == GradientTypeLinear) {
        setLinearAngle(m_linearAngle + degrees);
        return;
    }
    if (m_relativeCenter.x() == 0.0 && m_relativeCenter.y() == 0.0)
        return;
    // Along the square the centre lies on, so that a centre on the rect's edge stays on it.
    RectipolarPoint polar = angleOfVector(m_relativeCenter);
    polar.angle += degrees * std::numbers::pi_v<float> / 180.0f;
    const QPointF turned = rectipolarToPoint(polar);
    if (!isNanPoint(turned))
        setRelativeCenter(turned);
}

QString GradientFill::className() const
{
    return kClassName;
}

void GradientFill::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_gradient, kGradientArchiveKey);
    coder.encodeInteger(m_gradientType, kTypeArchiveKey);
    // The centre is held in double but stored in single precision.
    coder.encodeFloat(float(m_relativeCenter.x()), kXCenterArchiveKey);
    coder.encodeFloat(float(m_relativeCenter.y()), kYCenterArchiveKey);
    coder.encodeFloat(m_linearAngle, kAngleArchiveKey);
}

ObjectPtr GradientFill::initWithCoder(KeyedUnarchiver& coder)
{
    auto finite = [](float value) { return std::isfinite(value) ? value : 0.0f; };
    // No presence checks: a missing key reads as no gradient or 0, so an archive without "angle"
    // has angle 0, not the 90 of a new fill.
    m_gradient = coder.decodeObjectOfClass(Gradient::kClassName, kGradientArchiveKey).toObject<Gradient>();
    const qint64 type = coder.decodeIntegerForKey(kTypeArchiveKey);
    // Any value but 0 is radial; keep it so when it does not fit an int.
    m_gradientType = type >= INT_MIN && type <= INT_MAX ? int(type) : GradientTypeRadial;
    m_relativeCenter = QPointF(finite(coder.decodeFloatForKey(kXCenterArchiveKey)),
        finite(coder.decodeFloatForKey(kYCenterArchiveKey)));
    m_linearAngle = finite(coder.decodeFloatForKey(kAngleArchiveKey));
    return shared_from_this();
}

} // namespace zandrel
