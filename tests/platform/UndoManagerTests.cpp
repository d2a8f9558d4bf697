#include "platform/Log.h"
#include "platform/UndoManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A document of numbered cells whose setter registers its own inverse, as the model's undoable
// operations do; the journal records every change in the order it happened.
struct Cells {
    explicit Cells(UndoManager& undo, int count = 4)
        : undo(undo)
        , values(count, 0)
    {
    }

    void set(int index, int value)
    {
        const int old = values[index];
        undo.registerUndo(this, [this, index, old] { set(index, old); });
        values[index] = value;
        journal.push_back(index);
    }

    UndoManager& undo;
    std::vector<int> values;
    std::vector<int> journal;
};

void endEventPass()
{
    QCoreApplication::processEvents();
}

TEST(UndoManager, oneStepPerEventPassUndoneInReverseOrder)
{
    UndoManager undo;
    Cells cells(undo);
    QSignalSpy closed(&undo, &UndoManager::didCloseUndoGroup);

    cells.set(0, 1);
    cells.set(1, 2);
    cells.set(0, 3);
    undo.setActionName(QStringLiteral("Move Objects"));
    EXPECT_EQ(undo.groupingLevel(), 1);
    EXPECT_TRUE(undo.canUndo());
    EXPECT_EQ(undo.undoActionName(), "Move Objects");
    EXPECT_EQ(closed.count(), 0);
    endEventPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_EQ(closed.count(), 1);

    cells.set(2, 5);
    endEventPass();
    EXPECT_EQ(closed.count(), 2);
    EXPECT_EQ(undo.undoActionName(), "");

    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 3, 2, 0, 0 }));
    cells.journal.clear();
    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 0, 0, 0, 0 }));
    // Reverse order: cell 0 goes back to 1 first, then cell 1, then cell 0 to 0.
    EXPECT_EQ(cells.journal, (std::vector<int> { 0, 1, 0 }));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.redoActionName(), "Move Objects");

    undo.redo();
    EXPECT_EQ(cells.values, (std::vector<int> { 3, 2, 0, 0 }));
    EXPECT_EQ(undo.undoActionName(), "Move Objects");
    undo.redo();
    EXPECT_EQ(cells.values, (std::vector<int> { 3, 2, 5, 0 }));
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, undoClosesTheOpenEventGroupFirst)
{
    UndoManager undo;
    Cells cells(undo);
    cells.set(0, 1);
    cells.set(1, 1);
    undo.undo(); // same pass: the event group is closed, then undone as a whole
    EXPECT_EQ(cells.values, (std::vector<int> { 0, 0, 0, 0 }));
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_TRUE(undo.canRedo());
    endEventPass(); // the queued close finds nothing left to close
    undo.redo();
    EXPECT_EQ(cells.values, (std::vector<int> { 1, 1, 0, 0 }));
}

// Runs a loop nested in the current event, as a modal dialog does, that delivers the steps as
// events of their own, each after whatever the one before it queued, and then quits.
void runNestedLoop(const std::vector<std::function<void()>>& steps)
{
    QEventLoop loop;
    std::function<void(std::size_t)> post = [&](std::size_t i) {
        QMetaObject::invokeMethod(
            &loop,
            [&, i] {
                if (i == steps.size()) {
                    loop.quit();
                    return;
                }
                steps[i]();
                post(i + 1);
            },
            Qt::QueuedConnection);
    };
    post(0);
    loop.exec();
}

void runAsEvent(const std::function<void()>& handler)
{
    bool done = false;
    QTimer::singleShot(0, [&] {
        handler();
        done = true;
    });
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
}

TEST(UndoManager, aModalLoopInsideAnEventDoesNotSplitItsStep)
{
    UndoManager undo;
    Cells cells(undo);
    int levelInDialog = -1;
    runAsEvent([&] {
        cells.set(0, 1);
        // A question asked in the middle of the action; what the dialog changes joins the step.
        runNestedLoop({ [&] { cells.set(1, 1); }, [&] { levelInDialog = undo.groupingLevel(); } });
        cells.set(2, 1);
        undo.setActionName(QStringLiteral("Drag Copy"));
    });
    EXPECT_EQ(levelInDialog, 1);
    endEventPass();
    endEventPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_EQ(undo.undoActionName(), "Drag Copy");
    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 0, 0, 0, 0 }));
    EXPECT_FALSE(undo.canUndo());

    // With no step open, each event of the nested loop is a step of its own.
    std::vector<int> levels;
    auto level = [&] { levels.push_back(undo.groupingLevel()); };
    runAsEvent([&] { runNestedLoop({ [&] { cells.set(3, 1); }, level, [&] { cells.set(3, 2); }, level }); });
    EXPECT_EQ(levels, (std::vector<int> { 0, 0 }));
    undo.undo();
    EXPECT_EQ(cells.values[3], 1);
}

