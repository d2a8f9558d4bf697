// The comic window as a person uses it: new comics, the page drawn at every zoom, clicks that pick
// panels and elements, the page controls, the structure commands with their undo steps, and files.
#include "ComicWindowFixture.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ZDLContext.h"
#include "panels/HelpComicView.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/PainterCanvas.h"
#include "support/TestSupport.h"
#include "views/BalloonTextEditor.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <sys/fsuid.h>
#include <unistd.h>

namespace zandrel {
namespace {

class ComicViewTest : public test::ComicWindowTest {
protected:
    // The visible part of the view as the model draws the page there: white page, the model's drawing
    // at the view's transform, the off-page shade.
    QImage expectedRendering()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(view->palette().window().color());
        QPainter painter(&image);
        PainterCanvas canvas(&painter);
        canvas.concatenate(view->viewTransform());
        CanvasScope scope(&canvas);
        canvas.fillRect(model().bounds(), CanvasPaint(Qt::white));
        ZDLContext context(*view);
        model().drawIn(context, view->visibleRect());
        view->drawPasteboardOverlay();
        return image;
    }
};

TEST_F(ComicViewTest, NewComicOpensAComicWindowLaidOutAsTheSheetWouldPropose)
{
    choose(kNewComicAction);
    auto* opened = qobject_cast<DocumentWindow*>(QApplication::activeWindow());
    ASSERT_TRUE(opened && opened != window);
    auto* comic = dynamic_cast<ComicDocument*>(opened->document());
    auto* shown = opened->findChild<ComicView*>();
    ASSERT_TRUE(comic && shown);
    // The new-comic sheet over the comic takes what it proposes.
    auto* sheet = opened->findChild<QDialog*>(QStringLiteral("NewComicSheet"));
    ASSERT_TRUE(sheet);
    QTest::qWait(1);
    // Meanwhile the comic takes no commands: the sheet rebuilds it and would throw their work away.
    const auto offered
        = [opened](const QString& action) { return showMenuItem(opened, action)->isEnabled(); };
    const QString waiting[] = { kAddBalloonAction, kInsertRowAction, kNewFloatingPanelAction,
        kEditCharacterColorsAction, kPropertiesDialogAction };
    for (const QString& action : waiting)
        EXPECT_FALSE(offered(action)) << action.toStdString();
    EXPECT_TRUE(offered(kSaveDocumentAction));
    EXPECT_FALSE(HelpComicView::getOpenHelp(HelpComicView::kComicViewHelp, comic))
        << "the sheet stays in sight";
    QTest::mouseClick(sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    QTest::qWait(1);
    for (const QString& action : waiting)
        EXPECT_TRUE(offered(action)) << action.toStdString();
    EXPECT_EQ(showMenuItem(opened, kPropertiesDialogAction)->text(), QStringLiteral("Comic Properties…"));
    EXPECT_TRUE(shown->hasFocus());
    EXPECT_TRUE(HelpComicView::getOpenHelp(HelpComicView::kComicViewHelp, comic));
    EXPECT_EQ(comic->model()->numPages(), 1);
    EXPECT_EQ(comic->model()->size(), QSizeF(900, 300));
    ComicStructureList panels;
    comic->model()->getPanelsInArray(panels);
    EXPECT_EQ(panels.size(), 4u);
    EXPECT_EQ(shown->rootObject(), ObjectPtr(comic->model()->currentPanel()->frontLayer()));
    EXPECT_EQ(comic->model()->currentPanel(), panels.front());
    EXPECT_FALSE(opened->findChild<ComicPageNavigation*>()->isVisible()) << "one page: no page controls";
    // The keys go to the comic at once.
    QTest::keyClick(shown, Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(comic->model()->currentPanel()->frontLayer()->children().size(), 1u);
}

TEST_F(ComicViewTest, ThePageIsDrawnByTheModelAtEveryStepOfTheZoomTable)
{
    for (const float scale : ZDLView::kViewScaleTable) {
        view->setViewScale(scale);
        view->scrollToCenterDocPoint(QPointF(120, 80));
        const QImage drawn = view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage expected = expectedRendering().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(drawn.size(), expected.size());
        int different = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                different += std::abs(qGray(drawn.pixel(x, y)) - qGray(expected.pixel(x, y))) > 24;
        }
        EXPECT_LE(different, drawn.width() * drawn.height() / 200) << "at " << scale;
        EXPECT_FLOAT_EQ(document->documentSettings()->mainViewScale(), scale) << "kept with the comic";
    }
}

TEST_F(ComicViewTest, TheViewLooksLikeTheReferenceWithinTolerance)
{
    view->setViewScale(2.0f);
    view->scrollToCenterDocPoint(QPointF(120, 80));
    const QPoint centre = at(QPointF(120, 80));
    const QImage drawn = view->grab(QRect(centre - QPoint(250, 170), QSize(500, 340))).toImage();
    test::expectLikeReferenceImage(drawn.convertToFormat(QImage::Format_RGB32),
        QStringLiteral("tests/views/data/comic-view-200.png"), 24, 100);
}

TEST_F(ComicViewTest, ClicksPickThePanelAndSelectInItsLayerWithoutAnUndoStep)
{
    const auto target = panel(4);
    const ObjectPtr part = target->backLayer()->children().value(0);
    ASSERT_TRUE(part);
    // The back layer is edited to reach the part; then a click on it selects it in panel 5.
    choose(kToggleEditBackgroundAction);
    EXPECT_EQ(view->rootObject(), ObjectPtr(model().currentPanel()->backLayer()));
    const QPointF onPart = asProtocol<GraphicElement>(part)->getBounds().center();
    ASSERT_TRUE(target->frameContains(onPart));
    click(onPart);
    EXPECT_EQ(model().currentPanel(), target);
    EXPECT_EQ(view->rootObject(), ObjectPtr(target->backLayer()));
    EXPECT_EQ(view->selection(), ElementList { part });
    // A click inside another panel's frame makes it current and empties the selection.
    click(panel(0)->bounds().center());
    EXPECT_EQ(model().currentPanel(), panel(0));
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_FALSE(document->undoManager()->canUndo()) << "looking around is no edit";
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(ComicViewTest, OnlyWhatTheNotificationsNameIsRepainted)
{
    model().setCurrentPanel(panel(0));
    QTest::qWait(20);
    QRegion painted;
    struct Recorder : QObject {
        QRegion* region;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                *region += static_cast<QPaintEvent*>(event)->region();
            return false;
        }
    } recorder;
    recorder.region = &painted;
    view->installEventFilter(&recorder);
    const QRectF dirty(30, 20, 20, 10);
    document->updateViewsRect(dirty, false);
    QTest::qWait(20);
    // The rect and the few screen points of the outset around it, nothing more.
    const QRect named = view->viewTransform().mapRect(dirty).toAlignedRect();
    EXPECT_TRUE(painted.contains(named));
    EXPECT_TRUE(QRegion(named.adjusted(-4, -4, 4, 4)).contains(painted.boundingRect()));
    // A change of the current panel redraws the old and the new panel with their highlight.
    painted = QRegion();
    model().setCurrentPanel(panel(2));
    QTest::qWait(20);
    EXPECT_TRUE(painted.contains(at(panel(2)->bounds().center())));
    EXPECT_TRUE(painted.contains(at(panel(0)->bounds().center())));
    EXPECT_FALSE(painted.contains(at(panel(3)->bounds().center())));
    view->removeEventFilter(&recorder);
}

TEST_F(ComicViewTest, PageControlsFollowTheComicAndTurnPages)
{
    DocumentWindow* rich = openComic(QStringLiteral("Rich"), test::richComic());
    ASSERT_TRUE(rich);
    auto* comic = dynamic_cast<ComicDocument*>(rich->document());
    auto* shown = rich->findChild<ComicView*>();
    auto* navigation = rich->findChild<ComicPageNavigation*>();
    ASSERT_TRUE(navigation->isVisible());
    ASSERT_EQ(navigation->pagePopup()->count(), 2);
    EXPECT_EQ(navigation->pagePopup()->itemText(0), QStringLiteral("1"));
    EXPECT_EQ(navigation->pagePopup()->currentIndex(), 1);
    EXPECT_TRUE(navigation->previousButton()->isEnabled());
    EXPECT_FALSE(navigation->nextButton()->isEnabled());
    QTest::mouseClick(navigation->previousButton(), Qt::LeftButton);
    EXPECT_EQ(comic->model()->currentPageIndex(), 0);
    EXPECT_EQ(shown->rootObject(), ObjectPtr(comic->model()->currentPanel()->frontLayer()));
    EXPECT_EQ(comic->model()->currentPanel()->getPage(), comic->model()->currentPage().get());
    EXPECT_FALSE(navigation->previousButton()->isEnabled());
    EXPECT_TRUE(navigation->nextButton()->isEnabled());
    // Deleting a page shrinks the controls away; undo brings them back, and the page.
    const QByteArray before = archivedComicFile(*comic->model());
    QAction* item = showMenuItem(rich, kDeletePageAction);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    endOfEvent();
    EXPECT_EQ(comic->model()->numPages(), 1);
    EXPECT_FALSE(navigation->isVisible());
    EXPECT_FALSE(showMenuItem(rich, kDeletePageAction)->isEnabled()) << "the only page stays";
    EXPECT_EQ(showMenuItem(rich, kUndoAction)->text(), QStringLiteral("Undo Delete page"));
    comic->undoManager()->undo();
    EXPECT_EQ(archivedComicFile(*comic->model()), before);
    EXPECT_TRUE(navigation->isVisible());
    EXPECT_EQ(comic->documentNameWithQualifier(ZDLDocument::ExportKind::Page, QStringLiteral("jpg")),
        QStringLiteral("Rich page 1.jpg"));
    // The editor of the page's free objects holds the page until it is left.
    item = showMenuItem(rich, kFreeObjectsEditorAction);
    item->trigger();
    endOfEvent();
    ASSERT_TRUE(comic->currentEditor());
    EXPECT_FALSE(navigation->nextButton()->isEnabled() || navigation->pagePopup()->isEnabled());
    EXPECT_FALSE(showMenuItem(rich, kGotoNextPageAction)->isEnabled());
    comic->popEditor();
    endOfEvent();
    EXPECT_TRUE(navigation->nextButton()->isEnabled() && navigation->pagePopup()->isEnabled());
    EXPECT_TRUE(showMenuItem(rich, kGotoNextPageAction)->isEnabled());
}

// A balloon made from the menu of a real comic window lands in the current panel's layer, and the
// page stays put while its text is typed.
TEST_F(ComicViewTest, TypingInABalloonHoldsThePage)
{
    DocumentWindow* rich = openComic(QStringLiteral("Rich"), test::richComic());
    ASSERT_TRUE(rich);
    auto* comic = dynamic_cast<ComicDocument*>(rich->document());
    auto* shown = rich->findChild<ComicView*>();
    auto* navigation = rich->findChild<ComicPageNavigation*>();
    ASSERT_TRUE(navigation->pagePopup()->isEnabled());
    const qsizetype before = comic->model()->currentPanel()->currentLayer()->children().size();
    QAction* item = showMenuItem(rich, kAddBalloonAction);
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    endOfEvent();
    ASSERT_TRUE(shown->textEditing());
    EXPECT_EQ(comic->model()->currentPanel()->currentLayer()->children().size(), before + 1);
    EXPECT_FALSE(navigation->pagePopup()->isEnabled());
    EXPECT_FALSE(navigation->previousButton()->isEnabled() || navigation->nextButton()->isEnabled());
    EXPECT_FALSE(showMenuItem(rich, kPanelPropertiesAction)->isEnabled()) << "not while typing";
    QTest::keyClick(shown->textEditingView(), Qt::Key_Escape);
    endOfEvent();
    EXPECT_FALSE(shown->textEditing());
    EXPECT_TRUE(showMenuItem(rich, kPanelPropertiesAction)->isEnabled());
    EXPECT_TRUE(navigation->pagePopup()->isEnabled());
}

// The page and its panels stay as they are while a balloon's text is typed: the structure commands
// wait, and their keys do nothing to the comic.
TEST_F(ComicViewTest, WhileTypingTheStructureCommandsWait)
{
    choose(kNewPageAction);
    QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return);
    endOfEvent();
    ASSERT_EQ(model().numPages(), 2);
    choose(kGotoPrevPageAction);
    click(panel(1)->bounds().center());
    const QString waiting[] = { kNewPageAction, kDeletePageAction, kInsertRowAction, kInsertPanelBeforeAction,
        kInsertPanelAfterAction, kDeletePanelAction, kSplitPanelAction, kToggleFocusOnPanelAction,
        kToggleEditBackgroundAction, kResizeComicAction, kGutterSizeAction };
    for (const QString& action : waiting)
        ASSERT_TRUE(enabled(action)) << action.toStdString();
    choose(kAddBalloonAction);
    ASSERT_TRUE(view->textEditing());
    const QByteArray typing = bytes();
    for (const QString& action : waiting)
        EXPECT_FALSE(enabled(action)) << action.toStdString();
    EXPECT_TRUE(enabled(kSetPageMarginsAction));
    endOfEvent();
    EXPECT_FALSE(toolbarItem(window, kCreateNewPartAction)->isEnabled());
    EXPECT_FALSE(toolbarItem(window, kPanelPropertiesAction)->isEnabled());
    // The layer key reaches the text, not the comic.
    QTest::keyClick(view->textEditingView(), Qt::Key_B, Qt::ControlModifier);
    endOfEvent();
    EXPECT_TRUE(view->textEditing());
    EXPECT_FALSE(model().editBackground());
    EXPECT_EQ(bytes(), typing);
    QTest::keyClick(view->textEditingView(), Qt::Key_Escape);
    endOfEvent();
    for (const QString& action : waiting)
        EXPECT_TRUE(enabled(action)) << action.toStdString();
    endOfEvent();
    EXPECT_TRUE(toolbarItem(window, kCreateNewPartAction)->isEnabled());
}

// Each structure command is one named step whose undo gives back the comic's bytes.
TEST_F(ComicViewTest, PanelCommandsAreOneNamedUndoStepEach)
{
    struct Case {
        QString action;
        QString undoName;
        std::size_t panelsAfter;
    };
    const Case cases[] = {
        { kInsertPanelAfterAction, QStringLiteral("Insert Panel"), 8 },
        { kDeletePanelAction, QStringLiteral("Delete Panel"), 6 },
        { kNewFloatingPanelAction, QStringLiteral("New Floating Panel"), 8 },
        { kNewInsetPanelAction, QStringLiteral("New Inset Panel"), 8 },
    };
    for (const Case& each : cases) {
        click(panel(1)->bounds().center());
        const QByteArray before = bytes();
        choose(each.action);
        ComicStructureList panels;
        model().getPanelsInArray(panels);
        EXPECT_EQ(panels.size(), each.panelsAfter) << each.action.toStdString();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        EXPECT_EQ(view->rootObject(), ObjectPtr(model().currentPanel()->currentLayer()));
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before) << each.action.toStdString();
    }
}

