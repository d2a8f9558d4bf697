// The group editors through the real windows, reached as a person reaches them: a double-click on a
// group or on merged balloons, the free-objects menu item. Each edit is one named step whose undo
// gives back the file's bytes; the editors leave themselves when their group is down to one member,
// and hand the zoom (and on a page the scroll position) back to the comic view.
#include "CharacterWindowFixture.h"
#include "ComicWindowFixture.h"
#include "app/GroupEditors.h"
#include "app/MenuActions.h"
#include "app/PartEditingView.h"
#include "app/Pasteboard.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/PanelLayer.h"
#include "panels/HelpComicView.h"
#include "panels/TextPropertiesController.h"
#include "views/BalloonGroupView.h"
#include "views/BalloonTextEditor.h"
#include "views/GroupView.h"
#include "views/ZDLScrollArea.h"

#include <QBuffer>
#include <QDir>
#include <QMimeData>
#include <cmath>

namespace zandrel {
namespace {

QPointF centreOf(const ObjectPtr& element)
{
    return asProtocol<GraphicElement>(element)->getBounds().center();
}

// The reference comic with a group in the first panel: the panel's part and a balloon whose right
// side reaches out of the panel.
ComicModelPtr comicWithGroup()
{
    const ComicModelPtr comic = test::referenceComic();
    const auto layer = test::rowPanel(*comic->currentPage(), 0)->frontLayer();
    auto group = std::make_shared<Group>();
    group->setChildren(
        { layer->children().value(0), test::placedBalloon(QStringLiteral("Out"), QPointF(50, 8), 60) });
    layer->setChildren({ group });
    return comic;
}

class GroupEditorTest : public test::ComicWindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        window = openComic(QStringLiteral("Grouped"), comicWithGroup());
        ASSERT_TRUE(window);
        document = dynamic_cast<ComicDocument*>(window->document());
        view = window->findChild<ComicView*>();
        ASSERT_TRUE(document && view);
    }
    ObjectPtr group() const { return panel(0)->frontLayer()->children().value(0); }
    ObjectPtr merged() const { return model().currentPage()->children().value(1); }
    GroupEditingView* groupEditor() const
    {
        return dynamic_cast<GroupEditingView*>(document->currentEditor());
    }
    BalloonGroupEditingView* balloonGroupEditor() const
    {
        return dynamic_cast<BalloonGroupEditingView*>(document->currentEditor());
    }
    static void doubleClickOn(ZDLView* in, const QPointF& documentPoint)
    {
        doubleClick(in, in->viewTransform().map(documentPoint).toPoint());
        endOfEvent();
    }
    static void clickIn(ZDLView* in, const QPointF& documentPoint, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(in, Qt::LeftButton, modifiers, in->viewTransform().map(documentPoint).toPoint());
    }
    // The editor offered its help comic over itself on the first entry; it is closed so that it is
    // not in the way of the clicks that follow.
    void expectHelpOverEditor(const QString& helpId, QWidget* editor)
    {
        HelpComicView* help = HelpComicView::getOpenHelp(helpId, document);
        ASSERT_TRUE(help) << helpId.toStdString();
        EXPECT_EQ(help->parentWidget(), editor);
        EXPECT_TRUE(help->isVisible());
        // The toolbar's help item is off while the help is in sight, and back on once it goes.
        QAction* helpItem = toolbarItem(window, kShowPanelHelpAction);
        ASSERT_TRUE(helpItem);
        QApplication::processEvents();
        EXPECT_FALSE(helpItem->isEnabled()) << helpId.toStdString();
        // For a look at the help as the user sees it.
        if (const QString shots = qEnvironmentVariable("ZANDREL_SCREENSHOT_DIR"); !shots.isEmpty()) {
            QTest::qWait(800);
            window->grab().save(QDir(shots).filePath(helpId + QStringLiteral(".png")));
        }
        help->closeAndRemove();
        QTest::qWait(1);
        EXPECT_TRUE(helpItem->isEnabled()) << helpId.toStdString();
    }
    // A double-click on the merged balloons opens the page's free objects, where a second one
    // opens the merged balloons themselves.
    void openMergedBalloons()
    {
        choose(kFreeObjectsEditorAction);
        ASSERT_TRUE(groupEditor());
        expectHelpOverEditor(QStringLiteral("floating_view"), groupEditor());
        doubleClickOn(groupEditor()->groupView(), centreOf(asProtocol<Parent>(merged())->getChildAtIndex(0)));
        ASSERT_TRUE(balloonGroupEditor());
        expectHelpOverEditor(QStringLiteral("balloon_group_view"), balloonGroupEditor());
    }
};

