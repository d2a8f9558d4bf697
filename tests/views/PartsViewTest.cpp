// The parts view of a real character window: grouping through the menu as single undo steps, the
// one-type view chosen from the toolbar's popup, and the view's pixels against the character's own
// drawing, before and after the background caching has made the parts' bitmaps.
#include "CharacterWindowFixture.h"
#include "app/MenuActions.h"
#include "app/PartEditingView.h"
#include "app/core/EditorContainer.h"
#include "app/core/LibraryParent.h"
#include "app/core/ModalAlert.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Group.h"
#include "graphics/ImageCache.h"
#include "graphics/ZDLContext.h"
#include "panels/HelpComicView.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Log.h"
#include "platform/PainterCanvas.h"
#include "support/TestSupport.h"
#include "views/GroupView.h"
#include "views/PartElementsView.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>

namespace zandrel {
namespace {

class PartsViewTest : public test::CharacterWindowTest {
protected:
    // Chooses the item of the menu bar's menu that sends the action with the tag.
    void chooseTagged(const QString& action, int tag)
    {
        for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
            emit menu->aboutToShow();
            for (QAction* item : menu->actions()) {
                if (MenuActions::actionOf(item) == action && MenuActions::tagOf(item) == tag) {
                    ASSERT_TRUE(item->isEnabled()) << action.toStdString() << ' ' << tag;
                    item->trigger();
                    return;
                }
            }
        }
        FAIL() << "no item " << action.toStdString() << ' ' << tag;
    }
    // Chooses the type in the toolbar's parts-view popup as a person would: it opens, then the
    // item is hit; -1 is the first item, every part.
    void choosePartsViewType(int type)
    {
        auto* popup = window->findChild<QToolButton*>(QStringLiteral("partsViewPopup"));
        ASSERT_TRUE(popup);
        emit popup->menu()->aboutToShow();
        const QList<QAction*> items = popup->menu()->actions();
        const auto found = std::find_if(items.cbegin(), items.cend(), [type](QAction* item) {
            return type < 0
                ? MenuActions::actionOf(item) == kViewAllWithPosesAction
                : MenuActions::actionOf(item) == kViewSelectedTypeAction && MenuActions::tagOf(item) == type;
        });
        ASSERT_NE(found, items.cend()) << type;
        const QString title = (*found)->text();
        (*found)->trigger();
        QTest::qWait(1);
        EXPECT_EQ(popup->text(), title);
    }
    bool toolbarItemEnabled(const QString& action)
    {
        QAction* item = toolbarItem(window, action);
        MenuActions::validate(item, MenuActions::responderChain(window));
        return item->isEnabled();
    }
    ElementList children() const { return document->model()->children(); }
    // The real parts the one-type view shows, in order.
    ElementList shownParts() const
    {
        ElementList parts;
        for (const ObjectPtr& child : view->partAliasesParent()->children())
            parts.append(dynamic_cast<PartAlias&>(*child).realPart());
        return parts;
    }
    ElementList realPartsOf(const ElementList& aliases) const
    {
        ElementList parts;
        for (const ObjectPtr& child : aliases)
            parts.append(dynamic_cast<PartAlias&>(*child).realPart());
        return parts;
    }
    QImage shown() { return view->grab().toImage().convertToFormat(QImage::Format_ARGB32); }
    // The character drawn by itself, without any bitmap, where the view shows it.
    QImage drawnByTheCharacter()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            PainterCanvas canvas(&image);
            canvas.concatenate(view->viewTransform());
            CanvasScope scope(&canvas);
            ZDLContext context(view->viewScale());
            context.setExporting(true);
            document->model()->drawIn(context, view->visibleRect());
        }
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    // Pixels where a channel differs by more than the levels.
    static int differing(const QImage& a, const QImage& b, int levels)
    {
        int count = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                count += std::max({ std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                             std::abs(qBlue(p) - qBlue(q)) })
                    > levels;
            }
        }
        return count;
    }
    // What the window holds of the view: its last paints, whole or in part.
    QImage painted() const
    {
        QWidget* top = view->QWidget::window();
        const QPoint inWindow = view->mapTo(top, QPoint());
        return view->screen()
            ->grabWindow(top->winId(), inWindow.x(), inWindow.y(), view->width(), view->height())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    }
    // The shown children drawn by themselves, with no view to ask what needs drawing.
    QImage drawnByTheChildren()
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            PainterCanvas canvas(&image);
            canvas.concatenate(view->viewTransform());
            CanvasScope scope(&canvas);
            ZDLContext context(view->viewScale());
            for (const ObjectPtr& child : asProtocol<Parent>(view->rootObject())->children())
                asProtocol<GraphicElement>(child)->drawIn(context);
        }
        return image.convertToFormat(QImage::Format_ARGB32);
    }
    // Draws a rectangle with the part editor's tool between the document points.
    static void drawRectangle(PartEditingView* editor, const QPointF& from, const QPointF& to)
    {
        PartElementsView* elements = editor->partElementsView();
        editor->toolButton(PartEditingView::Rect)->click();
        const auto there
            = [elements](const QPointF& point) { return elements->viewTransform().map(point).toPoint(); };
        QTest::mousePress(elements, Qt::LeftButton, {}, there(from));
        QMouseEvent move(
            QEvent::MouseMove, there(to), elements->mapToGlobal(there(to)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(elements, &move);
        QTest::mouseRelease(elements, Qt::LeftButton, {}, there(to));
        endOfEvent();
    }
    qsizetype partsWithBitmaps() const
    {
        qsizetype count = 0;
        for (const ObjectPtr& child : children()) {
            const auto* part = dynamic_cast<const Part*>(child.get());
            count += part && part->cachedImage() && !part->cachedImage()->cache().isNull();
        }
        return count;
    }
};

TEST_F(PartsViewTest, GroupingAndUngroupingAreOneStepEachAndUndoToTheSameBytes)
{
    const QByteArray original = bytes();
    const ElementList before = children();
    click(1);
    EXPECT_FALSE(showMenuItem(window, kGroupAction)->isEnabled()) << "one object is no group";
    EXPECT_FALSE(showMenuItem(window, kUngroupAction)->isEnabled());
    click(3, Qt::ShiftModifier);
    ASSERT_EQ(view->numSelected(), 2);
    choose(kGroupAction);
    endOfEvent();

    // Not adjacent: the group stands where the frontmost of them stood.
    const ElementList grouped = children();
    ASSERT_EQ(grouped.size(), 4);
    const auto group = std::dynamic_pointer_cast<Group>(grouped.at(2));
    ASSERT_TRUE(group);
    EXPECT_EQ(grouped, (ElementList { before.at(0), before.at(2), group, before.at(4) }));
    EXPECT_EQ(group->children(), (ElementList { before.at(1), before.at(3) }));
    EXPECT_EQ(view->selection(), ElementList { group });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Group"));
    const QByteArray groupedBytes = bytes();

    // Ungrouping puts the members back at the group's place, in their order, selected.
    click(1);
    ASSERT_EQ(view->selection(), ElementList { group });
    choose(kUngroupAction);
    endOfEvent();
    EXPECT_EQ(
        children(), (ElementList { before.at(0), before.at(2), before.at(1), before.at(3), before.at(4) }));
    EXPECT_EQ(view->selection(), (ElementList { before.at(1), before.at(3) }));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Ungroup"));

    // Each undo is one whole step: the file's bytes come back, and so does the selection.
    choose(kUndoAction);
    EXPECT_EQ(bytes(), groupedBytes);
    EXPECT_EQ(view->selection(), ElementList { group });
    choose(kUndoAction);
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(children(), before);
    EXPECT_EQ(view->selection(), (ElementList { before.at(1), before.at(3) }));
    choose(kRedoAction);
    EXPECT_EQ(bytes(), groupedBytes);
}

TEST_F(PartsViewTest, OneTypeFromThePopupShowsItsPartsInRowsThatOnlySelect)
{
    const QByteArray original = bytes();
    // Parts 1 and 3 become of type 1 (the fixture's parts have the types 0 to 4).
    click(3);
    chooseTagged(kSetPartTypeAction, 1);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Part Type"));

    choosePartsViewType(1);
    ASSERT_EQ(view->viewPartType(), 1);
    ASSERT_TRUE(view->partAliasesParent());
    EXPECT_EQ(view->rootObject(), view->partAliasesParent());
    EXPECT_EQ(shownParts(), (ElementList { part(1), part(3) }));

    // One row of two, what they draw one unit apart, centred in the window's width less 16 points.
    const ElementList aliases = view->partAliasesParent()->children();
    const QRectF first = asProtocol<GraphicElement>(aliases.at(0))->getFilteredBounds();
    const QRectF second = asProtocol<GraphicElement>(aliases.at(1))->getFilteredBounds();
    const float width = float((view->parentWidget()->width() - 16) / view->viewScale());
    EXPECT_EQ(view->partAliasesParent()->savedLayoutWidth(), width);
    const float rowEnd = float(1 + first.width() + 1 + second.width() + 1);
    // Single-precision layout of bounds that are no whole numbers.
    EXPECT_NEAR(first.left(), 1.0f + (width - rowEnd) / 2.0f, 1e-4);
    EXPECT_NEAR(second.left(), first.right() + 1.0, 1e-4);
    EXPECT_NEAR(first.top(), 1.0, 1e-4);

    // A narrower window lays the sheet out again: one alias a row, each row centred.
    window->resize(int(first.width() + 40), window->height());
    QApplication::processEvents();
    const float narrow = float((view->parentWidget()->width() - 16) / view->viewScale());
    ASSERT_LT(narrow, rowEnd);
    EXPECT_EQ(view->partAliasesParent()->savedLayoutWidth(), narrow);
    const QRectF top = asProtocol<GraphicElement>(aliases.at(0))->getFilteredBounds();
    const QRectF below = asProtocol<GraphicElement>(aliases.at(1))->getFilteredBounds();
    EXPECT_NEAR(below.top(), top.bottom() + 1.0, 1e-4);
    EXPECT_NEAR(top.left(), 1.0f + (narrow - float(1 + top.width() + 1)) / 2.0f, 1e-4);
    window->resize(1000, window->height());
    QApplication::processEvents();

    // Only looking: nothing that changes the children or moves them is offered.
    for (const QString& action : { kDeleteAction, kCutAction, kPasteAction, kGroupAction,
             kFlipHorizontalAction, kScaleAction, kBringToFrontAction, kSendBackwardAction })
        EXPECT_FALSE(showMenuItem(window, action)->isEnabled()) << action.toStdString();
    EXPECT_FALSE(toolbarItemEnabled(kFlipHorizontalAction));

    // A click selects an alias; a drag moves nothing.
    const QByteArray typed = bytes();
    const QRectF secondNow = asProtocol<GraphicElement>(aliases.at(1))->getBounds();
    const QPoint onSecond = view->viewTransform().map(secondNow.center()).toPoint();
    QTest::mouseClick(view, Qt::LeftButton, {}, onSecond);
    ASSERT_EQ(view->selection(), ElementList { aliases.at(1) });
    QTest::mousePress(view, Qt::LeftButton, {}, onSecond);
    QTest::mouseMove(view, onSecond + QPoint(30, 20));
    QTest::mouseRelease(view, Qt::LeftButton, {}, onSecond + QPoint(30, 20));
    EXPECT_EQ(bytes(), typed);
    EXPECT_EQ(asProtocol<GraphicElement>(aliases.at(1))->getBounds(), secondNow);

    // Another part joins the type: the sheet is made again and the selected part stays selected.
    view->select(aliases.at(0), false);
    document->undoableSetPropertyFor(part(0), ComicGraphicElementState::kPartTypeKey, Value(1));
    endOfEvent();
    EXPECT_EQ(shownParts().size(), 3);
    EXPECT_EQ(realPartsOf(view->selection()), (ElementList { part(1), part(3) }));

    // A selected part that leaves the type leaves the sheet and the selection.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 2));
    const auto aliasOf = [&](const ObjectPtr& real) {
        for (const ObjectPtr& alias : view->partAliasesParent()->children()) {
            if (dynamic_cast<PartAlias&>(*alias).realPart() == real)
                return alias;
        }
        return ObjectPtr();
    };
    view->select(aliasOf(part(3)), true);
    chooseTagged(kSetPartTypeAction, 2);
    endOfEvent();
    EXPECT_EQ(shownParts(), (ElementList { part(0), part(1) }));
    EXPECT_TRUE(view->selection().isEmpty());
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(shownParts().size(), 3);

    // Back to every part, editable again.
    choosePartsViewType(-1);
    EXPECT_EQ(view->viewPartType(), -1);
    EXPECT_EQ(view->rootObject(), document->model());
    EXPECT_FALSE(view->partAliasesParent());
    click(2);
    EXPECT_TRUE(showMenuItem(window, kDeleteAction)->isEnabled());

    // A deletion redone while the sheet of its type shows takes the part off the sheet.
    const ObjectPtr deleted = part(2);
    choose(kDeleteAction);
    endOfEvent();
    choose(kUndoAction);
    choosePartsViewType(2);
    ASSERT_EQ(shownParts(), ElementList { deleted });
    choose(kRedoAction);
    EXPECT_TRUE(shownParts().isEmpty());
    choose(kUndoAction);
    EXPECT_EQ(shownParts(), ElementList { deleted });
    choosePartsViewType(-1);

    // A revert brings another model: the view shows all of it, and the popup says so.
    choosePartsViewType(1);
    answers = { ModalAlert::kFirstButton };
    choose(kRevertDocumentAction);
    QTest::qWait(1);
    EXPECT_EQ(bytes(), original);
    EXPECT_EQ(view->viewPartType(), -1);
    EXPECT_EQ(view->rootObject(), document->model());
    EXPECT_EQ(window->findChild<QToolButton*>(QStringLiteral("partsViewPopup"))->text(),
        QStringLiteral("All with Poses"));
}

TEST_F(PartsViewTest, TheViewShowsWhatTheCharacterDrawsBeforeAndAfterCaching)
{
    view->setViewScale(1.5f);
    QApplication::processEvents();
    // The zoom is kept with the file.
    EXPECT_EQ(document->documentSettings()->mainViewScale(), 1.5f);
    // Drawn directly: parts this simple draw faster than a bitmap would pay. A frozen clock keeps
    // a loaded machine from making a rendering look slow enough to keep.
    for (const ObjectPtr& child : children())
        dynamic_cast<Part&>(*child).imageCache().setClock([] { return 0.0; });
    const QImage reference = drawnByTheCharacter();
    const test::PixelDifference direct = test::pixelDifference(shown(), reference);
    EXPECT_LE(direct.largest, 16);
    EXPECT_EQ(partsWithBitmaps(), 0);

    // Every rendering counts as slow, so that each part keeps its bitmap; they come one a tick.
    double now = 0;
    for (const ObjectPtr& child : children()) {
        auto& part = dynamic_cast<Part&>(*child);
        part.flushCachedImage();
        part.imageCache().setClock([&now] { return now += 1.0; });
    }
    view->setScalingViewInteractively(true);
    EXPECT_FALSE(view->backgroundCache()) << "never during a zoom";
    view->setScalingViewInteractively(false);
    for (qsizetype made = 1; made <= children().size(); ++made) {
        EXPECT_TRUE(view->backgroundCache());
        EXPECT_EQ(partsWithBitmaps(), made);
    }
    EXPECT_FALSE(view->backgroundCache()) << "nothing left to do";
    const auto firstPart = std::dynamic_pointer_cast<Part>(part(0));
    EXPECT_EQ(firstPart->cachedImage()->cachedScale(), 1.5f);

    // Now drawn from the bitmaps alone, and still the character's own drawing.
    const quint64 renderings = ImageCache::renderingsMade();
    const QImage cached = shown();
    EXPECT_EQ(ImageCache::renderingsMade(), renderings);
    // A bitmap lands on the device grid where the part's bounds fall, so its edges are resampled:
    // edges soften, shapes stay.
    const int area = cached.width() * cached.height();
    EXPECT_LT(differing(cached, reference, 96), area / 200);
    EXPECT_LT(differing(cached, reference, 192), area / 2000);

    // The one-type view shows aliases: the timer leaves them to the character's view.
    firstPart->flushCachedImage();
    choosePartsViewType(0);
    EXPECT_FALSE(view->backgroundCache());
}

TEST_F(PartsViewTest, ANewPartOpensInThePartEditorWithoutJoiningTheCharacterYet)
{
    const QByteArray original = bytes();
    ASSERT_TRUE(toolbarItemEnabled(kCreateNewPartAction));
    toolbarItem(window, kCreateNewPartAction)->trigger();
    const auto pending = std::dynamic_pointer_cast<Part>(document->currentEditObject());
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->parent(), document->model().get());
    EXPECT_FALSE(document->model()->hasChild(pending.get()));
    EXPECT_EQ(bytes(), original);
    document->popEditor();
    EXPECT_EQ(document->currentEditor(), nullptr);
    EXPECT_EQ(bytes(), original);

    // The one-type view offers no new part.
    choosePartsViewType(0);
    EXPECT_FALSE(toolbarItemEnabled(kCreateNewPartAction));
}

