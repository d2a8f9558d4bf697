// Document windows on the offscreen platform: real windows, menus and shortcuts, the responder
// chain, validation, the model, the undo stack and the edited mark.
#include "WindowTestSupport.h"
#include "app/CharacterWindowContents.h"
#include "app/DocumentToolbar.h"
#include "app/EditingControllerView.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/Part.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "views/EditingLevelControl.h"
#include "views/ElementEditingView.h"
#include "views/PartsView.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <sys/fsuid.h>
#include <unistd.h>

namespace zandrel {
namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DocumentWindowTest : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("Bob.parts"));
        original = archivedPartsFile(*test::makeCharacter(QStringLiteral("Bob"), 3, 2));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(original);
    }

    // Opens the file in its window and waits until the window is shown and active.
    DocumentWindow* openWindow()
    {
        DocumentError error;
        auto* document = documents().openDocument(path, &error);
        EXPECT_TRUE(document) << error.failureReason.toStdString();
        DocumentWindow* window = documents().windowFor(document);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        window->activateWindow();
        QTest::qWaitForWindowActive(window);
        return window;
    }

    static CharacterDocument* characterOf(DocumentWindow* window)
    {
        return dynamic_cast<CharacterDocument*>(window->document());
    }

    QTemporaryDir dir;
    QString path;
    QByteArray original;
};

TEST_F(DocumentWindowTest, MenusValidateRetitleAndSendThroughTheChain)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    ASSERT_TRUE(document);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Bob.parts[*]"));
    EXPECT_FALSE(window->isWindowModified());

    // Nothing to undo, no tracing image: those items are off; the file items are on.
    EXPECT_FALSE(showMenuItem(window, kUndoAction)->isEnabled());
    EXPECT_EQ(menuItem(window, kUndoAction)->text(), QStringLiteral("Undo"));
    EXPECT_FALSE(showMenuItem(window, kClearTracingImageAction)->isEnabled());
    EXPECT_FALSE(showMenuItem(window, kRevertDocumentAction)->isEnabled());
    EXPECT_TRUE(menuItem(window, kSaveDocumentAction)->isEnabled());
    // Part types come from the code-built menu; no view takes them yet.
    EXPECT_FALSE(showMenuItem(window, kSetPartTypeAction)->isEnabled());

    // The tracing image through the view's own command (first in the chain), then the document's.
    QImage pixels(60, 40, QImage::Format_RGB32);
    pixels.fill(Qt::darkGray);
    const QString png = dir.filePath(QStringLiteral("trace.png"));
    ASSERT_TRUE(pixels.save(png));
    PartsView::setImageChooser([png] { return png; });
    showMenuItem(window, kOpenTracingImageAction)->trigger();
    PartsView::setImageChooser({});
    ASSERT_TRUE(document->model()->tracingImage());
    EXPECT_TRUE(window->isWindowModified());
    QAction* toggle = showMenuItem(window, kToggleTracingImageAction);
    EXPECT_TRUE(toggle->isEnabled());
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(document->model()->tracingImageVisible());
    EXPECT_FALSE(showMenuItem(window, kToggleTracingImageAction)->isChecked());

    // A named step retitles Undo; undoing through the menu changes the model back.
    const ZDLColorPtr coat = document->model()->getColorNamed(QStringLiteral("Coat"));
    document->undoableDeleteColor(coat, document->model(), document->model()->whiteColor());
    QTest::qWait(1);
    QAction* undo = showMenuItem(window, kUndoAction);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("Undo Delete Color"));
    undo->trigger();
    EXPECT_TRUE(document->model()->ownsColor(coat.get()));
    EXPECT_EQ(showMenuItem(window, kRedoAction)->text(), QStringLiteral("Redo Delete Color"));
}

TEST_F(DocumentWindowTest, ShortcutSavesClearsTheMarkAndRevertReturnsToIt)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    document->undoableSetPropertyFor(
        document->model(), QStringLiteral("characterName"), Value(QStringLiteral("Robert")));
    QTest::qWait(1);
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_TRUE(showMenuItem(window, kRevertDocumentAction)->isEnabled());

    // Ctrl stands for the platform's Command key.
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(readPartsFile(readAll(path))->characterName(), QStringLiteral("Robert"));
    const QByteArray saved = readAll(path);

    document->undoableSetPropertyFor(
        document->model(), QStringLiteral("characterName"), Value(QStringLiteral("Rob")));
    QTest::qWait(1);
    answers = { ModalAlert::kFirstButton };
    showMenuItem(window, kRevertDocumentAction)->trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().message.startsWith(QStringLiteral("Do you want to revert")));
    EXPECT_EQ(document->model()->characterName(), QStringLiteral("Robert"));
    EXPECT_EQ(readAll(path), saved);
    EXPECT_FALSE(window->isWindowModified());
    // The view follows the new model.
    auto* view = window->findChild<PartsView*>();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->rootObject(), document->model());
}

