#include "platform/UndoArchiveGraph.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::archive;
using test::Editor;
using test::makeTree;
using test::Node;
using test::randomEdit;

TEST(UndoArchiveProperty, undoingEverythingGivesBackTheOriginalBytesAndRedoTheEditedOnes)
{
    std::mt19937 random(20240607);
    for (int sequence = 0; sequence < 3000; ++sequence) {
        SCOPED_TRACE(sequence);
        UndoManager undo;
        Editor editor { undo };
        int closedGroups = 0;
        QObject::connect(&undo, &UndoManager::didCloseUndoGroup, [&] { ++closedGroups; });
        const std::shared_ptr<Node> root = makeTree(random);
        int serial = 0;
        const QByteArray original = archive(root);

        // Steps of one to four edits each, made in one pass of the event loop; sometimes a few
        // steps are undone and then replaced by new edits, which drops the redo history. The
        // expected bytes of every place in the history are kept beside the manager's stacks.
        std::vector<QByteArray> states { original };
        std::vector<QByteArray> redoStates;
        auto undoOne = [&] {
            undo.undo();
            redoStates.push_back(states.back());
            states.pop_back();
            ASSERT_FALSE(states.empty());
            ASSERT_EQ(archive(root), states.back());
        };
        const int steps = 1 + static_cast<int>(random() % 12);
        for (int step = 0; step < steps; ++step) {
            const int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits; ++e)
                randomEdit(editor, root, random, serial);
            const int closedBefore = closedGroups;
            QCoreApplication::processEvents();
            if (closedGroups > closedBefore) {
                states.push_back(archive(root));
                redoStates.clear();
            }
            if (random() % 6 == 0) {
                const int back = 1 + static_cast<int>(random() % 3);
                for (int i = 0; i < back && undo.canUndo(); ++i)
                    ASSERT_NO_FATAL_FAILURE(undoOne());
            }
        }
        ASSERT_EQ(undo.canRedo(), !redoStates.empty());

        while (undo.canUndo())
            ASSERT_NO_FATAL_FAILURE(undoOne());
        ASSERT_EQ(states.size(), 1u);
        ASSERT_EQ(archive(root), original);

        while (undo.canRedo()) {
            undo.redo();
            ASSERT_FALSE(redoStates.empty());
            states.push_back(redoStates.back());
            redoStates.pop_back();
            ASSERT_EQ(archive(root), states.back());
        }
        ASSERT_TRUE(redoStates.empty());
    }
}

} // namespace
} // namespace zandrel
