// The part editor through a real character window: its commands as named undo steps that undo to
// the saved bytes, the pending part, the paste question, and the preview that follows the part.
#include "CharacterWindowFixture.h"
#include "app/PartEditingView.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/Balloon.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLContext.h"
#include "panels/HelpComicView.h"
#include "platform/CurrentCanvas.h"
#include "platform/Log.h"
#include "platform/PainterCanvas.h"
#include "platform/UserDefaults.h"
#include "tools/QuadPenTool.h"
#include "tools/ReshapingTool.h"
#include "views/PartElementsView.h"
#include "views/PartPreviewView.h"
#include "views/ZDLScrollArea.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QToolTip>
#include <functional>

namespace zandrel::test {
namespace {

class PartEditorTest : public PartEditorWindowTest {
public:
    // The table of commands below acts through these.
    using CharacterWindowTest::alerts;
    using CharacterWindowTest::bytes;
    using CharacterWindowTest::choose;
    using CharacterWindowTest::document;
    using CharacterWindowTest::endOfEvent;
    using CharacterWindowTest::part;
    using PartEditorWindowTest::editor;
    using PartEditorWindowTest::elements;

protected:
    void SetUp() override
    {
        PartEditorWindowTest::SetUp();
        openPart(0);
    }

public:
    void openPart(int index)
    {
        view->setSelection({ part(index) });
        choose(kEditObjectAction);
        endOfEvent();
        ASSERT_EQ(document->currentEditor(), editor);
    }
    // The children of the edited root.
    ObjectPtr element(int index) const
    {
        return asProtocol<Parent>(elements->rootObject())->getChildAtIndex(index);
    }
    qsizetype elementCount() const
    {
        return qsizetype(asProtocol<Parent>(elements->rootObject())->numChildren());
    }
    PartPath* pathAt(int index) const { return dynamic_cast<PartPath*>(element(index).get()); }
    void select(const QList<int>& indexes)
    {
        ElementList chosen;
        for (int index : indexes)
            chosen.append(element(index));
        elements->setSelection(chosen);
    }
    ZDLColorPtr fillColorOf(int index) const
    {
        const auto* fill = dynamic_cast<const ColorFill*>(pathAt(index)->fill().get());
        return fill ? fill->fillColor() : nullptr;
    }
    ZDLColorPtr namedColor(const QString& name) const
    {
        for (const ZDLColorPtr& color : document->model()->colors()) {
            if (color->name() == name)
                return color;
        }
        return nullptr;
    }
};

struct CommandCase {
    const char* name;
    // Brings the part to where the command starts; its steps are part of the saved state.
    std::function<void(PartEditorTest&)> prepare;
    QList<int> selection;
    std::function<void(PartEditorTest&)> run;
    QString undoName;
    std::function<void(PartEditorTest&)> check;
};

// The fixture's part 0: a skin star, a coat star and a group of two coat squares.
TEST_F(PartEditorTest, EachCommandIsOneNamedStepThatUndoesToTheSavedBytesAndRedoes)
{
    const auto chooseAction
        = [](const QString& action) { return [action](PartEditorTest& t) { t.choose(action); }; };
    const QList<CommandCase> cases {
        { "group", {}, { 0, 1 }, chooseAction(kGroupAction), QStringLiteral("Group"),
            [](PartEditorTest& t) {
                ASSERT_EQ(t.elementCount(), 2);
                const auto* group = dynamic_cast<const PartGroup*>(t.element(0).get());
                ASSERT_TRUE(group);
                EXPECT_EQ(group->numChildren(), 2u);
                EXPECT_EQ(t.elements->selection(), ElementList { t.element(0) });
            } },
        { "ungroup", {}, { 2 }, chooseAction(kUngroupAction), QStringLiteral("Ungroup"),
            [](PartEditorTest& t) {
                ASSERT_EQ(t.elementCount(), 4);
                EXPECT_TRUE(t.pathAt(2) && t.pathAt(3));
                EXPECT_EQ(t.elements->selection(), (ElementList { t.element(2), t.element(3) }));
            } },
        { "ungroup compound path",
            [](PartEditorTest& t) {
                t.select({ 0, 1 });
                t.choose(kMergeAction);
                t.endOfEvent();
            },
            { 0 }, chooseAction(kUngroupAction), QStringLiteral("Ungroup Compound Paths"),
            [](PartEditorTest& t) {
                ASSERT_EQ(t.elementCount(), 3);
                ASSERT_TRUE(t.pathAt(0) && t.pathAt(1));
                EXPECT_EQ(t.pathAt(0)->numSegments(), 1u);
                EXPECT_EQ(t.pathAt(1)->numSegments(), 1u);
                // Both keep the merged path's style; the curves come in their order.
                EXPECT_EQ(t.fillColorOf(0), t.fillColorOf(1));
                EXPECT_GT(t.pathAt(0)->getBounds().width(), t.pathAt(1)->getBounds().width());
            } },
        { "align path points",
            [](PartEditorTest& t) {
                t.select({ 2 });
                t.choose(kUngroupAction);
                t.endOfEvent();
                t.document->undoableOffsetObjects({ t.element(2) }, QPointF(0.3, 0.4), false);
                t.endOfEvent();
            },
            { 2 }, chooseAction(kAlignPathPointsAction), QStringLiteral("Align Path Points"),
            [](PartEditorTest& t) {
                for (const CurvePtr& curve : t.pathAt(2)->segments()) {
                    for (const auto& point : curve->points()) {
                        EXPECT_EQ(point->point().x(), std::round(point->point().x()));
                        EXPECT_EQ(point->point().y(), std::round(point->point().y()));
                    }
                }
            } },
        { "hand-drawn look", {}, { 0, 1 }, chooseAction(kMakePathLookHanddrawnAction),
            QStringLiteral("Make Paths Look Handdrawn"),
            [](PartEditorTest& t) {
                EXPECT_EQ(t.pathAt(0)->numSegments(), 1u);
                EXPECT_GT(t.pathAt(0)->getSegmentAtIndex(0)->points().size(), 10u);
            } },
        { "paste style",
            [](PartEditorTest& t) {
                t.select({ 1 });
                t.choose(kCopyFontAction);
            },
            { 0 }, chooseAction(kPasteFontAction), QStringLiteral("Paste Style"),
            [](PartEditorTest& t) { EXPECT_EQ(t.fillColorOf(0), t.namedColor(QStringLiteral("Coat"))); } },
        { "apply style", [](PartEditorTest& t) { t.document->model()->createDefaultStyles(); }, { 1 },
            [](PartEditorTest& t) { t.elements->tryToPerform(kApplyStyleAction, ActionSender { 0 }); },
            QStringLiteral("Apply Style"),
            [](PartEditorTest& t) { EXPECT_EQ(t.fillColorOf(1), t.namedColor(QStringLiteral("Skin"))); } },
        { "set pivot point", {}, { 0 },
            [](PartEditorTest& t) {
                t.elements->tryToPerform(kSetPivotPointAction,
                    ActionSender { 0, QString(), kContextualMenuSender, kSetPivotPointAction });
            },
            QStringLiteral("Set Part Pivot Point"),
            [](PartEditorTest& t) {
                EXPECT_TRUE(t.editor->currentPart()->hasOrigin());
                EXPECT_EQ(t.editor->currentPart()->origin(), t.elements->rightClickPos());
                EXPECT_TRUE(t.elements->selection().isEmpty());
            } },
        { "reset pivot point",
            [](PartEditorTest& t) {
                t.elements->setPivotPoint(QPointF(10, 20));
                t.endOfEvent();
            },
            {}, chooseAction(kResetPivotPointAction), QStringLiteral("Reset Part Pivot Point"),
            [](PartEditorTest& t) { EXPECT_FALSE(t.editor->currentPart()->hasOrigin()); } },
        { "split part", {}, { 0, 2 }, [](PartEditorTest& t) { t.elements->splitSelectionToPartWithType(9); },
            QStringLiteral("Split Part"),
            [](PartEditorTest& t) {
                const auto& model = *t.document->model();
                ASSERT_EQ(model.numChildren(), 6u);
                const auto* split = dynamic_cast<const Part*>(t.part(5).get());
                ASSERT_TRUE(split);
                EXPECT_EQ(int(split->partType()), 9);
                EXPECT_EQ(split->numChildren(), 2u);
                EXPECT_EQ(t.elementCount(), 1);
            } },
        { "part type", {}, {},
            [](PartEditorTest& t) {
                QComboBox* popup = t.editor->partTypePopup();
                const int index = popup->findData(14);
                popup->setCurrentIndex(index);
                emit popup->activated(index);
            },
            QStringLiteral("Set Part Type"),
            [](PartEditorTest& t) {
                EXPECT_EQ(int(t.editor->currentPart()->partType()), 14);
                EXPECT_EQ(t.editor->partTypePopup()->currentData().toInt(), 14);
            } },
        { "paste from this file",
            [](PartEditorTest& t) {
                t.select({ 0 });
                t.choose(kCopyAction);
            },
            {}, chooseAction(kPasteAction), QStringLiteral("Paste"),
            [](PartEditorTest& t) {
                ASSERT_EQ(t.elementCount(), 4);
                EXPECT_EQ(t.elements->selection(), ElementList { t.element(3) });
                EXPECT_TRUE(t.alerts.isEmpty());
            } },
    };
    const QByteArray original = bytes();
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.prepare)
            c.prepare(*this);
        endOfEvent();
        const QByteArray before = bytes();
        select(c.selection);
        c.run(*this);
        endOfEvent();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + c.undoName);
        c.check(*this);
        const QByteArray after = bytes();
        EXPECT_NE(after, before);
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
        choose(kRedoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), after);
        // Back to the file as opened (but for the styles made by hand) for the next case.
        while (document->undoManager()->canUndo()) {
            document->undoManager()->undo();
            endOfEvent();
        }
        document->model()->setStyles({});
        ASSERT_EQ(bytes(), original);
        document->edit(part(0));
        endOfEvent();
    }
}

