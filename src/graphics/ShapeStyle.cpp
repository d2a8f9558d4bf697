#include "graphics/ShapeStyle.h"

#include "app/core/ZDLDocument.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/StyleKeys.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

using namespace stylekeys;

ShapeStyle::ShapeStyle()
    : m_fill(std::make_shared<ColorFill>())
{
}

ShapeStylePtr ShapeStyle::initWithOwner(const Object* owner)
{
    auto style = std::make_shared<ShapeStyle>();
    if (!owner)
        return style;
    if (owner->respondsToKey(kLineColor))
        style->m_lineColor = owner->valueForKey(kLineColor).toObject<ZDLColor>();
    // The owner's fill itself: the clipboard follows later edits of the element's fill.
    if (owner->respondsToKey(kFill))
        style->m_fill = owner->valueForKey(kFill).toObject<Fill>();
    return style;
}

ShapeStyle::ShapeStyle(const ShapeStyle& other)
    : Object(other)
    , m_fill(other.m_fill ? other.m_fill->copy() : nullptr)
    , m_lineColorAdjust(other.m_lineColorAdjust)
    , m_lineAlpha(other.m_lineAlpha)
    , m_fillAlpha(other.m_fillAlpha)
    , m_lineWeight(other.m_lineWeight)
    , m_blur(other.m_blur)
    , m_lineColor(other.m_lineColor)
    , m_lineDash(other.m_lineDash)
{
}

ShapeStyle& ShapeStyle::operator=(const ShapeStyle& other)
{
    if (this == &other)
        return *this;
    Object::operator=(other);
    m_fill = other.m_fill ? other.m_fill->copy() : nullptr;
    m_lineColorAdjust = other.m_lineColorAdjust;
    m_lineAlpha = other.m_lineAlpha;
    m_fillAlpha = other.m_fillAlpha;
    m_lineWeight = other.m_lineWeight;
    m_blur = other.m_blur;
    m_lineColor = other.m_lineColor;
    m_lineDash = other.m_lineDash;
    return *this;
}

ShapeStyle::~ShapeStyle() = default;

const PropertyTable& ShapeStyle::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<ShapeStyle>(kLineColor, &ShapeStyle::lineColor, &ShapeStyle::setLineColor),
            property<ShapeStyle>(
                kLineColorAdjust, &ShapeStyle::lineColorAdjust, &ShapeStyle::setLineColorAdjust),
            property<ShapeStyle>(kLineAlpha, &ShapeStyle::lineAlpha, &ShapeStyle::setLineAlpha),
            property<ShapeStyle>(kLineDash, &ShapeStyle::lineDash, &ShapeStyle::setLineDash),
            property<ShapeStyle>(kFill, &ShapeStyle::fill, &ShapeStyle::setFill),
            property<ShapeStyle>(kFillAlpha, &ShapeStyle::fillAlpha, &ShapeStyle::setFillAlpha),
            property<ShapeStyle>(kLineWeight, &ShapeStyle::lineWeight, &ShapeStyle::setLineWeight),
            property<ShapeStyle>(kBlur, &ShapeStyle::blur, &ShapeStyle::setBlur),
            property<ShapeStyle>(kFillColor, &ShapeStyle::fillColor, &ShapeStyle::setFillColor),
            property<ShapeStyle>(
                kFillColorAdjust, &ShapeStyle::fillColorAdjust, &ShapeStyle::setFillColorAdjust),
            readOnlyProperty<ShapeStyle>(QStringLiteral("fillType"), &ShapeStyle::fillType),
        });
    return table;
}

void ShapeStyle::setFill(const FillPtr& fill)
{
    KeyChange change(*this, kFill);
    m_fill = fill ? fill->copy() : nullptr;
}

void ShapeStyle::setLineColorAdjust(float adjust)
{
    KeyChange change(*this, kLineColorAdjust);
    m_lineColorAdjust = adjust;
}

void ShapeStyle::setLineAlpha(float alpha)
{
    KeyChange change(*this, kLineAlpha);
    m_lineAlpha = alpha;
}

void ShapeStyle::setFillAlpha(float alpha)
{
    KeyChange change(*this, kFillAlpha);
    m_fillAlpha = alpha;
}

void ShapeStyle::setLineWeight(float weight)
{
    KeyChange change(*this, kLineWeight);
    m_lineWeight = weight;
}

void ShapeStyle::setBlur(float blur)
{
    KeyChange change(*this, kBlur);
    m_blur = blur;
}

void ShapeStyle::setLineColor(const ZDLColorPtr& color)
{
    KeyChange change(*this, kLineColor);
    m_lineColor = color;
}

void ShapeStyle::setLineDash(qint64 dash)
{
    KeyChange change(*this, kLineDash);
    m_lineDash = dash;
}

FillType ShapeStyle::fillType() const
{
    return m_fill && m_fill->fillType() == FillTypeColor ? FillTypeColor : FillTypeGradient;
}

