// The comic window's catalog and library panel driven as a person would: tabs clicked, catalog
// characters clicked, dragged and handled from their menu, with the catalog folders, their
// manifests (read by Python's own reader) and the comic checked afterwards.
#include "CatalogPanelFixture.h"
#include "app/CatalogPaneHost.h"
#include "app/Pasteboard.h"
#include "app/core/CatalogCommands.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "panels/HelpComicView.h"
#include "support/TestSupport.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>

namespace zandrel::test {
namespace {

// The file names of a manifest's entries, as Python reads them.
QString manifestNames(const QString& folder)
{
    QFile file(QDir(folder).filePath(CatalogManifest::kFileName));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("(none)");
    QString output;
    runPython(QStringLiteral("import plistlib,sys\n"
                             "m = plistlib.loads(open(sys.argv[1],'rb').read())\n"
                             "print(' '.join(e['partsFilename'] for e in m['catalogItems']))\n"),
        file.readAll(), &output);
    return output.trimmed();
}

TEST_F(CatalogPanelTest, TabsSwitchShelvesAndTheShownTabOpensAndClosesThePane)
{
    EXPECT_EQ(tabTitles(), (QStringList { QStringLiteral("Vivaviv Izazuda"), QStringLiteral("Scenery") }));
    // Sorted by catalog, then name; the kind-2 file is on neither shelf.
    EXPECT_EQ(names(*panelWidget->characterList()),
        (QStringList {
            QStringLiteral("Alice"), QStringLiteral("Bob"), QStringLiteral("Dora"), QStringLiteral("Eve") }));
    EXPECT_EQ(names(*panelWidget->backgroundList()),
        (QStringList { QStringLiteral("Castle"), QStringLiteral("Forest") }));
    EXPECT_EQ(catalogView->catalog(), panelWidget->characterList());
    EXPECT_TRUE(panelWidget->catalogViewBase()->isVisible());
    EXPECT_FALSE(panelWidget->libraryViewBase()->isVisible());

    clickTab(1);
    EXPECT_EQ(tabs->selectedTab(), 1);
    EXPECT_EQ(catalogView->catalog(), panelWidget->backgroundList());
    EXPECT_TRUE(document->isCatalogViewOpen());
    // The shelf on show, clicked again, closes the pane down to its tabs, and opens it again.
    clickTab(1);
    EXPECT_FALSE(document->isCatalogViewOpen());
    EXPECT_FALSE(model().isCatalogViewOpen());
    // Once the pane has slid down out of sight.
    window->findChild<CatalogPaneHost*>()->finishSlide();
    EXPECT_FALSE(panelWidget->catalogViewBase()->isVisible());
    EXPECT_TRUE(tabs->isVisible());
    clickTab(1);
    EXPECT_TRUE(document->isCatalogViewOpen());
    EXPECT_TRUE(panelWidget->catalogViewBase()->isVisible());
    // Another tab always opens.
    clickTab(1);
    clickTab(0);
    EXPECT_TRUE(document->isCatalogViewOpen());
    EXPECT_EQ(catalogView->catalog(), panelWidget->characterList());
}

TEST_F(CatalogPanelTest, GridLaysOutCentredColumnsAndThumbnailsArriveFromTheBackground)
{
    const double width = catalogView->visibleWidth();
    const int perRow = catalogView->catalogItemsPerRow();
    ASSERT_GE(perRow, 4) << width;
    // Four items in one centred row at the pitch, under the top margin.
    const double left = std::floor((width - (4 * 160 + 20)) / 2 + 20);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(catalogView->getCatalogItemRect(i), QRectF(left + 160 * i, 30, 140, 100)) << i;
    EXPECT_EQ(catalogView->getContentBounds(), QRectF(0, 0, perRow * 160 + 20, 160 + 30));

    // The first drawing asks for the pictures; they come from the thread pool at the shown size.
    catalogView->repaint();
    CatalogThumbnailCache& cache = CatalogThumbnailCache::shared();
    cache.waitForDone();
    const QSize shown(
        qRound(140 * catalogView->devicePixelRatioF()), qRound(100 * catalogView->devicePixelRatioF()));
    for (const auto& item : *catalogView->catalog())
        EXPECT_EQ(cache.thumbnail(item->thumbnailFileURL(), shown).size(), shown)
            << item->characterName().toStdString();
    const QImage grabbed = catalogView->grab().toImage();
    // A thumbnail shows the character's skin colour; the space between items stays the background.
    const QPoint middle = itemPoint(0);
    const QColor between = grabbed.pixelColor(itemPoint(0) + QPoint(75, 0));
    EXPECT_EQ(between, catalogView->palette().color(QPalette::Base));
    bool drawn = false;
    for (int dx = -60; dx <= 60 && !drawn; dx += 4) {
        for (int dy = -40; dy <= 40 && !drawn; dy += 4)
            drawn = grabbed.pixelColor(middle + QPoint(dx, dy)) != between;
    }
    EXPECT_TRUE(drawn);
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT")) {
        window->grab().save(QStringLiteral("/tmp/catpanel-window.png"));
        tabs->grab().save(QStringLiteral("/tmp/catpanel-tabs.png"));
    }
}

TEST_F(CatalogPanelTest, ItemsPerRowAndContentFollowTheVisibleWidthAndScale)
{
    auto shelf = std::make_shared<CatalogView::Shelf>();
    for (int i = 0; i < 9; ++i)
        shelf->push_back(std::make_shared<CharacterLibraryItem>());
    catalogView->setCatalog(shelf);
    struct Case {
        int width;
        float scale;
        int perRow;
        double height;
    };
    for (const Case& c : { Case { 679, 1.0f, 4, 3 * 160 + 30 }, Case { 660, 1.0f, 4, 3 * 160 + 30 },
             Case { 659, 1.0f, 3, 3 * 160 + 30 }, Case { 179, 1.0f, 1, 9 * 160 + 30 },
             Case { 1358, 2.0f, 4, 3 * 160 + 30 }, Case { 100, 1.0f, 1, 9 * 160 + 30 } }) {
        catalogView->setViewScale(c.scale);
        catalogView->resize(c.width, 300);
        EXPECT_EQ(catalogView->catalogItemsPerRow(), c.perRow) << c.width;
        EXPECT_EQ(catalogView->getContentBounds(), QRectF(0, 0, c.perRow * 160 + 20, c.height)) << c.width;
    }
    // Three items where four fit: the three columns are centred.
    shelf->resize(3);
    catalogView->setViewScale(1.0f);
    catalogView->resize(679, 300);
    EXPECT_EQ(catalogView->getCatalogItemRect(0).x(), std::floor((679 - 500) / 2.0 + 20));
    EXPECT_EQ(catalogView->getCatalogItemRect(2).x(), std::floor((679 - 500) / 2.0 + 20) + 320);
    // Selecting past either end changes nothing; -1 clears.
    catalogView->setSelectedItemIndex(1);
    catalogView->setSelectedItemIndex(-2);
    catalogView->setSelectedItemIndex(3);
    EXPECT_EQ(catalogView->selectedItemIndex(), 1);
    catalogView->setSelectedItemIndex(-1);
    EXPECT_EQ(catalogView->selectedItemIndex(), -1);
}

TEST_F(CatalogPanelTest, ALargeShelfReadsOnlyTheThumbnailsInView)
{
    // 300 items, each with a thumbnail file of its own: the first drawing asks for those it shows.
    auto shelf = std::make_shared<CatalogView::Shelf>();
    const QString source = QDir(folder(0)).filePath(QStringLiteral("Alice.jpg"));
    for (int i = 0; i < 300; ++i) {
        auto item = std::make_shared<CharacterLibraryItem>();
        const QString thumbnail = dir.filePath(QStringLiteral("many/%1.jpg").arg(i));
        QDir().mkpath(dir.filePath(QStringLiteral("many")));
        ASSERT_TRUE(QFile::copy(source, thumbnail));
        item->setThumbnailFileURL(thumbnail);
        item->setCharacterName(QStringLiteral("Item %1").arg(i));
        shelf->push_back(item);
    }
    CatalogThumbnailCache& cache = CatalogThumbnailCache::shared();
    cache.waitForDone();
    const int before = cache.readsStarted();
    catalogView->setCatalog(shelf);
    catalogView->repaint();
    const QRectF visible = catalogView->visibleRect();
    int inView = 0;
    for (qsizetype i = 0; i < 300; ++i) {
        const QRectF reach = catalogView->getCatalogItemRect(i).adjusted(-1, -15, 1, 38);
        inView += visible.intersects(reach) ? 1 : 0;
    }
    ASSERT_GT(inView, 0);
    ASSERT_LT(inView, 60);
    EXPECT_EQ(cache.readsStarted() - before, inView);
    // Scrolled to the end, the last rows are read, and nothing already read is read again.
    catalogView->scrollPoint(QPointF(0, catalogView->getContentBounds().height()));
    catalogView->repaint();
    cache.waitForDone();
    EXPECT_FALSE(
        cache.thumbnail(shelf->back()->thumbnailFileURL(), QSize(140, 100) * catalogView->devicePixelRatioF())
            .isNull());
    EXPECT_LT(cache.readsStarted() - before, 2 * inView + 8);
}

TEST_F(CatalogPanelTest, ClickOpensACharacterIntoTheLibraryAndItsCloseBoxRemovesIt)
{
    const QString bobFile = QDir(folder(0)).filePath(QStringLiteral("Bob.parts"));
    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Bob"))));
    endOfEvent();
    ASSERT_EQ(model().characterLibrary().size(), 1u);
    const auto bob = model().characterLibrary().front();
    EXPECT_EQ(bob->characterFileURL(), bobFile);
    EXPECT_EQ(tabTitles().last(), QStringLiteral("Bob"));
    EXPECT_EQ(tabs->selectedTab(), 2);
    EXPECT_EQ(panelWidget->libraryView()->currentCharacter(), bob);
    EXPECT_TRUE(panelWidget->libraryViewBase()->isVisible());
    EXPECT_EQ(catalogView->selectedItemIndex(), -1);
    // The first showing of the library offers its help comic there, once.
    endOfEvent();
    HelpComicView* help = HelpComicView::getOpenHelp(HelpComicView::kLibraryViewHelp, document);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->parentWidget(), panelWidget->libraryViewBase());

