#pragma once

#include "graphics/Fill.h"
#include "graphics/ZDLColor.h"

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
class ShapeStyle : public Object {
public:
    ZDL_PROPERTIES

    // A white colour fill, no line colour, opacities and weight 1, no blur, the solid dash.
    ShapeStyle();
    // The defaults, then the owner's line colour and its very fill object (not a copy): a style
    // clipboard that keeps pointing at what the element holds. A null owner gives the defaults.
    static ShapeStylePtr initWithOwner(const Object* owner);
    // Shares the line colour (a palette entry) and copies the fill.
    ShapeStyle(const ShapeStyle& other);
    ShapeStyle& operator=(const ShapeStyle& other);
    ~ShapeStyle() override;

    // A copy of the fill given is stored, so later edits of the caller's fill do not leak in.
    const FillPtr& fill() const { return m_fill; }
    void setFill(const FillPtr& fill);
    float lineColorAdjust() const { return m_lineColorAdjust; }
    void setLineColorAdjust(float adjust);
    float lineAlpha() const { return m_lineAlpha; }
    void setLineAlpha(float alpha);
    float fillAlpha() const { return m_fillAlpha; }
    void setFillAlpha(float alpha);
    float lineWeight() const { return m_lineWeight; }
    void setLineWeight(float weight);
    float blur() const { return m_blur; }
    void setBlur(float blur);
    // A palette entry, referenced; null for no line colour.
    const ZDLColorPtr& lineColor() const { return m_lineColor; }
    void setLineColor(const ZDLColorPtr& color);
    // An index into the application's dash table; 0 is the solid line.
    qint64 lineDash() const { return m_lineDash; }
    void setLineDash(qint64 dash);

    // FillTypeColor for a colour fill, FillTypeGradient for anything else (no fill included).
    FillType fillType() const;
    // Read through to a colour fill; null and 0 for any other fill.
    ZDLColorPtr fillColor() const;
    float fillColorAdjust() const;
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

    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    void replaceNonColorFill();

    FillPtr m_fill;
    float m_lineColorAdjust = 0.0f;
    float m_lineAlpha = 1.0f;
    float m_fillAlpha = 1.0f;
    float m_lineWeight = 1.0f;
    float m_blur = 0.0f;
    ZDLColorPtr m_lineColor;
    qint64 m_lineDash = 0;
};

// Registers "ShapeStyle" and "NamedShapeStyle" for archives, with the colour and fill classes they hold.
void registerShapeStyleClasses(ClassRegistry& registry);

} // namespace zandrel