TEST_F(GroupEditorTest, DeletingAGroupDownToOneMemberLeavesTheEditorAsOneStepAndTheZoomCarriesBack)
{
    view->setViewScale(2.0f);
    const QByteArray before = bytes();
    const ObjectPtr edited = group();
    doubleClickOn(view, centreOf(asProtocol<Parent>(edited)->getChildAtIndex(0)));
    GroupEditingView* editor = groupEditor();
    ASSERT_TRUE(editor);
    EXPECT_FALSE(editor->usesWholeWindow());
    EXPECT_TRUE(editor->isVisible());
    GroupView* groupView = editor->groupView();
    EXPECT_EQ(groupView->editParent(), edited);
    EXPECT_TRUE(groupView->editingGroup());
    EXPECT_EQ(groupView->viewScale(), 2.0f) << "the comic view's zoom on entry";
    EXPECT_EQ(groupView->helpPanelName(), QStringLiteral("group_view"));
    EXPECT_FALSE(editor->firstGroupEntry());
    EXPECT_TRUE(editor->firstPageEntry());
    expectHelpOverEditor(QStringLiteral("group_view"), editor);
    choose(kZoomInAction);
    const float zoomed = groupView->viewScale();
    EXPECT_GT(zoomed, 2.0f);
    const ObjectPtr balloon = asProtocol<Parent>(edited)->getChildAtIndex(1);
    const ObjectPtr part = asProtocol<Parent>(edited)->getChildAtIndex(0);
    clickIn(groupView, centreOf(balloon));
    ASSERT_EQ(groupView->selection(), ElementList { balloon });
    choose(kDeleteAction);
    EXPECT_EQ(document->currentEditor(), nullptr) << "a group lying in a panel returns to the comic";
    EXPECT_EQ(panel(0)->frontLayer()->children(), ElementList { part }) << "the only member takes its place";
    EXPECT_EQ(view->viewScale(), zoomed) << "the editor's zoom carries back";
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete object"));
    choose(kUndoAction);
    // The zoom is kept with the file; it is no edit.
    view->setViewScale(2.0f);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
}