    // Its tab, clicked while shown, closes the pane; its close box removes it from the comic.
    clickTab(2);
    EXPECT_FALSE(document->isCatalogViewOpen());
    clickTab(0);
    QTest::mouseClick(catalogView, Qt::LeftButton, {}, itemPoint(indexOf(QStringLiteral("Alice"))));
    endOfEvent();
    EXPECT_EQ(tabTitles().mid(2), (QStringList { QStringLiteral("Bob"), QStringLiteral("Alice") }));
    EXPECT_EQ(tabs->selectedTab(), 3);
    EXPECT_EQ(panelWidget->libraryViewBase()->findChildren<HelpComicView*>().size(), 1);
    clickTab(2, true);
    EXPECT_EQ(tabTitles().mid(2), QStringList { QStringLiteral("Alice") });
    EXPECT_EQ(tabs->selectedTab(), 2) << "the selected tab moved left with the closed one";
    clickTab(2, true);
    EXPECT_TRUE(model().characterLibrary().empty());
    EXPECT_EQ(tabs->selectedTab(), 0) << "a character's shelf takes the closed tab's place";
    EXPECT_FALSE(panelWidget->libraryView()->currentCharacter());
    EXPECT_TRUE(panelWidget->catalogViewBase()->isVisible());
    EXPECT_TRUE(document->isDocumentEdited());
}