TEST_F(DocumentWindowTest, AFailedSaveTellsTheUserAndKeepsTheOldFile)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    document->undoableSetPropertyFor(
        document->model(), QStringLiteral("characterName"), Value(QStringLiteral("Lost")));
    QTest::qWait(1);
    QFile::setPermissions(dir.path(),
        QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther);
    if (geteuid() == 0)
        setfsuid(65534);
    menuItem(window, kSaveDocumentAction)->trigger();
    if (geteuid() == 0)
        setfsuid(0);
    QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("The document “Bob.parts” could not be saved."));
    EXPECT_FALSE(alerts.first().informativeText.isEmpty());
    EXPECT_EQ(readAll(path), original);
    EXPECT_TRUE(window->isWindowModified());
}

TEST_F(DocumentWindowTest, UntitledDocumentsAskBeforeClosingAndSaveWhereChosen)
{
    auto* document
        = dynamic_cast<CharacterDocument*>(documents().makeUntitledDocument(kCharacterDocumentType));
    ASSERT_TRUE(document);
    DocumentWindow* window = documents().windowFor(document);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Untitled[*]"));
    document->undoableSetPropertyFor(
        document->model(), QStringLiteral("characterName"), Value(QStringLiteral("New")));
    QTest::qWait(1);
    EXPECT_TRUE(window->isWindowModified());

    // Cancel keeps the window; Save asks where and writes there.
    answers = { ModalAlert::kSecondButton };
    EXPECT_FALSE(window->close());
    EXPECT_EQ(alerts.last().buttons,
        (QStringList { QStringLiteral("Save"), QStringLiteral("Cancel"), QStringLiteral("Don’t Save") }));
    const QString chosen = dir.filePath(QStringLiteral("New.parts"));
    DocumentWindow::setSavePathChooser([chosen](DocumentWindow&, const QString& suggested) {
        EXPECT_EQ(suggested, QStringLiteral("New.parts"));
        return chosen;
    });
    answers = { ModalAlert::kFirstButton };
    EXPECT_TRUE(window->close());
    QApplication::processEvents();
    EXPECT_EQ(readPartsFile(readAll(chosen))->characterName(), QStringLiteral("New"));
    EXPECT_TRUE(documents().documents().isEmpty());
    EXPECT_EQ(documents().recentDocumentURLs(), QStringList { QFileInfo(chosen).absoluteFilePath() });
}

TEST_F(DocumentWindowTest, OpeningTheSameFileTwiceShowsOneWindowAndBadFilesAreReported)
{
    DocumentWindow* window = openWindow();
    DocumentError error;
    EXPECT_EQ(documents().openDocument(path, &error), window->document());
    EXPECT_EQ(documents().documents().size(), 1);

    const QString bad = dir.filePath(QStringLiteral("bad.parts"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("bplist00 but nothing more");
    file.close();
    EXPECT_FALSE(documents().openDocumentShowingErrors(bad));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("The document “bad.parts” could not be opened."));
    EXPECT_EQ(alerts.first().informativeText, QStringLiteral("The data is corrupted."));
}

TEST_F(DocumentWindowTest, EditorsCoverTheViewAndTheToolbarLeavesThem)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    auto* view = window->findChild<PartsView*>();
    auto* partEditor = window->findChild<EditingControllerView*>(QStringLiteral("partEditor"));
    ASSERT_TRUE(view && partEditor);
    QAction* leave = toolbarItem(window, kPopEditorAction);
    ASSERT_TRUE(leave);
    EXPECT_FALSE(leave->isEnabled());
    // Without a tracing image its toggle is off, not on and disabled.
    QAction* tracing = toolbarItem(window, kToggleTracingImageAction);
    ASSERT_TRUE(tracing);
    EXPECT_FALSE(tracing->isEnabled());
    EXPECT_FALSE(tracing->isChecked()) << tracing->isCheckable();

    const ObjectPtr part = document->model()->getChildAtIndex(1);
    document->edit(part);
    QApplication::processEvents();
    EXPECT_TRUE(partEditor->isVisible());
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(partEditor->editingView()->rootObject(), part);
    EXPECT_EQ(
        partEditor->levelText(), QStringLiteral("Bob \u203A ") + asProtocol<Parent>(part)->displayName());
    EXPECT_TRUE(leave->isEnabled());

    leave->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(partEditor->isVisible());
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(document->currentEditor(), nullptr);
}