TEST(UndoManager, explicitGroupsNestIntoOneStep)
{
    UndoManager undo;
    undo.setGroupsByEvent(false);
    Cells cells(undo);

    undo.beginUndoGrouping();
    cells.set(0, 1);
    undo.beginUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 2);
    cells.set(1, 1);
    undo.setActionName(QStringLiteral("Inner"));
    undo.endUndoGrouping();
    cells.set(2, 1);
    undo.setActionName(QStringLiteral("Set Tolerance"));
    undo.endUndoGrouping();

    // An empty group leaves no step behind.
    undo.beginUndoGrouping();
    undo.setActionName(QStringLiteral("Nothing"));
    undo.endUndoGrouping();
    EXPECT_EQ(undo.undoActionName(), "Set Tolerance");

    // Without event grouping a bare registration still becomes a step (and is logged).
    Log::Capture log;
    cells.set(3, 1);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 1, 1, 1, 0 }));
    cells.journal.clear();
    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 0, 0, 0, 0 }));
    EXPECT_EQ(cells.journal, (std::vector<int> { 2, 1, 0 }));

    // An unbalanced end is refused without disturbing the history.
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 0);
    EXPECT_TRUE(undo.canRedo());
}

TEST(UndoManager, explicitGroupInsideEventGroupStillClosesAtEndOfPass)
{
    UndoManager undo;
    Cells cells(undo);
    cells.set(0, 1);
    undo.beginUndoGrouping();
    cells.set(1, 1);
    endEventPass(); // the explicit group is still open: nothing closes
    EXPECT_EQ(undo.groupingLevel(), 2);
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 1);
    endEventPass();
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(cells.values, (std::vector<int> { 0, 0, 0, 0 }));
    EXPECT_FALSE(undo.canUndo());
}

TEST(UndoManager, namingAfterAnExplicitGroupWorksOnlyInTheSamePass)
{
    UndoManager undo;
    undo.setGroupsByEvent(false);
    Cells cells(undo);
    undo.beginUndoGrouping();
    cells.set(0, 1);
    undo.endUndoGrouping();
    undo.setActionName(QStringLiteral("Set Margins"));
    EXPECT_EQ(undo.undoActionName(), "Set Margins");
    endEventPass();
    undo.setActionName(QStringLiteral("Too late"));
    EXPECT_EQ(undo.undoActionName(), "Set Margins");

    // With nothing registered this pass, a name never lands on an older step.
    undo.setGroupsByEvent(true);
    undo.setActionName(QStringLiteral("Delete object"));
    EXPECT_EQ(undo.undoActionName(), "Set Margins");
}

TEST(UndoManager, undoingAndRedoingFlagsAndWhereRegistrationsGo)
{
    UndoManager undo;
    Cells cells(undo);
    std::vector<std::pair<bool, bool>> flags;
    undo.registerUndo(&cells, [&] { flags.emplace_back(undo.isUndoing(), undo.isRedoing()); });
    cells.set(0, 4);
    endEventPass();
    cells.set(1, 4);
    endEventPass();

    undo.undo();
    ASSERT_TRUE(undo.canRedo());
    // A registration during redo goes to the undo stack and keeps the rest of the redo stack.
    undo.undo();
    EXPECT_EQ(flags, (std::vector<std::pair<bool, bool>> { { true, false } }));
    undo.redo();
    EXPECT_TRUE(undo.canRedo());
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.isRedoing());
    EXPECT_EQ(cells.values[0], 4);

    // A new registration outside undo and redo clears the redo stack.
    cells.set(2, 9);
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(cells.values[1], 0);
}

