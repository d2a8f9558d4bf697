#include "graphics/ColorFill.h"

#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kColorArchiveKey = QStringLiteral("color");
const QString kAdjustArchiveKey = QStringLiteral("adjust");

} // namespace

ColorFill::ColorFill()
    : m_fillColor(ZDLColor::whiteColor())
{
}

const PropertyTable& ColorFill::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<ColorFill>(kFillColorKey, &ColorFill::fillColor, &ColorFill::setFillColor),
            property<ColorFill>(
                kFillColorAdjustKey, &ColorFill::fillColorAdjust, &ColorFill::setFillColorAdjust),
        });
    return table;
}

void ColorFill::setFillColor(const ZDLColorPtr& color)
{
    changeValueForKey(kFillColorKey, [&] { m_fillColor = color; });
}

void ColorFill::setFillColorAdjust(float adjust)
{
    changeValueForKey(kFillColorAdjustKey, [&] { m_fillColorAdjust = adjust; });
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
    return kClassName;
}

void ColorFill::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_fillColor, kColorArchiveKey);
    coder.encodeFloat(m_fillColorAdjust, kAdjustArchiveKey);
}

ObjectPtr ColorFill::initWithCoder(KeyedUnarchiver& coder)
{
    // No presence checks: a missing colour leaves the fill without one (and so none).
    m_fillColor = coder.decodeObjectOfClass(ZDLColor::kClassName, kColorArchiveKey).toObject<ZDLColor>();
    const float adjust = coder.decodeFloatForKey(kAdjustArchiveKey);
    m_fillColorAdjust = std::isfinite(adjust) ? adjust : 0.0f;
    return shared_from_this();
}

} // namespace zandrel