// Drags with a tool of the editor's row: press, move and release at document points.
TEST_F(PartEditorTest, ShapeToolsDrawPathsAsCreateLineWithShiftKeepingToAxesAndSquares)
{
    struct Row {
        int tool;
        QPointF drag;
        Qt::KeyboardModifiers modifiers;
        QList<QPointF> points;
    };
    const QPointF s(200, 200);
    const QList<Row> rows {
        { PartEditingView::Line, QPointF(30, 11), Qt::ShiftModifier, { s, s + QPointF(30, 30) } },
        { PartEditingView::Line, QPointF(30, 9), Qt::ShiftModifier, { s, s + QPointF(30, 0) } },
        { PartEditingView::Line, QPointF(10, 31), Qt::ShiftModifier, { s, s + QPointF(0, 31) } },
        { PartEditingView::Line, QPointF(10, 31), {}, { s, s + QPointF(10, 31) } },
        { PartEditingView::Rect, QPointF(-20, 5), Qt::ShiftModifier,
            { s + QPointF(-20, 0), s, s + QPointF(0, 20), s + QPointF(-20, 20) } },
    };
    elements->setViewScale(1.0f);
    elements->scrollToCenterDocPoint(s);
    const auto widgetPoint = [this](const QPointF& point) { return elements->viewTransform().map(point); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.drag.x() * 100 + row.drag.y());
        editor->toolButton(row.tool)->click();
        ASSERT_EQ(editor->currentTool(), row.tool);
        const QByteArray before = bytes();
        QTest::mousePress(elements, Qt::LeftButton, row.modifiers, widgetPoint(s).toPoint());
        QMouseEvent move(QEvent::MouseMove, widgetPoint(s + row.drag),
            elements->mapToGlobal(widgetPoint(s + row.drag)), Qt::NoButton, Qt::LeftButton, row.modifiers);
        QApplication::sendEvent(elements, &move);
        QTest::mouseRelease(elements, Qt::LeftButton, row.modifiers, widgetPoint(s + row.drag).toPoint());
        endOfEvent();
        ASSERT_EQ(elementCount(), 4);
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo Create Line"));
        EXPECT_EQ(elements->selection(), ElementList { element(3) });
        QList<QPointF> points;
        for (const auto& point : pathAt(3)->getSegmentAtIndex(0)->points())
            points.append(point->point());
        EXPECT_EQ(points, row.points);
        // A line is never filled.
        EXPECT_EQ(row.tool == PartEditingView::Line, fillColorOf(3) == document->model()->noneColor());
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
    }
    // A click draws nothing.
    editor->toolButton(PartEditingView::Ellipse)->click();
    QTest::mouseClick(elements, Qt::LeftButton, {}, widgetPoint(s).toPoint());
    EXPECT_EQ(elementCount(), 3);
}

