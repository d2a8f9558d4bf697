#pragma once

#include "charmodel/TestCharacters.h"
#include "comicmodel/BalloonTestSupport.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/Group.h"

#include <QString>

// Comics built the same way by every test, fuzz seed and benchmark that needs one.
namespace zandrel::test {

inline std::shared_ptr<ComicPanel> panelNumber(const ComicStructureElement& element, std::size_t index)
{
    ComicStructureList panels;
    element.getPanelsInArray(panels);
    return index < panels.size() ? std::dynamic_pointer_cast<ComicPanel>(panels[index]) : nullptr;
}

// The panel of the page's rows at the index, the free panels left out.
inline std::shared_ptr<ComicPanel> rowPanel(const ComicPage& page, std::size_t index)
{
    ComicStructureList panels;
    page.ComicStack::getPanelsInArray(panels);
    return index < panels.size() ? std::dynamic_pointer_cast<ComicPanel>(panels[index]) : nullptr;
}

// A copy of the character's part at the index, placed in a comic at the offset.
inline PartPtr placedPart(const CharacterModelPtr& character, qsizetype index, const QPointF& offset)
{
    auto part = copyElement(*std::dynamic_pointer_cast<Part>(character->getParts().at(index)));
    part->setModel(character);
    part->offsetBy(offset, true);
    return part;
}

// A balloon of the shape and style with a line of lettering and its tail pointing down and left.
inline BalloonPtr placedBalloon(const QString& text, const QPointF& at, float width,
    BalloonShape shape = BalloonShape::Standard, BalloonStyle style = BalloonStyle::Plain)
{
    BalloonPtr balloon = balloonWith(text, width, at);
    balloon->setShape(int(shape));
    balloon->setStyle(int(style));
    balloon->pointers().first()->setPointValues({ QPointF(0, 0), QPointF(-12, 30) });
    return balloon;
}

inline std::shared_ptr<ImageElement> placedImage(const QPointF& at)
{
    auto image = std::make_shared<ImageElement>();
    image->setImage(blueImage());
    image->setTransform(QTransform::fromTranslate(at.x(), at.y()).scale(5, 5));
    return image;
}

// A comic of two pages that sets every key of the file to something other than a new comic's value:
// rows of panels in every shape with fills and both layers, an inset and a floating panel, free
// objects, a nested stack, a character of the cast placed in panels and on the page, balloons of
// every shape with tails, a group and merged balloons, and, when a parts file is named, a library
// entry for it. The second page is current.
inline ComicModelPtr richComic(const QString& libraryFile = QString())
{
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(QSizeF(600, 400), 2, 3);
    comic->setName(QStringLiteral("Rich"));
    comic->setCreator(QStringLiteral("Test"));
    comic->setComicDescription(QStringLiteral("A comic of every kind"));
    comic->setHashtags(QStringLiteral("#test #comic"));
    comic->setPanelGutter(8);
    comic->setBackgroundStyle(2);
    comic->setIsCatalogViewOpen(false);
    auto settings = std::make_shared<DocumentSettings>();
    settings->setMainViewScale(1.5f);
    comic->setDocumentSettings(settings);

    const CharacterModelPtr character = styledCharacter();
    CharacterList cast = comic->characters();
    cast.push_back(character);
    comic->setCharacters(cast);
    const auto sky = ZDLColor::colorFromHexNamed(QStringLiteral("#3366CC"), QStringLiteral("Sky"));
    comic->comicColorsModel()->addColor(sky);

    const auto page = comic->currentPage();
    page->setTopMargin(4);
    page->setLeftMargin(5);
    page->setRightMargin(6);
    page->setBottomMargin(7);
    for (std::size_t i = 0; i < 6; ++i) {
        const auto panel = panelNumber(*page, i);
        panel->setShape(int(i % 5));
        panel->setRoundness(i == 4 ? -1.0f : float(i) * 2.5f);
        panel->setWeight(0.5f + float(i));
        panel->setLineStyle(qint64(i % 3));
        panel->setFillAlpha(1.0f - 0.1f * float(i));
        panel->setFillLayer(int(i % 2));
    }
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(sky);
    panelNumber(*page, 0)->setFill(fill);
    panelNumber(*page, 1)->setFill(
        character->styles().isEmpty() ? nullptr : character->styles().first()->fill()->copy());
    panelNumber(*page, 0)->frontLayer()->setChildren(
        { placedPart(character, 0, QPointF(60, 80)), placedImage(QPointF(120, 40)) });
    panelNumber(*page, 0)->backLayer()->setChildren({ placedPart(character, 1, QPointF(20, 20)) });
    panelNumber(*page, 4)->frontLayer()->setChildren({ placedPart(character, 0, QPointF(260, 260)) });

    auto inset = std::make_shared<ComicPanel>();
    inset->initWithRect(QRectF(170, 150, 90, 70), page.get());
    inset->copyPropertiesFrom(*panelNumber(*page, 2));
    inset->frontLayer()->setChildren({ placedImage(QPointF(180, 160)) });
    auto floater = std::make_shared<ComicPanel>();
    floater->initWithRect(QRectF(380, 40, 150, 110), page.get());
    floater->setShape(PanelShapeHandDrawn);
    floater->backLayer()->setChildren({ placedPart(character, 0, QPointF(400, 60)) });
    page->setInsetPanels({ inset });
    page->setFloatingPanels({ floater });
    // Balloons of every shape and style, one with two tails, a group and merged balloons.
    ElementList balloons;
    for (int shape = 0; shape <= int(BalloonShape::TextBlock); ++shape) {
        balloons.append(placedBalloon(QStringLiteral("Shape %1").arg(shape),
            QPointF(210 + 30 * shape, 20 + 15 * shape), 60, BalloonShape(shape), BalloonStyle(shape % 5)));
    }
    const auto twoTails = std::static_pointer_cast<Balloon>(balloons.front());
    auto secondTail = std::make_shared<BalloonPointer>();
    secondTail->setPointValues({ QPointF(0, 0), QPointF(20, 25) });
    twoTails->setPointers({ twoTails->pointers().first(), secondTail });
    rowPanel(*page, 2)->frontLayer()->setChildren(balloons);
    auto group = std::make_shared<Group>();
    group->setChildren({ placedPart(character, 0, QPointF(420, 220)),
        placedBalloon(QStringLiteral("Grouped"), QPointF(440, 210), 50) });
    rowPanel(*page, 5)->frontLayer()->setChildren({ group });
    auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ placedBalloon(QStringLiteral("Merged"), QPointF(300, 300), 60),
        placedBalloon(QStringLiteral("balloons"), QPointF(340, 320), 60, BalloonShape::Ellipse) });
    page->setChildren({ placedPart(character, 0, QPointF(480, 300)), placedImage(QPointF(20, 330)), merged });

    auto second = std::make_shared<ComicPage>();
    second->initWithRect(comic->bounds(), comic.get(), 1, 2);
    second->setTopMargin(12);
    const auto row = second->contents().front();
    auto split = std::make_shared<ComicStack>();
    split->initWithRect(row->contents().at(1)->bounds(), nullptr, 2, 1);
    row->setContents({ row->contents().at(0), split });
    comic->setContents({ page, second });
    comic->setCurrentPage(second);

    if (!libraryFile.isEmpty())
        comic->setCharacterLibrary({ CharacterLibraryItem::initWithURL(libraryFile) });
    return comic;
}

