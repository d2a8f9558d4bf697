// The comic's cast and colours on a real comic and document: pasted elements find (or bring) their
// characters, colour use across panels, pages and characters, cache flushes on colour edits, and
// colours deleted from the comic undoably.
#include "app/core/ZDLAppController.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/PanelTestSupport.h"
#include "comicmodel/TestComics.h"
#include "graphics/ImageCache.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::placedPart;

// What the pasteboard gives back for copied elements: new objects that carry their character's
// identifier, their colours new objects of the same names.
ObjectPtr pasted(const ObjectPtr& element)
{
    appController()->setWritingPasteboard(true);
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(element);
    appController()->setWritingPasteboard(false);
    return KeyedUnarchiver::unarchive(data, { element->className() }).toObject();
}

ZDLColorPtr lineColorOfFirstPath(const ObjectPtr& part)
{
    const auto path = std::dynamic_pointer_cast<PartPath>(asProtocol<Parent>(part)->children().front());
    return path->lineColor();
}

class ComicCastTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::registerPanelTestClasses(); }
    void SetUp() override
    {
        comic->setupWithSize(QSizeF(600, 400), 1, 2);
        page = comic->currentPage();
        teal = character->getColorNamed(QStringLiteral("Teal"));
    }
    void TearDown() override { QCoreApplication::processEvents(); }

    ComicDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    std::shared_ptr<ComicPage> page;
    CharacterModelPtr character = test::styledCharacter();
    ZDLColorPtr teal;
};

TEST_F(ComicCastTest, PastedElementsFindOrBringTheirCharacters)
{
    const ObjectPtr part = pasted(placedPart(character, 0, QPointF()));
    auto image = std::make_shared<ImageElement>();
    auto balloon = std::make_shared<Balloon>();
    Log::Capture log;
    comic->mergeInCharactersAndColors({ part, image, balloon });
    EXPECT_EQ(log.lines(),
        (QStringList { "Problem merging balloon colors", "Problem resolving image characterId" }));

    // A character the comic lacks joins the cast, with the pasted colours in its palette.
    ASSERT_EQ(comic->characters().size(), 2u);
    const CharacterModelPtr added = comic->characters().back();
    EXPECT_EQ(added->characterId(), character->characterId());
    EXPECT_EQ(asProtocol<ComicElement>(part)->model(), added.get());
    EXPECT_TRUE(added->ownsColor(lineColorOfFirstPath(part).get()));
    EXPECT_EQ(comic->characterById(character->characterId()), added);

    // Pasted again, it takes the character and the palette entries the comic has now.
    const ObjectPtr again = pasted(placedPart(character, 0, QPointF()));
    comic->mergeInCharactersAndColors({ again });
    EXPECT_EQ(comic->characters().size(), 2u);
    EXPECT_EQ(lineColorOfFirstPath(again), lineColorOfFirstPath(part));

    // The character came in undoably, as one step with its colours.
    document.undoManager()->undo();
    EXPECT_EQ(comic->characters().size(), 1u);
}