TEST_F(PartEditorTest, ThePenClosesOnItsStartAndEndsAnOpenPathWithADoubleClick)
{
    elements->setViewScale(1.0f);
    const QPointF a(200, 200), b(260, 200), c(260, 260);
    elements->scrollToCenterDocPoint(b);
    const auto at = [this](const QPointF& point) { return elements->viewTransform().map(point).toPoint(); };
    editor->toolButton(PartEditingView::Pen)->click();
    ASSERT_EQ(editor->currentTool(), PartEditingView::Pen);
    auto* pen = dynamic_cast<QuadPenTool*>(elements->currentTool());
    ASSERT_TRUE(pen);
    const QByteArray before = bytes();
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(a));
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(b));
    // Pressed at c and dragged 10 points: c becomes a control point.
    QTest::mousePress(elements, Qt::LeftButton, {}, at(c));
    QMouseEvent drag(QEvent::MouseMove, at(c + QPointF(10, 0)), elements->mapToGlobal(at(c + QPointF(10, 0))),
        Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(elements, &drag);
    QTest::mouseRelease(elements, Qt::LeftButton, {}, at(c + QPointF(10, 0)));
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(a));
    endOfEvent();
    ASSERT_EQ(elementCount(), 4);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Create Path"));
    const CurvePtr closed = pathAt(3)->getSegmentAtIndex(0);
    EXPECT_TRUE(closed->closed());
    QList<std::pair<QPointF, bool>> points;
    for (const auto& point : closed->points())
        points.append({ point->point(), point->onCurve() });
    EXPECT_EQ(points, (QList<std::pair<QPointF, bool>> { { a, true }, { b, true }, { c, false } }));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);

    // An open path of two points ends with a double click on its last one.
    editor->toolButton(PartEditingView::Pen)->click();
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(a));
    doubleClick(elements, at(b));
    EXPECT_FALSE(pen->editCurve());
    // Every drawing ends with the points of the new path at hand.
    EXPECT_EQ(editor->currentTool(), PartEditingView::Reshaping);
    endOfEvent();
    ASSERT_EQ(elementCount(), 4);
    const CurvePtr open = pathAt(3)->getSegmentAtIndex(0);
    EXPECT_FALSE(open->closed());
    ASSERT_EQ(open->numPoints(), 2);
    EXPECT_EQ(open->lastPoint()->point(), b);
}