TEST_F(DocumentWindowTest, TheBackgroundPopupActsOnlyWhereTheEditorDrawsABackground)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    QComboBox* popup = window->documentToolbar().backgroundStylePopup();
    const auto settings = document->documentSettings();
    // The parts view draws every part on white: the choice would change nothing there but the file.
    EXPECT_FALSE(popup->isEnabled());
    QTest::keyClick(popup, Qt::Key_Down);
    EXPECT_EQ(settings->backgroundStyle(), 0);
    EXPECT_EQ(popup->currentIndex(), 0);

    document->edit(document->model()->getChildAtIndex(1));
    QApplication::processEvents();
    ASSERT_TRUE(popup->isEnabled());
    QTest::keyClick(popup, Qt::Key_Down);
    EXPECT_EQ(settings->backgroundStyle(), 1);
    QTest::keyClick(popup, Qt::Key_Down);
    EXPECT_EQ(settings->backgroundStyle(), 2);

    toolbarItem(window, kPopEditorAction)->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(popup->isEnabled());
    EXPECT_EQ(popup->currentIndex(), 2) << "it still shows the editors' background";

    // The comic view draws none either.
    DocumentWindow* comic = documents().windowFor(documents().makeUntitledDocument(kComicDocumentType));
    EXPECT_FALSE(comic->documentToolbar().backgroundStylePopup()->isEnabled());
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

// Writes the version header of a newer program whose files this one reads with possible loss.
class NewerProgram : public ZDLAppController {
public:
    void encodeFileVersion(qint32 fileVersion, const QString& minimumAppVersion, qint32 losslessVersion,
        const QString& losslessAppVersion, KeyedArchiver& coder) const override
    {
        ZDLAppController::encodeFileVersion(
            fileVersion, minimumAppVersion, losslessVersion + 1, "2.0", coder);
    }
};

TEST_F(DocumentWindowTest, DecliningALossyReadShowsNoError)
{
    // The file is written by the newer program, then read by this one.
    auto* running = ZDLAppController::install(std::make_unique<NewerProgram>());
    const QByteArray newer = archivedPartsFile(*test::makeCharacter(QStringLiteral("Future"), 1, 1));
    ASSERT_NE(running, nullptr);
    SetUp();
    const QString file = dir.filePath(QStringLiteral("Future.parts"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(newer);
    out.close();

    answers = { ModalAlert::kFirstButton };
    EXPECT_FALSE(documents().openDocumentShowingErrors(file));
    ASSERT_EQ(alerts.size(), 1) << "the question only: cancelling is no error to report";
    EXPECT_EQ(alerts.first().informativeText,
        QStringLiteral("Zandrel version 2.0 or later can open this file without data loss."));
    EXPECT_EQ(alerts.first().buttons, (QStringList { QStringLiteral("Cancel"), QStringLiteral("Continue") }));

    answers = { ModalAlert::kSecondButton };
    auto* document = dynamic_cast<CharacterDocument*>(documents().openDocumentShowingErrors(file));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->model()->characterName(), QStringLiteral("Future"));
}

TEST_F(DocumentWindowTest, LeavingTheWindowWritesTheDocument)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    document->undoableSetPropertyFor(
        document->model(), QStringLiteral("characterName"), Value(QStringLiteral("Away")));
    QTest::qWait(1);
    ASSERT_TRUE(window->isWindowModified());
    // Another window takes the focus.
    auto* other = documents().makeUntitledDocument(kCharacterDocumentType);
    DocumentWindow* otherWindow = documents().windowFor(other);
    otherWindow->activateWindow();
    QTest::qWaitForWindowActive(otherWindow);
    // The write runs in the background: wait for it rather than for a fixed time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isWindowModified(); }, 5000));
    EXPECT_EQ(readPartsFile(readAll(path))->characterName(), QStringLiteral("Away"));
}