TEST_F(ComicCastTest, ColourUseIsAskedOfTheCharacterThatOwnsTheColour)
{
    const CharacterModelPtr other = test::richCharacter();
    comic->setCharacters({ comic->comicColorsModel(), character, other });
    const auto sky = ZDLColor::colorFromHexNamed(QStringLiteral("#3366CC"), QStringLiteral("Sky"));
    comic->comicColorsModel()->addColor(sky);
    const auto unused = ZDLColor::colorFromHexNamed(QStringLiteral("#010203"), QStringLiteral("Unused"));
    comic->comicColorsModel()->addColor(unused);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(sky);
    test::panelNumber(*page, 0)->setFill(fill);
    test::panelNumber(*page, 1)->backLayer()->setChildren({ placedPart(character, 0, QPointF()) });
    page->setChildren({ placedPart(other, 0, QPointF(300, 300)) });
    const ZDLColorPtr red = other->getColorNamed(QStringLiteral("Red"));

    const struct {
        const char* what;
        ZDLColorPtr color;
        CharacterModelPtr of;
        bool deletable;
    } cases[] = {
        { "a panel's fill, whichever character is asked", sky, character, false },
        { "a panel's fill", sky, comic->comicColorsModel(), false },
        { "a path of the character's part in a back layer", teal, character, false },
        { "the same colour asked for another character", teal, other, true },
        { "a free object's path", red, other, false },
        { "used nowhere", unused, comic->comicColorsModel(), true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(comic->okToDeleteColor(c.color.get(), c.of->characterId()), c.deletable) << c.what;
    EXPECT_TRUE(
        comic->colorFromCharacterUsedIn(teal.get(), character->characterId(), page->contents().front().get())
        == false);
    EXPECT_TRUE(comic->colorFromCharacterUsedIn(
        teal.get(), character->characterId(), test::panelNumber(*page, 1)->backLayer().get()));
}

TEST_F(ComicCastTest, AColourEditFlushesTheRenderingsOfThatCharactersParts)
{
    const CharacterModelPtr other = test::richCharacter();
    comic->setCharacters({ comic->comicColorsModel(), character, other });
    const PartPtr inPanel = placedPart(character, 0, QPointF());
    const PartPtr onPage = placedPart(character, 0, QPointF(300, 0));
    const PartPtr otherPart = placedPart(other, 0, QPointF());
    test::panelNumber(*page, 0)->frontLayer()->setChildren({ inPanel, otherPart });
    page->setChildren({ onPage });
    for (const PartPtr& part : { inPanel, onPage, otherPart })
        part->imageCache();

    teal->setColor(RgbColor(0.1, 0.2, 0.3));
    EXPECT_FALSE(inPanel->cachedImage());
    EXPECT_FALSE(onPage->cachedImage());
    EXPECT_TRUE(otherPart->cachedImage());
    // A character outside the cast is not the comic's business.
    comic->setCharacters({ comic->comicColorsModel() });
    otherPart->imageCache();
    other->getColorNamed(QStringLiteral("Red"))->setColor(RgbColor(1, 0, 0));
    EXPECT_TRUE(otherPart->cachedImage());
}

TEST_F(ComicCastTest, DeletingAColourReplacesItsUsesAsOneStep)
{
    comic->setCharacters({ comic->comicColorsModel(), character });
    const auto sky = ZDLColor::colorFromHexNamed(QStringLiteral("#3366CC"), QStringLiteral("Sky"));
    comic->comicColorsModel()->addColor(sky);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(sky);
    test::panelNumber(*page, 0)->setFill(fill);
    const PartPtr part = placedPart(character, 0, QPointF());
    test::panelNumber(*page, 1)->frontLayer()->setChildren({ part });
    page->setChildren({ placedPart(character, 0, QPointF(300, 0)) });
    const QByteArray before = archivedComicFile(*comic);

    QCoreApplication::processEvents();
    document.undoableDeleteColor(sky, comic->comicColorsModel(), comic->comicColorsModel()->whiteColor());
    document.undoableDeleteColor(teal, character, character->blackColor());
    EXPECT_EQ(fill->fillColor(), comic->comicColorsModel()->whiteColor());
    EXPECT_EQ(lineColorOfFirstPath(part), character->blackColor());
    EXPECT_FALSE(character->ownsColor(teal.get()));
    EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Delete Color"));
    const QByteArray after = archivedComicFile(*comic);

    document.undoManager()->undo();
    EXPECT_EQ(archivedComicFile(*comic), before);
    document.undoManager()->redo();
    EXPECT_EQ(archivedComicFile(*comic), after);
}

TEST_F(ComicCastTest, ImageElementsAreFoundByTheirVeryImage)
{
    const auto shared = test::placedImage(QPointF(10, 10));
    auto again = std::make_shared<ImageElement>();
    again->setImage(shared->image());
    const auto other = test::placedImage(QPointF(50, 50));
    test::panelNumber(*page, 0)->frontLayer()->setChildren({ shared, other });
    page->setChildren({ again });
    EXPECT_EQ(comic->allImageElementsUsingImage(shared->image().get()), (ElementList { shared, again }));
    EXPECT_EQ(
        comic->allComicElementsOfClass(ImageElement::kClassName), (ElementList { shared, other, again }));
}

} // namespace
} // namespace zandrel
