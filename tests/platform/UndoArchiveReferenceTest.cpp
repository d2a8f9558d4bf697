// The archives of the undo property test's random graphs, compared with reference files written by
// an earlier version of the code: the platform's archiver must keep writing the same bytes.
#include "platform/UndoArchiveGraph.h"
#include "support/ArchiveReference.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(UndoArchiveReference, RandomGraphsBeforeAndAfterTheirEdits)
{
    std::mt19937 random(20240611);
    for (int graph = 0; graph < 8; ++graph) {
        SCOPED_TRACE(graph);
        UndoManager undo;
        test::Editor editor { undo };
        const std::shared_ptr<test::Node> root = test::makeTree(random);
        const QString name = QStringLiteral("tests/platform/data/archives/undo-graph-%1").arg(graph);
        test::expectSameAsReference(test::archive(root), name + QStringLiteral("-original.archive"));
        int serial = 0;
        for (int edit = 0; edit < 40; ++edit)
            test::randomEdit(editor, root, random, serial);
        test::expectSameAsReference(test::archive(root), name + QStringLiteral("-edited.archive"));
    }
}

} // namespace
} // namespace zandrel
