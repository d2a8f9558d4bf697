#pragma once

#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "graphics/ColorFill.h"
#include "graphics/Curve.h"
#include "graphics/ZDLColor.h"

#include <QString>
#include <cmath>

namespace zandrel::test {

// A closed path around the points, outlined and filled with palette colours.
inline PartPathPtr polygonPath(const QList<QPointF>& points, const ZDLColorPtr& line, const ZDLColorPtr& fill)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& point : points)
        curve->addPoint(point, true);
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    path->setLineColor(line);
    path->setLineWeight(2.0f);
    auto colorFill = std::make_shared<ColorFill>();
    colorFill->setFillColor(fill);
    path->setFill(colorFill);
    return path;
}

inline PartPathPtr squarePath(const QRectF& r, const ZDLColorPtr& line, const ZDLColorPtr& fill)
{
    return polygonPath({ r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft() }, line, fill);
}

// A character of the given name with parts laid out in a grid, each part of several paths (a star of
// points, so that files grow with the count) and a group; colours "Skin" and "Coat".
inline CharacterModelPtr makeCharacter(
    const QString& name, int parts = 3, int pathsPerPart = 2, int starPoints = 5)
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(name);
    model->setCreator(QStringLiteral("Test Artist"));
    const auto skin = ZDLColor::colorFromHexNamed(QStringLiteral("#F0C8A0"), QStringLiteral("Skin"));
    const auto coat = ZDLColor::colorFromHexNamed(QStringLiteral("#3060A0"), QStringLiteral("Coat"));
    model->addColor(skin);
    model->addColor(coat);
    ElementList children;
    for (int p = 0; p < parts; ++p) {
        auto part = std::make_shared<Part>();
        const QPointF origin(120.0 * (p % 6), 120.0 * (p / 6));
        ElementList elements;
        for (int k = 0; k < pathsPerPart; ++k) {
            QList<QPointF> star;
            const double radius = 40.0 - 6.0 * k;
            for (int i = 0; i < 2 * starPoints; ++i) {
                const double angle = M_PI * i / starPoints;
                const double r = i % 2 ? radius / 2 : radius;
                star.append(origin + QPointF(50 + r * std::sin(angle), 50 - r * std::cos(angle)));
            }
            elements.append(polygonPath(star, model->blackColor(), k % 2 ? coat : skin));
        }
        auto group = std::make_shared<PartGroup>();
        group->setChildren(
            { squarePath(QRectF(origin + QPointF(40, 40), QSizeF(8, 8)), model->blackColor(), coat),
                squarePath(QRectF(origin + QPointF(52, 40), QSizeF(8, 8)), model->blackColor(), coat) });
        elements.append(group);
        part->setChildren(elements);
        part->setPartType(p % 5);
        part->setModel(model);
        children.append(part);
    }
    model->setChildren(children);
    return model;
}

} // namespace zandrel::test