TEST_F(PartEditorTest, APencilStrokeIsFittedIntoAPathAndAClickDrawsNothing)
{
    elements->setViewScale(1.0f);
    const QPointF s(200, 200);
    elements->scrollToCenterDocPoint(s + QPointF(40, 0));
    const auto at = [this](const QPointF& point) { return elements->viewTransform().map(point); };
    editor->toolButton(PartEditingView::Pencil)->click();
    ASSERT_EQ(editor->currentTool(), PartEditingView::Pencil);
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(s).toPoint());
    endOfEvent();
    EXPECT_EQ(elementCount(), 3);

    // Half a circle of radius 40, one point every 6 degrees.
    const QByteArray before = bytes();
    QTest::mousePress(elements, Qt::LeftButton, {}, at(s).toPoint());
    for (int degrees = 6; degrees <= 180; degrees += 6) {
        const double angle = qDegreesToRadians(double(degrees));
        const QPointF point = s + QPointF(40 - 40 * std::cos(angle), -40 * std::sin(angle));
        QMouseEvent move(QEvent::MouseMove, at(point), elements->mapToGlobal(at(point)), Qt::NoButton,
            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(elements, &move);
    }
    QTest::mouseRelease(elements, Qt::LeftButton, {}, at(s + QPointF(80, 0)).toPoint());
    endOfEvent();
    ASSERT_EQ(elementCount(), 4);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Create Path"));
    const CurvePtr fitted = pathAt(3)->getSegmentAtIndex(0);
    EXPECT_FALSE(fitted->closed());
    // Far fewer points than were drawn, from the press to the last point drawn.
    EXPECT_LT(fitted->numPoints(), 12);
    EXPECT_EQ(fitted->getPointAtIndex(0)->point(), s);
    EXPECT_NEAR(fitted->lastPoint()->point().x(), s.x() + 80, 0.01);
    // The fitted arc stays near the circle drawn.
    const QRectF bounds = pathAt(3)->getBoundsIgnoringVisibility();
    EXPECT_NEAR(bounds.top(), s.y() - 40, 2.0);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

TEST_F(PartEditorTest, TheReshapingToolDragsNudgesAndDeletesPoints)
{
    elements->setViewScale(2.0f);
    const QPointF tip(50, 10);
    elements->scrollToCenterDocPoint(tip);
    const auto at = [this](const QPointF& point) { return elements->viewTransform().map(point); };
    editor->toolButton(PartEditingView::Reshaping)->click();
    auto* tool = dynamic_cast<ReshapingTool*>(elements->currentTool());
    ASSERT_TRUE(tool);
    select({ 0 });
    const auto tipPoint = [this] { return pathAt(0)->getSegmentAtIndex(0)->getPointAtIndex(0)->point(); };

    // Dragged 5 units to the right.
    const QByteArray before = bytes();
    QTest::mousePress(elements, Qt::LeftButton, {}, at(tip).toPoint());
    for (const QPointF& step : { QPointF(2, 0), QPointF(5, 0) }) {
        QMouseEvent move(QEvent::MouseMove, at(tip + step), elements->mapToGlobal(at(tip + step)),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(elements, &move);
    }
    QTest::mouseRelease(elements, Qt::LeftButton, {}, at(tip + QPointF(5, 0)).toPoint());
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Reshape Path"));
    EXPECT_EQ(tipPoint(), tip + QPointF(5, 0));
    const QByteArray dragged = bytes();
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(tipPoint(), tip);
    choose(kRedoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), dragged);

    // One screen point at 200 per cent is half a unit.
    ASSERT_EQ(tool->selection().size(), 1);
    elements->setFocus();
    QTest::keyClick(elements, Qt::Key_Right);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Nudge Path Points"));
    EXPECT_EQ(tipPoint(), tip + QPointF(5.5, 0));
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT").replace(".png", "-points.png"));

    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete Path Point"));
    EXPECT_EQ(pathAt(0)->getSegmentAtIndex(0)->numPoints(), 9);
    EXPECT_EQ(elementCount(), 3);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(pathAt(0)->getSegmentAtIndex(0)->numPoints(), 10);
}

TEST_F(PartEditorTest, ValidationFollowsTheSelection)
{
    struct Row {
        QList<int> selection;
        QString action;
        bool enabled;
    };
    const QList<Row> rows {
        { { 0 }, kGroupAction, false },
        { { 0, 1 }, kGroupAction, true },
        { { 0 }, kUngroupAction, false },
        { { 0, 2 }, kUngroupAction, true },
        { {}, kCopyFontAction, true },
        { { 0, 1 }, kCopyFontAction, false },
        { { 2 }, kPasteFontAction, false },
        { { 0, 2 }, kAlignPathPointsAction, false },
        { { 0, 1 }, kMakePathLookHanddrawnAction, true },
        { {}, kResetPivotPointAction, false },
        { {}, kShowAllAction, false },
        // The split sheet is offered for some of the part's elements.
        { { 0 }, kSplitToSeparatePartAction, true },
        { { 0, 1, 2 }, kSplitToSeparatePartAction, false },
        { {}, kEditStylesAction, true },
        // A style is saved from the defaults or from one path.
        { { 0 }, kSaveAsStyleAction, true },
        { { 0, 1 }, kSaveAsStyleAction, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action.toStdString());
        select(row.selection);
        MenuItemValidation item;
        item.action = row.action;
        ASSERT_TRUE(elements->validateMenuItem(item));
        EXPECT_EQ(item.enabled, row.enabled);
    }
}

// Escape out of a menu leaves the focus on the menu bar; the editor's view still takes the commands.
TEST_F(PartEditorTest, WithTheFocusOnTheMenuBarTheEditorsViewStillAnswersItsCommands)
{
    select({ 0, 1 });
    window->menuBar()->setFocus();
    endOfEvent();
    ASSERT_FALSE(elements->hasFocus());
    EXPECT_TRUE(showMenuItem(window, kSelectAllAction)->isEnabled());
    const qsizetype before = elementCount();
    choose(kGroupAction);
    endOfEvent();
    EXPECT_EQ(elementCount(), before - 1);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Group"));
}

TEST_F(PartEditorTest, HidingIsAViewingAidUndoneByLeaving)
{
    const QByteArray before = bytes();
    select({ 0, 1 });
    choose(kHideSelectionAction);
    EXPECT_TRUE(elements->anyHidden());
    EXPECT_TRUE(elements->selection().isEmpty());
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_EQ(bytes(), before);
    document->edit(nullptr);
    endOfEvent();
    EXPECT_TRUE(asProtocol<GraphicElement>(part(0))->visible());
    for (const ObjectPtr& child : asProtocol<Parent>(part(0))->children())
        EXPECT_TRUE(asProtocol<GraphicElement>(child)->visible());
}

TEST_F(PartEditorTest, APendingPartIsInsertedWithItsFirstElementAndForgottenWhenLeftEmpty)
{
    const auto model = document->model();
    auto pending = std::make_shared<Part>(model);
    pending->setParent(model.get());
    document->edit(pending);
    endOfEvent();
    EXPECT_TRUE(editor->partIsPending());
    EXPECT_EQ(editor->partIndex(), 5);
    // Leaving without drawing: the part never joins the character.
    const QByteArray before = bytes();
    document->edit(nullptr);
    endOfEvent();
    EXPECT_EQ(bytes(), before);

    document->edit(pending);
    endOfEvent();
    elements->insertPartElements(
        { squarePath(QRectF(0, 0, 10, 10), model->blackColor(), model->whiteColor()) });
    endOfEvent();
    ASSERT_EQ(model->numChildren(), 6u);
    EXPECT_EQ(part(5), pending);
    EXPECT_FALSE(editor->partIsPending());

    // Deleting its only element takes it out again.
    select({ 0 });
    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(model->numChildren(), 5u);
}

TEST_F(PartEditorTest, ANewPartOfThePartsViewStartsWithThePenAndJoinsWithItsFirstPath)
{
    document->edit(nullptr);
    // The zoom is kept with the file: set before the file is compared.
    elements->setViewScale(1.0f);
    endOfEvent();
    const QByteArray original = bytes();
    toolbarItem(window, kCreateNewPartAction)->trigger();
    endOfEvent();
    ASSERT_EQ(document->currentEditor(), editor);
    ASSERT_TRUE(editor->partIsPending());
    EXPECT_EQ(editor->currentTool(), PartEditingView::Pen);
    const QPointF a(300, 300), b(360, 300), c(330, 350);
    elements->scrollToCenterDocPoint(b);
    const auto at = [this](const QPointF& point) { return elements->viewTransform().map(point).toPoint(); };
    for (const QPointF& point : { a, b, c, a })
        QTest::mouseClick(elements, Qt::LeftButton, {}, at(point));
    endOfEvent();
    const auto& model = *document->model();
    ASSERT_EQ(model.numChildren(), 6u);
    EXPECT_EQ(part(5), editor->currentPart());
    EXPECT_FALSE(editor->partIsPending());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Create Path"));
    // One step: the path and the part's joining go together.
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), original);
}

