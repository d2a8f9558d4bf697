// Pages on a real comic and its document: rows inside the margins, resizes that carry free panels
// and free objects along, the stacking of free panels, and the order in which a page draws.
#include "comicmodel/ComicPage.h"

#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/PanelTestSupport.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::coordinatesOf;
using test::geometryOf;
using test::makePanel;
using test::TestComicLeaf;

class ComicPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerComicModelClasses);
        test::registerPanelTestClasses();
    }
    void SetUp() override
    {
        comic->setupWithSize(QSizeF(600, 400), 2, 3);
        page = comic->currentPage();
    }
    void TearDown() override { QCoreApplication::processEvents(); }

    std::shared_ptr<ComicPanel> panelAt(std::size_t row, std::size_t column) const
    {
        return std::dynamic_pointer_cast<ComicPanel>(page->contents().at(row)->contents().at(column));
    }

    ComicDocument document;
    std::shared_ptr<ComicModel> comic = document.model();
    std::shared_ptr<ComicPage> page;
    UndoManager& undo = *document.undoManager();
};

TEST_F(ComicPageTest, RowsFillTheAreaInsideTheMarginsAndMarginsUndo)
{
    const auto before = geometryOf(*comic);
    page->setMarginsTop(10, 20, 30, 40);
    EXPECT_EQ(page->childrenTopLeft(), QPointF(20, 10));
    EXPECT_EQ(page->childrenTopRight(), QPointF(570, 10));
    EXPECT_EQ(page->childrenBottomLeft(), QPointF(20, 360));
    EXPECT_EQ(page->childrenBottomRight(), QPointF(570, 360));
    EXPECT_EQ(
        coordinatesOf(*page->contents().at(0)), (std::vector<double> { 20, 10, 570, 10, 20, 185, 570, 185 }));
    EXPECT_EQ(coordinatesOf(*page->contents().at(1)),
        (std::vector<double> { 20, 185, 570, 185, 20, 360, 570, 360 }));
    // Shares are single-precision fractions.
    EXPECT_NEAR(panelAt(1, 2)->topLeft().x(), 20 + 2 * 550.0 / 3, 1e-4);
    EXPECT_EQ(panelAt(1, 2)->bottomLeft().y(), 360);
    const auto after = geometryOf(*comic);

    // One step, exactly undone and redone; the same margins again record nothing but lay out.
    undo.undo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(geometryOf(*comic), before);
    EXPECT_EQ(page->topMargin(), 0.0f);
    undo.redo();
    EXPECT_EQ(geometryOf(*comic), after);

    // The same margins again record nothing, but still lay the rows out.
    QCoreApplication::processEvents();
    page->setMarginsTop(10, 20, 30, 40);
    undo.undo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(geometryOf(*comic), before);
    undo.redo();
    // A row moved aside without a change of its lengths goes back into place.
    const auto row = page->contents().at(0);
    row->setTopLeft(row->topLeft() + QPointF(5, 0));
    row->setTopRight(row->topRight() + QPointF(5, 0));
    row->setBottomLeft(row->bottomLeft() + QPointF(5, 0));
    row->setBottomRight(row->bottomRight() + QPointF(5, 0));
    page->setMarginsTop(10, 20, 30, 40);
    EXPECT_EQ(geometryOf(*comic), after);
}

TEST_F(ComicPageTest, EachRowKeepsItsShareOnEachSide)
{
    // Left edges 100 and 300, right edges 200 each, on an inner area 400 high.
    const auto top = std::make_shared<ComicRow>();
    top->initWithRect(QRectF(0, 0, 600, 100), nullptr, 1);
    top->setBottomRight(QPointF(600, 200));
    const auto bottom = std::make_shared<ComicRow>();
    bottom->initWithRect(QRectF(0, 100, 600, 300), nullptr, 1);
    bottom->setTopRight(QPointF(600, 200));
    page->setContents({ top, bottom });
    page->setMarginsTop(0, 0, 0, 0);
    EXPECT_EQ(coordinatesOf(*top), (std::vector<double> { 0, 0, 600, 0, 0, 100, 600, 200 }));
    EXPECT_EQ(coordinatesOf(*bottom), (std::vector<double> { 0, 100, 600, 200, 0, 400, 600, 400 }));

    // One row is the inner area itself.
    page->setContents({ top });
    page->setMarginsTop(5, 6, 7, 8);
    EXPECT_EQ(coordinatesOf(*top), (std::vector<double> { 6, 5, 593, 5, 6, 392, 593, 392 }));
}

