#include "graphics/ShapeStyle.h"

#include "app/core/ZDLDocument.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/NamedShapeStyle.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// An element that declares only some of the style keys (no "lineAlpha", "lineColorAdjust" or
// "blur") and one that is no style key at all. Like real elements, it keeps a copy of a fill.
class PartlyStyled : public Object {
public:
    ZDL_PROPERTIES

    ZDLColorPtr lineColor() const { return m_lineColor; }
    void setLineColor(const ZDLColorPtr& color) { m_lineColor = color; }
    FillPtr fill() const { return m_fill; }
    void setFill(const FillPtr& fill) { m_fill = fill ? fill->copy() : nullptr; }

    ZDLColorPtr m_lineColor;
    FillPtr m_fill;
    float lineWeight = 3.0f;
    float fillAlpha = 0.25f;
    int lineDash = 7;
    double width = 40.0;
};

const PropertyTable& PartlyStyled::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<PartlyStyled>("lineColor", &PartlyStyled::lineColor, &PartlyStyled::setLineColor),
            property<PartlyStyled>("fill", &PartlyStyled::fill, &PartlyStyled::setFill),
            property<PartlyStyled>("lineWeight", &PartlyStyled::lineWeight),
            property<PartlyStyled>("fillAlpha", &PartlyStyled::fillAlpha),
            property<PartlyStyled>("lineDash", &PartlyStyled::lineDash),
            property<PartlyStyled>("width", &PartlyStyled::width),
        });
    return table;
}

ColorFillPtr colorFill(const ZDLColorPtr& color, float adjust)
{
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(color);
    fill->setFillColorAdjust(adjust);
    return fill;
}

TEST(ShapeStyleTest, NewStyleHasTheDefaults)
{
    ShapeStyle style;
    auto fill = std::dynamic_pointer_cast<ColorFill>(style.fill());
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->fillColor(), ZDLColor::whiteColor());
    EXPECT_EQ(fill->fillColorAdjust(), 0.0f);
    EXPECT_EQ(style.lineColor(), nullptr);
    EXPECT_EQ(style.lineColorAdjust(), 0.0f);
    EXPECT_EQ(style.lineAlpha(), 1.0f);
    EXPECT_EQ(style.fillAlpha(), 1.0f);
    EXPECT_EQ(style.lineWeight(), 1.0f);
    EXPECT_EQ(style.blur(), 0.0f);
    EXPECT_EQ(style.lineDash(), 0);
    EXPECT_EQ(style.fillType(), FillTypeColor);
    EXPECT_EQ(style.fillColor(), ZDLColor::whiteColor());

    NamedShapeStyle named;
    EXPECT_TRUE(named.name().isNull());
    EXPECT_EQ(named.lineWeight(), 1.0f);
    EXPECT_TRUE(named.fill());
}

TEST(ShapeStyleTest, StyleKeysInOrder)
{
    EXPECT_EQ(ShapeStyle::shapeStyleProperties(),
        (QStringList { "lineColor", "lineColorAdjust", "lineAlpha", "lineDash", "fill", "fillAlpha",
            "lineWeight", "blur" }));
    ShapeStyle style;
    for (const QString& key : ShapeStyle::shapeStyleProperties())
        EXPECT_TRUE(style.respondsToKey(key)) << key.toStdString();
}

TEST(ShapeStyleTest, SetFillStoresACopy)
{
    auto red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    auto given = colorFill(red, -0.5f);
    ShapeStyle style;
    style.setFill(given);
    ASSERT_NE(style.fill(), given);
    given->setFillColorAdjust(0.9f);
    EXPECT_EQ(style.fillColorAdjust(), -0.5f);
    EXPECT_EQ(style.fillColor(), red);

    // Through key-value coding as well: applyTo and copyFrom rely on it.
    style.setValueForKey(Value(given), "fill");
    EXPECT_NE(style.fill(), given);
    EXPECT_EQ(style.fillColorAdjust(), 0.9f);
}

