#pragma once

#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/MaskingPath.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLImage.h"

#include <QImage>

// Characters built the same way by every test that needs one: the parts-file tests and the
// reference archives that guard the bytes the model writes.
namespace zandrel::test {

inline CurvePtr closedCurve(const QList<QPointF>& points)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p : points)
        curve->addPoint(p, true);
    curve->setClosed(true);
    return curve;
}

inline CurvePtr rectCurve(const QRectF& r)
{
    return closedCurve({ r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft() });
}

inline PartPathPtr square(const QRectF& r, const ZDLColorPtr& lineColor, const ZDLColorPtr& fillColor)
{
    auto path = std::make_shared<PartPath>();
    path->setSegments({ rectCurve(r) });
    path->setLineColor(lineColor);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(fillColor);
    path->setFill(fill);
    return path;
}

inline ZDLImagePtr blueImage()
{
    QImage pixels(4, 3, QImage::Format_ARGB32);
    pixels.fill(Qt::blue);
    return ZDLImage::initWithData(ZDLImage::encodedBitmapData(pixels, true, 1.0f));
}

// A character that sets every key of the file to something other than a new character's value.
inline CharacterModelPtr richCharacter()
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(QStringLiteral("Hero"));
    model->setCreator(QStringLiteral("Ann Artist"));
    model->setProductCode(QStringLiteral("ART-7"));
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
    const auto skin = ZDLColor::colorFromHexNamed(QStringLiteral("#F0C8A0"), QStringLiteral("Skin"));
    model->addColor(red);
    model->addColor(skin);
    model->createDefaultStyles();

    auto part = std::make_shared<Part>();
    auto group = std::make_shared<PartGroup>();
    group->setChildren({ square(QRectF(2, 2, 4, 4), model->blackColor(), skin) });
    auto inner = std::make_shared<ImageElement>();
    inner->setImage(blueImage());
    part->setChildren({ square(QRectF(0, 0, 10, 10), red, skin), group, inner });
    part->setPartType(4);
    part->setModel(model);
    auto loose = std::make_shared<ImageElement>();
    loose->setImage(blueImage());
    loose->setTransform(QTransform::fromTranslate(30, 40));
    model->setChildren({ part, loose });

    model->setTracingImage(blueImage());
    model->setTracingImageScale(2.5f);
    model->setTracingImageAlpha(0.4f);
    model->setTracingImageVisible(false);
    model->setLineColor(red);
    model->setLineAlpha(0.5f);
    model->setLineColorAdjust(-0.3f);
    model->setLineDash(3);
    model->setFillType(FillTypeGradient);
    model->setUnconvertingFillColor(skin);
    model->setFillAlpha(0.75f);
    model->setLineWeight(2.0f);
    model->setPartsKind(1);
    model->setThumbnailScale(2.0f);
    model->setThumbnailOrigin(QPointF(0.1, -20));
    auto settings = std::make_shared<DocumentSettings>();
    settings->setMainViewScale(2.0f);
    model->setDocumentSettings(settings);
    return model;
}

// A character whose paths use every style field with values other than the defaults, a path with
// contents, an image with masks and a pivot, and parts of several types.
inline CharacterModelPtr styledCharacter()
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(QStringLiteral("Styled"));
    model->setCreator(QStringLiteral("Test"));
    const auto teal
        = ZDLColor::colorFromHexWithAlphaNamed(QStringLiteral("#208080"), 0.5f, QStringLiteral("Teal"));
    model->addColor(teal);

    auto outlined = square(QRectF(0, 0, 20, 30), teal, model->whiteColor());
    outlined->setLineAlpha(0.25f);
    outlined->setLineColorAdjust(0.4f);
    outlined->setLineDash(2);
    outlined->setFillAlpha(0.6f);
    outlined->setLineWeight(3.5f);
    outlined->setBlur(1.25f);
    outlined->addPartElement(square(QRectF(5, 5, 4, 4), model->noneColor(), teal));

    auto shaded = square(QRectF(10, 10, 8, 8), model->blackColor(), model->blackColor());
    auto gradientFill = std::make_shared<GradientFill>();
    auto gradient = std::make_shared<Gradient>();
    gradient->setColor(RgbColor(0.8, 0.15, 0.05), 0);
    gradient->addColorStopAt(0.5f);
    gradientFill->setGradient(gradient);
    gradientFill->setGradientType(1);
    gradientFill->setLinearAngle(30.0f);
    gradientFill->setRelativeCenter(QPointF(0.25, -0.5));
    shaded->setFill(gradientFill);
    shaded->setVisible(false);

    auto hidden = std::make_shared<PartGroup>();
    hidden->setChildren({ shaded, square(QRectF(-4, -4, 2, 2), teal, teal) });

    auto head = std::make_shared<Part>();
    head->setChildren({ outlined, hidden });
    head->setPartType(1);
    head->setOrigin(QPointF(7.5, -2.25));
    head->setModel(model);

    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ closedCurve({ QPointF(0, 0), QPointF(3, 0), QPointF(1.5, 2) }) });
    auto picture = std::make_shared<ImageElement>();
    picture->setImage(blueImage());
    picture->setChildren({ mask });
    picture->setTransform(QTransform(2, 0.5, -0.5, 2, 11, 12));
    picture->setPartType(9);
    picture->setOrigin(QPointF(1, 1));

    auto prop = std::make_shared<Part>();
    prop->setChildren({ picture, square(QRectF(40, 0, 5, 5), teal, model->whiteColor()) });
    prop->setPartType(9);
    prop->setModel(model);

    model->setChildren({ head, prop });
    model->setLineColor(teal);
    model->setLineWeight(0.5f);
    model->setFillColorAdjust(-0.2f);
    model->createDefaultStyles();
    auto style = std::make_shared<NamedShapeStyle>();
    style->setName(QStringLiteral("Everything"));
    style->setLineColor(teal);
    style->setLineColorAdjust(0.1f);
    style->setLineAlpha(0.9f);
    style->setLineDash(1);
    style->setFill(gradientFill);
    style->setFillAlpha(0.3f);
    style->setLineWeight(4.0f);
    style->setBlur(2.0f);
    model->setStyles({ style });
    return model;
}

} // namespace zandrel::test