TEST_F(ComicPageTest, AResizeCarriesFreePanelsAndObjectsAndKeepsTheUsersPlace)
{
    // 600 x 400 to 300 x 400; centres at quarters, so that the single-precision fractions of the
    // mapping are exact.
    const auto narrow = makePanel(QRectF(400, 150, 100, 100));
    const auto wide = makePanel(QRectF(305, 150, 290, 100));
    const auto inset = makePanel(QRectF(130, 80, 40, 40));
    const auto object = TestComicLeaf::make(QRectF(440, 190, 20, 20));
    page->setFloatingPanels({ narrow, wide });
    page->setInsetPanels({ inset });
    page->setChildren({ object });
    // A second page with a free panel: the resize must not take the user there.
    auto second = std::make_shared<ComicPage>();
    second->initWithRect(QRectF(0, 0, 600, 400), comic.get(), 1, 1);
    second->setFloatingPanels({ makePanel(QRectF(50, 175, 50, 50)) });
    comic->setContents({ page, second });
    const auto current = panelAt(1, 1);
    comic->setCurrentPanel(current);
    comic->setFocusOnPanel(true);
    const auto before = geometryOf(*comic);

    comic->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0, 0), QPointF(300, 0), QPointF(0, 400), QPointF(300, 400));
    EXPECT_EQ(narrow->bounds(), QRectF(175, 150, 100, 100));
    // Pushed back a point inside the page's right edge.
    EXPECT_EQ(wide->bounds(), QRectF(9, 150, 290, 100));
    EXPECT_EQ(inset->bounds(), QRectF(55, 80, 40, 40));
    EXPECT_EQ(object->m_rect, QRectF(215, 190, 20, 20));
    EXPECT_EQ(coordinatesOf(*second->floatingPanels().front()),
        (std::vector<double> { 12.5, 175, 62.5, 175, 12.5, 225, 62.5, 225 }));
    EXPECT_EQ(page->contents().at(1)->bounds(), QRectF(0, 200, 300, 200));
    EXPECT_EQ(comic->currentPage(), page);
    EXPECT_EQ(comic->currentPanel(), current);
    EXPECT_TRUE(comic->focusOnPanel());

    const auto after = geometryOf(*comic);
    undo.undo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(geometryOf(*comic), before);
    EXPECT_EQ(comic->currentPanel(), current);
    undo.redo();
    EXPECT_EQ(geometryOf(*comic), after);
    EXPECT_EQ(comic->currentPage(), page);
}

TEST_F(ComicPageTest, InsetPanelsAffectPanelsWithinTheGutter)
{
    // Gutter 10: a panel that is not inset is cut by insets closer than 5; an inset only by later
    // insets closer than 10. A gap of exactly the distance only touches.
    const auto fixed = panelAt(0, 0); // (0, 0)-(200, 200)
    const auto touching = makePanel(QRectF(205, 0, 40, 40));
    const auto near = makePanel(QRectF(0, 204, 40, 40));
    const auto far = makePanel(QRectF(300, 300, 40, 40));
    page->setInsetPanels({ touching, near, far });
    EXPECT_EQ(page->getInsetPanelsAffecting(*fixed), (ComicPanelList { near }));
    EXPECT_EQ(page->getInsetPanelsAffecting(*far), ComicPanelList {});
    const auto behindFar = makePanel(QRectF(345, 300, 40, 40));
    const auto beyond = makePanel(QRectF(349, 349, 40, 40));
    const auto exactly = makePanel(QRectF(350, 300, 40, 40));
    page->setInsetPanels({ behindFar, far, beyond, exactly });
    EXPECT_EQ(page->getInsetPanelsAffecting(*far), (ComicPanelList { beyond }));
    EXPECT_EQ(page->getInsetPanelsAffecting(*behindFar), (ComicPanelList { far, beyond, exactly }));
    page->setInsetPanels({});
    EXPECT_TRUE(page->getInsetPanelsAffecting(*fixed).empty());
}