TEST_F(CatalogPanelTest, MenuCommandsDeleteCopyAndSaveCatalogFiles)
{
    const QString user = folder(CharacterLibraryItem::UserCatalog);
    ASSERT_EQ(manifestNames(user), QStringLiteral("Eve.parts Forest.parts"));
    // A built-in character cannot be deleted or edited; it can be copied.
    EXPECT_FALSE(chooseFromItemMenu(QStringLiteral("Alice"), CatalogCommands::kDeleteCatalogItemAction));
    EXPECT_FALSE(chooseFromItemMenu(QStringLiteral("Alice"), CatalogCommands::kEditCatalogItemAction));
    EXPECT_EQ(catalogView->selectedItemIndex(), -1) << "a menu closed without a choice";

    answers = { ModalAlert::kFirstButton };
    ASSERT_TRUE(chooseFromItemMenu(QStringLiteral("Eve"), CatalogCommands::kDeleteCatalogItemAction));
    ASSERT_FALSE(alerts.isEmpty());
    EXPECT_EQ(alerts.last().message,
        QStringLiteral("Are you sure you want to delete the file named “Eve” from Vivaviv Izazuda?"));
    EXPECT_EQ(manifestNames(user), QStringLiteral("Forest.parts"));
    EXPECT_FALSE(QFile::exists(QDir(user).filePath(QStringLiteral("Eve.parts"))));
    EXPECT_FALSE(QFile::exists(QDir(user).filePath(QStringLiteral("Eve.jpg"))));
    EXPECT_EQ(indexOf(QStringLiteral("Eve")), -1) << "the shelf follows the catalog";

    const QByteArray alice = fileBytes(QDir(folder(0)).filePath(QStringLiteral("Alice.parts")));
    ASSERT_TRUE(chooseFromItemMenu(QStringLiteral("Alice"), CatalogCommands::kCopyToUserCatalogAction));
    EXPECT_EQ(manifestNames(user), QStringLiteral("Forest.parts Alice.parts"));
    EXPECT_EQ(fileBytes(QDir(user).filePath(QStringLiteral("Alice.parts"))), alice);
    EXPECT_EQ(names(*panelWidget->characterList()).count(QStringLiteral("Alice")), 2);
    // The copy says so a moment later; waited for, so that it does not land among the next alerts.
    const QString saved = QStringLiteral("The character file “Alice.parts” was saved to Vivaviv Izazuda.");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alerts.isEmpty() && alerts.last().message == saved; }));

    const QString copy = dir.filePath(QStringLiteral("copy of Bob.parts"));
    QString suggested;
    CatalogView::setSavePathChooser([&](QWidget*, const QString& name, auto completion) {
        suggested = name;
        completion(copy);
    });
    ASSERT_TRUE(chooseFromItemMenu(QStringLiteral("Bob"), CatalogCommands::kSaveACopyAction));
    EXPECT_EQ(suggested, QStringLiteral("Bob.parts"));
    EXPECT_EQ(fileBytes(copy), fileBytes(QDir(folder(0)).filePath(QStringLiteral("Bob.parts"))));
    EXPECT_EQ(catalogView->selectedItemIndex(), -1);
    // A copy that cannot be written says so and leaves nothing behind.
    const QString nowhere = dir.filePath(QStringLiteral("no such folder/Bob.parts"));
    CatalogView::setSavePathChooser([&](QWidget*, const QString&, auto completion) { completion(nowhere); });
    alerts.clear();
    ASSERT_TRUE(chooseFromItemMenu(QStringLiteral("Bob"), CatalogCommands::kSaveACopyAction));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("A copy of “Bob.parts” could not be saved."));
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