TEST_F(PartsViewTest, NewPartFromTheContextualMenuCentresThePartEditorWhereTheClickWas)
{
    // Zoomed in over the rest of the character, so that the part editor can scroll across it.
    document->documentSettings()->setBackgroundStyle(2); // the context background
    document->documentSettings()->setPartEditingViewScale(4.0f);
    const QPointF clicked = partCentre(3) + QPointF(10, 0);
    QTest::mouseClick(view, Qt::RightButton, {}, at(clicked));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QAction* newPart = nullptr;
    for (QAction* item : menu->actions()) {
        if (MenuActions::actionOf(item) == kCreateNewPartAction)
            newPart = item;
    }
    ASSERT_TRUE(newPart && newPart->isVisible() && newPart->isEnabled());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(newPart).center());
    endOfEvent();
    auto* editor = dynamic_cast<PartEditingView*>(document->currentEditor());
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->currentTool(), PartEditingView::Pen);
    const QPointF centre = editor->partElementsView()->getCenterOfVisibleRect();
    EXPECT_NEAR(centre.x(), clicked.x(), 1.0) << "the click point lies in the middle";
    // Vertically the whole character fits the editor, which leaves room for one editor's height
    // around the empty part, so that its middle can be scrolled to either edge.
    EXPECT_EQ(2 * editor->partElementsView()->visibleRect().height(),
        editor->partElementsView()->viewBounds().height());
    EXPECT_FALSE(view->inRightClick()) << "the right click ends once its action has run";
    document->popEditor();

    // From the toolbar the new part's editor is not scrolled to the last right click.
    ASSERT_TRUE(toolbarItemEnabled(kCreateNewPartAction));
    toolbarItem(window, kCreateNewPartAction)->trigger();
    endOfEvent();
    editor = dynamic_cast<PartEditingView*>(document->currentEditor());
    ASSERT_TRUE(editor);
    EXPECT_GT(std::abs(editor->partElementsView()->getCenterOfVisibleRect().x() - clicked.x()), 20.0);
    document->popEditor();
}

