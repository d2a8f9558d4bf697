// The comic document's operations on objects and rows, on a real comic: what each changes, and that
// its one undo step gives the file's bytes back exactly and its redo the edited bytes.
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartPath.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"
#include "graphics/ArrayUtils.h"
#include "platform/TextLayoutManager.h"

#include <QCoreApplication>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class ComicDocumentOperationsTest : public ::testing::Test {
protected:
    void SetUp() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }
    void TearDown() override { QCoreApplication::processEvents(); }
};

void collectPaths(const ObjectPtr& element, std::vector<std::shared_ptr<PartPath>>& paths)
{
    if (const auto* container = asProtocol<Parent>(element)) {
        for (const ObjectPtr& child : container->children())
            collectPaths(child, paths);
    }
    if (auto path = std::dynamic_pointer_cast<PartPath>(element))
        paths.push_back(path);
}

// Undo and redo, twice, each giving exactly the bytes it must.
void expectExactUndo(UndoManager& undo, const std::function<QByteArray()>& bytes, const QByteArray& before)
{
    const QByteArray after = bytes();
    EXPECT_NE(after, before);
    for (int round = 1; round <= 2; ++round) {
        undo.undo();
        ASSERT_EQ(bytes(), before) << "undo " << round;
        undo.redo();
        ASSERT_EQ(bytes(), after) << "redo " << round;
    }
}

// Parts and images follow the transform and parts' marks the mark factor; a balloon keeps its
// shape, takes the scaled width and keeps its top middle where the transform puts it, also when
// the width it asked for is more than a balloon can have.
TEST_F(ComicDocumentOperationsTest, ScalingCarriesEachKindOfObjectAsItCanTakeIt)
{
    const float wide = float(TextLayoutManager::kMaxContainerExtent);
    const struct {
        const char* name;
        float sx, sy;
        QPointF centre;
        float marks;
    } cases[] = {
        { "twice around a point", 2.0f, 2.0f, QPointF(100, 50), 2.0f },
        { "unequal, off the page", 0.3f, 3.0f, QPointF(-7.3, 11.1), 0.7f },
        { "wider than a balloon can be", wide, 1.0f, QPointF(0, 0), 1.0f },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ComicDocument document;
        document.setModel(test::richComic());
        ComicModel& comic = *document.model();
        comic.setCurrentPageIndex(0);
        const auto page = comic.currentPage();
        const ElementList inPanel = test::rowPanel(*page, 0)->frontLayer()->children();
        const auto part = std::dynamic_pointer_cast<Part>(inPanel.at(0));
        const auto image = std::dynamic_pointer_cast<ImageElement>(inPanel.at(1));
        const auto balloon
            = std::dynamic_pointer_cast<Balloon>(test::rowPanel(*page, 2)->frontLayer()->children().at(0));
        const ObjectPtr group = test::rowPanel(*page, 5)->frontLayer()->children().at(0);
        ASSERT_TRUE(part && image && balloon && group);
        std::vector<std::shared_ptr<PartPath>> paths;
        collectPaths(part, paths);
        ASSERT_FALSE(paths.empty());

        const QTransform transform = QTransform::fromTranslate(c.centre.x(), c.centre.y())
                                         .scale(c.sx, c.sy)
                                         .translate(-c.centre.x(), -c.centre.y());
        const QRectF partBounds = transform.mapRect(ArrayUtils::getElementsBounds({ part }));
        const QTransform imageTransform = image->transform() * transform;
        const float weight = paths.front()->lineWeight();
        const QPointF top = transform.map(balloon->getCenter());
        const float width = std::min(balloon->width() * c.sx, wide);
        const QRectF groupBounds = ArrayUtils::getElementsBounds({ group });
        const QByteArray before = archivedComicFile(comic);
        document.undoManager()->setGroupsByEvent(false);
        document.undoManager()->beginUndoGrouping();
        document.undoableScale({ part, image, balloon, group }, c.sx, c.sy, c.centre, c.marks);
        document.undoManager()->endUndoGrouping();

        const QRectF scaled = ArrayUtils::getElementsBounds({ part });
        EXPECT_NEAR(scaled.left(), partBounds.left(), 1e-6 * std::max(1.0, std::abs(partBounds.left())));
        EXPECT_NEAR(scaled.width(), partBounds.width(), 1e-6 * partBounds.width());
        EXPECT_NEAR(scaled.height(), partBounds.height(), 1e-6 * partBounds.height());
        EXPECT_FLOAT_EQ(paths.front()->lineWeight(), weight * c.marks);
        EXPECT_EQ(image->transform(), imageTransform);
        EXPECT_EQ(balloon->width(), width);
        EXPECT_NEAR(balloon->getCenter().x(), top.x(), 1e-3);
        EXPECT_NEAR(balloon->getCenter().y(), top.y(), 1e-9);
        EXPECT_EQ(ArrayUtils::getElementsBounds({ group }), groupBounds) << "groups stay as they are";
        expectExactUndo(
            *document.undoManager(), [&] { return archivedComicFile(comic); }, before);
    }
}