TEST(ShapeStyleTest, FillColorOfAGradientFilledStyle)
{
    auto red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    ShapeStyle style;
    style.setFill(std::make_shared<GradientFill>());
    EXPECT_EQ(style.fillType(), FillTypeGradient);
    EXPECT_EQ(style.fillColor(), nullptr);
    EXPECT_EQ(style.fillColorAdjust(), 0.0f);

    style.setFillColor(red);
    EXPECT_EQ(style.fillType(), FillTypeColor);
    EXPECT_EQ(style.fillColor(), red);
    EXPECT_EQ(style.fillColorAdjust(), 0.0f);

    // On a colour fill only the colour changes.
    style.setFillColorAdjust(0.3f);
    style.setFillColor(ZDLColor::blackColor());
    EXPECT_EQ(style.fillColorAdjust(), 0.3f);

    style.setFill(std::make_shared<GradientFill>());
    style.setFillColorAdjust(-0.2f);
    EXPECT_EQ(style.fillColor(), ZDLColor::whiteColor());
    EXPECT_EQ(style.fillColorAdjust(), -0.2f);

    // A style without a fill at all (as read from a damaged file) gets a colour fill too.
    style.setFill(nullptr);
    EXPECT_EQ(style.fillType(), FillTypeGradient);
    EXPECT_EQ(style.fillColor(), nullptr);
    style.setFillColor(red);
    EXPECT_EQ(style.fillColor(), red);
}

TEST(ShapeStyleTest, CopySharesTheLineColourAndCopiesTheFill)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    auto green = ZDLColor::colorFromHexNamed("#00FF00", "Green");
    NamedShapeStyle style;
    style.setName("Outline");
    style.setLineColor(blue);
    style.setFill(colorFill(green, 0.25f));
    style.setLineColorAdjust(-0.1f);
    style.setLineAlpha(0.5f);
    style.setFillAlpha(0.75f);
    style.setLineWeight(2.5f);
    style.setBlur(4.0f);
    style.setLineDash(5);

    ShapeStylePtr copy = style.copy();
    auto named = std::dynamic_pointer_cast<NamedShapeStyle>(copy);
    ASSERT_TRUE(named);
    EXPECT_EQ(named->name(), "Outline");
    EXPECT_EQ(copy->lineColor(), blue);
    ASSERT_TRUE(copy->fill());
    EXPECT_NE(copy->fill(), style.fill());
    EXPECT_EQ(copy->fillColor(), green);
    EXPECT_EQ(copy->fillColorAdjust(), 0.25f);
    EXPECT_EQ(copy->lineColorAdjust(), -0.1f);
    EXPECT_EQ(copy->lineAlpha(), 0.5f);
    EXPECT_EQ(copy->fillAlpha(), 0.75f);
    EXPECT_EQ(copy->lineWeight(), 2.5f);
    EXPECT_EQ(copy->blur(), 4.0f);
    EXPECT_EQ(copy->lineDash(), 5);

    copy->setFillColorAdjust(0.6f);
    EXPECT_EQ(style.fillColorAdjust(), 0.25f);

    EXPECT_TRUE(std::dynamic_pointer_cast<NamedShapeStyle>(named->copy()));
    EXPECT_FALSE(std::dynamic_pointer_cast<NamedShapeStyle>(ShapeStyle().copy()));
}

TEST(ShapeStyleTest, OwnerGivesItsLineColourAndItsVeryFill)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    PartlyStyled owner;
    owner.m_lineColor = blue;
    owner.m_fill = std::make_shared<GradientFill>();

    ShapeStylePtr style = ShapeStyle::initWithOwner(&owner);
    EXPECT_EQ(style->lineColor(), blue);
    EXPECT_EQ(style->fill(), owner.m_fill);
    // Everything else keeps its default, even keys the owner has.
    EXPECT_EQ(style->lineWeight(), 1.0f);
    EXPECT_EQ(style->fillAlpha(), 1.0f);
    EXPECT_EQ(style->lineDash(), 0);

    ShapeStylePtr plain = ShapeStyle::initWithOwner(nullptr);
    EXPECT_EQ(plain->lineColor(), nullptr);
    EXPECT_EQ(plain->fillColor(), ZDLColor::whiteColor());
}

