// Changing a comic's size through its document, element kind by element kind: rows and their
// panels follow the page, what a panel holds keeps its size and its relative place in the panel,
// free panels and free objects move without changing size, margins and the gutter stay; each
// change is one step that undo and redo give back exactly.
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/PanelTestSupport.h"
#include "comicmodel/TestComics.h"
#include "graphics/ArrayUtils.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::coordinatesOf;
using test::geometryOf;
using test::rowPanel;
using test::TestComicLeaf;

// The first panel's frame on a 600 x 400 page of two rows of two, and after the page is halved.
const QRectF kFrameBefore(5.5, 5.5, 290, 190);
const QRectF kFrameAfter(5.5, 5.5, 140, 90);

std::vector<double> rectValues(const QRectF& r)
{
    return { r.x(), r.y(), r.width(), r.height() };
}

QRectF boundsOf(const ObjectPtr& element)
{
    return asProtocol<GraphicElement>(element)->getBounds();
}

QMarginsF reach(const QRectF& r, const QRectF& frame)
{
    return QMarginsF(std::max(0.0, frame.left() - r.left()), std::max(0.0, frame.top() - r.top()),
        std::max(0.0, r.right() - frame.right()), std::max(0.0, r.bottom() - frame.bottom()));
}

BalloonPtr lettering(BalloonShape shape, const QString& text, const QPointF& at, float width)
{
    BalloonPtr balloon = test::balloonWith(text, width, at, TextAlignment::Left);
    balloon->setShape(int(shape));
    balloon->setPointers({});
    return balloon;
}

// Everything an undo must give back: the structure, and every panel's elements and balloon widths.
std::vector<double> snapshot(const ComicModel& comic)
{
    std::vector<double> values = geometryOf(comic);
    ComicStructureList panels;
    for (const auto& page : comic.contents()) {
        const auto* onPage = dynamic_cast<const ComicPage*>(page.get());
        onPage->getPanelsInArray(panels);
        for (const auto& free : onPage->freePanels())
            panels.push_back(free);
    }
    for (const auto& element : panels) {
        const auto* panel = dynamic_cast<const ComicPanel*>(element.get());
        for (const ObjectPtr& child : panel->frontLayer()->children() + panel->backLayer()->children()) {
            const std::vector<double> r = rectValues(boundsOf(child));
            values.insert(values.end(), r.begin(), r.end());
            if (const auto* balloon = dynamic_cast<const Balloon*>(child.get()))
                values.push_back(balloon->width());
        }
    }
    return values;
}

class ComicResizeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        test::registerPanelTestClasses();
    }
    void TearDown() override { QCoreApplication::processEvents(); }
};

struct Case {
    const char* name;
    // Places what the case is about on the page and returns the check to run after the resize.
    std::function<std::function<void()>(ComicPage&, ComicPanel& first, Object* figure)> place;
};

