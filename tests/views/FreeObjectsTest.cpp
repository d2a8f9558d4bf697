// Free objects of a comic page through the real comic window: freeing objects from their panel,
// the right-click menu of a free object and its commands, each a named undo step (or none) whose undo
// gives back the file's bytes, the current panel and the selection.
#include "ComicWindowFixture.h"
#include "app/EditingControllerView.h"
#include "comicmodel/PanelLayer.h"
#include "views/EditingLevelControl.h"
#include "views/ElementEditingView.h"

#include <QMenu>
#include <QScreen>
#include <functional>

namespace zandrel {
namespace {

class FreeObjectsTest : public test::ComicWindowTest {
protected:
    ComicPage& page() const { return *model().currentPage(); }
    ObjectPtr freePart() const { return page().children().value(0); }
    QPointF centreOf(const ObjectPtr& element) const
    {
        return asProtocol<GraphicElement>(element)->getBounds().center();
    }
    QMenu* freeMenu() const { return view->findChild<QMenu*>(QStringLiteral("freeElementContextMenu")); }
    // A right click on the object, then the menu item picked with the keyboard as a person would.
    void chooseFromFreeMenu(const ObjectPtr& element, int item)
    {
        QTest::mouseClick(view, Qt::RightButton, {}, at(centreOf(element)));
        QMenu* menu = freeMenu();
        ASSERT_TRUE(menu && menu->isVisible());
        EXPECT_EQ(view->clickedFreeElement(), element);
        for (int step = 0; step <= item; ++step)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        endOfEvent();
        EXPECT_FALSE(menu->isVisible());
        EXPECT_EQ(view->clickedFreeElement(), nullptr) << "known only while the menu is up";
    }
    ZDLEditingView* freeObjectsEditorView() const
    {
        auto* editor = dynamic_cast<EditingControllerView*>(document->currentEditor());
        return editor ? editor->editingView() : nullptr;
    }
};

TEST_F(FreeObjectsTest, FreeingAndRestrictingAreOneNamedStepThatGivesBackBytesPanelAndSelection)
{
    struct Case {
        const char* name;
        // Picks the object (and selects it when the command needs a selection).
        std::function<ObjectPtr()> prepare;
        std::function<void(const ObjectPtr&)> command;
        QString undoName;
        std::function<void(const ObjectPtr&)> check;
    };
    const Case cases[] = {
        { "free from panel",
            [&] {
                const ObjectPtr part = panel(0)->frontLayer()->children().value(0);
                click(centreOf(part));
                return part;
            },
            [&](const ObjectPtr&) {
                EXPECT_EQ(
                    showMenuItem(window, kToggleFloatingAction)->text(), QStringLiteral("Free from Panel"));
                choose(kToggleFloatingAction);
            },
            QStringLiteral("Free from Panel"),
            [&](const ObjectPtr& part) {
                EXPECT_EQ(page().children().value(2), part) << "above the page's other free objects";
                EXPECT_TRUE(panel(0)->frontLayer()->children().isEmpty());
                EXPECT_EQ(model().currentPanel(), panel(0));
                ASSERT_TRUE(freeObjectsEditorView());
                EXPECT_EQ(freeObjectsEditorView()->rootObject(), ObjectPtr(model().currentPage()));
            } },
        { "restrict to panel",
            [&] {
                const ObjectPtr part = freePart();
                EXPECT_EQ(page().getChildAt(centreOf(part), view->viewScale()), part);
                return part;
            },
            [&](const ObjectPtr& part) { chooseFromFreeMenu(part, 1); }, QStringLiteral("Restrict to Panel"),
            [&](const ObjectPtr& part) {
                // The part lies over the lower-left panel more than over any other.
                EXPECT_EQ(model().currentPanel(), panel(3));
                EXPECT_EQ(panel(3)->frontLayer()->children().last(), part);
                EXPECT_EQ(page().numChildren(), 1u);
                EXPECT_EQ(view->rootObject(), ObjectPtr(panel(3)->frontLayer()));
                EXPECT_EQ(view->selection(), ElementList { part });
            } },
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        model().setCurrentPanel(panel(0));
        view->deselectAll();
        const ObjectPtr object = each.prepare();
        const QByteArray before = bytes();
        const ElementList selected = view->selection();
        each.command(object);
        each.check(object);
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        document->edit(nullptr);
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(model().currentPanel(), panel(0));
        EXPECT_EQ(view->selection(), selected);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
}

TEST_F(FreeObjectsTest, TheFreeObjectMenuOpensTheEditorWithTheObjectAndOnlyOverThePageItself)
{
    const ObjectPtr part = freePart();
    const QByteArray before = bytes();
    chooseFromFreeMenu(part, 0);
    ASSERT_TRUE(freeObjectsEditorView());
    EXPECT_EQ(freeObjectsEditorView()->selection(), ElementList { part });
    EXPECT_FALSE(document->undoManager()->canUndo()) << "looking is no step";
    document->edit(nullptr);
    EXPECT_EQ(bytes(), before);

    // The page's menu item opens the same editor, with nothing selected.
    choose(kFreeObjectsEditorAction);
    ASSERT_TRUE(freeObjectsEditorView());
    EXPECT_TRUE(freeObjectsEditorView()->selection().isEmpty());
    document->edit(nullptr);

    // While the background is edited, free objects are not hit: the view's own menu comes.
    choose(kToggleEditBackgroundAction);
    QTest::mouseClick(view, Qt::RightButton, {}, at(centreOf(part)));
    EXPECT_FALSE(freeMenu() && freeMenu()->isVisible());
    EXPECT_EQ(view->clickedFreeElement(), nullptr);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    EXPECT_EQ(bytes(), before);
}

TEST_F(FreeObjectsTest, FreedObjectsGoBackIntoTheirPanelFromThePageEditor)
{
    const QByteArray before = bytes();
    const ObjectPtr part = panel(0)->frontLayer()->children().value(0);
    click(centreOf(part));
    choose(kToggleFloatingAction);
    ZDLEditingView* editor = freeObjectsEditorView();
    ASSERT_TRUE(editor);
    QTest::mouseClick(editor, Qt::LeftButton, {}, editor->viewTransform().map(centreOf(part)).toPoint());
    ASSERT_EQ(editor->selection(), ElementList { part });
    EXPECT_EQ(showMenuItem(window, kToggleFloatingAction)->text(), QStringLiteral("Restrict to Panel"));
    choose(kToggleFloatingAction);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Restrict to Panel"));
    EXPECT_EQ(panel(0)->frontLayer()->children(), ElementList { part });
    EXPECT_EQ(bytes(), before) << "back where it was";
    EXPECT_TRUE(showMenuItem(window, kFreeObjectsEditorAction)->isChecked());
    choose(kFreeObjectsEditorAction);
    EXPECT_EQ(document->currentEditor(), nullptr) << "the same item leaves the page";
    choose(kUndoAction);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { part });
    EXPECT_FALSE(document->undoManager()->canUndo());
}

// Under a real display (ZANDREL_SCREENSHOT names the file) the screen is saved with a floating panel
// current and the free-object menu up, for a person to look at.
TEST_F(FreeObjectsTest, ScreenshotOfTheFreeObjectMenuOverAFloatingPanel)
{
    const QString path = qEnvironmentVariable("ZANDREL_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "no display to photograph";
    window->resize(1000, 700);
    view->setViewScale(3.0f);
    model().setCurrentPanel(model().currentPage()->floatingPanels().front());
    view->scrollToCenterDocPoint(QPointF(150, 110));
    QTest::qWait(200);
    QTest::mouseClick(view, Qt::RightButton, {}, at(centreOf(freePart())));
    QTest::qWait(300);
    ASSERT_TRUE(freeMenu()->isVisible());
    EXPECT_TRUE(window->screen()->grabWindow(0).save(path));
    freeMenu()->close();
}

// The page's level in the bar of the free objects editor is titled and shows its icon.
TEST_F(FreeObjectsTest, TheFreeObjectsLevelShowsItsIcon)
{
    choose(kFreeObjectsEditorAction);
    ASSERT_TRUE(freeObjectsEditorView());
    EditingLevelControl* bar = nullptr;
    for (EditingLevelControl* each : window->findChildren<EditingLevelControl*>()) {
        if (each->isVisible())
            bar = each;
    }
    ASSERT_TRUE(bar);
    bar->layoutCrumbs();
    ASSERT_GT(bar->numLevels(), 0);
    EXPECT_EQ(bar->representedObjectAtLevel(bar->numLevels() - 1), ObjectPtr(model().currentPage()));
    EXPECT_EQ(model().currentPage()->displayName(), QStringLiteral("Free Objects"));
    EXPECT_EQ(model().currentPage()->pathIcon().size(), QSize(16, 16));
    EXPECT_GT(bar->crumbs().last().imageBounds.width(), 0.0);
}

} // namespace
} // namespace zandrel
