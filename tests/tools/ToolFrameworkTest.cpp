// The tool framework in a real character window: events reach the current tool and its tracker
// in document coordinates, handles are hit-tested the last drawn first, and every gesture of the
// selection tool is one undo step that gives back the file's bytes and the selection.
#include "tools/SelectionTool.h"
#include "tools/ZDLTracker.h"
#include "views/CharacterWindowFixture.h"

#include <QStringList>

namespace zandrel {
namespace {

// Writes down what the view hands it, and installs a tracker that does the same.
class RecordingTool : public ZDLTool {
public:
    class Tracker : public ZDLTracker {
    public:
        Tracker(const QPointF& point, const ZDLEvent& event, QStringList& log)
            : ZDLTracker(point, event)
            , m_log(log)
        {
        }
        void mouseDraggedAt(const QPointF& point, const ZDLEvent&) override
        {
            m_log.append(entry("drag", point));
        }
        void mouseUpAt(const QPointF& point, const ZDLEvent&) override { m_log.append(entry("up", point)); }

    private:
        QStringList& m_log;
    };

    static QString entry(const char* what, const QPointF& point, int clicks = 0)
    {
        return QStringLiteral("%1 %2,%3%4")
            .arg(QLatin1String(what))
            .arg(point.x())
            .arg(point.y())
            .arg(clicks ? QStringLiteral(" x%1").arg(clicks) : QString());
    }
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override
    {
        log.append(entry("down", point, event.clickCount));
        view()->setCurrentTracker(std::make_unique<Tracker>(point, event, log));
    }
    void doubleClickAt(const QPointF& point, const ZDLEvent&) override { log.append(entry("double", point)); }

