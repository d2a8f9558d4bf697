#include "DocumentTestSupport.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::endEventPass;
using test::GrowManipulator;
using test::Shape;

QString describe(const QRectF& r)
{
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Structural changes: one journal holds what the elements are told and what the views are told, in
// the order it happens.
class DocumentOperationsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::defaultCenter().addObserver(
            this, kUpdateDocumentViewsNotification, &document, [this](const Notification& n) {
                if (n.userInfo.isEmpty())
                    journal.append("views whole");
                else
                    journal.append(QStringLiteral("views %1 %2")
                                       .arg(describe(n.userInfo.value(kDirtyRectKey).toRect()))
                                       .arg(n.userInfo.value(kAfterChangeKey).toBool() ? "after" : "before"));
            });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        endEventPass();
    }
    UndoManager& undo() { return *document.undoManager(); }

    ZDLDocument document;
    QStringList journal;
    std::shared_ptr<Shape> a = Shape::make("a", QRectF(0, 0, 10, 10), &journal);
    std::shared_ptr<Shape> b = Shape::make("b", QRectF(20, 0, 10, 10), &journal);
    std::shared_ptr<Shape> c = Shape::make("c", QRectF(40, 0, 10, 10), &journal);
};

TEST_F(DocumentOperationsTest, OffsetMovesEachObjectBetweenItsBoundsAndIsNamed)
{
    // Announced as a live move is: the area of all before, the area of all after (which says they
    // only moved), so that a view may move what it drew of them.
    document.undoableOffsetObjects({ a, b }, QPointF(5, 1), false);
    EXPECT_EQ(journal,
        (QStringList { "views -1,-1,32,12 before", "offset a 5,1 directly", "offset b 5,1 directly",
            "views 4,0,32,12 after" }));
    EXPECT_EQ(undo().undoActionName(), "Move Objects");

    endEventPass();
    undo().undo();
    EXPECT_EQ(a->frame(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(b->frame(), QRectF(20, 0, 10, 10));
    EXPECT_EQ(undo().redoActionName(), "Move Objects");
}

TEST_F(DocumentOperationsTest, OffsetAlreadyDoneOnlyRecordsTheInverse)
{
    a->offsetBy(QPointF(3, 4), true);
    journal.clear();
    document.undoableOffsetObjects({ a }, QPointF(3, 4), true);
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_EQ(a->frame(), QRectF(3, 4, 10, 10));

    endEventPass();
    undo().undo();
    EXPECT_EQ(journal,
        (QStringList { "views 2,3,12,12 before", "offset a -3,-4 directly", "views -1,-1,12,12 after" }));
    journal.clear();
    endEventPass();
    undo().redo();
    EXPECT_EQ(a->frame(), QRectF(3, 4, 10, 10)) << "redo makes the change itself";
    EXPECT_EQ(journal.size(), 3);
}

TEST_F(DocumentOperationsTest, UndoingAndRedoingLeaveTheStepNameAlone)
{
    // A caller that names the step itself after the operation.
    document.undoableOffsetObjects({ a }, QPointF(1, 0), false);
    undo().setActionName("Nudge");
    endEventPass();
    undo().undo();
    EXPECT_EQ(undo().redoActionName(), "Nudge");
    endEventPass();
    undo().redo();
    EXPECT_EQ(undo().undoActionName(), "Nudge");

    document.undoableTransformObjects({ a }, QTransform::fromScale(2, 2), "Scale Objects", false);
    undo().setActionName("Zoom Shape");
    endEventPass();
    undo().undo();
    EXPECT_EQ(undo().redoActionName(), "Zoom Shape");
}

TEST_F(DocumentOperationsTest, TransformIsNamedAndUndoneToTheRecordedGeometry)
{
    document.undoableTransformObjects({ a, b }, QTransform::fromScale(2, 3), "Scale Objects", false);
    EXPECT_EQ(a->frame(), QRectF(0, 0, 20, 30));
    EXPECT_EQ(b->frame(), QRectF(40, 0, 20, 30));
    EXPECT_EQ(journal.mid(0, 3),
        (QStringList { "views -1,-1,12,12 before", "transform a", "views -1,-1,22,32 after" }));
    EXPECT_EQ(undo().undoActionName(), "Scale Objects");

    endEventPass();
    undo().undo();
    EXPECT_EQ(a->frame(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(b->frame(), QRectF(20, 0, 10, 10));
    EXPECT_EQ(undo().redoActionName(), "Scale Objects");
    endEventPass();
    undo().redo();
    EXPECT_EQ(b->frame(), QRectF(40, 0, 20, 30));
}

TEST_F(DocumentOperationsTest, TransformAlreadyDoneOnlyRecordsAndSingularIsRefused)
{
    document.undoableTransformObjects({ a }, QTransform().rotate(90), "Rotate Objects", true);
    EXPECT_TRUE(journal.isEmpty());
    EXPECT_EQ(undo().undoActionName(), "Rotate Objects");
    endEventPass();

    // A flattening transform cannot be undone: nothing changes and no step is recorded.
    document.undoableTransformObjects({ b }, QTransform::fromScale(0, 1), "Scale Objects", false);
    EXPECT_EQ(b->frame(), QRectF(20, 0, 10, 10));
    endEventPass();
    EXPECT_EQ(undo().undoActionName(), "Rotate Objects");
}

TEST_F(DocumentOperationsTest, ManipulationRunsThroughTheNoticeAndSwapsForUndo)
{
    auto grow = std::make_shared<GrowManipulator>(5);
    auto shrink = std::make_shared<GrowManipulator>(-5);
    document.undoableManipulateGraphics({ a, b }, grow, shrink, false);
    EXPECT_EQ(journal, (QStringList { "notice a 3", "grow a 5", "notice b 3", "grow b 5" }));
    EXPECT_EQ(undo().undoActionName(), QString());

    journal.clear();
    endEventPass();
    undo().undo();
    EXPECT_EQ(journal, (QStringList { "notice a 3", "grow a -5", "notice b 3", "grow b -5" }));
    EXPECT_EQ(a->frame(), QRectF(0, 0, 10, 10));

    journal.clear();
    endEventPass();
    undo().redo();
    EXPECT_EQ(a->frame(), QRectF(0, 0, 15, 15));

    journal.clear();
    document.undoableManipulateGraphics({ c }, grow, shrink, true);
    EXPECT_TRUE(journal.isEmpty());
}

TEST_F(DocumentOperationsTest, ChildrenReplacementNotifiesOnlyTheChildrenThatComeAndGo)
{
    auto group = Shape::make("g", QRectF(0, 0, 30, 10), &journal);
    group->setChildren({ a, b });
    journal.clear();

    document.undoableSetChildren({ b, c }, group);
    EXPECT_EQ(journal,
        (QStringList { "notice a 1", "views -1,-1,12,12 before", "views 39,-1,12,12 before",
            "views -1,-1,32,12 before", "setChildren g", "notice c 1", "views -1,-1,32,12 after" }));
    EXPECT_EQ(group->children(), (ElementList { b, c }));
    EXPECT_EQ(c->parent(), group.get());

    journal.clear();
    endEventPass();
    undo().undo();
    EXPECT_EQ(group->children(), (ElementList { a, b }));
    EXPECT_TRUE(journal.contains("notice c 1"));
    EXPECT_TRUE(journal.contains("notice a 1"));
    EXPECT_FALSE(journal.contains("notice b 1"));
}

TEST_F(DocumentOperationsTest, SameChildrenRecordAStepButNotifyNoChild)
{
    auto group = Shape::make("g", QRectF(0, 0, 30, 10), &journal);
    group->setChildren({ a, b });
    journal.clear();
    document.undoableSetChildren({ a, b }, group);
    EXPECT_FALSE(journal.join(" ").contains("notice"));
    endEventPass();
    EXPECT_TRUE(undo().canUndo());
}

TEST_F(DocumentOperationsTest, ChildMovedBetweenParentsIsNotifiedOnceByEachCall)
{
    auto from = Shape::make("from", QRectF(0, 0, 30, 10), &journal);
    auto to = Shape::make("to", QRectF(0, 20, 30, 10), &journal);
    from->setChildren({ a, b });
    journal.clear();

    document.undoableSetChildren({ b }, from);
    document.undoableSetChildren({ a }, to);
    EXPECT_EQ(journal.filter("notice"), (QStringList { "notice a 1", "notice a 1" }));
    EXPECT_EQ(a->parent(), to.get());
}

TEST_F(DocumentOperationsTest, ContainerWithoutBoundsRedrawsWholeViews)
{
    // A container that is not a graphic element, as a model is.
    class Box : public Object, public Parent {
    public:
        ElementList children() const override { return m_children; }
        void setChildren(const ElementList& children) override { m_children = children; }
        QRectF getBounds() const override { return {}; }
        QRectF getGeometryBounds() const override { return {}; }
        QString displayName() const override { return "box"; }
        bool canEditContents() const override { return true; }
        bool canSelectContents() const override { return true; }
        ElementList m_children;
    };
    auto box = std::make_shared<Box>();
    document.undoableSetChildren({ a }, box);
    EXPECT_EQ(journal, (QStringList { "views -1,-1,12,12 before", "notice a 1", "views whole" }));
}

} // namespace
} // namespace zandrel