TEST_F(ComicResizeTest, EachKindOfElementFollowsAHalvedPageAndUndoes)
{
    const auto leaf = [](ComicPanel& panel, const QRectF& r, Object* model) {
        auto made = TestComicLeaf::make(r, model);
        panel.frontLayer()->setChildren(panel.frontLayer()->children() + ElementList { made });
        return made;
    };
    const Case cases[] = {
        { "panel in a row",
            [](ComicPage& page, ComicPanel& first, Object*) {
                return [&page, &first] {
                    EXPECT_EQ(first.getBounds(), kFrameAfter);
                    EXPECT_EQ(coordinatesOf(*rowPanel(page, 3)),
                        (std::vector<double> { 150, 100, 300, 100, 150, 200, 300, 200 }));
                };
            } },
        { "figure that fits keeps its relative place",
            [&](ComicPage&, ComicPanel& first, Object* figure) {
                auto part = leaf(first, QRectF(55, 55, 40, 40), figure);
                return [part] { EXPECT_EQ(part->m_rect, QRectF(17.5, 17.5, 40, 40)); };
            } },
        // Centre (262.5, 75) goes to (131.25, 37.5): the figure reaches out of the smaller frame.
        { "figure near the edge keeps its relative place",
            [&](ComicPage&, ComicPanel& first, Object* figure) {
                auto part = leaf(first, QRectF(237.5, 55, 50, 40), figure);
                return [part] { EXPECT_EQ(part->m_rect, QRectF(106.25, 17.5, 50, 40)); };
            } },
        { "figure reaching out of the frame keeps its relative place",
            [&](ComicPage&, ComicPanel& first, Object* figure) {
                auto part = leaf(first, QRectF(222.5, 55, 80, 40), figure);
                return [part] { EXPECT_EQ(part->m_rect, QRectF(91.25, 17.5, 80, 40)); };
            } },
        { "figure wider than the frame keeps its size",
            [&](ComicPage&, ComicPanel& first, Object* figure) {
                auto part = leaf(first, QRectF(10, 25, 280, 50), figure);
                return [part] { EXPECT_EQ(part->m_rect, QRectF(-65, 0, 280, 50)); };
            } },
        { "a character's parts move as one block",
            [&](ComicPage&, ComicPanel& first, Object* figure) {
                auto head = leaf(first, QRectF(10, 10, 20, 20), figure);
                auto feet = leaf(first, QRectF(250, 150, 40, 40), figure);
                return [head, feet] {
                    EXPECT_EQ(head->m_rect, QRectF(-65, -40, 20, 20));
                    EXPECT_EQ(feet->m_rect, QRectF(175, 100, 40, 40));
                };
            } },
        // The balloons are one block in the comic's colours: the centre of all of them halves. A
        // group of balloons has no character and moves alone. No balloon changes its width.
        { "lettering moves as one block and keeps its widths",
            [](ComicPage&, ComicPanel& first, Object*) {
                const QRectF p = first.getBounds();
                auto box
                    = lettering(BalloonShape::Rect, QStringLiteral("Meanwhile, far away and long ago..."),
                        QPointF(p.x() + 2, p.y() + 5), float(2 * p.width() / 3));
                auto block = lettering(BalloonShape::TextBlock,
                    QStringLiteral("Type text here, then some more words to fill the lines"),
                    QPointF(20, 100), 200);
                auto speech = test::placedBalloon(QStringLiteral("Hi!"), QPointF(70, 60), 60);
                auto merged = std::make_shared<BalloonGroup>();
                merged->setChildren({ test::placedBalloon(QStringLiteral("Oh"), QPointF(130, 120), 30),
                    test::placedBalloon(QStringLiteral("no"), QPointF(150, 140), 30) });
                const ElementList balloons { box, block, speech };
                first.frontLayer()->setChildren(balloons + ElementList { merged });
                const QPointF centre = ArrayUtils::getElementsCenter(balloons);
                const QPointF groupCentre = merged->getBounds().center();
                std::vector<QPointF> places;
                for (const ObjectPtr& element : balloons)
                    places.push_back(boundsOf(element).topLeft());
                return [balloons, centre, groupCentre, places, merged] {
                    const QPointF offset = centre / 2 - centre;
                    for (std::size_t index = 0; index < places.size(); ++index) {
                        const QPointF now = boundsOf(balloons.at(qsizetype(index))).topLeft();
                        EXPECT_NEAR(now.x(), places[index].x() + offset.x(), 1e-4);
                        EXPECT_NEAR(now.y(), places[index].y() + offset.y(), 1e-4);
                    }
                    EXPECT_NEAR(merged->getBounds().center().x(), groupCentre.x() / 2, 1e-4);
                    EXPECT_NEAR(merged->getBounds().center().y(), groupCentre.y() / 2, 1e-4);
                    const std::vector<float> widths { float(2 * 290 / 3.0), 200, 60 };
                    for (std::size_t index = 0; index < widths.size(); ++index)
                        EXPECT_EQ(std::static_pointer_cast<Balloon>(balloons.at(qsizetype(index)))->width(),
                            widths[index]);
                    for (const ObjectPtr& member : merged->children())
                        EXPECT_EQ(std::static_pointer_cast<Balloon>(member)->width(), 30.0f);
                };
            } },
        { "floating panel moves with what it holds and keeps its size",
            [&](ComicPage& page, ComicPanel&, Object* figure) {
                auto floater = test::makePanel(QRectF(400, 150, 100, 100));
                page.setFloatingPanels({ floater });
                auto part = leaf(*floater, QRectF(420, 170, 20, 20), figure);
                return [floater, part] {
                    EXPECT_EQ(floater->bounds(), QRectF(175, 50, 100, 100));
                    EXPECT_EQ(part->m_rect, QRectF(195, 70, 20, 20));
                };
            } },
        { "inset panel moves and keeps its size",
            [](ComicPage& page, ComicPanel&, Object*) {
                auto inset = test::makePanel(QRectF(130, 80, 40, 40));
                page.setInsetPanels({ inset });
                return [inset] { EXPECT_EQ(inset->bounds(), QRectF(55, 30, 40, 40)); };
            } },
        { "free object moves by its centre",
            [](ComicPage& page, ComicPanel&, Object* figure) {
                auto object = TestComicLeaf::make(QRectF(440, 190, 20, 20), figure);
                page.setChildren({ object });
                return [object] { EXPECT_EQ(object->m_rect, QRectF(215, 90, 20, 20)); };
            } },
        { "margins and gutter stay, the rows fill what is inside them",
            [](ComicPage& page, ComicPanel&, Object*) {
                page.setMarginsTop(10, 20, 30, 40);
                return [&page] {
                    EXPECT_EQ(page.leftMargin(), 20.0f);
                    EXPECT_EQ(page.bottomMargin(), 40.0f);
                    EXPECT_EQ(page.owner()->panelGutter(), 10.0f);
                    EXPECT_EQ(coordinatesOf(*page.contents().at(0)),
                        (std::vector<double> { 20, 10, 270, 10, 20, 85, 270, 85 }));
                    EXPECT_EQ(coordinatesOf(*page.contents().at(1)),
                        (std::vector<double> { 20, 85, 270, 85, 20, 160, 270, 160 }));
                };
            } },
    };
    for (const Case& kind : cases) {
        SCOPED_TRACE(kind.name);
        ComicDocument document;
        const auto comic = document.model();
        comic->setupWithSize(QSizeF(600, 400), 2, 2);
        const auto page = comic->currentPage();
        const auto first = rowPanel(*page, 0);
        ASSERT_EQ(first->getBounds(), kFrameBefore);
        const auto figure = std::make_shared<CharacterModel>();
        const std::function<void()> check = kind.place(*page, *first, figure.get());
        UndoManager& undo = *document.undoManager();
        undo.removeAllActions();
        undo.setGroupsByEvent(false);
        const auto before = snapshot(*comic);

        undo.beginUndoGrouping();
        document.undoableSetComicSize(QSizeF(300, 200));
        undo.endUndoGrouping();
        EXPECT_EQ(comic->size(), QSizeF(300, 200));
        check();

        const auto after = snapshot(*comic);
        for (int round = 1; round <= 2; ++round) {
            undo.undo();
            EXPECT_FALSE(undo.canUndo());
            ASSERT_EQ(snapshot(*comic), before) << "undo " << round;
            EXPECT_EQ(comic->size(), QSizeF(600, 400));
            undo.redo();
            ASSERT_EQ(snapshot(*comic), after) << "redo " << round;
        }
    }
}