// A small page for reference renderings: a row of three panels over a row of two, in several frame
// shapes, with fills, a character's parts in the panels and on the page, balloons with tails of
// several shapes, merged balloons, an inset panel holding an image and a floating panel holding a
// part.
inline ComicModelPtr referenceComic()
{
    auto comic = std::make_shared<ComicModel>();
    comic->setCreator(QStringLiteral("Test"));
    comic->setupWithSize(QSizeF(240, 160), 2, 3);
    comic->setPanelGutter(6);
    const auto page = comic->currentPage();
    const auto lower = std::make_shared<ComicRow>();
    lower->initWithRect(page->contents().at(1)->bounds(), page.get(), 2);
    page->setContents({ page->contents().front(), lower });

    const CharacterModelPtr character = styledCharacter();
    comic->setCharacters({ comic->comicColorsModel(), character });
    const auto sky = ZDLColor::colorFromHexNamed(QStringLiteral("#9CC3E6"), QStringLiteral("Sky"));
    comic->comicColorsModel()->addColor(sky);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(sky);

    const int shapes[]
        = { PanelShapePlain, PanelShapeHandDrawn, PanelShapePlain, PanelShapeSpikes, PanelShapeMarkedEdge };
    for (std::size_t i = 0; i < 5; ++i) {
        const auto panel = panelNumber(*page, i);
        panel->setShape(shapes[i]);
        panel->setWeight(1.0f + float(i % 2));
    }
    panelNumber(*page, 0)->setFill(fill);
    panelNumber(*page, 2)->setRoundness(8);
    panelNumber(*page, 0)->frontLayer()->setChildren({ placedPart(character, 0, QPointF(20, 20)) });
    panelNumber(*page, 4)->backLayer()->setChildren({ placedPart(character, 0, QPointF(150, 100)) });

    auto inset = std::make_shared<ComicPanel>();
    inset->initWithRect(QRectF(92, 50, 56, 44), page.get());
    inset->setWeight(2);
    inset->frontLayer()->setChildren({ placedImage(QPointF(100, 58)) });
    auto floater = std::make_shared<ComicPanel>();
    floater->initWithRect(QRectF(176, 92, 52, 52), page.get());
    floater->setFill(fill->copy());
    floater->frontLayer()->setChildren({ placedPart(character, 0, QPointF(186, 100)) });
    page->setInsetPanels({ inset });
    page->setFloatingPanels({ floater });
    // Balloons with tails in the panels, and two merged balloons over the page.
    rowPanel(*page, 1)->frontLayer()->setChildren(
        { placedBalloon(QStringLiteral("Hello!"), QPointF(98, 8), 50) });
    rowPanel(*page, 2)->frontLayer()->setChildren({ placedBalloon(
        QStringLiteral("Far away"), QPointF(172, 10), 56, BalloonShape::Ellipse, BalloonStyle::Scallops) });
    rowPanel(*page, 3)->frontLayer()->setChildren({ placedBalloon(
        QStringLiteral("Meanwhile"), QPointF(6, 88), 74, BalloonShape::Rect, BalloonStyle::Plain) });
    auto merged = std::make_shared<BalloonGroup>();
    merged->setChildren({ placedBalloon(QStringLiteral("One"), QPointF(110, 112), 40, BalloonShape::Fitted),
        placedBalloon(QStringLiteral("Two"), QPointF(132, 124), 40, BalloonShape::RoundRect,
            BalloonStyle::RoughSpikes) });
    page->setChildren({ placedPart(character, 0, QPointF(60, 120)), merged });
    return comic;
}

} // namespace zandrel::test
