#include "DocumentTestSupport.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::endEventPass;
using test::NotificationLog;
using test::Settings;
using test::Shape;

class DocumentPropertyTest : public ::testing::Test {
protected:
    void TearDown() override { endEventPass(); }

    ZDLDocument document;
    NotificationLog log { &document };
    std::shared_ptr<Shape> shape = Shape::make("a", QRectF(0, 0, 10, 10));

    QStringList changedProperties() const
    {
        QStringList keys;
        for (const Notification& n : log.named(kPropertyChangedNotification))
            keys.append(n.userInfo.value(kPropertyKey).toString());
        return keys;
    }
    void endPassExpecting(int propertyChanges)
    {
        endEventPass([&] { return log.named(kPropertyChangedNotification).size() >= propertyChanges; });
    }
};

TEST_F(DocumentPropertyTest, ChangeAnnouncesBoundsBeforeAndAfterThenPropertyChangedLater)
{
    document.undoableSetPropertyFor(shape, "frame", QRectF(20, 0, 5, 5));
    EXPECT_EQ(shape->frame(), QRectF(20, 0, 5, 5));

    ASSERT_EQ(log.names(), (QStringList { "updateDocumentViews", "updateDocumentViews" }));
    // The object is named: only its own drawing changed there.
    EXPECT_EQ(log.entries[0].userInfo,
        (ValueMap { { kDirtyRectKey, QRectF(-1, -1, 12, 12) }, { kAfterChangeKey, false },
            { kChangedObjectsKey, ValueList { Value(ObjectPtr(shape)) } } }));
    EXPECT_EQ(log.entries[1].userInfo,
        (ValueMap { { kDirtyRectKey, QRectF(19, -1, 7, 7) }, { kAfterChangeKey, true },
            { kChangedObjectsKey, ValueList { Value(ObjectPtr(shape)) } } }));

    endPassExpecting(1);
    EXPECT_EQ(changedProperties(), QStringList { "frame" });
    EXPECT_EQ(document.undoManager()->undoActionName(), QString()) << "the caller names the step";
}

TEST_F(DocumentPropertyTest, ObjectWithoutBoundsRedrawsWholeViews)
{
    auto settings = std::make_shared<Settings>();
    document.undoableSetPropertyFor(settings, "scale", 2.0f);
    EXPECT_EQ(settings->m_scale, 2.0f);
    ASSERT_EQ(log.names(), QStringList { "updateDocumentViews" });
    EXPECT_TRUE(log.entries[0].userInfo.isEmpty());
}

TEST_F(DocumentPropertyTest, PropertyChangedIsPostedOncePerKeyAfterTheLastChangeOfThePass)
{
    document.undoableSetPropertyFor(shape, "frame", QRectF(1, 0, 10, 10));
    document.undoableSetPropertyFor(shape, "weight", 2.0f);
    document.undoableSetPropertyFor(shape, "frame", QRectF(2, 0, 10, 10));
    document.undoableSetPropertyFor(shape, "frame", QRectF(3, 0, 10, 10));
    EXPECT_EQ(log.named(kUpdateDocumentViewsNotification).size(), 8);
    EXPECT_TRUE(changedProperties().isEmpty());

    endPassExpecting(2);
    // "frame" was rescheduled by its later changes, so it comes after "weight".
    EXPECT_EQ(changedProperties(), (QStringList { "weight", "frame" }));

    // The next pass gets its own notification.
    document.undoableSetPropertyFor(shape, "weight", 3.0f);
    endPassExpecting(3);
    EXPECT_EQ(changedProperties(), (QStringList { "weight", "frame", "weight" }));
}

TEST_F(DocumentPropertyTest, UndoRestoresTheGivenOldValueAndRedoTheValueReadAtUndoTime)
{
    // A tracker changed the weight live and records the whole change at the end.
    shape->setValueForKey(4.0f, "weight");
    document.undoableSetPropertyFor(shape, "weight", 4.0f, 1.0f);
    // Changed behind the undo manager's back before the undo.
    shape->setValueForKey(7.0f, "weight");
    endEventPass();

    ASSERT_TRUE(document.undoManager()->canUndo());
    document.undoManager()->undo();
    EXPECT_EQ(shape->weight(), 1.0f);
    endEventPass();
    document.undoManager()->redo();
    EXPECT_EQ(shape->weight(), 7.0f);
    endEventPass();
    document.undoManager()->undo();
    EXPECT_EQ(shape->weight(), 1.0f);
}