TEST(UndoManager, disabledRegistrationIsCountedAndRecordsNothing)
{
    UndoManager undo;
    Cells cells(undo);
    undo.disableUndoRegistration();
    undo.disableUndoRegistration();
    cells.set(0, 1);
    undo.enableUndoRegistration();
    EXPECT_FALSE(undo.isUndoRegistrationEnabled());
    cells.set(1, 1);
    undo.setActionName(QStringLiteral("Ignored"));
    undo.enableUndoRegistration();
    EXPECT_TRUE(undo.isUndoRegistrationEnabled());
    EXPECT_FALSE(undo.canUndo());
    EXPECT_EQ(undo.groupingLevel(), 0);

    Log::Capture log;
    undo.enableUndoRegistration(); // one too many: logged, count stays at zero
    EXPECT_EQ(log.lines().size(), 1);
    cells.set(2, 1);
    EXPECT_TRUE(undo.canUndo());
}

TEST(UndoManager, removingATargetsActionsDropsGroupsLeftEmpty)
{
    UndoManager undo;
    Cells a(undo);
    Cells b(undo);
    a.set(0, 1);
    endEventPass();
    a.set(1, 1);
    b.set(1, 1);
    undo.setActionName(QStringLiteral("Both"));
    endEventPass();
    b.set(2, 1);
    endEventPass();

    undo.removeAllActionsWithTarget(&b);
    EXPECT_EQ(undo.undoActionName(), "Both");
    undo.undo();
    EXPECT_EQ(a.values, (std::vector<int> { 1, 0, 0, 0 }));
    EXPECT_EQ(b.values, (std::vector<int> { 0, 1, 1, 0 }));
    undo.removeAllActions();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

TEST(UndoManager, cleanStateFollowsTheSavePoint)
{
    UndoManager undo;
    Cells cells(undo);
    QSignalSpy clean(&undo, &UndoManager::cleanChanged);
    EXPECT_TRUE(undo.isClean());
    cells.set(0, 1);
    EXPECT_FALSE(undo.isClean()); // edited while the event group is still open
    endEventPass();
    undo.setClean();
    EXPECT_TRUE(undo.isClean());
    cells.set(1, 1);
    endEventPass();
    EXPECT_FALSE(undo.isClean());
    undo.undo();
    EXPECT_TRUE(undo.isClean());
    undo.undo();
    EXPECT_FALSE(undo.isClean());
    undo.redo();
    EXPECT_TRUE(undo.isClean());
    EXPECT_EQ(clean.count(), 6);

    // Undo past the save point, then edit: the saved state can no longer be reached.
    undo.undo();
    cells.set(3, 1);
    endEventPass();
    undo.undo();
    undo.redo();
    EXPECT_FALSE(undo.isClean());
    while (undo.canUndo())
        undo.undo();
    EXPECT_FALSE(undo.isClean());
}

TEST(UndoManager, removingActionsOnTheWayToTheSavePointMakesItUnreachable)
{
    UndoManager undo;
    Cells a(undo);
    Cells b(undo);
    Cells c(undo);
    a.set(0, 1);
    endEventPass();
    b.set(0, 1);
    endEventPass();
    undo.setClean();
    c.set(0, 1);
    endEventPass();

    // Actions below the save point do not matter for reaching it.
    undo.removeAllActionsWithTarget(&a);
    undo.undo();
    EXPECT_TRUE(undo.isClean());
    undo.redo();

    // c's change stays made, but can no longer be undone: the saved state is gone.
    undo.removeAllActionsWithTarget(&c);
    EXPECT_FALSE(undo.isClean());
    c.set(1, 1);
    endEventPass();
    undo.undo();
    EXPECT_FALSE(undo.isClean());

    // The same on the redo side: b's step is undone, then lost, so redoing cannot bring it back.
    UndoManager other;
    Cells d(other);
    Cells e(other);
    d.set(0, 1);
    endEventPass();
    e.set(0, 1);
    endEventPass();
    other.setClean();
    other.undo();
    other.undo();
    other.removeAllActionsWithTarget(&d);
    other.redo();
    EXPECT_EQ(d.values[0], 0);
    EXPECT_FALSE(other.isClean());
}

TEST(UndoManager, anActionThatThrowsLeavesTheManagerUsable)
{
    UndoManager undo;
    Cells cells(undo);
    cells.set(0, 1);
    undo.registerUndo(&cells, [] { throw std::runtime_error("broken"); });
    endEventPass();
    cells.set(1, 1);
    endEventPass();
    undo.undo();
    EXPECT_THROW(undo.undo(), std::runtime_error);
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_EQ(undo.groupingLevel(), 0);
    // The step that failed is gone; its redo keeps what the actions registered before the failure.
    EXPECT_FALSE(undo.canUndo());
    cells.set(2, 1);
    EXPECT_TRUE(undo.canUndo());
}

} // namespace
} // namespace zandrel