TEST_F(PartsViewTest, APartDrawnLeftOfAndAboveTheOriginCanBeScrolledToAndSelected)
{
    toolbarItem(window, kCreateNewPartAction)->trigger();
    endOfEvent();
    auto* editor = window->findChild<PartEditingView*>(QStringLiteral("partEditor"));
    ASSERT_TRUE(editor && document->currentEditor() == editor);
    const QPointF from(-80, -60), to(-20, -10);
    editor->partElementsView()->scrollToCenterDocPoint((from + to) / 2);
    drawRectangle(editor, from, to);
    choose(kPopEditorAction);
    endOfEvent();
    ASSERT_EQ(document->model()->numChildren(), 6u);
    const ObjectPtr drawn = part(5);
    const QRectF drawnBounds = asProtocol<GraphicElement>(drawn)->getGeometryBounds();
    // The character, this part included, fits the window: it is all in sight, with nothing to
    // scroll, and the other parts are still there.
    EXPECT_TRUE(view->visibleRect().contains(drawnBounds));
    EXPECT_TRUE(view->visibleRect().contains(asProtocol<GraphicElement>(part(4))->getGeometryBounds()));
    EXPECT_EQ(view->scrollArea()->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view->scrollArea()->verticalScrollBar()->maximum(), 0);
    // What lies right of the character's page is shaded above the origin as below it.
    QTest::qWait(1);
    const QImage shownNow = shown();
    EXPECT_EQ(shownNow.pixel(at(QPointF(880, -30))), shownNow.pixel(at(QPointF(880, 30))));
    EXPECT_LT(qGray(shownNow.pixel(at(QPointF(880, -30)))), 230);
    view->deselectAll();
    QTest::mouseClick(view, Qt::LeftButton, {}, at(QPointF(-50, -12)));
    EXPECT_EQ(view->selection(), ElementList { drawn });
    // Parts near the origin but right of and below it ask for no scrolling into negative space.
    choose(kUndoAction);
    endOfEvent();
    ASSERT_EQ(document->model()->numChildren(), 5u);
    EXPECT_EQ(view->viewBounds().topLeft(), QPointF(0, 0));
}

