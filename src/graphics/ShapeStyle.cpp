#include "graphics/ShapeStyle.h"

#include "app/core/ZDLDocument.h"
#include "graphics/ColorFill.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/StyleKeys.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

using namespace stylekeys;

ShapeStylePtr ShapeStyle::initWithOwner(const Object* owner)
{
    auto style = std::make_shared<ShapeStyle>();
    if (!owner)
        return style;
    if (owner->respondsToKey(kLineColor))
        style->m_style.lineColor = owner->valueForKey(kLineColor).toObject<ZDLColor>();
    // The owner's fill itself: the clipboard follows later edits of the element's fill.
    if (owner->respondsToKey(kFill))
        style->m_style.fill = owner->valueForKey(kFill).toObject<Fill>();
    return style;
}

const PropertyTable& ShapeStyle::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(), [] {
        std::vector<Property> properties = styleProperties();
        properties.push_back(
            property<ShapeStyle>(kFillColor, &ShapeStyle::fillColor, &ShapeStyle::setFillColor));
        properties.push_back(property<ShapeStyle>(
            kFillColorAdjust, &ShapeStyle::fillColorAdjust, &ShapeStyle::setFillColorAdjust));
        properties.push_back(readOnlyProperty<ShapeStyle>(kFillType, &ShapeStyle::fillType));
        return properties;
    }());
    return table;
}

void ShapeStyle::replaceNonColorFill()
{
    if (fillType() != FillTypeColor)
        m_style.fill = std::make_shared<ColorFill>();
}

void ShapeStyle::setFillColor(const ZDLColorPtr& color)
{
    changeValueForKey(kFill, [&] {
        changeValueForKey(kFillColor, [&] {
            replaceNonColorFill();
            std::static_pointer_cast<ColorFill>(m_style.fill)->setFillColor(color);
        });
    });
}

void ShapeStyle::setFillColorAdjust(float adjust)
{
    changeValueForKey(kFill, [&] {
        changeValueForKey(kFillColorAdjust, [&] {
            replaceNonColorFill();
            std::static_pointer_cast<ColorFill>(m_style.fill)->setFillColorAdjust(adjust);
        });
    });
}

const QStringList& ShapeStyle::shapeStyleProperties()
{
    static const QStringList keys = [] {
        QStringList names;
        forEachStyleField([&](const StyleFieldInfo& field) { names.append(field.name); });
        return names;
    }();
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
    return kClassName;
}

void ShapeStyle::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeStyleFieldsInArchiveOrder(coder, m_style);
}

// Every key is read without a presence check: a style written without a key reads 0 or none for
// it, as files from earlier versions expect.
ObjectPtr ShapeStyle::initWithCoder(KeyedUnarchiver& coder)
{
    decodeStyleFieldsInArchiveOrder(coder, m_style, StyleFieldReading {});
    return shared_from_this();
}

void registerShapeStyleClasses(ClassRegistry& registry)
{
    // A style is never read without its colours and fills; registering them again is harmless.
    registerColorAndFillClasses(registry);
    registry.registerClass<ShapeStyle>(ShapeStyle::kClassName, PlatformClass::kObject);
    registry.registerClass<NamedShapeStyle>(NamedShapeStyle::kClassName, ShapeStyle::kClassName);
}

} // namespace zandrel