TEST_F(GroupEditorTest, PageModeKeepsItsPlaceAndPastesAndImportsWhereTheyGo)
{
    // Zoomed in far enough for the page to scroll both ways.
    view->setViewScale(8.0f);
    const QByteArray before = bytes();
    view->scrollPoint(QPointF(30, 20));
    const QPointF origin = view->visibleRect().topLeft();
    choose(kFreeObjectsEditorAction);
    GroupEditingView* editor = groupEditor();
    ASSERT_TRUE(editor);
    GroupView* pageView = editor->groupView();
    EXPECT_TRUE(pageView->editingPage());
    EXPECT_EQ(pageView->helpPanelName(), QStringLiteral("floating_view"));
    expectHelpOverEditor(QStringLiteral("floating_view"), editor);
    EXPECT_EQ(pageView->visibleRect().topLeft(), origin) << "the page does not jump";

    // A free object deleted: the page editor stays.
    const ObjectPtr part = model().currentPage()->children().value(0);
    pageView->scrollToCenterDocPoint(centreOf(part));
    clickIn(pageView, centreOf(part));
    ASSERT_EQ(pageView->selection(), ElementList { part });
    choose(kCopyAction);
    choose(kDeleteAction);
    EXPECT_EQ(document->currentEditor(), editor);
    EXPECT_EQ(model().currentPage()->numChildren(), 1u);
    // Pasted free objects stay where they were copied from.
    choose(kPasteAction);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Paste"));
    const ObjectPtr pasted = model().currentPage()->children().value(1);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(centreOf(pasted), centreOf(part));

    // An imported image is fitted into 300 points around the centre of what is shown.
    QImage picture(900, 450, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "png");
    const QString path = dir.filePath(QStringLiteral("wide.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(png);
    file.close();
    ZDLEditingView::setImageFileChooser([path](QWidget*) { return path; });
    const QPointF centre = pageView->getCenterOfVisibleRect();
    choose(kImportImageAction);
    ZDLEditingView::setImageFileChooser([](QWidget*) { return QString(); });
    const auto image = std::dynamic_pointer_cast<ImageElement>(model().currentPage()->children().last());
    ASSERT_TRUE(image);
    EXPECT_NEAR(image->getBounds().width(), 300.0, 0.01);
    EXPECT_NEAR(image->getBounds().height(), 150.0, 0.01);
    EXPECT_NEAR(image->getBounds().center().x(), centre.x(), 0.01);
    EXPECT_NEAR(image->getBounds().center().y(), centre.y(), 0.01);

    // Leaving hands the scroll position back.
    pageView->scrollPoint(QPointF(10, 12));
    const QPointF shown = pageView->visibleRect().topLeft();
    choose(kFreeObjectsEditorAction);
    EXPECT_EQ(document->currentEditor(), nullptr);
    EXPECT_EQ(view->visibleRect().topLeft(), shown);
    for (int step = 0; step < 3; ++step)
        choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(GroupEditorTest, BalloonGroupsTakeOnlyBalloonsAndLeaveWhenOneIsLeft)
{
    const QByteArray before = bytes();
    // The balloon of the group is copied with the group.
    click(centreOf(asProtocol<Parent>(group())->getChildAtIndex(1)));
    choose(kCopyAction);
    ASSERT_NO_FATAL_FAILURE(openMergedBalloons());
    BalloonGroupEditingView* editor = balloonGroupEditor();
    EXPECT_TRUE(editor->usesWholeWindow());
    BalloonGroupView* balloons = editor->balloonGroupView();
    const auto edited = balloons->editBalloonGroup();
    ASSERT_EQ(edited, merged());
    EXPECT_FALSE(showMenuItem(window, kGroupAction)->isEnabled());
    QAction* newPart = toolbarItem(window, kCreateNewPartAction);
    ASSERT_TRUE(newPart);
    MenuActions::validate(newPart, MenuActions::responderChain(window));
    EXPECT_FALSE(newPart->isEnabled());

    choose(kPasteAction);
    ASSERT_EQ(edited->numChildren(), 3u) << "the part of the copied group stays out";
    const ObjectPtr pasted = edited->getChildAtIndex(2);
    EXPECT_TRUE(std::dynamic_pointer_cast<Balloon>(pasted));
    EXPECT_EQ(balloons->selection(), ElementList { pasted });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Paste"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    // No picture is taken, dropped or pasted.
    QMimeData picture;
    picture.setImageData(QImage(4, 4, QImage::Format_RGB32));
    EXPECT_EQ(balloons->dragOperationFor(&picture, Qt::CopyAction), Qt::IgnoreAction);

    // Deleting down to one balloon leaves for the page the group lies on, where the last balloon
    // takes the group's place.
    clickIn(balloons, centreOf(edited->getChildAtIndex(0)));
    ASSERT_EQ(balloons->selection().size(), 1);
    // The balloons overlap: the one left is whichever the click did not take.
    const ObjectPtr kept = edited->getChildAtIndex(balloons->isSelected(edited->getChildAtIndex(0)) ? 1 : 0);
    choose(kDeleteAction);
    ASSERT_TRUE(groupEditor());
    EXPECT_TRUE(groupEditor()->groupView()->editingPage());
    EXPECT_EQ(model().currentPage()->children().value(1), kept);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

// Merged balloons can hold any comic element (the file keeps a part among them), so a library drag
// is taken there as anywhere on the page, and reading the file back gives it again.
TEST_F(GroupEditorTest, ALibraryDragIntoMergedBalloonsIsTakenAndTheFileKeepsIt)
{
    const QByteArray before = bytes();
    ASSERT_NO_FATAL_FAILURE(openMergedBalloons());
    BalloonGroupView* balloons = balloonGroupEditor()->balloonGroupView();
    const auto edited = balloons->editBalloonGroup();
    const std::size_t members = edited->numChildren();
    PasteboardMimeData dragged(
        PasteboardParent::initWithChildren({ asProtocol<Parent>(group())->getChildAtIndex(0) }));
    ASSERT_TRUE(dropOn(balloons, &dragged, balloons->rect().center()));
    ASSERT_EQ(edited->numChildren(), members + 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<Part>(edited->getChildAtIndex(members)));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Drag in character parts"));
    const ComicModelPtr readBack = readComicFile(bytes());
    ASSERT_TRUE(readBack);
    const auto* kept = asProtocol<Parent>(readBack->currentPage()->children().value(1));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->numChildren(), members + 1);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

// The balloon group editor covers the whole window, the comic's formatting bar included: while a
// balloon's text is edited in it, the window's one bar is below the editor's view, and back below
// the comic for a balloon of the page.
TEST_F(GroupEditorTest, TheFormattingBarFollowsTheTextBeingEdited)
{
    auto* bar = window->findChild<TextPropertiesController*>();
    ASSERT_TRUE(bar);
    ASSERT_NO_FATAL_FAILURE(openMergedBalloons());
    BalloonGroupEditingView* editor = balloonGroupEditor();
    BalloonGroupView* balloons = editor->balloonGroupView();
    doubleClickOn(balloons, centreOf(balloons->editBalloonGroup()->getChildAtIndex(1)));
    ASSERT_TRUE(balloons->textEditing());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(editor->isAncestorOf(bar));
    const QRect shown(bar->mapTo(window, QPoint(0, 0)), bar->size());
    const QRect area(balloons->scrollArea()->mapTo(window, QPoint(0, 0)), balloons->scrollArea()->size());
    EXPECT_GE(shown.top(), area.bottom()) << "below the editor's view, which gives up its height";
    QTest::keyClick(balloons->textEditingView(), Qt::Key_Escape);
    endOfEvent();
    EXPECT_FALSE(bar->isVisible());

    document->popEditor();
    document->popEditor();
    ASSERT_EQ(document->currentEditor(), nullptr);
    const auto pageBalloon
        = std::dynamic_pointer_cast<Balloon>(asProtocol<Parent>(group())->getChildAtIndex(1));
    ASSERT_TRUE(pageBalloon);
    view->editTextBalloon(pageBalloon);
    endOfEvent();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(editor->isAncestorOf(bar));
    view->exitTextEditing();
}

TEST_F(GroupEditorTest, OnACheckerboardOutsideThePanelsAndTheCurrentPanelIsGreyed)
{
    document->documentSettings()->setBackgroundStyle(1);
    model().setCurrentPanel(panel(0));
    document->edit(group());
    GroupView* groupView = groupEditor()->groupView();
    groupView->scrollToCenterDocPoint(QPointF(80, 40));
    groupView->repaint();
    const QImage shot = groupView->grab().toImage();
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT").replace(".png", "-group.png"));
    const auto grey = [&](const QPointF& point) {
        return qGray(shot.pixel(groupView->viewTransform().map(point).toPoint()));
    };
    // Checkerboard cells are white 0.88 or 0.77; each greying leaves 70 per cent and adds 0.15.
    const QRectF first = panel(0)->bounds();
    const QRectF second = panel(1)->bounds();
    // A point of the current panel under none of the members, in the middle of a checkerboard cell.
    QPointF inside;
    for (double y = 4; y < first.bottom() - 4 && inside.isNull(); y += 8) {
        for (double x = 4; x < first.right() - 4 && inside.isNull(); x += 8) {
            const QRectF around(x - 3, y - 3, 6, 6);
            bool free = first.contains(around);
            for (const ObjectPtr& member : asProtocol<Parent>(group())->children())
                free = free && !asProtocol<GraphicElement>(member)->getBounds().intersects(around);
            if (free)
                inside = QPointF(x, y);
        }
    }
    ASSERT_FALSE(inside.isNull());
    EXPECT_GE(grey(inside), 190) << "inside the current panel, under nothing";
    const QPointF gutter((first.right() + second.left()) / 2, 65);
    const QPointF other(std::floor(second.center().x() / 8) * 8 + 4, 44);
    EXPECT_LE(grey(gutter), 178) << "outside every panel: greyed twice";
    EXPECT_GE(grey(gutter), 150);
    EXPECT_LE(grey(other), 198) << "another panel: outside the current one";
    EXPECT_GE(grey(other), 170);
}

class CharacterGroupEditorTest : public test::CharacterWindowTest { };

TEST_F(CharacterGroupEditorTest, ANewPartOfAGroupOpensThePartEditorWithThePen)
{
    click(0);
    click(1, Qt::ShiftModifier);
    choose(kGroupAction);
    endOfEvent();
    const ObjectPtr group = view->selection().value(0);
    ASSERT_TRUE(std::dynamic_pointer_cast<Group>(group));
    const QByteArray before = bytes();
    doubleClick(view, at(partCentre(0)));
    endOfEvent();
    auto* editor = dynamic_cast<GroupEditingView*>(document->currentEditor());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->groupView()->editParent(), group);
    QAction* newPart = toolbarItem(window, kCreateNewPartAction);
    ASSERT_TRUE(newPart);
    MenuActions::validate(newPart, MenuActions::responderChain(window));
    ASSERT_TRUE(newPart->isEnabled());
    newPart->trigger();
    endOfEvent();
    auto* partEditor = dynamic_cast<PartEditingView*>(document->currentEditor());
    ASSERT_TRUE(partEditor);
    EXPECT_EQ(partEditor->currentTool(), PartEditingView::Pen);
    ASSERT_TRUE(partEditor->currentPart());
    EXPECT_EQ(dynamic_cast<Group*>(partEditor->currentPart()->parent()), group.get());
    EXPECT_TRUE(partEditor->partIsPending());
    document->edit(nullptr);
    EXPECT_EQ(bytes(), before) << "an empty new part is forgotten";
}

} // namespace
} // namespace zandrel
