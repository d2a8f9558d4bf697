// The comic model and its headless document: set-up, the current page and panel, the gutter, hit
// tests, and every structure edit as one undo step that gives back the exact geometry.
#include "comicmodel/ComicModel.h"

#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/PanelTestSupport.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::geometryOf;
using test::makePanel;
using test::TestComicLeaf;

// Counts what the model tells the window half of its document.
class CountingDocument : public ComicDocument {
public:
    void currentPageChanged() override { ++pageChanges; }
    void numberOfPagesChanged() override { ++pageCountChanges; }
    int pageChanges = 0;
    int pageCountChanges = 0;
};

class ComicModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        test::registerPanelTestClasses();
    }
    void SetUp() override
    {
        NotificationCenter::defaultCenter().addObserver(this, kModelPropertyChangeNotification, &document,
            [this](const Notification& n) { changes.append(n.userInfo.value(kPropertyKey).toString()); });
        NotificationCenter::defaultCenter().addObserver(
            this, kUpdateDocumentViewsNotification, &document, [this](const Notification& n) {
                ++redraws;
                if (n.userInfo.contains(kUnscaledOutsetKey))
                    highlights.append({ n.userInfo.value(kDirtyRectKey).toRect(),
                        n.userInfo.value(kAfterChangeKey).toBool() });
            });
        comic->setupWithSize(QSizeF(600, 250), 2, 3);
    }
    void TearDown() override
    {
        QCoreApplication::processEvents();
        NotificationCenter::defaultCenter().removeObserver(this);
    }

    std::shared_ptr<ComicPanel> panelOf(const std::shared_ptr<ComicPage>& page, std::size_t index) const
    {
        ComicStructureList panels;
        page->ComicStack::getPanelsInArray(panels);
        return std::dynamic_pointer_cast<ComicPanel>(panels.at(index));
    }
    std::shared_ptr<ComicPage> addPage()
    {
        auto page = std::make_shared<ComicPage>();
        page->initWithRect(comic->bounds(), comic.get(), 1, 2);
        ComicStructureList pages = comic->contents();
        pages.push_back(page);
        comic->setContents(pages);
        return page;
    }

    CountingDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    QStringList changes;
    int redraws = 0;
    // The panel areas redrawn with their highlight, and whether after the change.
    QList<std::pair<QRectF, bool>> highlights;
};

TEST_F(ComicModelTest, SetUpLaysOutOnePageAndRedrawsOnTheNextPass)
{
    EXPECT_EQ(comic->numPages(), 1);
    EXPECT_EQ(comic->bounds(), QRectF(0, 0, 600, 250));
    EXPECT_EQ(test::coordinatesOf(*comic), (std::vector<double> { 0, 0, 600, 0, 0, 250, 600, 250 }));
    const auto page = comic->currentPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->bounds(), QRectF(0, 0, 600, 250));
    EXPECT_EQ(comic->currentPanel(), panelOf(page, 0));
    EXPECT_EQ(panelOf(page, 5)->bounds(), QRectF(400, 125, 200, 125));
    EXPECT_EQ(comic->currentPageIndex(), 0);
    EXPECT_EQ(comic->currentPanelIndex(), 0);
    EXPECT_EQ(document.pageCountChanges, 1);
    EXPECT_FALSE(document.undoManager()->canUndo());
    const int before = redraws;
    QCoreApplication::processEvents();
    EXPECT_EQ(redraws, before + 1);

    // The defaults of a new comic.
    EXPECT_EQ(comic->panelGutter(), 10.0f);
    EXPECT_EQ(comic->characters().size(), 1u);
    EXPECT_EQ(comic->characters().front(), comic->comicColorsModel());
    EXPECT_EQ(comic->comicColorsModel()->characterName(), QStringLiteral("Comic"));
    EXPECT_EQ(comic->comicColorsModel()->creator(), QStringLiteral("ZDL"));
    EXPECT_TRUE(comic->isCatalogViewOpen());
    EXPECT_EQ(comic->name(), QString());
}