TEST_F(PartEditorTest, ADoubleClickOnEmptySpaceOfTheCharacterStartsANewPartThereWithThePen)
{
    document->edit(nullptr);
    // With the character behind the part the editor can scroll to any spot of it: here between the
    // first two parts.
    document->documentSettings()->setBackgroundStyle(2);
    endOfEvent();
    const QPointF spot(110, 50);
    ASSERT_FALSE(view->childAt(spot));
    doubleClick(view, CharacterWindowTest::at(spot));
    endOfEvent();
    ASSERT_EQ(document->currentEditor(), editor);
    EXPECT_TRUE(editor->partIsPending());
    EXPECT_EQ(editor->currentTool(), PartEditingView::Pen);
    const QPointF middle = elements->convertFromWidget(QPointF(elements->width(), elements->height()) / 2);
    // Centred across; upwards the view ends at the top of the drawing.
    EXPECT_NEAR(middle.x(), spot.x(), 1.0);
    EXPECT_TRUE(elements->visibleRect().contains(spot));
    // Its first path puts it into the character.
    const auto at = [this](const QPointF& point) { return elements->viewTransform().map(point).toPoint(); };
    QTest::mouseClick(elements, Qt::LeftButton, {}, at(spot));
    doubleClick(elements, at(spot + QPointF(30, 10)));
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Create Path"));
    EXPECT_EQ(document->model()->numChildren(), 6u);
}

TEST_F(PartEditorTest, AnUndoThatShortenedTheParentCannotPutANewPartOutOfRange)
{
    const auto model = document->model();
    auto pending = std::make_shared<Part>(model);
    pending->setParent(model.get());
    document->edit(pending);
    endOfEvent();
    ASSERT_EQ(editor->partIndex(), 5);
    // Two parts go while the new part's editor is open (an undo of their pasting would do the same).
    ElementList fewer = model->children();
    fewer.erase(fewer.begin(), fewer.begin() + 2);
    document->undoableSetChildren(fewer, model);
    endOfEvent();
    elements->insertPartElements(
        { squarePath(QRectF(0, 0, 10, 10), model->blackColor(), model->whiteColor()) });
    endOfEvent();
    ASSERT_EQ(model->numChildren(), 4u);
    EXPECT_EQ(part(3), pending);
}

TEST_F(PartEditorTest, UngroupingAGroupAndACompoundPathDissolvesOnlyTheGroup)
{
    select({ 0, 1 });
    choose(kMergeAction);
    endOfEvent();
    ASSERT_EQ(pathAt(0)->numSegments(), 2u);
    select({ 0, 1 });
    choose(kUngroupAction);
    endOfEvent();
    ASSERT_EQ(elementCount(), 3);
    EXPECT_EQ(pathAt(0)->numSegments(), 2u);
    EXPECT_EQ(elements->selection(), (ElementList { element(1), element(2) }));
}

TEST_F(PartEditorTest, AScrapOfBalloonsPastesNothingAndAGroupLeftWithOneElementIsLeft)
{
    auto scrap = std::make_shared<PasteboardParent>();
    scrap->setChildren({ std::make_shared<Balloon>() });
    const QByteArray before = bytes();
    elements->insertFromScrap(scrap);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    EXPECT_TRUE(alerts.isEmpty());

    // Inside the group of two squares, deleting one leaves the group's level.
    const ObjectPtr group = element(2);
    select({ 2 });
    choose(kEditObjectAction);
    endOfEvent();
    ASSERT_EQ(elements->rootObject(), group);
    select({ 0 });
    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(elements->rootObject(), part(0));
}