// A new part starts with the origin at the editor's top-left, so that what is drawn in sight lies
// where the character's parts, its thumbnail frame and its catalog picture are.
TEST_F(PartsViewTest, ANewPartIsDrawnWithinTheThumbnailFrameAndShowsWholeAfterwards)
{
    toolbarItem(window, kCreateNewPartAction)->trigger();
    endOfEvent();
    auto* editor = dynamic_cast<PartEditingView*>(document->currentEditor());
    ASSERT_TRUE(editor);
    const QRectF inSight = editor->partElementsView()->visibleRect();
    EXPECT_NEAR(inSight.left(), 0.0, 1.0);
    EXPECT_NEAR(inSight.top(), 0.0, 1.0);
    const QPointF margin(inSight.width() / 5, inSight.height() / 5);
    drawRectangle(editor, inSight.topLeft() + margin, inSight.bottomRight() - margin);
    choose(kPopEditorAction);
    endOfEvent();
    ASSERT_EQ(document->model()->numChildren(), 6u);
    const QRectF drawn = asProtocol<GraphicElement>(part(5))->getGeometryBounds();
    EXPECT_TRUE(document->model()->thumbnailRect().contains(drawn));
    EXPECT_TRUE(view->visibleRect().contains(drawn));
    EXPECT_EQ(view->viewBounds().topLeft(), QPointF(0, 0)) << "nothing lies left of or above the origin";

    // The sheet of the part's type shows it, though the part itself lies elsewhere, and keeps
    // showing all of it after its alias was selected and deselected, which redraws only there.
    dynamic_cast<Part&>(*part(5)).setPartType(1);
    dynamic_cast<Part&>(*part(3)).setPartType(1);
    asProtocol<GraphicElement>(part(3))->offsetBy(QPointF(-700, -400), true);
    choosePartsViewType(1);
    QTest::qWait(1);
    const QImage reference = drawnByTheChildren();
    EXPECT_LE(test::pixelDifference(painted(), reference).largest, 16);
    const ObjectPtr alias = view->partAliasesParent()->getChildAtIndex(0);
    QTest::mouseClick(view, Qt::LeftButton, {}, at(asProtocol<GraphicElement>(alias)->getBounds().center()));
    ASSERT_EQ(view->selection(), ElementList { alias });
    QTest::qWait(1);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, view->height() - 2));
    ASSERT_TRUE(view->selection().isEmpty());
    QTest::qWait(1);
    EXPECT_LE(test::pixelDifference(painted(), reference).largest, 16);
}

