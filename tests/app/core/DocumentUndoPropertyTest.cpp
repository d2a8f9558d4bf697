// Seeded random edits of a real character through its document, each one undo step: undoing them
// one by one gives back the file's bytes of every earlier state, and redoing them the later ones.
#include "CharacterFixtures.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

class DocumentUndoPropertyTest : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        ASSERT_TRUE(dir.isValid());
        tracing = dir.filePath(QStringLiteral("trace.png"));
        QImage pixels(24, 16, QImage::Format_RGB32);
        pixels.fill(Qt::lightGray);
        ASSERT_TRUE(pixels.save(tracing));
    }

    // One random edit of the kinds the views and dialogs make; false when it did nothing.
    bool edit(CharacterDocument& document, std::mt19937& random)
    {
        const CharacterModelPtr model = document.model();
        const ElementList parts = model->children();
        const auto pick = [&random](qsizetype size) {
            return std::uniform_int_distribution<qsizetype>(0, size - 1)(random);
        };
        const ObjectPtr part = parts.isEmpty() ? nullptr : parts.at(pick(parts.size()));
        lastKind = std::uniform_int_distribution<int>(0, 8)(random);
        switch (lastKind) {
        case 0:
            document.undoableSetPropertyFor(model, QStringLiteral("characterName"),
                Value(QStringLiteral("Name %1").arg(random() % 1000)));
            return true;
        case 1:
            if (!part)
                return false;
            document.undoableSetPropertyFor(part, QStringLiteral("partType"), Value(int(random() % 23)));
            return true;
        case 2:
            if (!part)
                return false;
            document.undoableOffsetObjects(
                { part }, QPointF(int(random() % 41) - 20, int(random() % 41) - 20), false);
            return true;
        case 3:
            if (!part)
                return false;
            // Factors of two: the inverse gives back the exact coordinates.
            document.undoableTransformObjects(
                { part }, QTransform::fromScale(2, 0.5), QStringLiteral("Scale Objects"), false);
            return true;
        case 4: {
            if (parts.size() < 2)
                return false;
            ElementList fewer = parts;
            fewer.removeAt(pick(parts.size()));
            document.undoableSetChildren(fewer, model);
            return true;
        }
        case 5: {
            if (parts.size() < 2)
                return false;
            document.undoableSetChildren(ElementList(parts.crbegin(), parts.crend()), model);
            return true;
        }
        case 6: {
            const ZDLColorPtr coat = model->getColorNamed(QStringLiteral("Coat"));
            if (!coat)
                return false;
            document.undoableDeleteColor(coat, model, model->whiteColor());
            return true;
        }
        case 7:
            if (model->tracingImage()) {
                document.clearTracingImage();
                return true;
            }
            return document.openTracingImage(tracing);
        default: {
            // The user deletes a member of a part's group; the group may dissolve.
            auto* container = asProtocol<Parent>(part);
            if (!container)
                return false;
            for (const ObjectPtr& member : container->children()) {
                auto group = std::dynamic_pointer_cast<PartGroup>(member);
                if (!group || group->numChildren() == 0)
                    continue;
                ElementList rest = group->children();
                rest.removeFirst();
                document.undoableSetChildren(rest, group);
                document.objectsDeletedByUserInParent(group);
                return true;
            }
            return false;
        }
        }
    }

    QTemporaryDir dir;
    QString tracing;
    int lastKind = -1;
};

TEST_P(DocumentUndoPropertyTest, UndoAndRedoRetraceEveryStateByteForByte)
{
    std::mt19937 random(GetParam());
    CharacterDocument document(test::makeCharacter(QStringLiteral("Bob"), 5, 2));
    UndoManager& undo = *document.undoManager();
    undo.setGroupsByEvent(false);
    QList<QByteArray> states { archivedPartsFile(*document.model()) };
    QList<int> kinds { -1 };
    for (int step = 0; step < 60; ++step) {
        undo.beginUndoGrouping();
        // An edit that finds nothing to do registers nothing, so there is no step to record.
        const bool changed = edit(document, random);
        undo.endUndoGrouping();
        if (!changed)
            continue;
        states.append(archivedPartsFile(*document.model()));
        kinds.append(lastKind);
    }
    for (qsizetype i = states.size() - 2; i >= 0; --i) {
        ASSERT_TRUE(undo.canUndo());
        undo.undo();
        ASSERT_EQ(archivedPartsFile(*document.model()), states.at(i))
            << "after undoing edit of kind " << kinds.at(i + 1) << " back to state " << i;
    }
    for (qsizetype i = 1; i < states.size(); ++i) {
        ASSERT_TRUE(undo.canRedo());
        undo.redo();
        ASSERT_EQ(archivedPartsFile(*document.model()), states.at(i))
            << "after redoing edit of kind " << kinds.at(i) << " to state " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, DocumentUndoPropertyTest, ::testing::Values(1u, 7u, 42u, 2026u, 31337u));

} // namespace
} // namespace zandrel