TEST_F(PartEditorTest, PastingFromAnotherFileAsksAndCancelChangesNothing)
{
    DocumentWindow* other = openCharacter(QStringLiteral("Alice"), 1);
    ASSERT_TRUE(other);
    auto* otherDocument = dynamic_cast<CharacterDocument*>(other->document());
    // A colour only the other file has.
    const auto teal = ZDLColor::colorFromHexNamed(QStringLiteral("#208080"), QStringLiteral("Teal"));
    otherDocument->model()->addColor(teal);
    auto* otherPath = dynamic_cast<PartPath*>(
        asProtocol<Parent>(otherDocument->model()->getChildAtIndex(0))->getChildAtIndex(0).get());
    otherPath->setFillColor(teal);
    otherDocument->edit(otherDocument->model()->getChildAtIndex(0));
    endOfEvent();
    auto* otherElements = other->findChild<PartElementsView*>();
    otherElements->setSelection(
        { otherElements->rootObject() ? asProtocol<Parent>(otherElements->rootObject())->getChildAtIndex(0)
                                      : nullptr });
    otherElements->setFocus();
    choose(kCopyAction, other);

    window->activateWindow();
    endOfEvent();
    const QByteArray before = bytes();
    answers = { ModalAlert::kSecondButton };
    elements->setFocus();
    choose(kPasteAction);
    endOfEvent();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().buttons, (QStringList { QStringLiteral("Paste"), QStringLiteral("Cancel") }));
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(namedColor(QStringLiteral("Teal")));

    answers = { ModalAlert::kFirstButton };
    choose(kPasteAction);
    endOfEvent();
    ASSERT_EQ(elementCount(), 4);
    ASSERT_TRUE(namedColor(QStringLiteral("Teal")));
    EXPECT_EQ(fillColorOf(3), namedColor(QStringLiteral("Teal")));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

// The part drawn as the preview should: at scale 1, its centre in the middle.
QImage expectedPreview(const Part& part, const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    PainterCanvas canvas(&painter);
    CanvasScope current(&canvas);
    ZDLContext context(1.0f);
    context.setBlurThreshold(0);
    const QPointF centre = part.getCenter();
    canvas.translate(size.width() * 0.5 - centre.x(), size.height() * 0.5 - centre.y());
    ArrayUtils::drawPartElements(part.children(), context);
    return image;
}

// The largest difference of a colour channel, inside the frame.
int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 2; y < a.height() - 2; ++y) {
        for (int x = 2; x < a.width() - 2; ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            largest = std::max({ largest, std::abs(p.red() - q.red()), std::abs(p.green() - q.green()),
                std::abs(p.blue() - q.blue()) });
        }
    }
    return largest;
}

TEST_F(PartEditorTest, ThePreviewShowsThePartAtItsSizeAndFollowsAnEdit)
{
    PartPreviewCornerView* preview = editor->previewView();
    ASSERT_TRUE(preview->isVisible());
    const auto edited = std::static_pointer_cast<Part>(part(0));
    const QImage first = preview->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_LE(largestDifference(first, expectedPreview(*edited, preview->size())), 2);

    // The coat star turns white through the document: the preview redraws on its own.
    document->undoableSetPropertyFor(
        element(1), QStringLiteral("fillColor"), Value(document->model()->whiteColor()));
    endOfEvent();
    const QImage second = preview->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    EXPECT_GT(largestDifference(first, second), 100);
    EXPECT_LE(largestDifference(second, expectedPreview(*edited, preview->size())), 2);
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT"));
}

TEST_F(PartEditorTest, InsideAGroupTheContextIsDimmedAndTheGroupDrawnAtFullStrength)
{
    elements->tryToPerform(kSetBackgroundAction, ActionSender { 2 });
    select({ 2 });
    choose(kEditObjectAction);
    endOfEvent();
    ASSERT_EQ(elements->rootObject(), asProtocol<Parent>(part(0))->getChildAtIndex(2));
    EXPECT_FALSE(editor->partTypePopup()->isVisible());
    const QImage shown = elements->grab().toImage();
    const auto colorAt = [&](const QPointF& point) {
        return shown.pixelColor(elements->viewTransform().map(point).toPoint());
    };
    const QColor coat(0x30, 0x60, 0xA0);
    const auto distance = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    };
    // Why each probe: a square of the edited group; the coat star, the rest of the part behind it.
    EXPECT_LE(distance(colorAt(QPointF(44, 44)), coat), 6);
    const QColor behind = colorAt(QPointF(50, 25));
    EXPECT_GT(distance(behind, coat), 60);
    EXPECT_GT(behind.lightness(), coat.lightness());
    ASSERT_TRUE(elements->imageCache());
    // A zoom drops the bitmap of the rest of the part.
    elements->zoomIn();
    EXPECT_FALSE(elements->imageCache());
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT"))
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT").replace(".png", "-group.png"));
}