TEST_F(ComicViewTest, SplittingAPanelMakesAGridWithTheContentsTopLeft)
{
    click(panel(0)->bounds().center());
    const auto split = panel(0);
    const ObjectPtr part = split->frontLayer()->children().value(0);
    const QPointF topLeft = split->topLeft();
    const QByteArray before = bytes();
    view->splitPanelIntoRows(1, 3);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Split panel"));
    ComicStructureList panels;
    model().getPanelsInArray(panels);
    EXPECT_EQ(panels.size(), 9u);
    EXPECT_EQ(model().currentPanel(), split);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    view->splitPanelIntoRows(2, 2);
    endOfEvent();
    panels.clear();
    model().getPanelsInArray(panels);
    EXPECT_EQ(panels.size(), 10u);
    EXPECT_EQ(split->topLeft(), topLeft) << "the split panel is the top-left cell";
    EXPECT_LT(split->bounds().width(), 50);
    EXPECT_EQ(split->frontLayer()->children().value(0), part);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicViewTest, MovingToTheOtherLayerKeepsOrderAndSwitchesEditing)
{
    const auto target = panel(0);
    const ElementList moved = target->frontLayer()->children();
    ASSERT_FALSE(moved.isEmpty());
    model().setCurrentPanel(target);
    const QByteArray before = bytes();
    view->setSelection(moved);
    EXPECT_EQ(showMenuItem(window, kMoveToLayerAction)->text(), QStringLiteral("Move to Background Layer"));
    choose(kMoveToLayerAction);
    EXPECT_TRUE(model().editBackground());
    const ElementList back = target->backLayer()->children();
    EXPECT_EQ(back.mid(back.size() - moved.size()), moved) << "on top of the other layer, in order";
    EXPECT_EQ(view->selection(), moved);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move to Background Layer"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicViewTest, SheetsThatDoNotExistYetAreNotOffered)
{
    // The structure sheets and the panel properties are there.
    for (const QString& action : { kNewPageAction, kInsertRowAction, kSplitPanelAction, kResizeComicAction,
             kGutterSizeAction, kPanelPropertiesAction })
        EXPECT_TRUE(enabled(action)) << action.toStdString();
    EXPECT_TRUE(enabled(kEditCharacterColorsAction)) << "the colour-set window is there";
    EXPECT_TRUE(enabled(kExportDialogAction)) << "the export sheet is there";
}

TEST_F(ComicViewTest, OpenSaveReopenGivesTheSameBytesAndAFailedSaveKeepsTheOldFile)
{
    const QString original = QStringLiteral(ZANDREL_SOURCE_DIR "/fuzz/corpus/fuzz_comicfile/rich.comic");
    const QString copy = dir.filePath(QStringLiteral("Copy.comic"));
    ASSERT_TRUE(QFile::copy(original, copy));
    DocumentError error;
    ZDLDocument* opened = documents().openDocument(copy, &error);
    ASSERT_TRUE(opened) << error.failureReason.toStdString();
    DocumentWindow* shown = documents().windowFor(opened);
    const QString saved = dir.filePath(QStringLiteral("Saved.comic"));
    ASSERT_TRUE(shown->saveDocumentAs(saved));
    QFile a(original), b(saved);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray originalBytes = a.readAll();
    EXPECT_EQ(b.readAll(), originalBytes);

    // A change that cannot be written: the user hears of it and the file stays whole.
    auto* comic = dynamic_cast<ComicDocument*>(opened);
    comic->undoableSetPropertyFor(comic->model(), ComicModel::kNameKey, Value(QStringLiteral("Lost")));
    endOfEvent();
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (geteuid() == 0)
        setfsuid(65534);
    menuItem(shown, kSaveDocumentAction)->trigger();
    if (geteuid() == 0)
        setfsuid(0);
    QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("The document “Saved.comic” could not be saved."));
    QFile c(saved);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.readAll(), originalBytes);
    EXPECT_TRUE(shown->isWindowModified());
}

} // namespace
} // namespace zandrel
