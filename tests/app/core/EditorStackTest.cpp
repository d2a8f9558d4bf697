// The editor stack on a real character: which editor edits what, the level bar, leaving levels,
// repair after undo, redo and deletion, and groups that dissolve.
#include "CharacterFixtures.h"
#include "DocumentTestSupport.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// An editor that keeps its root and writes what reaches it into a journal.
class FakeEditor : public EditorContainer {
public:
    FakeEditor(QString name, QStringList& journal, bool wholeWindow = true)
        : m_name(std::move(name))
        , m_journal(journal)
        , m_wholeWindow(wholeWindow)
    {
    }
    bool usesWholeWindow() const override { return m_wholeWindow; }
    void edit(const ObjectPtr& object) override
    {
        m_root = object;
        m_journal.append(m_name + QStringLiteral(" edit"));
    }
    void close() override
    {
        m_journal.append(m_name + QStringLiteral(" close"));
        EditorContainer::close();
    }
    ObjectPtr rootObject() const override { return m_root; }
    void setRootObject(const ObjectPtr& object) override { m_root = object; }

private:
    QString m_name;
    QStringList& m_journal;
    bool m_wholeWindow;
    ObjectPtr m_root;
};

class EditorStackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        document = std::make_unique<CharacterDocument>(test::makeCharacter(QStringLiteral("Bob"), 2, 2));
        document->setEditors(&partEditor, &imageEditor, nullptr);
        model = document->model();
        part = std::dynamic_pointer_cast<Part>(model->getChildAtIndex(0));
        // The fixture's part holds two paths and then a group of two squares.
        group = std::dynamic_pointer_cast<PartGroup>(part->getChildAtIndex(2));
    }

    QStringList titles(const EditingLevels& levels) const
    {
        QStringList result;
        for (const EditingLevel& level : levels.levels())
            result.append(level.title);
        return result;
    }

    QStringList journal;
    FakeEditor partEditor { QStringLiteral("part"), journal };
    FakeEditor imageEditor { QStringLiteral("image"), journal };
    std::unique_ptr<CharacterDocument> document;
    CharacterModelPtr model;
    PartPtr part;
    std::shared_ptr<PartGroup> group;
};

TEST_F(EditorStackTest, EditingChoosesTheEditorFillsTheBarAndAnnouncesOnce)
{
    test::NotificationLog log(document.get());
    document->edit(group);
    document->edit(group);
    EXPECT_EQ(log.named(kEditViewChangedNotification).size(), 1);
    EXPECT_EQ(document->currentEditor(), &partEditor);
    EXPECT_EQ(document->currentEditObject(), group);
    // From the outermost level, which stands for the default view, down to the edited group.
    const EditingLevels& bar = partEditor.levelControl();
    EXPECT_EQ(
        titles(bar), (QStringList { QStringLiteral("Bob"), part->displayName(), QStringLiteral("Group") }));
    EXPECT_EQ(bar.representedObjectAtLevel(0), nullptr);
    EXPECT_EQ(bar.representedObjectAtLevel(1), part);
    EXPECT_EQ(bar.representedObjectAtLevel(2), group);

    // The same editor edits the parent without closing; leaving the outermost level goes home.
    document->popEditor();
    EXPECT_EQ(document->currentEditObject(), part);
    EXPECT_EQ(journal, (QStringList { QStringLiteral("part edit"), QStringLiteral("part edit") }));
    document->popEditor();
    EXPECT_EQ(document->currentEditor(), nullptr);
    EXPECT_EQ(journal.last(), QStringLiteral("part close"));
    EXPECT_TRUE(partEditor.levelControl().levels().isEmpty());
    EXPECT_EQ(partEditor.rootObject(), nullptr);
}

TEST_F(EditorStackTest, RenamingTheCharacterRetitlesTheOutermostLevel)
{
    document->edit(part);
    model->setCharacterName(QStringLiteral("Robert"));
    EXPECT_EQ(partEditor.levelControl().levels().value(0).title, QStringLiteral("Robert"));
}

TEST_F(EditorStackTest, ClickingTheOutermostLevelReturnsHomeAfterTheClick)
{
    document->edit(group);
    document->levelControlClicked(partEditor.levelControl().representedObjectAtLevel(0));
    EXPECT_EQ(document->currentEditor(), &partEditor) << "the bar finishes its click first";
    test::endEventPass([&] { return !document->currentEditor(); });
    EXPECT_EQ(document->currentEditor(), nullptr);
}

TEST_F(EditorStackTest, UndoOfTheEditedObjectsCreationReturnsToItsParent)
{
    // A new group made of the part's two paths, then edited.
    auto made = std::make_shared<PartGroup>();
    const ElementList before = part->children();
    made->setChildren({ before.at(0), before.at(1) });
    document->undoableSetChildren({ made, before.at(2) }, part);
    test::endEventPass();
    document->edit(made);
    ASSERT_EQ(document->currentEditObject(), made);
    document->undoManager()->undo();
    EXPECT_EQ(document->currentEditObject(), part);
    // Redo does not bring the editor back, but the bar of the part stays true.
    document->undoManager()->redo();
    EXPECT_EQ(document->currentEditObject(), part);
    EXPECT_EQ(partEditor.levelControl().numLevels(), 2);
}

TEST_F(EditorStackTest, APartBeingCreatedSurvivesValidation)
{
    auto pending = std::make_shared<Part>();
    pending->setParent(model.get());
    document->edit(pending);
    document->validateEditingObjectsExistence();
    EXPECT_EQ(document->currentEditObject(), pending);
}

TEST_F(EditorStackTest, GroupsLeftWithFewerThanTwoChildrenDissolve)
{
    // An outer group holding an inner group and a path; the inner group holds two squares.
    auto inner = group;
    const ElementList squares = inner->children();
    auto outer = std::make_shared<PartGroup>();
    const ElementList partChildren = part->children();
    outer->setChildren({ partChildren.at(0), inner });
    part->setChildren({ outer, partChildren.at(1) });

    // The user deletes one square: the inner group's only child takes its place.
    document->undoableSetChildren({ squares.at(0) }, inner);
    document->objectsDeletedByUserInParent(inner);
    test::endEventPass();
    EXPECT_EQ(outer->children(), (ElementList { partChildren.at(0), squares.at(0) }));

    // Deleting both members of the outer group removes it too.
    document->undoableSetChildren({}, outer);
    document->objectsDeletedByUserInParent(outer);
    test::endEventPass();
    EXPECT_EQ(part->children(), (ElementList { partChildren.at(1) }));

    // One undo step each, and undo brings the structure back.
    document->undoManager()->undo();
    EXPECT_EQ(part->children(), (ElementList { outer, partChildren.at(1) }));
    document->undoManager()->undo();
    EXPECT_EQ(outer->children(), (ElementList { partChildren.at(0), inner }));
    EXPECT_EQ(inner->children(), squares);
}

TEST_F(EditorStackTest, DeletingTheEditedGroupsLastChildReturnsToThePart)
{
    document->edit(group);
    document->undoableSetChildren({}, group);
    document->objectsDeletedByUserInParent(group);
    EXPECT_FALSE(part->hasChild(group.get()));
    EXPECT_EQ(document->currentEditObject(), part);
}

} // namespace
} // namespace zandrel