TEST_F(PartEditorTest, InsideAPathItsFillShowsAndItsOutsideIsWashedOut)
{
    select({ 0 });
    choose(kEditObjectAction);
    endOfEvent();
    ASSERT_EQ(elements->rootObject(), asProtocol<Parent>(part(0))->getChildAtIndex(0));
    EXPECT_FALSE(editor->partTypePopup()->isVisible());
    const QImage shown = elements->grab().toImage();
    const auto colorAt = [&](const QPointF& point) {
        return shown.pixelColor(elements->viewTransform().map(point).toPoint());
    };
    // Why each probe: the middle of the skin star shows its own fill; outside, white darkened by
    // 15 per cent and whitened by 45 per cent is 234.
    const QColor inside = colorAt(QPointF(50, 50));
    EXPECT_NEAR(inside.red(), 0xF0, 3);
    EXPECT_NEAR(inside.green(), 0xC8, 3);
    EXPECT_NEAR(inside.blue(), 0xA0, 3);
    EXPECT_NEAR(qGray(colorAt(QPointF(3, 3)).rgb()), 234, 3);
}

TEST_F(PartEditorTest, ThePreviewDocksInTheNearestCornerAndRemembersIt)
{
    PartPreviewCornerView* preview = editor->previewView();
    QWidget* area = preview->parentWidget();
    const int margin = PartPreviewCornerView::kScrollerMargin;
    // A fresh installation: top-right.
    UserDefaults::standard().remove(PartPreviewCornerView::kCornerDefaultsKey);
    preview->setCorner(UserDefaults::standard().integer(PartPreviewCornerView::kCornerDefaultsKey));
    EXPECT_EQ(preview->corner(), PartPreviewCornerView::TopRight);
    EXPECT_EQ(preview->pos(), QPoint(area->width() - preview->width() - margin, 0));

    // Let go exactly in the middle: ties go to the bottom and the right.
    preview->move(area->width() / 2 - preview->width() / 2, area->height() / 2 - preview->height() / 2);
    preview->animateToAndSetNearestCorner();
    EXPECT_EQ(preview->corner(), PartPreviewCornerView::BottomRight);
    EXPECT_EQ(UserDefaults::standard().integer(PartPreviewCornerView::kCornerDefaultsKey), 0);

    // Dragged near the top-left and released with the mouse.
    const QPoint grip(10, 10);
    QTest::mousePress(preview, Qt::LeftButton, {}, grip);
    QMouseEvent move(QEvent::MouseMove, QPointF(grip) - QPointF(preview->pos()) + QPointF(20, 20),
        preview->mapToGlobal(QPointF(grip)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &move);
    QTest::mouseRelease(preview, Qt::LeftButton, {}, preview->mapFromParent(QPoint(30, 30)));
    EXPECT_EQ(preview->corner(), PartPreviewCornerView::TopLeft);
    EXPECT_EQ(UserDefaults::standard().integer(PartPreviewCornerView::kCornerDefaultsKey), 3);
    // The glide ends where the corner is, however slowly its frames come.
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview->pos() == QPoint(0, 0); }, 30000)) << preview->pos().x();
}