TEST_F(DocumentWindowTest, ClosingAnEditorLeavesItsViewWithoutRootOrSelection)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    auto* partEditor = window->findChild<EditingControllerView*>(QStringLiteral("partEditor"));
    auto part = std::dynamic_pointer_cast<Part>(document->model()->getChildAtIndex(0));
    document->edit(part);
    partEditor->editingView()->undoableSetSelection({ part->getChildAtIndex(0) }, false);
    document->edit(nullptr);
    EXPECT_EQ(partEditor->editingView()->rootObject(), nullptr);
    EXPECT_TRUE(partEditor->editingView()->selection().isEmpty());
    EXPECT_EQ(partEditor->levelControl().numLevels(), 0);

    // A window closed with an editor open closes the editor before the window's contents go.
    document->edit(part);
    QPointer<DocumentWindow> closing(window);
    EXPECT_TRUE(window->close());
    QTest::qWaitFor([&] { return closing.isNull(); });
    EXPECT_TRUE(closing.isNull());
    EXPECT_TRUE(documents().documents().isEmpty());
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST_F(DocumentWindowTest, ThePartsViewPopupListsTheTypesInUseAndShowsOneAtATime)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    auto* popup = window->findChild<QToolButton*>(QStringLiteral("partsViewPopup"));
    auto* view = window->findChild<PartsView*>();
    ASSERT_TRUE(popup && view);
    QMenu* menu = popup->menu();
    emit menu->aboutToShow();
    QStringList titles;
    QList<int> tags;
    for (QAction* item : menu->actions()) {
        titles.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        tags.append(MenuActions::tagOf(item));
    }
    // The fixture's three parts have the types 0, 1 and 2.
    QStringList expected { QStringLiteral("All with Poses"), QStringLiteral("-"),
        QStringLiteral("Part Types") };
    for (int type : document->model()->getPartTypesSorted())
        expected.append(Part::pluralNameForType(static_cast<PartType>(type)));
    EXPECT_EQ(titles, expected);
    EXPECT_EQ(tags.mid(3), document->model()->getPartTypesSorted());
    EXPECT_EQ(popup->text(), QStringLiteral("All with Poses"));

    menu->actions().at(4)->trigger();
    QTest::qWait(1);
    EXPECT_EQ(view->viewPartType(), tags.at(4));
    EXPECT_EQ(popup->text(), titles.at(4));

    // Scenery names the first item after scenes.
    document->model()->setPartsKind(1);
    EXPECT_EQ(menu->actions().first()->text(), QStringLiteral("All with Scenes"));
    menu->actions().first()->trigger();
    QTest::qWait(1);
    EXPECT_EQ(view->viewPartType(), -1);
    EXPECT_EQ(popup->text(), QStringLiteral("All with Scenes"));
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST_F(DocumentWindowTest, DoubleClickingAPartOpensItsEditorAndAGroupInsideGoesDeeper)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    auto* view = window->findChild<PartsView*>();
    auto* partEditor = window->findChild<EditingControllerView*>(QStringLiteral("partEditor"));
    const auto part = std::dynamic_pointer_cast<Part>(document->model()->getChildAtIndex(1));
    // The fixture's part is a star around (170, 50); a click at its centre hits it.
    const QPoint centre = view->viewTransform().map(QPointF(170, 50)).toPoint();
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    EXPECT_EQ(view->selection(), ElementList { part });
    doubleClick(view, centre);
    QApplication::processEvents();
    EXPECT_EQ(document->currentEditObject(), part);
    EXPECT_TRUE(partEditor->isVisible());

    // Inside the part, a double click on one of the group's two squares edits the group.
    ZDLView* inner = partEditor->editingView();
    const auto group = part->getChildAtIndex(2);
    const QRectF squares = asProtocol<GraphicElement>(group)->getBounds();
    const QPoint onSquare = inner->viewTransform().map(squares.topLeft() + QPointF(4, 4)).toPoint();
    doubleClick(inner, onSquare);
    EXPECT_EQ(document->currentEditObject(), group);
    EXPECT_EQ(partEditor->levelControl().numLevels(), 3);

    // The crumbs climb back: the part's, then the character's, the default view.
    EditingLevelControl* bar = partEditor->levelBar();
    bar->layoutCrumbs();
    ASSERT_EQ(bar->crumbs().size(), 3);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->crumbs().at(1).bounds.center().toPoint());
    QTest::qWaitFor([&] { return document->currentEditObject() == part; });
    EXPECT_EQ(document->currentEditObject(), part);
    bar->layoutCrumbs();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->crumbs().at(0).bounds.center().toPoint());
    QTest::qWaitFor([&] { return !document->currentEditor(); });
    EXPECT_EQ(document->currentEditor(), nullptr);
    EXPECT_TRUE(view->isVisible());
}

} // namespace
} // namespace zandrel