ZDLColorPtr ShapeStyle::fillColor() const
{
    if (fillType() != FillTypeColor)
        return nullptr;
    return std::static_pointer_cast<ColorFill>(m_fill)->fillColor();
}

float ShapeStyle::fillColorAdjust() const
{
    if (fillType() != FillTypeColor)
        return 0.0f;
    return std::static_pointer_cast<ColorFill>(m_fill)->fillColorAdjust();
}

// A style without a fill (read from a damaged file) is treated like a gradient-filled one, so
// that setting a fill colour always leaves a colour fill of that colour.
void ShapeStyle::replaceNonColorFill()
{
    if (fillType() != FillTypeColor)
        m_fill = std::make_shared<ColorFill>();
}

void ShapeStyle::setFillColor(const ZDLColorPtr& color)
{
    KeyChange fillChange(*this, kFill);
    KeyChange colorChange(*this, kFillColor);
    replaceNonColorFill();
    std::static_pointer_cast<ColorFill>(m_fill)->setFillColor(color);
}

void ShapeStyle::setFillColorAdjust(float adjust)
{
    KeyChange fillChange(*this, kFill);
    KeyChange adjustChange(*this, kFillColorAdjust);
    replaceNonColorFill();
    std::static_pointer_cast<ColorFill>(m_fill)->setFillColorAdjust(adjust);
}

const QStringList& ShapeStyle::shapeStyleProperties()
{
    static const QStringList keys
        = { kLineColor, kLineColorAdjust, kLineAlpha, kLineDash, kFill, kFillAlpha, kLineWeight, kBlur };
    return keys;
}

void ShapeStyle::copyFrom(const Object* element)
{
    if (!element)
        return;
    for (const QString& key : shapeStyleProperties()) {
        if (element->respondsToKey(key))
            setValueForKey(element->valueForKey(key), key);
    }
}

void ShapeStyle::applyTo(Object* element) const
{
    if (!element)
        return;
    for (const QString& key : shapeStyleProperties()) {
        if (element->respondsToKey(key))
            element->setValueForKey(valueForKey(key), key);
    }
}

void ShapeStyle::undoableApplyTo(const ObjectPtr& element, ZDLDocument* document) const
{
    if (!element || !document)
        return;
    for (const QString& key : shapeStyleProperties()) {
        if (element->respondsToKey(key))
            document->undoableSetPropertyFor(element, key, valueForKey(key), Value());
    }
}

ShapeStylePtr ShapeStyle::copy() const
{
    return std::make_shared<ShapeStyle>(*this);
}

QString ShapeStyle::className() const
{
    return QStringLiteral("ShapeStyle");
}

void ShapeStyle::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_lineColor, kLineColor);
    coder.encodeFloat(m_lineAlpha, kLineAlpha);
    coder.encodeInteger(m_lineDash, QStringLiteral("dash"));
    coder.encodeObject(m_fill, kFill);
    coder.encodeFloat(m_lineColorAdjust, kLineColorAdjust);
    coder.encodeFloat(m_fillAlpha, kFillAlpha);
    coder.encodeFloat(m_lineWeight, kLineWeight);
    coder.encodeFloat(m_blur, kBlur);
}

// Every key is read without a presence check: a style written without a key reads 0 or none for
// it, as files from earlier versions expect.
ObjectPtr ShapeStyle::initWithCoder(KeyedUnarchiver& coder)
{
    m_lineColor = coder.decodeObjectOfClass(QStringLiteral("ZDLColor"), kLineColor).toObject<ZDLColor>();
    m_lineAlpha = finiteOrZero(coder.decodeFloatForKey(kLineAlpha));
    m_lineDash = coder.decodeIntegerForKey(QStringLiteral("dash"));
    m_fill
        = coder.decodeObjectOfClasses({ QStringLiteral("ColorFill"), QStringLiteral("GradientFill") }, kFill)
              .toObject<Fill>();
    m_lineColorAdjust = finiteOrZero(coder.decodeFloatForKey(kLineColorAdjust));
    m_fillAlpha = finiteOrZero(coder.decodeFloatForKey(kFillAlpha));
    m_lineWeight = finiteOrZero(coder.decodeFloatForKey(kLineWeight));
    m_blur = finiteOrZero(coder.decodeFloatForKey(kBlur));
    return shared_from_this();
}

void registerShapeStyleClasses(ClassRegistry& registry)
{
    // A style is never read without its colours and fills; registering them again is harmless.
    registerColorAndFillClasses(registry);
    registry.registerClass<ShapeStyle>(QStringLiteral("ShapeStyle"), QStringLiteral("NSObject"));
    registry.registerClass<NamedShapeStyle>(QStringLiteral("NamedShapeStyle"), QStringLiteral("ShapeStyle"));
}

} // namespace zandrel
