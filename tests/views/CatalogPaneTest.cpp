// The comic window's catalog pane sliding down to its tabs and up again, driven by clicks on its
// tabs, the View menu and its divider, with the comic's and the pane's frames checked on the way.
#include "CatalogPanelFixture.h"
#include "app/CatalogPaneHost.h"

#include <QDeadlineTimer>
#include <QSplitterHandle>

namespace zandrel::test {
namespace {

class CatalogPaneTest : public CatalogPanelTest {
protected:
    void SetUp() override
    {
        CatalogPanelTest::SetUp();
        host = window->findChild<CatalogPaneHost*>();
        ASSERT_TRUE(host);
        comic = host->comicViewOwner();
        pane = host->catalogViewOwner();
    }
    void TearDown() override
    {
        CatalogPaneHost::slides = true;
        CatalogPanelTest::TearDown();
    }
    bool waitForSlide()
    {
        const QDeadlineTimer deadline(5000);
        while (host->isSliding() && !deadline.hasExpired())
            QTest::qWait(10);
        QApplication::processEvents();
        return !host->isSliding();
    }
    // Gives the splitter a known height: the window grows or shrinks by the difference.
    void setHostHeight(int height)
    {
        window->resize(window->width(), window->height() + height - host->height());
        QApplication::processEvents();
        ASSERT_EQ(host->height(), height);
    }
    bool inSplitter() const
    {
        return comic->parentWidget() == host->splitView() && pane->parentWidget() == host->splitView();
    }

    CatalogPaneHost* host = nullptr;
    QWidget* comic = nullptr;
    QWidget* pane = nullptr;
};

TEST_F(CatalogPaneTest, TheShownTabSlidesThePaneDownToItsTabsAndUpAgain)
{
    ASSERT_TRUE(inSplitter());
    setHostHeight(600);
    host->splitView()->setSizes({ 390, 200 });
    QApplication::processEvents();
    ASSERT_EQ(pane->height(), 200);

    clickTab(0);
    EXPECT_FALSE(document->isCatalogViewOpen());
    // The comic has the window at once; the pane slides down over it.
    EXPECT_EQ(comic->geometry(), QRect(0, 0, host->width(), 600 - CatalogPaneHost::kStripHeight));
    EXPECT_TRUE(host->isSliding());
    EXPECT_LT(pane->y(), 600 - CatalogPaneHost::kStripHeight);
    EXPECT_TRUE(pane->isVisible());
    ASSERT_TRUE(waitForSlide());
    EXPECT_EQ(pane->geometry(), QRect(0, 600 - CatalogPaneHost::kStripHeight, host->width(), 200));
    EXPECT_FALSE(host->splitView()->isVisible());
    EXPECT_EQ(host->savedHeight(), 600);
    // Only the tabs remain in sight, and they still answer.
    EXPECT_TRUE(tabs->isVisible());
    EXPECT_FALSE(panelWidget->catalogViewBase()->isVisible());
    EXPECT_TRUE(view->hasFocus());

    // The window shrinks while the pane is down: the pane comes back smaller in proportion.
    setHostHeight(450);
    EXPECT_EQ(pane->y(), 450 - CatalogPaneHost::kStripHeight);
    clickTab(0);
    EXPECT_TRUE(document->isCatalogViewOpen());
    EXPECT_TRUE(host->isSliding());
    EXPECT_FALSE(inSplitter());
    ASSERT_TRUE(waitForSlide());
    ASSERT_TRUE(inSplitter());
    EXPECT_TRUE(host->splitView()->isVisible());
    EXPECT_EQ(pane->height(), 150);
    EXPECT_EQ(comic->height(), 450 - 150 - CatalogPaneHost::kDividerThickness);
    EXPECT_TRUE(panelWidget->catalogViewBase()->isVisible());
    EXPECT_TRUE(view->hasFocus());
}

TEST_F(CatalogPaneTest, TheViewMenuTogglesTwiceBackToTheSameLayoutAndTheComicKeepsTheState)
{
    CatalogPaneHost::slides = false;
    setHostHeight(640);
    const QList<int> sizes = host->splitView()->sizes();
    QAction* item = showMenuItem(window, kToggleCatalogViewAction);
    ASSERT_TRUE(item && item->isEnabled());
    EXPECT_TRUE(item->isChecked());
    choose(kToggleCatalogViewAction);
    EXPECT_FALSE(model().isCatalogViewOpen());
    EXPECT_FALSE(host->isSliding());
    EXPECT_FALSE(showMenuItem(window, kToggleCatalogViewAction)->isChecked());
    // Saying what is already so changes nothing.
    document->setIsCatalogViewOpen(false);
    EXPECT_EQ(pane->y(), 640 - CatalogPaneHost::kStripHeight);
    choose(kToggleCatalogViewAction);
    EXPECT_TRUE(model().isCatalogViewOpen());
    EXPECT_EQ(host->splitView()->sizes(), sizes);

    // A comic saved with its pane down opens that way, without a slide.
    choose(kToggleCatalogViewAction);
    ASSERT_TRUE(document->saveToFile(document->filePath(), SaveOperation::Save, nullptr));
    documents().closeAllDocuments();
    QApplication::processEvents();
    CatalogPaneHost::slides = true;
    DocumentError error;
    ZDLDocument* reopened = documents().openDocument(dir.filePath(QStringLiteral("Reference.comic")), &error);
    ASSERT_TRUE(reopened);
    auto* again = documents().windowFor(reopened)->findChild<CatalogPaneHost*>();
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->isPaneOpen());
    EXPECT_FALSE(again->isSliding());
    QApplication::processEvents();
    // Its tabs are in sight along the bottom.
    auto* strip = again->findChild<ViewTabs*>();
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->mapTo(again, QPoint(0, 0)), QPoint(0, again->height() - CatalogPaneHost::kStripHeight));
    EXPECT_EQ(strip->height(), CatalogPaneHost::kStripHeight);
    EXPECT_EQ(strip->width(), again->width());
    // Opened for the first time in its window, the pane gets a sensible height.
    dynamic_cast<ComicDocument*>(reopened)->setIsCatalogViewOpen(true);
    again->finishSlide();
    EXPECT_EQ(again->catalogViewOwner()->height(),
        std::min(CatalogPaneHost::kFirstPaneHeight, again->height() / 2));
}

