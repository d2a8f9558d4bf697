#include "graphics/ColorFill.h"

#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

ColorFill::ColorFill()
    : m_fillColor(ZDLColor::whiteColor())
{
}

const PropertyTable& ColorFill::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<ColorFill>("fillColor", &ColorFill::fillColor, &ColorFill::setFillColor),
            property<ColorFill>(
                "fillColorAdjust", &ColorFill::fillColorAdjust, &ColorFill::setFillColorAdjust),
        });
    return table;
}

void ColorFill::setFillColor(const ZDLColorPtr& color)
{
    KeyChange change(*this, QStringLiteral("fillColor"));
    m_fillColor = color;
}

void ColorFill::setFillColorAdjust(float adjust)
{
    KeyChange change(*this, QStringLiteral("fillColorAdjust"));
    m_fillColorAdjust = adjust;
}

RgbColor ColorFill::nsColor() const
{
    return m_fillColor ? m_fillColor->getNSColorUsingAlphaAndAdjustment(1.0f, m_fillColorAdjust) : RgbColor();
}

RgbColor ColorFill::opaqueColor() const
{
    return m_fillColor ? m_fillColor->getOpaqueColorUsingAdjustment(m_fillColorAdjust) : RgbColor();
}

void ColorFill::fillRect(const QRectF& rect) const
{
    Canvas* canvas = currentCanvas();
    const QColor color = nsColor().toQColor();
    if (!canvas || !color.isValid())
        return;
    canvas->save();
    canvas->fillRect(rect, color);
    canvas->restore();
}

void ColorFill::fillCGPath(const CanvasPath& path) const
{
    CanvasPath evenOdd(path);
    evenOdd.setWindingRule(WindingRule::EvenOdd);
    fillNSPath(evenOdd);
}

void ColorFill::fillNSPath(const CanvasPath& path) const
{
    Canvas* canvas = currentCanvas();
    const QColor color = nsColor().toQColor();
    if (!canvas || !color.isValid())
        return;
    canvas->save();
    canvas->fillPath(path, color);
    canvas->restore();
}

bool ColorFill::isNone() const
{
    return !m_fillColor || m_fillColor->isNone();
}

FillPtr ColorFill::copy() const
{
    return std::make_shared<ColorFill>(*this);
}

QString ColorFill::className() const
{
    return QStringLiteral("ColorFill");
}

void ColorFill::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_fillColor, QStringLiteral("color"));
    coder.encodeFloat(m_fillColorAdjust, QStringLiteral("adjust"));
}

ObjectPtr ColorFill::initWithCoder(KeyedUnarchiver& coder)
{
    // No presence checks: a missing colour leaves the fill without one (and so none).
    m_fillColor
        = coder.decodeObjectOfClass(QStringLiteral("ZDLColor"), QStringLiteral("color")).toObject<ZDLColor>();
    const float adjust = coder.decodeFloatForKey(QStringLiteral("adjust"));
    m_fillColorAdjust = std::isfinite(adjust) ? adjust : 0.0f;
    return shared_from_this();
}

} // namespace zandrel