    QStringList log;
};

class ToolFrameworkTest : public test::CharacterWindowTest {
protected:
    // Draws the view, so that the tool's handles are those of the present selection.
    HandleList drawnHandles()
    {
        view->grab();
        return view->currentTool()->currentHandles();
    }
    ZDLHandlePtr handleOf(const QString& type, float xFactor = 0, float yFactor = 0)
    {
        for (const ZDLHandlePtr& handle : drawnHandles()) {
            if (handle->type() == type && handle->xFactor() == xFactor && handle->yFactor() == yFactor)
                return handle;
        }
        return nullptr;
    }
    // A drag as a person makes it: press, several moves, release.
    void drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(view, Qt::LeftButton, modifiers, from);
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(view, from + (to - from) * step / 4);
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
        endOfEvent();
    }
};

TEST(TrackerTest, ThresholdAndShiftConstraintFollowTheirRules)
{
    const auto event = [](double x, double y, quint32 flags = 0) {
        ZDLEvent made;
        made.locationInWindow = QPointF(x, y);
        made.modifierFlags = flags;
        return made;
    };
    ZDLTracker tracker(QPointF(0, 0), event(100, 100));
    EXPECT_FALSE(tracker.movedOverMinimum(event(101, 99)));
    EXPECT_FALSE(tracker.movedOverMinimum(event(100, 100)));
    EXPECT_TRUE(tracker.movedOverMinimum(event(101.5, 100)));
    EXPECT_TRUE(tracker.movedOverMinimum(event(100, 100))) << "once passed, always passed";

    // Shift keeps the axis chosen last until the other one leads by more than 20 units.
    const QList<std::pair<QPointF, QPointF>> steps {
        { { 30, 10 }, { 30, 0 } },
        { { 30, 45 }, { 30, 0 } },
        { { 30, 51 }, { 0, 51 } },
        { { 45, 51 }, { 0, 51 } },
    };
    for (const auto& [point, snapped] : steps)
        EXPECT_EQ(tracker.snapPoint(point, event(0, 0, kShiftKeyMask)), snapped)
            << point.x() << "," << point.y();
    EXPECT_EQ(tracker.snapPoint(QPointF(45, 51), event(0, 0)), QPointF(45, 51));
    EXPECT_EQ(tracker.snapPoint(QPointF(20, 20), event(0, 0, kShiftKeyMask)), QPointF(20, 0))
        << "ties go across";
}

TEST_F(ToolFrameworkTest, PressDragAndReleaseReachTheToolAndItsTrackerInDocumentCoordinates)
{
    auto tool = std::make_shared<RecordingTool>();
    view->setCurrentTool(tool);
    view->setViewScale(2.0f);
    view->scrollToCenterDocPoint(QPointF(300, 60));
    const QPoint a(40, 30);
    const QPoint b(90, 70);
    const QPointF docA = view->convertFromWidget(a);
    const QPointF docB = view->convertFromWidget(b);
    QTest::mousePress(view, Qt::LeftButton, {}, a);
    QTest::mouseMove(view, b);
    QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    EXPECT_EQ(tool->log,
        (QStringList { RecordingTool::entry("down", docA, 1), RecordingTool::entry("drag", docB),
            RecordingTool::entry("up", docB) }));
    EXPECT_EQ(view->currentTracker(), nullptr);

    // A double click reaches the tool after the second press's gesture has ended.
    tool->log.clear();
    doubleClick(view, a);
    EXPECT_EQ(tool->log,
        (QStringList { RecordingTool::entry("down", docA, 1), RecordingTool::entry("up", docA),
            RecordingTool::entry("down", docA, 2), RecordingTool::entry("up", docA),
            RecordingTool::entry("double", docA) }));

    // A right click's tool selects but starts no gesture.
    auto right = std::make_shared<RecordingTool>();
    view->setRightClickTool(right);
    QTest::mousePress(view, Qt::RightButton, {}, a);
    EXPECT_EQ(right->log, QStringList { RecordingTool::entry("down", docA, 1) });
    EXPECT_EQ(view->currentTracker(), nullptr);
    QTest::mouseRelease(view, Qt::RightButton, {}, a);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

TEST_F(ToolFrameworkTest, TheSelectionFrameHasItsGripsInDrawingOrderAndTheLastDrawnWins)
{
    click(2);
    QStringList types;
    for (const ZDLHandlePtr& handle : drawnHandles())
        types.append(handle->type());
    EXPECT_EQ(types,
        (QStringList { 8, kScaleHandleType }
            + QStringList {
                kOriginHandleType, kSkewVertHandleType, kSkewHorizHandleType, kRotateHandleType }));
    // Each grip answers where it was drawn.
    const ZDLHandlePtr rotate = handleOf(kRotateHandleType);
    ASSERT_TRUE(rotate);
    EXPECT_EQ(view->currentTool()->getHandleAt(rotate->box().center()), rotate);
    // The grip sizes follow the frame on the screen; a flat frame has its two middle grips only.
    ZDLTool* tool = view->currentTool();
    struct Case {
        QRectF frame;
        float scale;
        qsizetype handles;
        double side;
    };
    const QList<Case> cases {
        { QRectF(10, 10, 12, 40), 1.0f, 9, 4.0 },
        { QRectF(10, 10, 12, 40), 2.0f, 9, 3.0 },
        // A flat frame measures by its length; the origin grip is half a pixel larger all round.
        { QRectF(10, 10, 30, 0), 1.0f, 3, 6.0 },
        { QRectF(10, 10, 0, 0), 1.0f, 1, 4.0 },
        { QRectF(8, 8, 100, 100), 0.25f, 9, 24.0 },
    };
    for (const Case& each : cases) {
        view->setViewScale(each.scale);
        const HandleList made = tool->getHandlesFromFrame(each.frame);
        EXPECT_EQ(made.size(), each.handles) << each.frame.width() << " at " << each.scale;
        EXPECT_NEAR(made.first()->box().width(), each.side, 0.13)
            << each.frame.width() << " at " << each.scale;
    }
    // Overlapping grips: the one added last is hit.
    view->setViewScale(1.0f);
    tool->setTransformOrigin(QPointF(12, 11));
    tool->currentHandles() = tool->getHandlesFromFrame(QRectF(10, 10, 4, 4));
    EXPECT_EQ(tool->getHandleAt(QPointF(12, 11.5))->type(), kOriginHandleType);
}

TEST_F(ToolFrameworkTest, ALiveScaleIsCommittedAsOneStepThatRestoresTheOriginals)
{
    click(2);
    const ObjectPtr original = part(2);
    const QRectF before = asProtocol<GraphicElement>(original)->getBounds();
    const QByteArray bytesBefore = bytes();
    const ZDLHandlePtr corner = handleOf(kScaleHandleType, 1, 1);
    ASSERT_TRUE(corner);
    const QPointF origin = view->transformOrigin();
    // Dragged so that the corner lies twice as far from the origin.
    const QPointF target = origin + (corner->box().center() - origin) * 2;
    drag(at(corner->box().center()), at(target));
    const ObjectPtr scaled = part(2);
    EXPECT_NE(scaled, original) << "a scaled copy stands in the original's place";
    EXPECT_NEAR(asProtocol<GraphicElement>(scaled)->getBounds().width(), before.width() * 2, 1.5);
    EXPECT_EQ(view->selection(), ElementList { scaled });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Scale Objects"));

    choose(kUndoAction);
    EXPECT_EQ(part(2), original);
    EXPECT_EQ(bytes(), bytesBefore);
    EXPECT_EQ(view->selection(), ElementList { original });
    choose(kRedoAction);
    EXPECT_EQ(part(2), scaled);
}

TEST_F(ToolFrameworkTest, RotatingAndSkewingByTheirStalksAreOneStepAndTheOriginIsNone)
{
    click(2);
    const ObjectPtr original = part(2);
    const QByteArray before = bytes();
    const QPointF origin = view->transformOrigin();
    const auto cornerOf = [this](const QString& type) {
        const ZDLHandlePtr handle = handleOf(type);
        return handle ? handle->box().center() : QPointF();
    };
    // A quarter turn about the origin: the part stays itself, turned, its bounds turned with it.
    const QRectF bounds = asProtocol<GraphicElement>(original)->getBounds();
    const QPointF grip = cornerOf(kRotateHandleType);
    const QPointF arm = grip - origin;
    drag(at(grip), at(origin + QPointF(-arm.y(), arm.x())));
    EXPECT_EQ(part(2), original);
    const QRectF turned = asProtocol<GraphicElement>(original)->getBounds();
    EXPECT_NEAR(turned.width(), bounds.height(), 1.5);
    EXPECT_NEAR(turned.height(), bounds.width(), 1.5);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Rotate Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { original });

    // The horizontal skew grip below the frame slants the part sideways: taller stays, wider grows.
    const QPointF skewGrip = cornerOf(kSkewHorizHandleType);
    drag(at(skewGrip), at(skewGrip + QPointF(30, 0)));
    const QRectF slanted = asProtocol<GraphicElement>(original)->getBounds();
    EXPECT_NEAR(slanted.height(), bounds.height(), 1.5);
    EXPECT_GT(slanted.width(), bounds.width() + 10);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Skew Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    // The transform origin is the view's state: moving it changes no file and records no step.
    const QPointF originGrip = cornerOf(kOriginHandleType);
    drag(at(originGrip), at(originGrip + QPointF(-20, -15)));
    EXPECT_TRUE(view->transformOriginOverridden());
    EXPECT_NEAR(view->transformOrigin().x(), origin.x() - 20, 1.0);
    EXPECT_NEAR(view->transformOrigin().y(), origin.y() - 15, 1.0);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(showMenuItem(window, kUndoAction)->isEnabled());
}

TEST_F(ToolFrameworkTest, DraggingMovesAndOptionDraggingDuplicatesEachAsOneStep)
{
    const QByteArray before = bytes();
    const QRectF bounds = asProtocol<GraphicElement>(part(1))->getBounds();
    drag(at(partCentre(1)), at(partCentre(1) + QPointF(30, 20)));
    EXPECT_EQ(asProtocol<GraphicElement>(part(1))->getBounds(), bounds.translated(30, 20));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { part(1) });