TEST_F(CatalogPaneTest, TheDividerStopsShortOfEitherEnd)
{
    setHostHeight(700);
    QSplitterHandle* handle = host->splitView()->handle(1);
    ASSERT_TRUE(handle);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    struct Drag {
        int by;
        int comicHeight;
    };
    for (const Drag& drag : { Drag { -2000, CatalogPaneHost::kMinimumSideHeight },
             Drag { 2000, 700 - CatalogPaneHost::kMinimumSideHeight - CatalogPaneHost::kDividerThickness },
             Drag { -100,
                 700 - CatalogPaneHost::kMinimumSideHeight - CatalogPaneHost::kDividerThickness - 100 } }) {
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QMouseEvent move(QEvent::MouseMove, QPointF(grip),
            handle->mapToGlobal(QPointF(grip) + QPointF(0, drag.by)), Qt::NoButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(handle, &move);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(0, drag.by));
        EXPECT_EQ(comic->height(), drag.comicHeight) << drag.by;
        EXPECT_EQ(comic->height() + pane->height() + CatalogPaneHost::kDividerThickness, 700) << drag.by;
    }
}

TEST_F(CatalogPaneTest, ALowWindowShrinksThePaneBeforeTheComicAndGivesItBackWhenItGrows)
{
    setHostHeight(700);
    QSplitterHandle* handle = host->splitView()->handle(1);
    ASSERT_TRUE(handle);
    const QPoint grip(handle->width() / 2, handle->height() / 2);
    const int by = (700 - 300 - CatalogPaneHost::kDividerThickness) - comic->height();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip), handle->mapToGlobal(QPointF(grip) + QPointF(0, by)),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(0, by));
    ASSERT_EQ(pane->height(), 300);
    struct Step {
        int hostHeight;
        int paneHeight;
    };
    // The comic keeps half the room, or the minimum side when that is less; the pane has the rest.
    for (const Step& step : { Step { 500, 290 }, Step { 300, 145 }, Step { 160, 75 }, Step { 700, 300 } }) {
        setHostHeight(step.hostHeight);
        EXPECT_EQ(pane->height(), step.paneHeight) << step.hostHeight;
        EXPECT_EQ(comic->height() + pane->height() + CatalogPaneHost::kDividerThickness, step.hostHeight);
    }
}

} // namespace
} // namespace zandrel::test