namespace zandrel {
namespace {

TEST_F(DocumentWindowTest, RecentFilesAreListedNewestFirstAndReopen)
{
    DocumentWindow* window = openWindow();
    const QString other = dir.filePath(QStringLiteral("Other.parts"));
    QFile::copy(path, other);
    DocumentError error;
    ASSERT_TRUE(documents().openDocument(other, &error));
    EXPECT_EQ(documents().recentDocumentURLs(),
        (QStringList { QFileInfo(other).absoluteFilePath(), QFileInfo(path).absoluteFilePath() }));

    // The submenu is built when it opens: the newest first, titled with the file's name.
    auto* recent = window->menuBar()->findChild<QMenu*>();
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
        if (menu->title() == QStringLiteral("Open Recent"))
            recent = menu;
    }
    ASSERT_EQ(recent->title(), QStringLiteral("Open Recent"));
    emit recent->aboutToShow();
    ASSERT_GE(recent->actions().size(), 2);
    EXPECT_EQ(recent->actions().at(0)->text(), QStringLiteral("Other.parts"));
    EXPECT_EQ(recent->actions().at(1)->text(), QStringLiteral("Bob.parts"));

    documents().windowFor(documents().documentForFile(other))->close();
    QApplication::processEvents();
    ASSERT_FALSE(documents().documentForFile(other));
    emit recent->aboutToShow();
    recent->actions().at(0)->trigger();
    EXPECT_TRUE(documents().documentForFile(other));
}

TEST_F(DocumentWindowTest, TheMenusSaveToTheShelfAndMakeANewPart)
{
    controller->setAppSupportFolder(dir.filePath(QStringLiteral("support")));
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    ASSERT_TRUE(document);

    // The File menu's item is named after the shelf and saves under the file's own name.
    QAction* save = showMenuItem(window, kSaveToCatalogAction);
    ASSERT_TRUE(save);
    EXPECT_EQ(save->text(), QStringLiteral("Save to Vivaviv Izazuda"));
    ASSERT_TRUE(save->isEnabled());
    save->trigger();
    const QString saved = QDir(controller->getCatalogFolderURL(CharacterLibraryItem::UserCatalog))
                              .filePath(QStringLiteral("Bob.parts"));
    EXPECT_TRUE(QFile::exists(saved));

    // The Character menu's new part opens the part editor on it; inside, it is off.
    QAction* newPart = showMenuItem(window, kCreateNewPartAction);
    ASSERT_TRUE(newPart);
    ASSERT_TRUE(newPart->isEnabled());
    newPart->trigger();
    ASSERT_TRUE(document->currentEditor());
    EXPECT_TRUE(dynamic_cast<Part*>(document->currentEditObject().get()));
    EXPECT_FALSE(showMenuItem(window, kCreateNewPartAction)->isEnabled());
}

TEST_F(DocumentWindowTest, TheThumbnailEditorShowsWhereItIsAndTheCharacterCrumbLeavesIt)
{
    DocumentWindow* window = openWindow();
    CharacterDocument* document = characterOf(window);
    ASSERT_TRUE(document);
    auto* bar = window->findChild<EditingLevelControl*>(QStringLiteral("navigationBar"));
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isVisible());

    showMenuItem(window, kToggleThumbnailEditorAction)->trigger();
    ASSERT_TRUE(bar->isVisible());
    ASSERT_EQ(bar->numLevels(), 2);
    EXPECT_EQ(document->navigationLevels().levels().at(0).title, QStringLiteral("Bob"));
    EXPECT_EQ(bar->representedObjectAtLevel(0), document->model());
    EXPECT_EQ(document->navigationLevels().levels().at(1).title, QStringLiteral("Thumbnail editor"));
    EXPECT_FALSE(bar->representedObjectAtLevel(1));

    // Renaming the character renames its crumb.
    document->model()->setCharacterName(QStringLiteral("Robert"));
    EXPECT_EQ(document->navigationLevels().levels().at(0).title, QStringLiteral("Robert"));

    // A click on the character's crumb leaves the mode; the bar goes with it.
    bar->layoutCrumbs();
    ASSERT_EQ(bar->crumbs().size(), 2);
    const QPoint inCharacter = bar->crumbs().at(0).bounds.center().toPoint();
    QTest::mouseClick(bar, Qt::LeftButton, {}, inCharacter);
    QTRY_VERIFY(!bar->isVisible());
    EXPECT_FALSE(showMenuItem(window, kToggleThumbnailEditorAction)->isChecked());
    EXPECT_EQ(bar->numLevels(), 0);
}

} // namespace
} // namespace zandrel
