#pragma once

#include "graphics/StyleFields.h"

#include <QStringList>
#include <memory>

namespace zandrel {

class ClassRegistry;
class ShapeStyle;
class ZDLDocument;
using ShapeStylePtr = std::shared_ptr<ShapeStyle>;

// The line and fill attributes a graphic element can have, copied from and applied to elements by
// property name, so that one style serves paths, balloons, panels and a character's defaults,
// each element taking only the attributes it declares.
class ShapeStyle : public Object, public StyleHolder<ShapeStyle> {
public:
    ZDL_PROPERTIES

    // A white colour fill, no line colour, opacities and weight 1, no blur, the solid dash.
    ShapeStyle() = default;
    // The defaults, then the owner's line colour and its very fill object (not a copy): a style
    // clipboard that keeps pointing at what the element holds. A null owner gives the defaults.
    static ShapeStylePtr initWithOwner(const Object* owner);
    // Shares the line colour (a palette entry) and copies the fill.
    ShapeStyle(const ShapeStyle& other) = default;
    ShapeStyle& operator=(const ShapeStyle& other) = default;
    ~ShapeStyle() override = default;

    // Turn a fill that is not a colour fill into a new white colour fill first, then set the
    // colour or the adjustment on it.
    void setFillColor(const ZDLColorPtr& color);
    void setFillColorAdjust(float adjust);

    // The style keys in the order they are copied and applied.
    static const QStringList& shapeStyleProperties();

    // Takes, key by key, the values of the keys the element declares; the others keep their values.
    void copyFrom(const Object* element);
    // Sets, key by key, the keys the element declares to this style's values.
    void applyTo(Object* element) const;
    // As applyTo, but each key as one undoable property change of the document, which reads the
    // old value itself.
    void undoableApplyTo(const ObjectPtr& element, ZDLDocument* document) const;

    // A new style of the same class.
    virtual ShapeStylePtr copy() const;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ShapeStyle");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    // A style without a fill (read from a damaged file) is treated like a gradient-filled one, so
    // that setting a fill colour always leaves a colour fill of that colour.
    void replaceNonColorFill();
};

// Registers "ShapeStyle" and "NamedShapeStyle" for archives, with the colour and fill classes they hold.
void registerShapeStyleClasses(ClassRegistry& registry);

} // namespace zandrel