// Every pixel of the view is painted: white where the character's page is, shaded right of it
// from the top of the window to its bottom-right corner, at every zoom and wherever it is scrolled.
TEST_F(PartsViewTest, TheWindowIsPaintedToItsLowerRightCorner)
{
    window->resize(1200, 800);
    for (QWidget* help : window->findChildren<HelpComicView*>())
        help->hide();
    QApplication::processEvents();
    // A character that fits needs no scroll bars, nor the blank corner between them.
    EXPECT_FALSE(view->scrollArea()->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(view->scrollArea()->verticalScrollBar()->isVisible());
    const QColor unpainted = view->palette().window().color();
    for (const float scale : { 1.0f, 0.25f, 4.0f }) {
        view->setViewScale(scale);
        view->scrollPoint(QPointF(1e6, 1e6));
        endOfEvent();
        QTest::qWait(1);
        const QImage image = painted();
        const int right = image.width() - 2;
        const QRgb shade = image.pixel(right, 1);
        const bool offPage = view->viewTransform().inverted().map(QPointF(right, 0)).x() > 870;
        EXPECT_EQ(qGray(shade) < 230, offPage) << scale;
        for (int y = 0; y < image.height(); ++y)
            ASSERT_EQ(image.pixel(right, y), shade) << scale << " at " << y;
        // The lower right corner is what the view draws there, not the window's background.
        for (int y = image.height() - 10; y < image.height(); ++y) {
            for (int x = image.width() - 10; x < image.width(); ++x)
                ASSERT_EQ(image.pixel(x, y), shade) << scale << " at " << x << ',' << y;
        }
        EXPECT_NE(shade, unpainted.rgb()) << scale;
    }
}

TEST_F(PartsViewTest, TheThumbnailEditorMovesAndScalesTheFrameOneStepAtATime)
{
    const QByteArray original = bytes();
    click(1);
    choose(kToggleThumbnailEditorAction);
    ASSERT_TRUE(view->thumbnailEditing());
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_TRUE(showMenuItem(window, kToggleThumbnailEditorAction)->isChecked());
    for (const QString& action : { kSelectAllAction, kPasteAction })
        EXPECT_FALSE(showMenuItem(window, action)->isEnabled()) << action.toStdString();
    EXPECT_FALSE(toolbarItemEnabled(kCreateNewPartAction));
    CharacterModel& model = *document->model();
    const QRectF frame = model.thumbnailRect();
    ASSERT_EQ(frame, QRectF(10, 10, 280 / 1.5f, 200 / 1.5f));
    view->repaint();

    // Dragged from inside: the frame follows, never past the origin.
    const QPoint inside = at(frame.center());
    QTest::mousePress(view, Qt::LeftButton, {}, inside);
    QTest::mouseMove(view, inside + QPoint(30, 0));
    QTest::mouseMove(view, inside + at(QPointF(40, -50)) - at(QPointF(0, 0)));
    QTest::mouseRelease(view, Qt::LeftButton, {}, inside + at(QPointF(40, -50)) - at(QPointF(0, 0)));
    endOfEvent();
    EXPECT_EQ(model.thumbnailOrigin(), QPointF(50, 0));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Thumbnail Bounds"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), original);

    // From the bottom-right corner towards the centre: the frame keeps its centre and its
    // proportions, and stops shrinking at 56 by 40.
    view->repaint();
    const QPointF centre = frame.center();
    QTest::mousePress(view, Qt::LeftButton, {}, at(frame.bottomRight()));
    const QPoint near = at(centre + QPointF(70, 40));
    QTest::mouseMove(view, near);
    // The pointer lies on a whole pixel: its distances from the centre as the tracker saw them.
    const QPointF seen = view->viewTransform().inverted().map(QPointF(near)) - centre;
    const float sh = 140.0f / std::max(float(std::abs(seen.x())), 28.0f);
    const float sv = 100.0f / std::max(float(std::abs(seen.y())), 20.0f);
    ASSERT_GT(sv, sh) << "the corner takes the smaller frame: here the height's";
    EXPECT_FLOAT_EQ(model.thumbnailScale(), sv);
    QTest::mouseMove(view, at(centre + QPointF(3, 3)));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(centre + QPointF(3, 3)));
    endOfEvent();
    EXPECT_FLOAT_EQ(model.thumbnailScale(), 5.0f);
    EXPECT_NEAR(model.thumbnailRect().center().x(), centre.x(), 1e-3);
    EXPECT_NEAR(model.thumbnailRect().center().y(), centre.y(), 1e-3);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Scale Thumbnail Bounds"));
    const QByteArray scaled = bytes();
    choose(kUndoAction);
    EXPECT_EQ(bytes(), original);
    choose(kRedoAction);
    EXPECT_EQ(bytes(), scaled);

    // Escape leaves the editor; the selection tool is back.
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(view->thumbnailEditing());
    EXPECT_FALSE(showMenuItem(window, kToggleThumbnailEditorAction)->isChecked());
}

