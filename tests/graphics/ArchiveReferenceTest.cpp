// The bytes the styles, fills and curves write, compared with reference files written by an
// earlier version of the code (see tests/charmodel/ArchiveReferenceTest.cpp for recording them).
#include "support/ArchiveReference.h"

#include "graphics/ColorFill.h"
#include "graphics/Curve.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicsClasses.h"
#include "graphics/NamedShapeStyle.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

const QString kReferences = QStringLiteral("tests/graphics/data/archives/");

void expectArchive(const ObjectPtr& root, const QString& rootClass, const QString& name)
{
    test::expectArchiveAsReference(root, rootClass, kReferences + name);
}

TEST(GraphicsArchiveReference, StylesWithEveryField)
{
    ClassRegistry::shared().registerOnce(&registerGraphicsClasses);
    expectArchive(
        std::make_shared<ShapeStyle>(), QStringLiteral("ShapeStyle"), QStringLiteral("default-style"));

    const auto line
        = ZDLColor::colorFromHexWithAlphaNamed(QStringLiteral("#102030"), 0.75f, QStringLiteral("Ink"));
    auto style = std::make_shared<NamedShapeStyle>();
    style->setName(QStringLiteral("Every field"));
    style->setLineColor(line);
    style->setLineColorAdjust(-0.25f);
    style->setLineAlpha(0.5f);
    style->setLineDash(4);
    style->setFillColor(ZDLColor::colorFromHexNamed(QStringLiteral("#FFEEDD"), QStringLiteral("Paper")));
    style->setFillColorAdjust(0.125f);
    style->setFillAlpha(0.8f);
    style->setLineWeight(2.75f);
    style->setBlur(0.6f);
    expectArchive(style, QStringLiteral("NamedShapeStyle"), QStringLiteral("named-style"));

    auto gradientFill = std::make_shared<GradientFill>();
    auto gradient = std::make_shared<Gradient>();
    gradient->setColor(RgbColor(0.04, 0.8, 0.12, 0.5), 1);
    gradient->addColorStopAt(0.3f);
    gradientFill->setGradient(gradient);
    gradientFill->setGradientType(1);
    gradientFill->setLinearAngle(-45.0f);
    auto gradientStyle = std::make_shared<ShapeStyle>(*style);
    gradientStyle->setFill(gradientFill);
    expectArchive(gradientStyle, QStringLiteral("ShapeStyle"), QStringLiteral("gradient-style"));
}

} // namespace
} // namespace zandrel