TEST_F(ComicPageTest, FreePanelsComeToFrontAndGoBehindUndoably)
{
    const auto a = makePanel(QRectF(10, 10, 100, 100));
    const auto b = makePanel(QRectF(200, 10, 100, 100)); // apart from a
    const auto c = makePanel(QRectF(60, 60, 100, 100)); // over a
    const auto d = makePanel(QRectF(110, 10, 90, 50)); // only touches a and b
    document.undoableSetFloatingPanels({ a, b, c, d }, page, a);
    EXPECT_EQ(comic->currentPanel(), a);
    EXPECT_TRUE(a->isFloating());
    EXPECT_EQ(page->panelToMovePanelInFrontOf(*a), c);
    EXPECT_EQ(page->panelToMovePanelBehind(*a), nullptr);
    EXPECT_EQ(page->panelToMovePanelInFrontOf(*d), nullptr);
    EXPECT_EQ(page->panelToMovePanelBehind(*c), a);
    EXPECT_EQ(page->panelToMovePanelInFrontOf(*panelAt(0, 0)), nullptr);

    // Bring a forward: it goes right after c, and stays current.
    const auto q = page->panelToMovePanelInFrontOf(*a);
    ComicPanelList list = page->floatingPanels();
    list.erase(list.begin());
    list.insert(std::find(list.begin(), list.end(), q) + 1, a);
    QCoreApplication::processEvents();
    document.undoableSetFloatingPanels(list, page, a);
    EXPECT_EQ(page->floatingPanels(), (ComicPanelList { b, c, a, d }));
    EXPECT_EQ(page->panelToMovePanelBehind(*a), c);

    // Insets stack among themselves, grown by the gutter: 5 apart still overlaps.
    QCoreApplication::processEvents();
    const auto e = makePanel(QRectF(10, 250, 40, 40));
    const auto f = makePanel(QRectF(55, 250, 40, 40));
    document.undoableSetInsetPanels({ e, f }, page, f);
    EXPECT_EQ(page->panelToMovePanelBehind(*f), e);
    EXPECT_TRUE(f->isInset());

    // A panel moved from one list to the other stays on the page whatever the order of the calls.
    page->setInsetPanels({ e, f, a });
    page->setFloatingPanels({ b, c, d });
    EXPECT_EQ(a->parent(), page.get());
    EXPECT_TRUE(a->isInset());

    undo.undo();
    EXPECT_TRUE(page->insetPanels().empty());
    undo.undo();
    EXPECT_EQ(page->floatingPanels(), (ComicPanelList { a, b, c, d }));
    EXPECT_EQ(a->parent(), page.get());
    undo.undo();
    EXPECT_TRUE(page->floatingPanels().empty());
}

// Channels within 2 of the expected colour.
::testing::AssertionResult near(QRgb actual, QRgb expected)
{
    const auto close = [](int x, int y) { return std::abs(x - y) <= 2; };
    if (close(qRed(actual), qRed(expected)) && close(qGreen(actual), qGreen(expected))
        && close(qBlue(actual), qBlue(expected)) && close(qAlpha(actual), qAlpha(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "0x" << actual << " instead of 0x" << expected;
}

TEST_F(ComicPageTest, RowsInsetsFloatersAndFreeObjectsDrawBackToFront)
{
    const auto inset = makePanel(QRectF(150, 100, 100, 100));
    inset->backLayer()->setChildren({ TestComicLeaf::make(QRectF(150, 100, 100, 100), nullptr, Qt::blue) });
    const auto floater = makePanel(QRectF(200, 150, 100, 100));
    floater->backLayer()->setChildren(
        { TestComicLeaf::make(QRectF(200, 150, 100, 100), nullptr, Qt::green) });
    page->setInsetPanels({ inset });
    page->setFloatingPanels({ floater });
    page->setChildren({ TestComicLeaf::make(QRectF(240, 190, 100, 100), nullptr, Qt::red),
        TestComicLeaf::make(QRectF(280, 230, 40, 40), nullptr, Qt::yellow) });

    struct Probe {
        QPoint at;
        QRgb expected;
        const char* why;
    };
    const Probe probes[] = {
        { QPoint(100, 50), qRgb(255, 255, 255), "a row panel's white ground" },
        { QPoint(170, 120), qRgb(0, 0, 255), "the inset over the rows" },
        { QPoint(220, 170), qRgb(0, 255, 0), "the floater over the inset" },
        { QPoint(250, 200), qRgb(255, 0, 0), "a free object over the floater" },
        { QPoint(300, 250), qRgb(255, 255, 0), "the later free object over the earlier" },
    };
    const QImage image = comic->getImageOfPage(0, 1.0f);
    for (const Probe& p : probes)
        EXPECT_TRUE(near(image.pixel(p.at), p.expected)) << p.why;

    // While backgrounds are edited on screen the free objects show at 15 per cent.
    comic->setEditBackground(true);
    OffscreenImage screen(QSize(600, 400));
    {
        CanvasScope scope(screen.canvas());
        ZDLContext context(1.0f);
        page->drawIn(context, QRectF(0, 0, 600, 400));
    }
    const QImage faded = screen.takeImage();
    EXPECT_TRUE(near(faded.pixel(250, 200), qRgb(38, 217, 0)));
    EXPECT_TRUE(near(comic->getImageOfPage(0, 1.0f).pixel(250, 200), qRgb(255, 0, 0))) << "an export";

    // Shadows fall under every panel's frame, offset down and to the right.
    page->setInsetPanels({});
    page->setFloatingPanels({});
    OffscreenImage shadows(QSize(600, 400));
    {
        CanvasScope scope(shadows.canvas());
        ZDLContext context(1.0f);
        page->drawPanelShadowsIn(context, QSizeF(8, 8), 0);
    }
    const QImage shade = shadows.takeImage();
    EXPECT_EQ(qAlpha(shade.pixel(100, 50)), 255) << "the frames themselves are black";
    EXPECT_GT(qAlpha(shade.pixel(200, 100)), 0) << "a shadow in the gutter";
    EXPECT_EQ(qAlpha(shade.pixel(200, 8)), 0) << "nothing above the offset shadow";
}

} // namespace
} // namespace zandrel