// A catalog file lays out spare parts beside its figure: a drag brings what the thumbnail frames,
// or every part when the thumbnail frames none.
TEST_F(CatalogPanelTest, ADragBringsThePartsTheThumbnailShows)
{
    const CharacterModelPtr sheet = makeCharacter(QStringLiteral("Sheet"), 4, 1);
    sheet->setThumbnailScale(1.0f);
    const QString path = dir.filePath(QStringLiteral("Sheet.parts"));
    const struct {
        QPointF origin;
        qsizetype parts;
    } cases[] = { { QPointF(0, 0), 2 }, { QPointF(5000, 5000), 4 } };
    for (const auto& c : cases) {
        sheet->setThumbnailOrigin(c.origin);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*sheet));
        file.close();
        const auto item = CharacterLibraryItem::initWithURL(path);
        const PasteboardParentPtr payload = CatalogCommands::dragPayload(*item);
        ASSERT_TRUE(payload);
        EXPECT_EQ(payload->children().size(), c.parts);
    }
}

TEST_F(CatalogPanelTest, ADragOutCarriesTheFileAndPartsThatTheComicTakes)
{
    const auto target = panel(1);
    model().setCurrentPanel(target);
    const QByteArray before = bytes();
    const qsizetype had = target->frontLayer()->children().size();
    QList<QUrl> urls;
    PasteboardParentPtr payload;
    bool entered = false;
    Qt::DropAction answer = Qt::IgnoreAction;
    // The platform's drag loop delivers the drag to the comic as a person dropping it there would.
    CatalogView::setDragRunner([&](QDrag& drag) {
        QMimeData* carried = drag.mimeData();
        urls = carried->urls();
        payload = Pasteboard::readPayload(carried);
        const QPoint at = this->at(target->bounds().center());
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, carried, Qt::LeftButton, {});
        QApplication::sendEvent(view, &enter);
        entered = enter.isAccepted();
        answer = enter.dropAction();
        QDropEvent dropped(at, Qt::CopyAction | Qt::LinkAction, carried, Qt::LeftButton, {});
        QApplication::sendEvent(view, &dropped);
        return dropped.dropAction();
    });
    const QPoint start = itemPoint(indexOf(QStringLiteral("Alice")));
    const QPoint moved = start + QPoint(12, 5);
    QTest::mousePress(catalogView, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(moved), catalogView->mapToGlobal(QPointF(moved)),
        Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(catalogView, &move);
    QTest::mouseRelease(catalogView, Qt::LeftButton, {}, moved);
    endOfEvent();
    EXPECT_TRUE(model().characterLibrary().empty()) << "a drag opens nothing";
    EXPECT_EQ(catalogView->selectedItemIndex(), -1);
    EXPECT_EQ(
        urls, QList<QUrl> { QUrl::fromLocalFile(QDir(folder(0)).filePath(QStringLiteral("Alice.parts"))) });
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->children().size(), 3);

    // Taken in as any library drag is: one step, the parts in the panel and their character in the cast.
    EXPECT_TRUE(entered);
    EXPECT_EQ(answer, Qt::CopyAction);
    EXPECT_EQ(target->frontLayer()->children().size(), had + 3);
    EXPECT_TRUE(model().characterById(payload->characterId()));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Drag in character parts"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel::test
