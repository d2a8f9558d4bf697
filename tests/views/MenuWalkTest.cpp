// Every item of the menus of every kind of document window, walked as a person opening each menu
// and submenu would: a responder of the window's chain answers it, or nothing in that window does
// what it says and it is off.
#include "ComicWindowFixture.h"
#include "app/CharacterLibraryView.h"
#include "app/EditingControllerView.h"
#include "app/MainMenu.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "views/CatalogView.h"

#include <functional>

namespace zandrel {
namespace {

class MenuWalkTest : public test::ComicWindowTest {
protected:
    // The actions of the items no responder of the window answers, sorted; each such item is off.
    static QStringList unansweredItems(QMainWindow* shown)
    {
        QStringList unanswered;
        int walked = 0;
        const QList<Responder*> chain = MenuActions::responderChain(shown);
        std::function<void(QMenu*)> walk = [&](QMenu* menu) {
            // Opening builds the submenus made in code (recent files) and validates.
            emit menu->aboutToShow();
            for (QAction* item : menu->actions()) {
                if (item->menu()) {
                    walk(item->menu());
                    continue;
                }
                const QString action = MenuActions::actionOf(item);
                if (action.isEmpty())
                    continue;
                ++walked;
                if (MenuActions::validate(item, chain))
                    continue;
                EXPECT_FALSE(item->isEnabled()) << action.toStdString();
                if (!unanswered.contains(action))
                    unanswered.append(action);
            }
        };
        for (QAction* top : shown->menuBar()->actions()) {
            if (top->menu())
                walk(top->menu());
        }
        EXPECT_GT(walked, 100);
        unanswered.sort();
        return unanswered;
    }

    DocumentWindow* openCharacter()
    {
        const QString path = dir.filePath(QStringLiteral("Bob.parts"));
        return openInWindow(path, archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 3, 2)));
    }
};

// What each kind of view leaves unanswered, by the part of the program that does it.
const QStringList kPathCommands { kSplitToSeparatePartAction, kAlignPathPointsAction,
    kMakePathLookHanddrawnAction, kCopyFontAction, kPasteFontAction, kSaveAsStyleAction,
    kResetPivotPointAction, kHideSelectionAction, kShowAllAction };
const QStringList kCharacterCommands { kOpenTracingImageAction, kTracingImageSettingsAction,
    kClearTracingImageAction, kToggleTracingImageAction, kToggleThumbnailEditorAction,
    kGlobalBlurAdjustmentAction, kExportPNGAction, kExportJPEGAction, kExportPDFAction, kExportEPSAction,
    kSaveToCatalogAction };
const QStringList kComicViewCommands { kNewPageAction, kDeletePageAction, kInsertRowAction, kDeleteRowAction,
    kInsertPanelBeforeAction, kInsertPanelAfterAction, kDeletePanelAction, kSplitPanelAction,
    kNewFloatingPanelAction, kNewInsetPanelAction, kBringPanelForwardAction, kSendPanelBackwardAction,
    kToggleEditBackgroundAction, kToggleFocusOnPanelAction, kPanelPropertiesAction, kResizeComicAction,
    kSetPageMarginsAction, kGutterSizeAction };
const QStringList kComicCommands { kGotoPrevPageAction, kGotoNextPageAction, kToggleCatalogViewAction,
    kFreeObjectsEditorAction };
const QStringList kBalloonCommands { kAddBalloonAction, kAddNarrativeBoxAction, kAddTextBlockAction,
    kAddBalloonPointerAction, kSetBalloonShapeAction, kSetBalloonStyleAction, kEditBalloonPropertiesAction };

QStringList sorted(QStringList actions)
{
    actions.sort();
    return actions;
}

TEST_F(MenuWalkTest, EveryComicWindowItemIsAnsweredOrOff)
{
    EXPECT_EQ(unansweredItems(window),
        sorted(kPathCommands + kCharacterCommands + QStringList { kEditStylesAction }));

    // The page's free objects: the comic view's commands stay with the comic view.
    view->openFreeObjectsEditor();
    QApplication::processEvents();
    ASSERT_TRUE(document->currentEditor());
    EXPECT_EQ(unansweredItems(window),
        sorted(
            kPathCommands + kCharacterCommands + kComicViewCommands + QStringList { kExportDialogAction }));
}

// The catalog pane's views answer their own commands; the comic view's still reach it.
TEST_F(MenuWalkTest, WithTheFocusInTheCatalogPaneEveryItemIsAnsweredOrOff)
{
    if (!document->isCatalogViewOpen())
        choose(kToggleCatalogViewAction);
    const QStringList expected
        = sorted(kPathCommands + kCharacterCommands + QStringList { kEditStylesAction });
    for (QWidget* pane : std::initializer_list<QWidget*> {
             window->findChild<CatalogView*>(), window->findChild<CharacterLibraryView*>() }) {
        ASSERT_TRUE(pane);
        pane->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(window->focusWidget(), pane);
        EXPECT_EQ(unansweredItems(window), expected);
    }
}

TEST_F(MenuWalkTest, EveryCharacterWindowItemIsAnsweredOrOff)
{
    DocumentWindow* character = openCharacter();
    ASSERT_TRUE(character);
    auto* characterDocument = dynamic_cast<CharacterDocument*>(character->document());
    ASSERT_TRUE(characterDocument);
    EXPECT_EQ(unansweredItems(character), sorted(kPathCommands + kComicViewCommands + kComicCommands));

    // The part editor: the character's exports and tracing image still reach the parts view.
    characterDocument->edit(characterDocument->model()->getChildAtIndex(1));
    QApplication::processEvents();
    ASSERT_TRUE(characterDocument->currentEditor());
    EXPECT_EQ(unansweredItems(character),
        sorted(kBalloonCommands + kComicViewCommands + kComicCommands
            + QStringList { kToggleThumbnailEditorAction }));
}

TEST_F(MenuWalkTest, TheApplicationKeysOfAWindowWithoutMenusAreAnswered)
{
    QWidget plain;
    MainMenu::addApplicationKeys(&plain);
    const QList<Responder*> chain = MenuActions::responderChain(&plain);
    ASSERT_EQ(plain.actions().size(), 4);
    for (QAction* item : plain.actions()) {
        EXPECT_TRUE(MenuActions::validate(item, chain)) << MenuActions::actionOf(item).toStdString();
        EXPECT_TRUE(item->isEnabled()) << MenuActions::actionOf(item).toStdString();
        // The same keys as the menu item of a document window.
        QAction* inMenu = menuItem(window, MenuActions::actionOf(item));
        ASSERT_TRUE(inMenu);
        EXPECT_EQ(item->shortcuts(), inMenu->shortcuts());
        EXPECT_EQ(item->text(), inMenu->text());
    }
}

// A key chooses at most one item of a window's menus: two would leave Qt to pick neither.
TEST_F(MenuWalkTest, EveryKeyOfTheMenusChoosesOneItem)
{
    QHash<QKeySequence, QString> chosen;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
        for (QAction* item : menu->actions()) {
            for (const QKeySequence& key : item->shortcuts()) {
                EXPECT_FALSE(chosen.contains(key))
                    << key.toString().toStdString() << " " << chosen.value(key).toStdString() << " "
                    << MenuActions::actionOf(item).toStdString();
                chosen.insert(key, MenuActions::actionOf(item));
            }
        }
    }
    EXPECT_GT(chosen.size(), 40);
}

} // namespace
} // namespace zandrel