TEST_F(ComicDocumentOperationsTest, ScalingByNothingOrByNoNumberChangesNothing)
{
    ComicDocument document;
    document.setModel(test::richComic());
    const ElementList objects = document.model()->currentPage()->floatingElements();
    const QByteArray before = archivedComicFile(*document.model());
    const float nan = std::nanf("");
    const float infinity = INFINITY;
    for (const auto& [sx, sy, marks] : { std::tuple { 0.0f, 1.0f, 1.0f }, { 1.0f, nan, 1.0f },
             { infinity, 1.0f, 1.0f }, { 2.0f, 2.0f, 0.0f } }) {
        document.undoableScale(objects, sx, sy, QPointF(1, 1), marks);
        document.undoableScale(objects, 2, 2, QPointF(nan, 1), 1);
    }
    EXPECT_EQ(archivedComicFile(*document.model()), before);
    QCoreApplication::processEvents();
    EXPECT_FALSE(document.undoManager()->canUndo());
}

// Whichever panel was current, removing a row makes the last panel of the row above current, or the
// first panel of the new first row when the first row goes; undo brings row and panel back.
TEST_F(ComicDocumentOperationsTest, RemovingARowMakesThePanelBesideTheGapCurrent)
{
    const struct {
        qsizetype removed;
        std::size_t currentBefore;
        // Row and panel of the panel made current, counted in the page before the removal.
        int row, panel;
    } cases[] = {
        { 0, 7, 1, 0 },
        { 1, 8, 0, 2 },
        { 1, 4, 0, 2 },
        { 2, 0, 1, 2 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << c.removed << " removed");
        ComicDocument document;
        auto comic = std::make_shared<ComicModel>();
        comic->setupWithSize(QSizeF(300, 300), 3, 3);
        document.setModel(comic);
        const auto page = comic->currentPage();
        const auto current = test::rowPanel(*page, c.currentBefore);
        comic->setCurrentPanel(current);
        const auto expected = std::dynamic_pointer_cast<ComicPanel>(
            page->contents().at(std::size_t(c.row))->contents().at(std::size_t(c.panel)));
        const QByteArray before = archivedComicFile(*comic);
        QCoreApplication::processEvents();
        document.undoableDeleteRowInPage(page, c.removed, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(page->numContents(), 2u);
        EXPECT_EQ(comic->currentPanel(), expected);
        EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Remove Row"));
        document.undoManager()->undo();
        EXPECT_EQ(comic->currentPanel(), current);
        EXPECT_EQ(archivedComicFile(*comic), before);
    }
}

// What the structure lets the current panel take, as the menus offer it, for each place a panel
// can be in: a row among others, the only panel of the only row, the grid a split makes, free, or
// none at all.
TEST_F(ComicDocumentOperationsTest, TheCurrentPanelsPlaceDecidesWhichStructureOperationsApply)
{
    const struct {
        const char* place;
        int rows, panels;
        std::function<std::shared_ptr<ComicPanel>(ComicDocument&, ComicPage&)> current;
        // Insert row, delete row, insert panel, delete panel, split.
        bool expected[5];
    } cases[] = {
        { "in a row", 3, 3, [](ComicDocument&, ComicPage& page) { return test::rowPanel(page, 4); },
            { true, true, true, true, true } },
        { "alone on its page", 1, 1, [](ComicDocument&, ComicPage& page) { return test::rowPanel(page, 0); },
            { true, false, true, false, true } },
        { "in the grid a split left", 1, 3,
            [](ComicDocument& document, ComicPage& page) {
                document.undoableSplitPanel(test::rowPanel(page, 1), 2, 2);
                return document.model()->currentPanel();
            },
            { true, false, true, true, true } },
        { "free", 3, 3,
            [](ComicDocument& document, ComicPage& page) {
                auto panel = std::make_shared<ComicPanel>();
                panel->initWithRect(QRectF(10, 10, 50, 50), &page);
                document.undoableSetFloatingPanels({ panel }, document.model()->currentPage(), panel);
                return panel;
            },
            { false, false, false, true, false } },
        { "none", 3, 3, [](ComicDocument&, ComicPage&) { return nullptr; },
            { false, false, false, false, false } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.place);
        ComicDocument document;
        auto comic = std::make_shared<ComicModel>();
        comic->setupWithSize(QSizeF(300, 300), c.rows, c.panels);
        document.setModel(comic);
        const auto panel = c.current(document, *comic->currentPage());
        comic->setCurrentPanel(panel);
        ASSERT_EQ(comic->currentPanel(), panel);
        const bool answers[] = { document.canInsertRow(), document.canDeleteRow(), document.canInsertPanel(),
            document.canDeletePanel(), document.canSplitPanel() };
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(answers[i], c.expected[i]) << "operation " << i;
    }
}

} // namespace
} // namespace zandrel
