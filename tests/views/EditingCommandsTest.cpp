// The editing commands on a real character window: each is one named undo step, and undoing it
// gives back the file's bytes and the selection the command found.
#include "CharacterWindowFixture.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"

namespace zandrel {
namespace {

class EditingCommandsTest : public test::CharacterWindowTest { };

TEST_F(EditingCommandsTest, SelectionByMouseAndDeleteUndoRestoresModelAndSelection)
{
    click(1);
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(3) }));
    // Shift-clicking again takes one out; a click on empty space then selects nothing.
    click(3, Qt::ShiftModifier);
    EXPECT_EQ(view->selection(), ElementList { part(1) });
    click(3, Qt::ShiftModifier);
    const QByteArray before = bytes();
    const ElementList parts = document->model()->children();

    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(document->model()->numChildren(), 3u);
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete object"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(document->model()->children(), parts);
    EXPECT_EQ(view->selection(), (ElementList { parts.at(1), parts.at(3) }));
    choose(kRedoAction);
    EXPECT_EQ(document->model()->numChildren(), 3u);
    EXPECT_TRUE(view->selection().isEmpty());

    // Forward delete with a selection deletes too; without one it reaches nobody.
    choose(kUndoAction);
    QTest::keyClick(view, Qt::Key_Delete);
    endOfEvent();
    EXPECT_EQ(document->model()->numChildren(), 3u);
}

TEST_F(EditingCommandsTest, StackingOrderCommandsFollowTheirRulesAndUndo)
{
    struct Case {
        QString action;
        QList<int> selected;
        QList<int> order;
        QString name;
    };
    const QList<Case> cases {
        { kBringForwardAction, { 1, 2 }, { 0, 3, 1, 2, 4 }, QStringLiteral("Bring Forward") },
        { kBringToFrontAction, { 0, 2 }, { 1, 3, 4, 0, 2 }, QStringLiteral("Bring to Front") },
        { kSendToBackAction, { 2, 4 }, { 2, 4, 0, 1, 3 }, QStringLiteral("Send to Back") },
        { kSendBackwardAction, { 1, 2 }, { 1, 2, 0, 3, 4 }, QStringLiteral("Send Backward") },
        { kSendBackwardAction, { 0, 3 }, { 0, 1, 3, 2, 4 }, QStringLiteral("Send Backward") },
    };
    const ElementList original = document->model()->children();
    const QByteArray before = bytes();
    for (const Case& each : cases) {
        ElementList selection;
        for (int index : each.selected)
            selection.append(original.at(index));
        view->setSelection(selection);
        choose(each.action);
        endOfEvent();
        ElementList expected;
        for (int index : each.order)
            expected.append(original.at(index));
        EXPECT_EQ(document->model()->children(), expected) << each.name.toStdString();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.name);
        view->deselectAll();
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before) << each.name.toStdString();
        EXPECT_EQ(view->selection(), selection) << "undo lands on the arranged objects";
    }
    // The two topmost cannot come forward, the two backmost cannot go back: their items are off.
    view->setSelection({ original.at(3), original.at(4) });
    EXPECT_FALSE(showMenuItem(window, kBringForwardAction)->isEnabled());
    EXPECT_TRUE(showMenuItem(window, kSendBackwardAction)->isEnabled());
    view->setSelection({ original.at(0), original.at(1) });
    EXPECT_FALSE(showMenuItem(window, kSendToBackAction)->isEnabled());
}

TEST_F(EditingCommandsTest, FlipsTurnAboutTheOriginOfTheLowestRankAndUndo)
{
    // The fixture's parts have the types 0 to 4: a head (rank 3) and a torso (rank 2) turn about the
    // torso's pivot; a head and an arm (both rank 3) about the centre of their bounds.
    const auto* torso = asProtocol<ComicGraphicElement>(part(3));
    view->setSelection({ part(1), part(3) });
    EXPECT_EQ(view->transformOrigin(), torso->appliedOrigin());
    view->setSelection({ part(1), part(4) });
    EXPECT_EQ(view->transformOrigin(), ArrayUtils::getElementsBounds({ part(1), part(4) }).center());

    view->setSelection({ part(1), part(3) });
    const double axis = torso->appliedOrigin().x();
    const QRectF head = asProtocol<GraphicElement>(part(1))->getBounds();
    const QByteArray before = bytes();
    choose(kFlipHorizontalAction);
    endOfEvent();
    const QRectF flipped = asProtocol<GraphicElement>(part(1))->getBounds();
    EXPECT_NEAR(flipped.left(), 2 * axis - head.right(), 1e-3);
    EXPECT_NEAR(flipped.top(), head.top(), 1e-3);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Flip Horizontal"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(3) }));

    choose(kFlipVerticalAction);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Flip Vertical"));
    // The scale sheet scales what the flips turn.
    EXPECT_TRUE(showMenuItem(window, kScaleAction)->isEnabled());
}

TEST_F(EditingCommandsTest, ScalingLineWeightsAndBlursIsUndoneByTheInverseFactor)
{
    const auto path = std::dynamic_pointer_cast<PartPath>(asProtocol<Parent>(part(1))->getChildAtIndex(0));
    ASSERT_TRUE(path);
    path->setBlur(3.0f);
    const QByteArray before = bytes();
    const float weight = path->lineWeight();
    view->undoableScaleMarksInElements({ part(1) }, 2.0f, true, false);
    endOfEvent();
    EXPECT_EQ(path->lineWeight(), 2 * weight);
    EXPECT_EQ(path->blur(), 3.0f) << "lines only";
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    view->undoableScaleMarksInElements({ part(1) }, 0.5f, true, true);
    EXPECT_EQ(path->blur(), 1.5f);
    // A factor that could not be undone changes nothing.
    view->undoableScaleMarksInElements({ part(1) }, 0.0f, true, true);
    EXPECT_EQ(path->blur(), 1.5f);
}

