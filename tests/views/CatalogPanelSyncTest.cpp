// The panel's add button, and its tabs and shelves following the catalogs: parts files saved into a
// catalog, saved where the comic's library uses them, and deleted from a catalog.
#include "CatalogPanelFixture.h"
#include "app/CharacterLibraryView.h"
#include "app/core/CatalogCommands.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "panels/HelpComicView.h"
#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>

namespace zandrel::test {
namespace {

class CatalogPanelSyncTest : public CatalogPanelTest {
protected:
    // A parts file outside the catalogs.
    QString writePartsFile(const QString& name)
    {
        const QString path = dir.filePath(name + QStringLiteral(".parts"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*character({ name, 0, 2 })));
        return path;
    }
    QStringList menuTitles() const
    {
        QStringList titles;
        for (QAction* item : panelWidget->addCharacterMenu()->actions())
            titles.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        return titles;
    }
};

TEST_F(CatalogPanelSyncTest, TheAddButtonOffersOpenSavedCharactersElseTheOpenPanel)
{
    const QString yan = writePartsFile(QStringLiteral("Yan"));
    const QString zed = writePartsFile(QStringLiteral("Zed"));
    int asked = 0;
    CatalogAndLibraryController::setOpenPanelChooser([&](QWidget*, auto completion) {
        ++asked;
        completion(QStringList { yan });
    });
    document->setIsCatalogViewOpen(false);
    // Nothing open to offer: the open panel at once, on the press.
    QTest::mousePress(panelWidget->addCharacterButton(), Qt::LeftButton);
    QTest::mouseRelease(panelWidget->addCharacterButton(), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(model().characterLibrary().size(), 1u);
    EXPECT_EQ(model().characterLibrary().front()->characterFileURL(), yan);
    EXPECT_EQ(tabTitles().last(), QStringLiteral("Yan"));
    EXPECT_TRUE(document->isCatalogViewOpen());

    // Saved character documents not yet in the library are offered; an untitled one is not.
    DocumentError error;
    ASSERT_TRUE(documents().openDocument(yan, &error));
    ASSERT_TRUE(documents().openDocument(zed, &error));
    ASSERT_TRUE(documents().makeUntitledDocument(kCharacterDocumentType));
    window->activateWindow();
    QTest::mousePress(panelWidget->addCharacterButton(), Qt::LeftButton);
    QTest::mouseRelease(panelWidget->addCharacterButton(), Qt::LeftButton);
    ASSERT_TRUE(panelWidget->addCharacterMenu());
    EXPECT_EQ(menuTitles(),
        (QStringList { QStringLiteral("Open Characters"), QStringLiteral("    Zed.parts"),
            QStringLiteral("-"), QStringLiteral("Add Other…") }));
    EXPECT_FALSE(panelWidget->addCharacterMenu()->actions().first()->isEnabled());
    EXPECT_EQ(asked, 1);
    panelWidget->addCharacterMenu()->actions().at(1)->trigger();
    panelWidget->addCharacterMenu()->close();
    endOfEvent();
    ASSERT_EQ(model().characterLibrary().size(), 2u);
    EXPECT_EQ(model().characterLibrary().back()->characterFileURL(), zed);
    EXPECT_EQ(tabs->selectedTab(), 3);
    EXPECT_EQ(panelWidget->libraryView()->currentCharacter(), model().characterLibrary().back());
}

TEST_F(CatalogPanelSyncTest, TheLibrarySideIsTheLibraryViewWithItsControlsInTheBand)
{
    auto* libraryView = panelWidget->findChild<CharacterLibraryView*>();
    ASSERT_TRUE(libraryView);
    auto* popup = panelWidget->findChild<QComboBox*>(QStringLiteral("libraryViewPopup"));
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->parentWidget()->objectName(), QStringLiteral("libraryItemPropsView"));

    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Alice"))));
    endOfEvent();
    ASSERT_EQ(model().characterLibrary().size(), 1u);
    EXPECT_EQ(libraryView->currentCharacter(), model().characterLibrary().front());
    EXPECT_TRUE(libraryView->isVisible());
    EXPECT_GT(popup->count(), CharacterLibraryView::kFixedViewItems) << "Alice's part types are listed";

    // A parts file dropped on the library view joins the comic's library through the panel.
    const QString dora
        = QDir(folder(CharacterLibraryItem::PurchasedCatalog)).filePath(QStringLiteral("Dora.parts"));
    QMimeData data;
    data.setUrls({ QUrl::fromLocalFile(dora) });
    const QPoint middle = libraryView->rect().center();
    QDragEnterEvent enter(middle, Qt::LinkAction | Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(libraryView, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(middle, Qt::LinkAction | Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(libraryView, &dropped);
    endOfEvent();
    ASSERT_EQ(model().characterLibrary().size(), 2u);
    EXPECT_EQ(model().characterLibrary().back()->characterFileURL(), dora);
    EXPECT_EQ(tabTitles().mid(2), (QStringList { QStringLiteral("Alice"), QStringLiteral("Dora") }));
    EXPECT_EQ(tabs->selectedTab(), 3);
    EXPECT_EQ(libraryView->currentCharacter(), model().characterLibrary().back());
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(QStringLiteral("/tmp/catpanel-libraryview.png"));
}

// A comic opened with a library shows it by its tab: that first showing offers the library's help
// as the catalog's click does, and the toolbar's help then answers for the library view.
TEST_F(CatalogPanelSyncTest, TheFirstLibraryShownByItsTabOffersAndRegistersItsHelp)
{
    HelpComicView::setAnimates(false);
    UserDefaults::standard().remove(kHiddenHelpPanelsKey);
    const QString alice
        = QDir(folder(CharacterLibraryItem::BuiltInCatalog)).filePath(QStringLiteral("Alice.parts"));
    model().setCharacterLibrary({ CharacterLibraryItem::initWithURL(alice) });
    panelWidget->updateViewTabs();
    ASSERT_TRUE(panelWidget->firstEntry());
    clickTab(2);
    QApplication::processEvents();
    auto* libraryView = panelWidget->findChild<CharacterLibraryView*>();
    ASSERT_TRUE(libraryView && libraryView->isVisible());
    EXPECT_FALSE(panelWidget->firstEntry());
    EXPECT_EQ(libraryView->helpPanelName(), HelpComicView::kLibraryViewHelp);
    HelpComicView* offered = HelpComicView::getOpenHelp(HelpComicView::kLibraryViewHelp, document);
    ASSERT_TRUE(offered);
    offered->closeAndRemove();
    EXPECT_TRUE(libraryView->helpPanelOffered()) << "the help command is on for the library view";
}

TEST_F(CatalogPanelSyncTest, TabsAndShelvesFollowSavesAndDeletions)
{
    // Castle (scenery) and Eve (user catalog) in the comic's library.
    clickTab(1);
    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Castle"))));
    clickTab(0);
    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Eve"))));
    endOfEvent();
    ASSERT_EQ(tabTitles().mid(2), (QStringList { QStringLiteral("Castle"), QStringLiteral("Eve") }));

    // Eve's file saved under a new character name: the catalog entry and its tab follow.
    const QString user = folder(CharacterLibraryItem::UserCatalog);
    const QString eveFile = QDir(user).filePath(QStringLiteral("Eve.parts"));
    DocumentError error;
    auto* eve = dynamic_cast<CharacterDocument*>(documents().openDocument(eveFile, &error));
    ASSERT_TRUE(eve);
    eve->model()->setCharacterName(QStringLiteral("Evelyn"));
    ASSERT_TRUE(eve->saveToFile(eveFile, SaveOperation::Save, &error));
    EXPECT_EQ(tabTitles().mid(2), (QStringList { QStringLiteral("Castle"), QStringLiteral("Evelyn") }));
    EXPECT_EQ(tabs->selectedTab(), 3);
    EXPECT_TRUE(names(*panelWidget->characterList()).contains(QStringLiteral("Evelyn")));

    // A new character saved into the user catalog joins its shelf.
    auto* gus = dynamic_cast<CharacterDocument*>(documents().makeUntitledDocument(kCharacterDocumentType));
    ASSERT_TRUE(gus);
    gus->model()->setCharacterName(QStringLiteral("Gus"));
    const qsizetype told = alerts.size();
    controller->saveCharacter(*gus, nullptr, CharacterLibraryItem::UserCatalog, QStringLiteral("Gus.parts"));
    EXPECT_TRUE(names(*panelWidget->characterList()).contains(QStringLiteral("Gus")));
    EXPECT_TRUE(QFile::exists(QDir(user).filePath(QStringLiteral("Gus.parts"))));
    // The save is told a moment later; that notice is waited for, so it cannot land among the alerts
    // of what follows.
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.size() > told; }));
    EXPECT_TRUE(alerts.last().message.contains(QStringLiteral("“Gus.parts” was saved to")))
        << alerts.last().message.toStdString();

    // Eve's file is open: it cannot be deleted. Closed, it can, and its tab goes, its shelf shown.
    alerts.clear();
    EXPECT_TRUE(chooseFromItemMenu(QStringLiteral("Evelyn"), CatalogCommands::kDeleteCatalogItemAction));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(
        alerts.first().message, QStringLiteral("The file cannot be deleted because it is currently open."));
    EXPECT_TRUE(QFile::exists(eveFile));
    ASSERT_TRUE(documents().windowFor(eve));
    documents().windowFor(eve)->close();
    QApplication::processEvents();
    clickTab(0);
    answers = { ModalAlert::kFirstButton };
    ASSERT_TRUE(chooseFromItemMenu(QStringLiteral("Evelyn"), CatalogCommands::kDeleteCatalogItemAction));
    EXPECT_FALSE(QFile::exists(eveFile));
    EXPECT_EQ(tabTitles().mid(2), QStringList { QStringLiteral("Castle") });
    EXPECT_FALSE(names(*panelWidget->characterList()).contains(QStringLiteral("Evelyn")));

    // Closing the scenery tab on show falls back to the scenery shelf.
    clickTab(2);
    clickTab(2, true);
    EXPECT_EQ(tabs->selectedTab(), 1);
    EXPECT_EQ(catalogView->catalog(), panelWidget->backgroundList());
    EXPECT_TRUE(model().characterLibrary().empty());

    // A revert brings back the file's library: its tabs follow.
    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Forest"))));
    endOfEvent();
    ASSERT_EQ(tabTitles().size(), 3);
    ASSERT_TRUE(document->revertToSaved(&error));
    EXPECT_EQ(tabTitles().size(), 2);
    EXPECT_EQ(tabs->selectedTab(), 0);
    EXPECT_FALSE(panelWidget->libraryView()->currentCharacter());
    EXPECT_TRUE(panelWidget->catalogViewBase()->isVisible());

    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT")) {
        QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Forest"))));
        endOfEvent();
        window->grab().save(QStringLiteral("/tmp/catpanel-library.png"));
        // Narrow, with more library files than fit: the selected tab stays in view, the rest listed.
        for (const QString& name :
            { QStringLiteral("Alice"), QStringLiteral("Bob"), QStringLiteral("Castle") })
            document->openAndShowCharacterFile(QDir(folder(0)).filePath(name + QStringLiteral(".parts")));
        clickTab(0);
        window->resize(330, 700);
        QApplication::processEvents();
        tabs->setSelectedTab(4);
        window->grab().save(QStringLiteral("/tmp/catpanel-narrow.png"));
    }
}

} // namespace
} // namespace zandrel::test