TEST_F(PartEditorTest, ThePreviewTornOffFloatsInAWindowUntilItIsClosed)
{
    PartPreviewCornerView* preview = editor->previewView();
    QWidget* area = preview->parentWidget();
    const QPoint grip(10, 10);
    QTest::mousePress(preview, Qt::LeftButton, {}, grip);
    const QPointF away = QPointF(grip) + QPointF(area->width() + 50, 0);
    QMouseEvent move(
        QEvent::MouseMove, away, preview->mapToGlobal(away), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(preview, &move);
    ASSERT_TRUE(preview->previewWindow());
    EXPECT_TRUE(preview->previewWindow()->isVisible());
    QTest::mouseRelease(preview, Qt::LeftButton, {}, grip);
    EXPECT_EQ(preview->corner(), PartPreviewCornerView::Floating);
    EXPECT_EQ(UserDefaults::standard().integer(PartPreviewCornerView::kCornerDefaultsKey), 4);
    EXPECT_FALSE(preview->isVisible());
    EXPECT_EQ(preview->floatingPreviewView()->previewPart(), part(0));

    // Leaving the editor hides the window; a part opened again shows it at once.
    document->edit(nullptr);
    endOfEvent();
    EXPECT_FALSE(preview->previewWindow()->isVisible());
    document->edit(part(1));
    endOfEvent();
    EXPECT_TRUE(preview->previewWindow()->isVisible());
    EXPECT_EQ(preview->floatingPreviewView()->previewPart(), part(1));

    // Closing the window docks the preview in a corner again.
    preview->previewWindow()->close();
    EXPECT_NE(preview->corner(), PartPreviewCornerView::Floating);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_NE(UserDefaults::standard().integer(PartPreviewCornerView::kCornerDefaultsKey), 4);
}

// A part drawn about the origin opens centred in the editor, and the room the editor leaves around
// it reaches left of and above the origin, where the pen can draw.
TEST_F(PartEditorTest, APartNearTheOriginOpensCentredAndNegativeSpaceIsReachable)
{
    const QPointF centre
        = ArrayUtils::getElementsCenter(asProtocol<Parent>(elements->rootObject())->children());
    ASSERT_LT(centre.x(), elements->width() / (2.0 * elements->viewScale()));
    EXPECT_LT(elements->viewBounds().left(), 0.0);
    EXPECT_LT(elements->viewBounds().top(), 0.0);
    EXPECT_NEAR(elements->getCenterOfVisibleRect().x(), centre.x(), 1.0);
    EXPECT_NEAR(elements->getCenterOfVisibleRect().y(), centre.y(), 1.0);

    // A larger window keeps the part where it was on the screen.
    const QPoint before = elements->viewTransform().map(centre).toPoint();
    window->resize(window->width() + 120, window->height() + 80);
    endOfEvent();
    EXPECT_LE((elements->viewTransform().map(centre).toPoint() - before).manhattanLength(), 2);

    // Scrolled to the top-left, a drag of the rectangle tool draws left of and above the origin.
    ZDLScrollArea* scroll = elements->scrollArea();
    ASSERT_TRUE(scroll);
    scroll->setScrollOffset(QPoint(0, 0));
    ASSERT_LT(elements->convertFromWidget(QPointF(10, 10)).x(), -20.0);
    editor->setCurrentTool(6);
    const qsizetype count = elementCount();
    const QPoint from = elements->viewTransform().map(QPointF(-20, -20)).toPoint();
    const QPoint to = elements->viewTransform().map(QPointF(-5, -5)).toPoint();
    QTest::mousePress(elements, Qt::LeftButton, {}, from);
    QTest::mouseMove(elements, (from + to) / 2);
    QTest::mouseMove(elements, to);
    QTest::mouseRelease(elements, Qt::LeftButton, {}, to);
    endOfEvent();
    ASSERT_EQ(elementCount(), count + 1);
    const QRectF drawn = pathAt(int(count))->getGeometryBounds();
    EXPECT_NEAR(drawn.left(), -20.0, 1.0);
    EXPECT_NEAR(drawn.bottom(), -5.0, 1.0);
}

// Moving the selection into a new part clears the editor's selection: the window then shows what
// a fresh paint shows, without the selection's frame or its origin cross left behind.
TEST_F(PartEditorTest, SplittingLeavesNoSelectionDrawingBehind)
{
    const auto inWindow = [this] {
        QWidget* top = elements->QWidget::window();
        const QRect area(elements->mapTo(top, QPoint()), elements->size());
        return elements->screen()
            ->grabWindow(top->winId(), area.x(), area.y(), area.width(), area.height())
            .toImage()
            .convertToFormat(QImage::Format_ARGB32);
    };
    const auto differing = [](const QImage& a, const QImage& b) {
        int count = 0;
        for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
            for (int x = 0; x < std::min(a.width(), b.width()); ++x)
                count += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 8;
        }
        return count;
    };
    QWidget* top = elements->QWidget::window();
    for (QWidget* help : top->findChildren<HelpComicView*>())
        help->hide();
    for (QWidget* preview : top->findChildren<PartPreviewView*>())
        preview->hide();
    const auto showsAsFresh = [&](const char* step) {
        endOfEvent();
        QTest::qWait(20);
        const QImage fresh = elements->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(differing(inWindow(), fresh), 0) << step;
    };
    select({ 0 });
    showsAsFresh("selected");
    elements->splitSelectionToPartWithType(9);
    EXPECT_EQ(elements->numSelected(), 0u);
    showsAsFresh("split");
    choose(kUndoAction);
    EXPECT_EQ(elements->selection(), ElementList { element(0) });
    showsAsFresh("undone");
    choose(kRedoAction);
    showsAsFresh("redone");
}

// Paths copied and pasted are not yet in a part while the pasteboard carries them: nothing about
// that reaches the log, and their colours join the palette once they are in.
TEST_F(PartEditorTest, PastedPathsLeaveTheLogQuiet)
{
    const qsizetype count = elementCount();
    elements->selectAll();
    choose(kCopyAction);
    Log::Capture log;
    choose(kPasteAction);
    endOfEvent();
    EXPECT_EQ(elementCount(), 2 * count);
    EXPECT_EQ(log.lines(), QStringList());
}

// Resting the pointer on a tool button names the tool and the gestures it knows, with this
// platform's keys: the tip Qt shows is the one the tool gives.
TEST_F(PartEditorTest, ToolButtonsTellTheToolAndItsModifierGestures)
{
    const struct {
        int tool;
        QStringList mentions;
    } table[] = {
        { PartEditingView::Selection, { "Shift-click", "Ctrl-click", "Alt-drag: duplicate", "pivot point" } },
        { PartEditingView::Reshaping,
            { "add a point", "Alt-click a point: turn a corner point into a curve point",
                "Ctrl-click a point: delete", "cut the path" } },
        { PartEditingView::Hand, { "Ctrl-drag: zoom", "Space" } },
        { PartEditingView::Pen, { "curve point", "Shift", "close the path", "double-click" } },
        { PartEditingView::Pencil, { "pause: make a corner", "continue it" } },
        { PartEditingView::Line, { "Shift: horizontal, vertical or diagonal" } },
        { PartEditingView::Rect, { "Shift: a square" } },
        { PartEditingView::Ellipse, { "Shift: a circle" } },
    };
    for (const auto& row : table) {
        QAbstractButton* button = editor->toolButton(row.tool);
        ASSERT_TRUE(button && button->isVisible()) << row.tool;
        const QPoint centre = button->rect().center();
        QHelpEvent hover(QEvent::ToolTip, centre, button->mapToGlobal(centre));
        QApplication::sendEvent(button, &hover);
        EXPECT_TRUE(QToolTip::isVisible()) << row.tool;
        const QString tip = QToolTip::text();
        EXPECT_TRUE(tip.startsWith(button->text() + u'\n')) << tip.toStdString();
        for (const QString& words : row.mentions)
            EXPECT_TRUE(tip.contains(words)) << row.tool << ": " << words.toStdString();
        EXPECT_FALSE(tip.contains(QStringLiteral("Option")) || tip.contains(QStringLiteral("Command")));
        QToolTip::hideText();
    }
}

} // namespace
} // namespace zandrel::test