TEST_F(PartsViewTest, CountingItemsLogsPartsPathsAndBlurs)
{
    // Each part holds two stars and a group of two squares; two paths of them get blurs.
    const auto blurred = [&](int partIndex, float blur) {
        const auto path
            = std::dynamic_pointer_cast<PartPath>(asProtocol<Parent>(part(partIndex))->getChildAtIndex(0));
        path->setBlur(blur);
    };
    blurred(0, 1.5f);
    blurred(3, 0.25f);
    Log::Capture log;
    view->tryToPerform(kCountItemsAction, ActionSender());
    EXPECT_EQ(log.lines(),
        (QStringList { QStringLiteral("Counts for Bob"), QStringLiteral("Parts: 5"),
            QStringLiteral("Paths: 20"), QStringLiteral("Blurred paths: 2"),
            QStringLiteral("Average blur: 0.875000"), QStringLiteral("Paths blurred over threshold: 1") }));
}

// With the stars outlined 16 wide, their points mitre some 26 units out, the first part's past the
// origin: every view of parts reaches every edge of what the parts draw. The one-type view, the
// parts view, and zoomed in so that the parts fill them, the part editor and the group editor.
TEST_F(PartsViewTest, EveryViewReachesWhatTheOutlinesDraw)
{
    for (const ObjectPtr& child : children()) {
        for (const ObjectPtr& element : asProtocol<Parent>(child)->children()) {
            if (auto* path = dynamic_cast<PartPath*>(element.get()))
                path->setLineWeight(16);
        }
    }
    const auto expectReachesAll = [](ZDLView* shown, const char* where) {
        shown->updateViewSize();
        for (const ObjectPtr& element : asProtocol<Parent>(shown->rootObject())->children())
            EXPECT_TRUE(
                shown->viewBounds().contains(asProtocol<GraphicElement>(element)->getFilteredBounds()))
                << where;
    };
    choosePartsViewType(1);
    expectReachesAll(view, "one type");
    choosePartsViewType(-1);
    expectReachesAll(view, "every part");
    view->setSelection({ part(0) });
    choose(kEditObjectAction);
    auto* editor = dynamic_cast<PartEditingView*>(document->currentEditor());
    ASSERT_TRUE(editor);
    editor->partElementsView()->setViewScale(8.0f);
    expectReachesAll(editor->partElementsView(), "part editor");
    document->popEditor();
    // Grouped away from the origin, which the group editor does not reach.
    for (const int index : { 1, 2 })
        asProtocol<GraphicElement>(part(index))->offsetBy(QPointF(0, 100), true);
    view->setSelection({ part(1), part(2) });
    choose(kGroupAction);
    choose(kEditObjectAction);
    auto* groupView = window->findChild<GroupView*>();
    ASSERT_TRUE(groupView && groupView->isVisible());
    groupView->setViewScale(4.0f);
    expectReachesAll(groupView, "group editor");
}