// Every kind at once on the richest comic, shrunk hard and grown back: the file's bytes come back
// exactly with undo, and the edited ones with redo; nothing its panels held is left outside them.
TEST_F(ComicResizeTest, UndoGivesBackTheSavedFileExactly)
{
    for (const QSizeF size : { QSizeF(160, 120), QSizeF(1234.5, 987.25) }) {
        SCOPED_TRACE(size.width());
        ComicDocument document;
        document.setModel(test::richComic());
        const auto comic = document.model();
        UndoManager& undo = *document.undoManager();
        undo.removeAllActions();
        undo.setGroupsByEvent(false);
        const QByteArray before = archivedComicFile(*comic);
        const auto lettered = rowPanel(*comic->pageAtIndex(0), 2);
        std::vector<QMarginsF> reachBefore;
        for (const ObjectPtr& balloon : lettered->frontLayer()->children())
            reachBefore.push_back(reach(boundsOf(balloon), lettered->getBounds()));

        undo.beginUndoGrouping();
        document.undoableSetComicSize(size);
        undo.endUndoGrouping();
        const QByteArray after = archivedComicFile(*comic);
        ASSERT_NE(after, before);
        // The balloons were placed reaching out of their panel with their centres inside it; a
        // larger panel does not carry them further out.
        const ElementList balloons = lettered->frontLayer()->children();
        for (qsizetype index = 0; size.width() > 600 && index < balloons.size(); ++index) {
            const QMarginsF now = reach(boundsOf(balloons.at(index)), lettered->getBounds());
            const QMarginsF was = reachBefore.at(std::size_t(index));
            EXPECT_LE(now.left(), was.left() + 1e-4) << index;
            EXPECT_LE(now.top(), was.top() + 1e-4) << index;
            EXPECT_LE(now.right(), was.right() + 1e-4) << index;
            EXPECT_LE(now.bottom(), was.bottom() + 1e-4) << index;
        }
        for (int round = 1; round <= 2; ++round) {
            undo.undo();
            ASSERT_EQ(archivedComicFile(*comic), before) << "undo " << round;
            undo.redo();
            ASSERT_EQ(archivedComicFile(*comic), after) << "redo " << round;
        }
    }
}