TEST(ShapeStyleTest, CopyFromTakesOnlyTheKeysTheElementDeclares)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    auto green = ZDLColor::colorFromHexNamed("#00FF00", "Green");
    PartlyStyled element;
    element.m_lineColor = blue;
    element.m_fill = colorFill(green, 0.4f);

    ShapeStyle style;
    style.setBlur(2.0f);
    style.setLineAlpha(0.3f);
    style.setLineColorAdjust(0.7f);
    style.copyFrom(&element);

    EXPECT_EQ(style.lineColor(), blue);
    EXPECT_EQ(style.fillColor(), green);
    EXPECT_NE(style.fill(), element.m_fill);
    EXPECT_EQ(style.fillColorAdjust(), 0.4f);
    EXPECT_EQ(style.lineWeight(), 3.0f);
    EXPECT_EQ(style.fillAlpha(), 0.25f);
    EXPECT_EQ(style.lineDash(), 7);
    // Keys the element lacks keep their values.
    EXPECT_EQ(style.blur(), 2.0f);
    EXPECT_EQ(style.lineAlpha(), 0.3f);
    EXPECT_EQ(style.lineColorAdjust(), 0.7f);

    style.copyFrom(nullptr);
    EXPECT_EQ(style.lineColor(), blue);
}

TEST(ShapeStyleTest, ApplyToSetsOnlyTheKeysTheElementDeclares)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    auto green = ZDLColor::colorFromHexNamed("#00FF00", "Green");
    ShapeStyle style;
    style.setLineColor(blue);
    style.setFillColor(green);
    style.setFillColorAdjust(-0.3f);
    style.setLineWeight(6.0f);
    style.setFillAlpha(0.5f);
    style.setLineDash(3);
    style.setBlur(9.0f);

    PartlyStyled element;
    style.applyTo(&element);
    // Palette colours pass as references.
    EXPECT_EQ(element.m_lineColor, blue);
    auto fill = std::dynamic_pointer_cast<ColorFill>(element.m_fill);
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->fillColor(), green);
    EXPECT_EQ(fill->fillColorAdjust(), -0.3f);
    EXPECT_EQ(element.lineWeight, 6.0f);
    EXPECT_EQ(element.fillAlpha, 0.5f);
    EXPECT_EQ(element.lineDash, 3);
    EXPECT_EQ(element.width, 40.0);

    // Style to style carries every key, blur included.
    NamedShapeStyle other;
    style.applyTo(&other);
    EXPECT_EQ(other.blur(), 9.0f);
    EXPECT_EQ(other.lineColor(), blue);
    EXPECT_TRUE(other.name().isNull());

    style.applyTo(nullptr);
}

TEST(ShapeStyleTest, UndoableApplyToIsUndone)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    ShapeStyle style;
    style.setLineColor(blue);
    style.setLineWeight(6.0f);
    style.setFillAlpha(0.5f);
    style.setLineDash(3);

    auto element = std::make_shared<PartlyStyled>();
    const FillPtr oldFill = element->m_fill;
    ZDLDocument document;
    style.undoableApplyTo(element, &document);
    EXPECT_EQ(element->m_lineColor, blue);
    EXPECT_EQ(element->lineWeight, 6.0f);
    EXPECT_EQ(element->fillAlpha, 0.5f);
    EXPECT_EQ(element->lineDash, 3);
    EXPECT_TRUE(element->m_fill);

    ASSERT_TRUE(document.undoManager()->canUndo());
    document.undoManager()->undo();
    EXPECT_EQ(element->m_lineColor, nullptr);
    EXPECT_EQ(element->lineWeight, 3.0f);
    EXPECT_EQ(element->fillAlpha, 0.25f);
    EXPECT_EQ(element->lineDash, 7);
    EXPECT_EQ(element->m_fill, oldFill);

    document.undoManager()->redo();
    EXPECT_EQ(element->m_lineColor, blue);
    EXPECT_EQ(element->lineDash, 3);

    // Nothing to apply to, nothing registered.
    style.undoableApplyTo(nullptr, &document);
    style.undoableApplyTo(element, nullptr);
}

} // namespace
} // namespace zandrel