TEST_F(EditingCommandsTest, ArrowKeysNudgeOneScreenPixelAtAnyZoom)
{
    view->setViewScale(2.0f);
    click(2);
    const QRectF start = asProtocol<GraphicElement>(part(2))->getBounds();
    const QByteArray before = bytes();
    QTest::keyClick(view, Qt::Key_Right);
    endOfEvent();
    QTest::keyClick(view, Qt::Key_Up);
    endOfEvent();
    const QRectF moved = asProtocol<GraphicElement>(part(2))->getBounds();
    EXPECT_NEAR(moved.left() - start.left(), 0.5, 1e-6);
    EXPECT_NEAR(moved.top() - start.top(), -0.5, 1e-6);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Nudge Objects"));
    // Two presses are two steps, each undone on its own.
    choose(kUndoAction);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { part(2) });
    // With a modifier the arrow keys do not nudge.
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

TEST_F(EditingCommandsTest, MergingPartsIsOneStepThatUndoesBackToTheSameTree)
{
    view->setSelection({ part(0), part(2) });
    EXPECT_EQ(showMenuItem(window, kMergeAction)->text(), QStringLiteral("Merge Into Single Part"));
    const auto first = std::dynamic_pointer_cast<Part>(part(0));
    const auto last = std::dynamic_pointer_cast<Part>(part(2));
    const ElementList firstElements = first->children();
    const ElementList lastElements = last->children();
    const QByteArray before = bytes();
    choose(kMergeAction);
    endOfEvent();
    // The frontmost part takes the other's elements, behind its own.
    EXPECT_EQ(document->model()->numChildren(), 4u);
    EXPECT_EQ(last->children(), firstElements + lastElements);
    EXPECT_EQ(view->selection(), ElementList { last });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Merge Parts"));

    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), (ElementList { first, last }));
    // Every element is its own part's child again, as the editor's levels need.
    for (const ObjectPtr& element : firstElements)
        EXPECT_EQ(asProtocol<ModelElement>(element)->parent(), first.get());
    choose(kRedoAction);
    choose(kUndoAction);
    for (const ObjectPtr& element : firstElements)
        EXPECT_EQ(asProtocol<ModelElement>(element)->parent(), first.get());
}

TEST_F(EditingCommandsTest, BalloonsMergeIntoABalloonGroupAndGroupsKeepBalloonGroupsWhole)
{
    // Balloons may stand in a character beside its parts.
    const auto first = std::make_shared<Balloon>();
    const auto second = std::make_shared<Balloon>();
    document->undoableSetChildren(
        document->model()->children() + ElementList { first, second }, document->model());
    endOfEvent();
    view->setSelection({ first, second });
    EXPECT_EQ(showMenuItem(window, kMergeAction)->text(), QStringLiteral("Merge Into Balloon Group"));
    const QByteArray before = bytes();
    choose(kMergeAction);
    endOfEvent();
    const auto balloonGroup = std::dynamic_pointer_cast<BalloonGroup>(view->firstSelected());
    ASSERT_TRUE(balloonGroup);
    EXPECT_EQ(balloonGroup->children(), (ElementList { first, second }));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Merge Balloons"));

    // A group and a balloon group: the balloon group goes into a new group whole.
    const auto group = std::make_shared<Group>();
    group->setChildren({ std::make_shared<Balloon>(), std::make_shared<Balloon>() });
    document->undoableSetChildren(document->model()->children() + ElementList { group }, document->model());
    endOfEvent();
    view->setSelection({ balloonGroup, group });
    EXPECT_EQ(showMenuItem(window, kMergeAction)->text(), QStringLiteral("Merge Into Single Group"));
    choose(kMergeAction);
    endOfEvent();
    EXPECT_EQ(view->firstSelected(), group);
    EXPECT_EQ(group->children().first(), balloonGroup);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Merge Group"));
    choose(kUndoAction);
    choose(kUndoAction);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), (ElementList { first, second }));
}

TEST_F(EditingCommandsTest, PartTypeItemsShowTheSelectionsTypesAndSetThemAsOneStep)
{
    // A head and an arm: the Head item is mixed, Torso off; setting Hat sets both.
    view->setSelection({ part(1), part(4) });
    QAction* head = nullptr;
    QAction* hat = nullptr;
    for (QMenu* menu : window->menuBar()->findChildren<QMenu*>()) {
        for (QAction* item : menu->actions()) {
            if (MenuActions::actionOf(item) == kSetPartTypeAction && MenuActions::tagOf(item) == PartTypeHead)
                head = item;
            if (MenuActions::actionOf(item) == kSetPartTypeAction && MenuActions::tagOf(item) == PartTypeHat)
                hat = item;
        }
    }
    ASSERT_TRUE(head && hat);
    MenuActions::validateMenu(qobject_cast<QMenu*>(head->parent()), window);
    EXPECT_TRUE(head->text().startsWith(QStringLiteral("\u2013 "))) << "mixed";
    EXPECT_FALSE(hat->isChecked());
    const QByteArray before = bytes();
    MenuActions::send(hat, window);
    endOfEvent();
    EXPECT_EQ(asProtocol<ComicElement>(part(1))->partType(), PartTypeHat);
    EXPECT_EQ(asProtocol<ComicElement>(part(4))->partType(), PartTypeHat);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Part Type"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel
