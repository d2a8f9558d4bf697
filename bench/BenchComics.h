#pragma once

// The comics the page benchmarks draw: pages of 3 rows of 3 panels, each panel holding a character
// placed from the comic's cast and two balloons of lettering.
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/ZDLColor.h"
#include "platform/FontRegistry.h"

#include <cmath>
#include <random>

namespace zandrel::bench {

constexpr int kRows = 3;
constexpr int kPanelsPerRow = 3;
constexpr int kBalloonsPerPanel = 2;
// A US letter page in points.
constexpr double kPageWidth = 612;
constexpr double kPageHeight = 792;

inline CurvePtr blob(std::mt19937& random, const QPointF& centre, double radius)
{
    std::uniform_real_distribution<double> wobble(0.75, 1.3);
    auto curve = std::make_shared<Curve>();
    for (int k = 0; k < 12; ++k) {
        const double angle = M_PI * k / 6;
        curve->addPoint(centre
                + QPointF(
                    radius * wobble(random) * std::cos(angle), radius * wobble(random) * std::sin(angle)),
            k % 2 == 0);
    }
    curve->setClosed(true);
    return curve;
}

inline CharacterModelPtr makeCharacter(std::mt19937& random, int partCount, int pathsPerPart)
{
    auto character = std::make_shared<CharacterModel>();
    character->setCharacterName(QStringLiteral("Bench"));
    character->setCreator(QStringLiteral("Bench"));
    QList<ZDLColorPtr> colours;
    for (int i = 0; i < 8; ++i) {
        auto colour = ZDLColor::colorFromHexNamed(
            QColor::fromHsv(i * 45, 170, 210).name(), QStringLiteral("Colour %1").arg(i));
        character->addColor(colour);
        colours.append(colour);
    }
    std::uniform_real_distribution<double> place(0, 150);
    ElementList parts;
    for (int p = 0; p < partCount; ++p) {
        auto part = std::make_shared<Part>();
        ElementList paths;
        for (int i = 0; i < pathsPerPart; ++i) {
            auto path = std::make_shared<PartPath>();
            path->setSegments({ blob(random, QPointF(place(random), place(random)), 6 + p % 7) });
            path->setLineColor(colours[int(random() % 8)]);
            path->setFillColor(colours[int(random() % 8)]);
            path->setLineWeight(1.0f + float(i));
            paths.append(path);
        }
        part->setChildren(paths);
        part->setModel(character);
        parts.append(part);
    }
    character->setChildren(parts);
    return character;
}

inline BalloonPtr makeBalloon(const QPointF& at, int index)
{
    TextAttributes attributes;
    attributes.font = TextFont(FontRegistry::kLetteringFontName, 12.0);
    attributes.foregroundColor = RgbColor(0, 0, 0, 1);
    BalloonPtr balloon = Balloon::initAt(at, 90);
    balloon->setFormattedText(AttributedText(
        index % 2 ? QStringLiteral("Where did everybody go?") : QStringLiteral("Over here!"), attributes));
    balloon->setShape(index % 3);
    return balloon;
}

// A page of 3 rows of 3 panels, each holding the character placed from the cast and two balloons.
inline ComicPagePtr makePage(ComicModel& comic, const CharacterModelPtr& character)
{
    auto page = std::make_shared<ComicPage>();
    page->initWithRect(comic.bounds(), &comic, kRows, kPanelsPerRow);
    ComicStructureList panels;
    page->getPanelsInArray(panels);
    for (const auto& element : panels) {
        auto* panel = dynamic_cast<ComicPanel*>(element.get());
        const QPointF at = panel->bounds().topLeft() + QPointF(20, 20);
        ElementList figure;
        for (const ObjectPtr& part : character->getParts()) {
            auto copy = copyElement(*std::dynamic_pointer_cast<Part>(part));
            copy->setModel(character);
            copy->offsetBy(at, true);
            figure.append(copy);
        }
        for (int b = 0; b < kBalloonsPerPanel; ++b)
            figure.append(makeBalloon(panel->bounds().topLeft() + QPointF(10 + 60 * b, 8), b));
        panel->frontLayer()->setChildren(figure);
    }
    return page;
}

inline ComicModelPtr makeComic(int pages, const CharacterModelPtr& character)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setCreator(QStringLiteral("Bench"));
    comic->setupWithSize(QSizeF(kPageWidth, kPageHeight), kRows, kPanelsPerRow);
    comic->setCharacters({ comic->comicColorsModel(), character });
    ComicStructureList contents;
    for (int i = 0; i < pages; ++i)
        contents.push_back(makePage(*comic, character));
    comic->setContents(contents);
    comic->setCurrentPage(comic->pageAtIndex(0));
    return comic;
}

} // namespace zandrel::bench