// Under a real display (ZANDREL_SCREENSHOT names the file) the window is saved showing every part,
// then one type with an alias selected ("-type" before the extension), then the thumbnail editor
// ("-thumbnail"), for a person to look at.
TEST_F(PartsViewTest, ScreenshotsOfEveryPartAndOfOneType)
{
    const QString path = qEnvironmentVariable("ZANDREL_SCREENSHOT");
    if (path.isEmpty())
        GTEST_SKIP() << "no display to photograph";
    window->resize(1000, 700);
    dynamic_cast<Part&>(*part(3)).setPartType(1);
    click(2);
    QTest::qWait(300);
    EXPECT_TRUE(window->grab().save(path));
    choosePartsViewType(1);
    QTest::mouseClick(view, Qt::LeftButton, {},
        view->viewTransform()
            .map(asProtocol<GraphicElement>(view->partAliasesParent()->getChildAtIndex(1))
                     ->getBounds()
                     .center())
            .toPoint());
    QTest::qWait(300);
    QString typePath = path;
    EXPECT_TRUE(window->grab().save(typePath.insert(typePath.lastIndexOf(u'.'), QStringLiteral("-type"))));
    choosePartsViewType(-1);
    choose(kToggleThumbnailEditorAction);
    QTest::qWait(300);
    QString thumbnailPath = path;
    EXPECT_TRUE(window->grab().save(
        thumbnailPath.insert(thumbnailPath.lastIndexOf(u'.'), QStringLiteral("-thumbnail"))));
}

} // namespace
} // namespace zandrel