TEST_F(ComicModelTest, CurrentPageAndPanelAlwaysAgree)
{
    const auto first = comic->currentPage();
    const auto second = addPage();
    EXPECT_EQ(document.pageCountChanges, 2);
    comic->setFocusOnPanel(true);
    changes.clear();
    document.pageChanges = 0;
    highlights.clear();

    // A panel on another page switches the page, and focus ends; the old and the new panel are
    // redrawn with their highlights.
    const auto previous = comic->currentPanel();
    comic->setCurrentPanel(panelOf(second, 1));
    EXPECT_EQ(highlights,
        (QList<std::pair<QRectF, bool>> { { previous->getInvalidationBounds(), false },
            { panelOf(second, 1)->getInvalidationBounds(), true } }));
    EXPECT_EQ(comic->currentPage(), second);
    EXPECT_EQ(comic->currentPanel(), panelOf(second, 1));
    EXPECT_FALSE(comic->focusOnPanel());
    EXPECT_EQ(changes, (QStringList { "focusOnPanel", "currentPage", "currentPanel" }));
    EXPECT_EQ(document.pageChanges, 1);
    EXPECT_EQ(comic->currentPanelIndex(), 7);

    // A page that does not hold the current panel makes its first panel current.
    changes.clear();
    comic->setCurrentPageIndex(0);
    EXPECT_EQ(comic->currentPanel(), panelOf(first, 0));
    EXPECT_EQ(changes, (QStringList { "currentPanel", "currentPage" }));

    // Nothing for the current panel again, or for an index outside the pages.
    changes.clear();
    comic->setCurrentPanel(panelOf(first, 0));
    comic->setCurrentPageIndex(-1);
    comic->setCurrentPageIndex(2);
    EXPECT_TRUE(changes.isEmpty());
    EXPECT_EQ(comic->currentPage(), first);

    // No panel keeps the page.
    comic->setCurrentPanel(nullptr);
    EXPECT_EQ(comic->currentPage(), first);
    EXPECT_EQ(changes, QStringList { "currentPanel" });
    EXPECT_EQ(comic->currentPanelIndex(), -1);
}

TEST_F(ComicModelTest, ANewGutterRebuildsEveryFrame)
{
    const auto page = comic->currentPage();
    const auto floater = makePanel(QRectF(100, 50, 80, 80));
    page->setFloatingPanels({ floater });
    const auto fixed = panelOf(page, 0);
    const CurvePtr frame = fixed->panelFrame();
    const CurvePtr floating = floater->panelFrame();
    comic->setPanelGutter(10);
    EXPECT_EQ(fixed->panelFrame(), frame);
    comic->setPanelGutter(20);
    EXPECT_NE(fixed->panelFrame(), frame);
    EXPECT_NE(floater->panelFrame(), floating);
    EXPECT_EQ(fixed->getBounds(), QRectF(10.5, 10.5, 180, 105));
}

TEST_F(ComicModelTest, PanelsAreFoundFromTheFront)
{
    const auto page = comic->currentPage();
    const auto inset = makePanel(QRectF(50, 50, 100, 100));
    const auto lower = makePanel(QRectF(80, 80, 100, 100));
    const auto upper = makePanel(QRectF(100, 100, 100, 100));
    page->setInsetPanels({ inset });
    page->setFloatingPanels({ lower, upper });
    struct Case {
        QPointF point;
        std::shared_ptr<ComicPanel> expected;
    };
    const Case cases[] = {
        { QPointF(20, 20), panelOf(page, 0) },
        { QPointF(60, 60), inset },
        { QPointF(90, 90), lower },
        { QPointF(150, 150), upper },
        { QPointF(700, 20), nullptr },
    };
    for (const Case& c : cases)
        EXPECT_EQ(comic->getPanelAt(c.point), c.expected) << c.point.x() << "," << c.point.y();
}

TEST_F(ComicModelTest, MinimumSizeHoldsEveryPageWithItsMarginsAndFreePanels)
{
    // Two rows of three panels of at least 34 points (gutter + 24).
    const auto page = comic->currentPage();
    page->setMarginsTop(5, 6, 7, 8);
    EXPECT_EQ(comic->minimumSize(), QSizeF(3 * 34 + 13, 2 * 34 + 13));
    page->setFloatingPanels({ makePanel(QRectF(0, 0, 20, 300)) });
    EXPECT_EQ(comic->minimumSize(), QSizeF(3 * 34 + 13, 300));
}

TEST_F(ComicModelTest, FloatingPanelMovesSelectOrKeepTheCurrentPanel)
{
    const auto page = comic->currentPage();
    const auto floater = makePanel(QRectF(100, 50, 80, 80));
    const auto leaf = TestComicLeaf::make(QRectF(110, 60, 10, 10));
    floater->frontLayer()->setChildren({ leaf });
    page->setFloatingPanels({ floater });
    UndoManager& undo = *document.undoManager();

    document.undoableOffsetPanel(floater, QPointF(20, 10), false, PanelSelection::Keep);
    EXPECT_EQ(floater->bounds(), QRectF(120, 60, 80, 80));
    EXPECT_EQ(leaf->m_rect, QRectF(130, 70, 10, 10));
    EXPECT_NE(comic->currentPanel(), floater);
    QCoreApplication::processEvents();
    document.undoableOffsetPanel(floater, QPointF(-20, 0), false);
    EXPECT_EQ(comic->currentPanel(), floater);
    EXPECT_EQ(undo.undoActionName(), QStringLiteral("Move Floating Panel"));

    // A live drag only records; its undo moves back.
    QCoreApplication::processEvents();
    floater->offsetBy(QPointF(0, 30));
    document.undoableOffsetPanel(floater, QPointF(0, 30), true);
    EXPECT_EQ(floater->bounds(), QRectF(100, 90, 80, 80));
    undo.undo();
    EXPECT_EQ(floater->bounds(), QRectF(100, 60, 80, 80));
    undo.undo();
    undo.undo();
    EXPECT_EQ(floater->bounds(), QRectF(100, 50, 80, 80));
    EXPECT_EQ(leaf->m_rect, QRectF(110, 60, 10, 10));
}