// New margins lay the rows out again but leave the page as it is: free panels stay where they are,
// the panels of the rows hold their contents inside, and the inset panel cuts whichever row panels
// it now overlaps.
TEST_F(ComicResizeTest, MarginsLeaveFreePanelsInPlaceAndInsetCutsFollowTheRows)
{
    ComicDocument document;
    const auto comic = document.model();
    comic->setupWithSize(QSizeF(600, 400), 2, 2);
    const auto page = comic->currentPage();
    const auto inset = test::makePanel(QRectF(280, 180, 40, 40));
    const auto floater = test::makePanel(QRectF(400, 20, 100, 100));
    page->setInsetPanels({ inset });
    page->setFloatingPanels({ floater });
    const auto part = TestComicLeaf::make(QRectF(55, 150, 40, 40), comic->comicColorsModel().get());
    rowPanel(*page, 0)->frontLayer()->setChildren({ part });
    const auto cut = [&page, &inset](std::size_t index) {
        const auto found = page->getInsetPanelsAffecting(*rowPanel(*page, index));
        return found.size() == 1 && found.front() == inset;
    };
    for (std::size_t index = 0; index < 4; ++index)
        EXPECT_TRUE(cut(index)) << index;
    UndoManager& undo = *document.undoManager();
    undo.removeAllActions();
    undo.setGroupsByEvent(false);
    const auto before = snapshot(*comic);

    undo.beginUndoGrouping();
    page->setMarginsTop(0, 0, 0, 200);
    undo.endUndoGrouping();
    EXPECT_EQ(inset->bounds(), QRectF(280, 180, 40, 40));
    EXPECT_EQ(floater->bounds(), QRectF(400, 20, 100, 100));
    EXPECT_EQ(rowPanel(*page, 0)->bounds(), QRectF(0, 0, 300, 100));
    // Centred at (75, 170) in a 300 x 200 panel, it maps to (75, 85) in the 300 x 100 one.
    EXPECT_NEAR(part->m_rect.y(), 65, 1e-4);
    EXPECT_EQ(part->m_rect.x(), 55);
    EXPECT_FALSE(cut(0));
    EXPECT_FALSE(cut(1));
    EXPECT_TRUE(cut(2));
    EXPECT_TRUE(cut(3));

    const auto after = snapshot(*comic);
    undo.undo();
    EXPECT_EQ(snapshot(*comic), before);
    for (std::size_t index = 0; index < 4; ++index)
        EXPECT_TRUE(cut(index)) << index;
    undo.redo();
    EXPECT_EQ(snapshot(*comic), after);
}

} // namespace
} // namespace zandrel