    drag(at(partCentre(1)), at(partCentre(1) + QPointF(0, 40)), Qt::AltModifier);
    ASSERT_EQ(document->model()->numChildren(), 6u);
    const ObjectPtr copy = document->model()->children().last();
    EXPECT_EQ(asProtocol<GraphicElement>(copy)->getBounds(), bounds.translated(0, 40));
    EXPECT_EQ(asProtocol<GraphicElement>(part(1))->getBounds(), bounds);
    EXPECT_EQ(view->selection(), ElementList { copy });
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Duplicate Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(view->selection(), ElementList { part(1) });

    // A marquee over empty space selects what it touches; with Shift it adds.
    view->deselectAll();
    drag(at(QPointF(115, 5)), at(QPointF(300, 15)));
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(2) }));
    drag(at(QPointF(500, 5)), at(QPointF(505, 15)), Qt::ShiftModifier);
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(2), part(4) }));
}

TEST_F(ToolFrameworkTest, CommandClickSelectsAChainOfOverlappingElements)
{
    // Parts 1, 2 and 3 overlap one another in a chain; part 0 overlaps none of them.
    document->undoableOffsetObjects({ part(2) }, QPointF(-60, 0), false);
    document->undoableOffsetObjects({ part(3) }, QPointF(-120, 0), false);
    endOfEvent();
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, at(partCentre(1) + QPointF(-15, 0)));
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(2), part(3) }));
    // With Shift, the chain follows the clicked element: selected, so all of it goes.
    QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, at(partCentre(0)));
    EXPECT_EQ(view->selection(), (ElementList { part(1), part(2), part(3), part(0) }));
    QTest::mouseClick(
        view, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, at(partCentre(1) + QPointF(-15, 0)));
    EXPECT_EQ(view->selection(), ElementList { part(0) });
}

TEST_F(ToolFrameworkTest, APointerRestingOutsideTheViewKeepsScrollingAndDragging)
{
    view->setViewScale(4.0f);
    view->scrollToCenterDocPoint(partCentre(1));
    const QPoint press = at(partCentre(1));
    const QPoint outside(view->width() + 30, press.y());
    const QPointF pressed = view->convertFromWidget(press);
    QTest::mousePress(view, Qt::LeftButton, {}, press);
    QTest::mouseMove(view, press + QPoint(10, 0));
    QTest::mouseMove(view, outside);
    const int offset = view->scrollArea()->scrollOffset().x();
    const double reached = asProtocol<GraphicElement>(part(1))->getBounds().left();
    // The auto-scroll timer replays the drag every tenth of a second while the button is down.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return view->scrollArea()->scrollOffset().x() > offset
                && asProtocol<GraphicElement>(part(1))->getBounds().left() > reached;
        },
        30000));
    const QPointF under = view->convertFromWidget(outside);
    QTest::mouseRelease(view, Qt::LeftButton, {}, outside);
    endOfEvent();
    // Released, the part is where the pointer last dragged it, as one step.
    EXPECT_NEAR(asProtocol<GraphicElement>(part(1))->getBounds().center().x() - partCentre(1).x(),
        under.x() - pressed.x(), 1e-6);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Objects"));
}

} // namespace
} // namespace zandrel