// Every structure edit of the views and sheets on a real comic: one undo step, which gives back
// every coordinate and the comic file's bytes exactly; redo gives the edited ones.
TEST_F(ComicModelTest, StructureEditsAreOneUndoStepEach)
{
    const auto page = comic->currentPage();
    const auto row = std::dynamic_pointer_cast<ComicRow>(page->contents().at(0));
    // The middle panel of the first row split into a stack of two rows, with a figure inside.
    auto split = std::make_shared<ComicStack>();
    split->initWithRect(row->contents().at(1)->bounds(), nullptr, 2, 1);
    ComicStructureList rowContents = row->contents();
    rowContents[1] = split;
    row->setContents(rowContents);
    const auto panel = panelOf(page, 0);
    panel->frontLayer()->setChildren({ TestComicLeaf::make(QRectF(40, 30, 20, 20)) });
    const auto floater = makePanel(QRectF(300, 20, 90, 60));
    page->setFloatingPanels({ floater });
    const auto inset = makePanel(QRectF(150, 150, 60, 50));
    page->setInsetPanels({ inset });
    page->setChildren({ TestComicLeaf::make(QRectF(500, 200, 30, 30)) });

    const struct {
        const char* name;
        std::function<void()> edit;
    } edits[] = {
        { "panel corner",
            [&] {
                panel->setTopLeftTopRightBottomLeftBottomRight(
                    QPointF(3.3, 1.7), panel->topRight(), panel->bottomLeft(), QPointF(211.1, 140.9));
            } },
        { "inner edge of a row",
            [&] {
                row->setTopLeftTopRightBottomLeftBottomRight(row->topLeft(),
                    row->topRight() + QPointF(0, 7.7), row->bottomLeft(),
                    row->bottomRight() + QPointF(0, 33.3));
            } },
        { "nested stack",
            [&] {
                split->setTopLeftTopRightBottomLeftBottomRight(
                    QPointF(190, 0), QPointF(410, 0), QPointF(210, 125), QPointF(400, 125));
            } },
        { "margins", [&] { page->setMarginsTop(12.5f, 7.25f, 3.1f, 9.9f); } },
        { "comic resize",
            [&] {
                comic->setTopLeftTopRightBottomLeftBottomRight(
                    QPointF(0, 0), QPointF(777.7, 0), QPointF(0, 333.3), QPointF(777.7, 333.3));
            } },
        { "panel inserted", [&] { document.undoableInsertPanelInRow(row, 1); } },
        { "panel taken out",
            [&] {
                ComicStructureList fewer = row->contents();
                fewer.erase(fewer.begin() + 2);
                document.undoableSetContents(fewer, row);
            } },
        { "inset panel moved",
            [&] { document.undoableOffsetPanel(inset, QPointF(-8.5, 6), false, PanelSelection::Keep); } },
        { "gutter",
            [&] { document.undoableSetPropertyFor(comic, ComicModel::kPanelGutterKey, Value(13.0f)); } },
        // Moving a floating panel selects it, its undo too.
        { "floating panel moved",
            [&] {
                document.undoableOffsetPanel(floater, QPointF(12.25, -4.5), false, PanelSelection::Keep);
            } },
    };
    UndoManager& undo = *document.undoManager();
    for (const auto& e : edits) {
        SCOPED_TRACE(e.name);
        const auto before = geometryOf(*comic);
        const QByteArray fileBefore = archivedComicFile(*comic);
        const auto current = comic->currentPanel();
        e.edit();
        const auto after = geometryOf(*comic);
        const QByteArray fileAfter = archivedComicFile(*comic);
        EXPECT_NE(fileAfter, fileBefore);
        undo.undo();
        EXPECT_FALSE(undo.canUndo());
        EXPECT_EQ(geometryOf(*comic), before);
        EXPECT_EQ(archivedComicFile(*comic), fileBefore);
        EXPECT_EQ(comic->currentPanel(), current);
        undo.redo();
        EXPECT_EQ(geometryOf(*comic), after);
        EXPECT_EQ(archivedComicFile(*comic), fileAfter);
        undo.undo();
        undo.removeAllActions();
    }
}

} // namespace
} // namespace zandrel