TEST_F(DocumentPropertyTest, UndoAndRedoOfAStepOfSeveralChanges)
{
    document.undoableSetPropertyFor(shape, "frame", QRectF(5, 5, 1, 1));
    document.undoableSetPropertyFor(shape, "name", QString("b"));
    document.undoManager()->setActionName("Resize Shape");
    endEventPass();

    document.undoManager()->undo();
    EXPECT_EQ(shape->frame(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(shape->name(), "a");
    EXPECT_EQ(document.undoManager()->redoActionName(), "Resize Shape");
    endEventPass();
    document.undoManager()->redo();
    EXPECT_EQ(shape->frame(), QRectF(5, 5, 1, 1));
    EXPECT_EQ(shape->name(), "b");
}

TEST_F(DocumentPropertyTest, SettingTheValueHeldIsRecordedAndAnnouncedLikeAnyOther)
{
    document.undoableSetPropertyFor(shape, "weight", 1);
    EXPECT_TRUE(document.undoManager()->canUndo());
    EXPECT_EQ(log.names(), (QStringList { "updateDocumentViews", "updateDocumentViews" }));
    endPassExpecting(1);
    EXPECT_EQ(changedProperties(), QStringList { "weight" });
}

TEST_F(DocumentPropertyTest, StructurePieceThatIsNoGraphicElementAnnouncesItsBounds)
{
    // A panel answers getInvalidationBounds without being a graphic element.
    class Panel : public Object, public InvalidationBoundsSource {
    public:
        static const PropertyTable& staticPropertyTable()
        {
            static const PropertyTable table(&Object::staticPropertyTable(),
                {
                    property<Panel>(QStringLiteral("frame"), &Panel::m_frame),
                });
            return table;
        }
        const PropertyTable& propertyTable() const override { return staticPropertyTable(); }
        QRectF getInvalidationBounds() const override { return m_frame.adjusted(-40, -40, 40, 40); }

        QRectF m_frame { 0, 0, 100, 50 };
    };
    auto panel = std::make_shared<Panel>();
    document.undoableSetPropertyFor(panel, "frame", QRectF(10, 0, 100, 50));
    ASSERT_EQ(log.entries.size(), 2);
    EXPECT_EQ(log.entries[0].userInfo,
        (ValueMap { { kDirtyRectKey, QRectF(-40, -40, 180, 130) }, { kAfterChangeKey, false },
            { kChangedObjectsKey, ValueList { Value(ObjectPtr(panel)) } } }));
    EXPECT_EQ(log.entries[1].userInfo,
        (ValueMap { { kDirtyRectKey, QRectF(-30, -40, 180, 130) }, { kAfterChangeKey, true },
            { kChangedObjectsKey, ValueList { Value(ObjectPtr(panel)) } } }));
}

TEST_F(DocumentPropertyTest, NothingIsRecordedWhileRegistrationIsDisabled)
{
    document.undoManager()->disableUndoRegistration();
    document.undoableSetPropertyFor(shape, "weight", 5.0f);
    document.undoManager()->enableUndoRegistration();
    EXPECT_EQ(shape->weight(), 5.0f);
    EXPECT_EQ(log.named(kUpdateDocumentViewsNotification).size(), 2);
    endEventPass();
    EXPECT_FALSE(document.undoManager()->canUndo());
}

TEST_F(DocumentPropertyTest, AnotherUndoManagerTakesTheStep)
{
    UndoManager textUndo;
    document.undoableSetPropertyFor(shape, "name", QString("typed"), Value(), &textUndo);
    endEventPass();
    EXPECT_FALSE(document.undoManager()->canUndo());
    ASSERT_TRUE(textUndo.canUndo());
    textUndo.undo();
    EXPECT_EQ(shape->name(), "a");
    EXPECT_TRUE(textUndo.canRedo()) << "the inverse registers with the same manager";
}

TEST_F(DocumentPropertyTest, UnknownKeyRaisesBeforeAnythingIsRecorded)
{
    EXPECT_THROW(document.undoableSetPropertyFor(shape, "colour", 1, 2), Exception);
    endEventPass();
    EXPECT_FALSE(document.undoManager()->canUndo());
    EXPECT_TRUE(log.entries.isEmpty());
}

TEST_F(DocumentPropertyTest, ViewNotificationsCarryTheirUserInfo)
{
    document.updateViews();
    document.updateViewsRect(QRectF(1, 2, 3, 4), 6.0f, true);
    document.notifyModelPropertyChange("currentPanel", Value());
    document.notifyModelPropertyChange("partsKind", 1);
    ASSERT_EQ(log.entries.size(), 4);
    EXPECT_TRUE(log.entries[0].userInfo.isEmpty());
    EXPECT_EQ(log.entries[1].userInfo,
        (ValueMap { { kDirtyRectKey, QRectF(1, 2, 3, 4) }, { kUnscaledOutsetKey, 6.0f },
            { kAfterChangeKey, true } }));
    EXPECT_EQ(log.entries[1].userInfo.value(kUnscaledOutsetKey).type(), Value::Type::Float);
    EXPECT_EQ(log.entries[2].name, "modelPropertyChange");
    // A nil old value is passed as null, but the key is there.
    EXPECT_TRUE(log.entries[2].userInfo.contains(kOldValueKey));
    EXPECT_TRUE(log.entries[2].userInfo.value(kOldValueKey).isNull());
    EXPECT_EQ(log.entries[3].userInfo, (ValueMap { { kPropertyKey, "partsKind" }, { kOldValueKey, 1 } }));
}

TEST_F(DocumentPropertyTest, ClosingPostsDocumentClosingAndDropsPendingWork)
{
    document.undoableSetPropertyFor(shape, "weight", 2.0f);
    document.close();
    EXPECT_EQ(log.names().last(), "documentClosing");
    endEventPass();
    EXPECT_TRUE(changedProperties().isEmpty());
    EXPECT_FALSE(document.undoManager()->canUndo());
}

} // namespace
} // namespace zandrel
