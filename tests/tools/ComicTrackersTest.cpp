// The comic selection tool's gestures on a real comic window: the grips and the band of a floating
// panel, the boundaries of rows and panels, and free objects of the page. Each gesture ends in the
// geometry worked out here from the page's own corners, as one undo step that gives back the bytes.
#include "app/core/ZDLAppController.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/PanelLayer.h"
#include "tools/BalloonHandles.h"
#include "tools/ComicSelectionTool.h"
#include "tools/FloatingPanelHandles.h"
#include "views/ComicWindowFixture.h"

namespace zandrel {
namespace {

struct Quad {
    QPointF topLeft, topRight, bottomLeft, bottomRight;
};

Quad quadOf(const ComicStructureElement& element)
{
    return { element.topLeft(), element.topRight(), element.bottomLeft(), element.bottomRight() };
}

void expectQuad(const ComicStructureElement& element, const Quad& expected, const char* what)
{
    const Quad actual = quadOf(element);
    const std::pair<QPointF, QPointF> pairs[]
        = { { actual.topLeft, expected.topLeft }, { actual.topRight, expected.topRight },
              { actual.bottomLeft, expected.bottomLeft }, { actual.bottomRight, expected.bottomRight } };
    for (const auto& [got, want] : pairs) {
        EXPECT_NEAR(got.x(), want.x(), 1e-3) << what;
        EXPECT_NEAR(got.y(), want.y(), 1e-3) << what;
    }
}

class ComicTrackersTest : public test::ComicWindowTest {
protected:
    void SetUp() override
    {
        ComicWindowTest::SetUp();
        view->setViewScale(2.0f);
        view->scrollToCenterDocPoint(QPointF(120, 80));
        floater = model().currentPage()->floatingPanels().front();
    }
    // A drag as a person makes it: press, several moves, release.
    void drag(const QPoint& from, const QPoint& by, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mousePress(view, Qt::LeftButton, modifiers, from);
        for (int step = 1; step <= 4; ++step) {
            QTest::mouseMove(view, from + by * step / 4);
            endOfEvent();
        }
        QTest::mouseRelease(view, Qt::LeftButton, modifiers, from + by);
        endOfEvent();
    }
    // The grip of the current free panel with these corner names, as last drawn.
    QPointF gripCentre(const QString& type, const QString& corner1, const QString& corner2 = QString())
    {
        view->grab();
        for (const ZDLHandlePtr& handle : view->currentTool()->currentHandles()) {
            if (auto c = std::dynamic_pointer_cast<FloatingPanelCornerHandle>(handle);
                c && type == kPanelCornerHandleType && c->directCornerProp() == corner1)
                return c->box().center();
            if (auto s = std::dynamic_pointer_cast<FloatingPanelSideHandle>(handle); s
                && type == kPanelSideHandleType && s->directCorner1Prop() == corner1
                && s->directCorner2Prop() == corner2)
                return s->box().center();
        }
        ADD_FAILURE() << "no grip " << type.toStdString() << " " << corner1.toStdString();
        return QPointF();
    }
    ComicRow& row(std::size_t index) const
    {
        return static_cast<ComicRow&>(*model().currentPage()->contents().at(index));
    }

    std::shared_ptr<ComicPanel> floater;
};

TEST_F(ComicTrackersTest, FreePanelGripsAndBandReshapeAndMoveItAsOneStep)
{
    const QString tl = ComicStructureElement::kTopLeftKey;
    const QString tr = ComicStructureElement::kTopRightKey;
    const QString bl = ComicStructureElement::kBottomLeftKey;
    const QString br = ComicStructureElement::kBottomRightKey;
    // The floating panel is the rect (176, 92) to (228, 144); the comic is 240 x 160.
    struct Case {
        const char* name;
        std::function<QPointF()> press;
        QPoint by; // screen points, at zoom 2
        Qt::KeyboardModifiers modifiers;
        Quad expected;
        QString undoName;
    };
    const Case cases[] = {
        { "corner resizes about the opposite corner", [&] { return gripCentre(kPanelCornerHandleType, br); },
            QPoint(20, 12), {}, { { 176, 92 }, { 238, 92 }, { 176, 150 }, { 238, 150 } },
            QStringLiteral("Resize Floating Panel") },
        { "command on a corner distorts", [&] { return gripCentre(kPanelCornerHandleType, br); },
            QPoint(20, 12), Qt::ControlModifier, { { 176, 92 }, { 228, 92 }, { 176, 144 }, { 238, 150 } },
            QStringLiteral("Distort Floating Panel") },
        { "the top side moves only up and down", [&] { return gripCentre(kPanelSideHandleType, tl, tr); },
            QPoint(14, -20), {}, { { 176, 82 }, { 228, 82 }, { 176, 144 }, { 228, 144 } },
            QStringLiteral("Resize Floating Panel") },
        { "a corner stops 1 inside the comic", [&] { return gripCentre(kPanelCornerHandleType, tr); },
            QPoint(60, -300), Qt::ControlModifier, { { 176, 92 }, { 239, 1 }, { 176, 144 }, { 228, 144 } },
            QStringLiteral("Distort Floating Panel") },
        { "the band moves the panel", [&] { return QPointF(173, 100); }, QPoint(-60, 8), {},
            { { 146, 96 }, { 198, 96 }, { 146, 148 }, { 198, 148 } }, QStringLiteral("Move Floating Panel") },
        { "the move stops 1 inside the comic", [&] { return QPointF(173, 100); }, QPoint(100, 100), {},
            { { 187, 107 }, { 239, 107 }, { 187, 159 }, { 239, 159 } },
            QStringLiteral("Move Floating Panel") },
    };
    model().setCurrentPanel(floater);
    const QByteArray before = bytes();
    const ObjectPtr content = floater->frontLayer()->children().value(0);
    const QRectF contentBounds = asProtocol<GraphicElement>(content)->getBounds();
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const QPointF press = each.press();
        drag(at(press), each.by, each.modifiers);
        expectQuad(*floater, each.expected, each.name);
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        if (each.undoName == QStringLiteral("Move Floating Panel")) {
            EXPECT_EQ(asProtocol<GraphicElement>(content)->getBounds().topLeft(),
                contentBounds.topLeft() + (each.expected.topLeft - QPointF(176, 92)))
                << "the contents travel with the panel";
        }
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
    // A click on a grip changes nothing and records nothing.
    QTest::mouseClick(view, Qt::LeftButton, {}, at(gripCentre(kPanelCornerHandleType, bl)));
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(document->undoManager()->canUndo());
}

// A gesture that comes back to where it started and goes on keeps the user's previous step: only
// its own steps are taken back as it goes.
TEST_F(ComicTrackersTest, ADistortionThatPassesThroughItsStartKeepsThePreviousStep)
{
    click(panel(0)->bounds().center());
    choose(kNewFloatingPanelAction);
    const auto made = model().currentPanel();
    ASSERT_TRUE(made->isFloating() && made->frontLayer()->children().isEmpty());
    const QRectF rect = made->bounds();
    const QPoint press = at(gripCentre(kPanelCornerHandleType, ComicStructureElement::kBottomRightKey));
    QTest::mousePress(view, Qt::LeftButton, Qt::ControlModifier, press);
    for (const QPoint by : { QPoint(20, 12), QPoint(0, 0), QPoint(10, 6) }) {
        QTest::mouseMove(view, press + by);
        endOfEvent();
    }
    QTest::mouseRelease(view, Qt::LeftButton, {}, press + QPoint(10, 6));
    endOfEvent();
    ASSERT_EQ(model().currentPage()->floatingPanels().back(), made);
    EXPECT_EQ(made->bottomRight(), rect.bottomRight() + QPointF(5, 3));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Distort Floating Panel"));
    choose(kUndoAction);
    EXPECT_EQ(made->bounds(), rect);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo New Floating Panel"));
}

TEST_F(ComicTrackersTest, BoundariesOfRowsAndPanelsAreDraggedWithinTheirRoomAsOneStep)
{
    const float gutter = model().panelGutter();
    const auto upperLeft = panel(0);
    const auto upperMiddle = panel(1);
    // Between the two rows, half way along the first panel; between the first two panels, half way
    // down. Both lie inside a panel's quad but outside its frame.
    const double rowsY = row(0).bottomLeft().y();
    const double panelsX = upperLeft->topRight().x();
    const QPointF betweenRows(upperLeft->bounds().center().x(), rowsY - 1);
    const QPointF betweenPanels(panelsX - 1, upperLeft->bounds().center().y());
    const double room = gutter + 36;
    struct Case {
        const char* name;
        QPointF press;
        QPoint by;
        double rowsYAfter;
        double panelsXAfter;
        QString undoName;
    };
    const Case cases[] = {
        { "rows", betweenRows, QPoint(30, 20), rowsY + 10, panelsX,
            QStringLiteral("Comic Structure Edge Drag") },
        { "rows, held by the lower row's room", betweenRows, QPoint(0, 400), row(1).bottomLeft().y() - room,
            panelsX, QStringLiteral("Comic Structure Edge Drag") },
        { "panels", betweenPanels, QPoint(24, -16), rowsY, panelsX + 12,
            QStringLiteral("Comic Structure Edge Drag") },
        { "panels, held by the first panel's room", betweenPanels, QPoint(-400, 0), rowsY,
            upperLeft->topLeft().x() + room, QStringLiteral("Comic Structure Edge Drag") },
    };
    const QByteArray before = bytes();
    const Quad lowerRow = quadOf(row(1));
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        drag(at(each.press), each.by);
        EXPECT_NEAR(row(0).bottomLeft().y(), each.rowsYAfter, 1e-3);
        EXPECT_NEAR(row(0).bottomRight().y(), each.rowsYAfter, 1e-3);
        EXPECT_NEAR(row(1).topLeft().y(), each.rowsYAfter, 1e-3) << "neighbours share the boundary";
        EXPECT_NEAR(upperLeft->bottomLeft().y(), each.rowsYAfter, 1e-3) << "the row lays its panels out";
        EXPECT_NEAR(upperLeft->topRight().x(), each.panelsXAfter, 1e-3);
        EXPECT_NEAR(upperLeft->bottomRight().x(), each.panelsXAfter, 1e-3);
        EXPECT_NEAR(upperMiddle->topLeft().x(), each.panelsXAfter, 1e-3);
        EXPECT_EQ(row(1).bottomLeft(), lowerRow.bottomLeft) << "the far sides stay";
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
    // Near the top end of the boundary between the first two panels the corner wins over the edge:
    // only that end moves, to the pointer's place along the row's top.
    const QPointF topEnd(panelsX - 1, upperLeft->topRight().y() + 5);
    const QPointF bottomRight = upperLeft->bottomRight();
    drag(at(topEnd), QPoint(24, 30));
    EXPECT_NEAR(upperLeft->topRight().x(), topEnd.x() + 12, 1e-3);
    EXPECT_NEAR(upperLeft->topRight().y(), row(0).topLeft().y(), 1e-3);
    EXPECT_NEAR(upperMiddle->topLeft().x(), topEnd.x() + 12, 1e-3);
    EXPECT_EQ(upperLeft->bottomRight(), bottomRight);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Comic Structure Corner Drag"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    // Hovering over a boundary shows what a press there would drag.
    QTest::mouseMove(view, at(betweenRows));
    EXPECT_EQ(view->cursor(),
        appController()->getCursorResource(QStringLiteral("Cur_Structure_bottomtop"), QPointF(17, 17)));
    QTest::mouseMove(view, at(topEnd));
    EXPECT_EQ(view->cursor(),
        appController()->getCursorResource(QStringLiteral("Cur_Structure_topRighttopLeft"), QPointF(17, 17)));

    // Over an element of another panel the arrow shows that a click selects it there.
    model().setCurrentPanel(panel(2));
    QTest::mouseMove(view,
        at(asProtocol<GraphicElement>(upperLeft->frontLayer()->children().value(0))->getBounds().center()));
    EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(view, at(QPointF(upperLeft->bounds().center().x(), upperLeft->bounds().bottom() - 8)));
    EXPECT_EQ(view->cursor(), appController()->marqueeCursor());

    // A boundary drag whose release never comes (another press takes over) still ends its step, so
    // that the next command is a step of its own.
    QTest::mousePress(view, Qt::LeftButton, {}, at(betweenRows));
    QTest::mouseMove(view, at(betweenRows) + QPoint(0, 20));
    endOfEvent();
    QTest::mousePress(view, Qt::LeftButton, {}, at(floater->bounds().center()));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(floater->bounds().center()));
    endOfEvent();
    choose(kNewFloatingPanelAction);
    choose(kUndoAction);
    EXPECT_NEAR(row(0).bottomLeft().y(), rowsY + 10, 1e-3) << "the drag is a step of its own";
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    // The page's outer edge has no neighbour to share: a press there does nothing.
    const QPointF outerEdge(upperLeft->bounds().center().x(), upperLeft->topLeft().y() + 1);
    drag(at(outerEdge), QPoint(0, 30));
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(document->undoManager()->canUndo());
}

TEST_F(ComicTrackersTest, DraggedElementsAreCarriedIntoThePanelTheyEnterAsOneStep)
{
    const auto from = panel(1);
    const auto into = panel(2);
    const ObjectPtr balloon = from->frontLayer()->children().value(0);
    const ElementList intoBefore = into->frontLayer()->children();
    const QRectF bounds = asProtocol<GraphicElement>(balloon)->getBounds();
    const QPoint press = at(bounds.center());
    const QPoint by = at(into->bounds().center()) - press;
    const QPointF moved = QPointF(by) / view->viewScale();
    struct Case {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        QString undoName;
        // Presses a few points apart, so that no press is taken for the second click of a double one.
        QPoint offset;
    };
    const Case cases[] = {
        { "move", {}, QStringLiteral("Move Objects"), QPoint(0, 0) },
        { "copy", Qt::AltModifier, QStringLiteral("Duplicate Objects"), QPoint(12, 0) },
    };
    const QByteArray before = bytes();
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        // The press itself makes the balloon's panel current and selects it.
        model().setCurrentPanel(panel(0));
        drag(press + each.offset, by, each.modifiers);
        const ObjectPtr carried = each.modifiers ? into->frontLayer()->children().last() : balloon;
        EXPECT_EQ(model().currentPanel(), into);
        EXPECT_EQ(into->frontLayer()->children(), intoBefore + ElementList { carried }) << "on top";
        EXPECT_EQ(from->frontLayer()->children().contains(balloon), bool(each.modifiers));
        EXPECT_EQ(asProtocol<GraphicElement>(carried)->getBounds(), bounds.translated(moved));
        EXPECT_EQ(view->selection(), ElementList { carried });
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(model().currentPanel(), from);
        EXPECT_EQ(view->selection(), ElementList { balloon });
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
    // Into the other panel and back before the release: only the move is left.
    const QPoint third = press - QPoint(12, 0);
    QTest::mousePress(view, Qt::LeftButton, {}, third);
    QTest::mouseMove(view, third + by / 2);
    QTest::mouseMove(view, third + by);
    QTest::mouseMove(view, third + QPoint(4, 2));
    QTest::mouseRelease(view, Qt::LeftButton, {}, third + QPoint(4, 2));
    endOfEvent();
    EXPECT_EQ(model().currentPanel(), from);
    EXPECT_EQ(into->frontLayer()->children(), intoBefore);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicTrackersTest, BalloonGripsResizeTheTextAreaAndEditTheTailAsOneStepEach)
{
    const auto balloon = std::dynamic_pointer_cast<Balloon>(panel(1)->frontLayer()->children().value(0));
    ASSERT_TRUE(balloon);
    const BalloonPointerPtr tail = balloon->pointers().value(0);
    ASSERT_EQ(tail->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(-12, 30) }));
    const QPointF origin = balloon->origin();
    const float width = balloon->width();
    const auto grip = [&](const QString& type, bool atOriginOrIndex) -> QPointF {
        view->grab();
        for (const ZDLHandlePtr& handle : view->currentTool()->currentHandles()) {
            if (handle->type() != type)
                continue;
            const auto* sizing = dynamic_cast<const BalloonWidthHandle*>(handle.get());
            const auto* point = dynamic_cast<const BalloonPointerHandle*>(handle.get());
            if ((sizing && sizing->atOrigin() == atOriginOrIndex)
                || (point && point->pointIndex() == qsizetype(atOriginOrIndex)))
                return handle->box().center();
        }
        ADD_FAILURE() << "no grip " << type.toStdString();
        return QPointF();
    };
    const auto tailPoint = [&](int index) {
        return balloon->origin() + tail->pointerOffset() + tail->pointValues().value(index);
    };
    struct Case {
        const char* name;
        std::function<QPointF()> press;
        QPoint by;
        Qt::KeyboardModifiers modifiers;
        QString undoName;
        std::function<void()> check;
    };
    const Case cases[] = {
        { "right width grip", [&] { return grip(kBalloonWidthHandleType, false); }, QPoint(40, 10), {},
            QStringLiteral("Resize Balloon"),
            [&] {
                EXPECT_FLOAT_EQ(balloon->width(), width + 20);
                EXPECT_EQ(balloon->origin(), origin);
            } },
        { "left width grip, down to the narrowest", [&] { return grip(kBalloonWidthHandleType, true); },
            QPoint(80, 0), {}, QStringLiteral("Resize Balloon"),
            [&] {
                EXPECT_FLOAT_EQ(balloon->width(), 30);
                EXPECT_EQ(balloon->origin(), QPointF(origin.x() + width - 30, origin.y()))
                    << "the right side stays";
            } },
        { "the base slides within the text box", [&] { return grip(kBalloonPointerBaseHandleType, false); },
            QPoint(-600, -600), {}, QStringLiteral("Move Balloon Pointer"),
            [&] {
                EXPECT_EQ(tail->xPos(), 0.0f);
                EXPECT_EQ(tail->yPos(), 0.0f);
                EXPECT_EQ(tail->pointValues().value(1), QPointF(-12, 30)) << "the tail travels with its base";
            } },
        { "a tail point", [&] { return grip(kBalloonPointerHandleType, true); }, QPoint(20, 12), {},
            QStringLiteral("Reshape Balloon Pointer"),
            [&] {
                EXPECT_EQ(tail->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(-2, 36) }));
            } },
        { "a press on the tail inserts a point", [&] { return (tailPoint(0) + tailPoint(1)) / 2; },
            QPoint(0, 0), {}, QStringLiteral("Reshape Balloon Pointer"),
            [&] {
                ASSERT_EQ(tail->pointValues().size(), 3);
                EXPECT_NEAR(tail->pointValues().at(1).x(), -6, 0.5);
                EXPECT_NEAR(tail->pointValues().at(1).y(), 15, 0.5);
            } },
        { "command on the end of a two-point tail takes the tail",
            [&] { return grip(kBalloonPointerHandleType, true); }, QPoint(0, 0), Qt::ControlModifier,
            QStringLiteral("Delete Balloon Pointer"), [&] { EXPECT_TRUE(balloon->pointers().isEmpty()); } },
    };
    const QByteArray before = bytes();
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        model().setCurrentPanel(panel(1));
        view->setSelection({ balloon });
        drag(at(each.press()), each.by, each.modifiers);
        each.check();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo ") + each.undoName);
        EXPECT_EQ(view->selection(), ElementList { balloon });
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
}

// Command on a grip of a tail of three points takes that point alone, as its own step.
TEST_F(ComicTrackersTest, CommandOnAPointOfALongerTailTakesOnlyThatPoint)
{
    const auto balloon = std::dynamic_pointer_cast<Balloon>(panel(1)->frontLayer()->children().value(0));
    ASSERT_TRUE(balloon);
    const BalloonPointerPtr tail = balloon->pointers().value(0);
    const auto at3 = [&](int index) {
        return at(balloon->origin() + tail->pointerOffset() + tail->pointValues().value(index));
    };
    model().setCurrentPanel(panel(1));
    view->setSelection({ balloon });
    view->grab();
    drag((at3(0) + at3(1)) / 2, QPoint(0, 0));
    ASSERT_EQ(tail->pointValues().size(), 3);
    const QByteArray lengthened = bytes();
    view->grab();
    drag(at3(1), QPoint(0, 0), Qt::ControlModifier);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Edit Balloon Pointer"));
    EXPECT_EQ(tail->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(-12, 30) }));
    EXPECT_EQ(view->selection(), ElementList { balloon });
    choose(kUndoAction);
    EXPECT_EQ(bytes(), lengthened);
}

// The line weight of the first path found in the element's tree.
float firstLineWeight(const ObjectPtr& element)
{
    if (const auto* path = dynamic_cast<const PartPath*>(element.get()))
        return path->lineWeight();
    if (const auto* container = asProtocol<Parent>(element)) {
        for (const ObjectPtr& child : container->children()) {
            const float weight = firstLineWeight(child);
            if (weight >= 0)
                return weight;
        }
    }
    return -1;
}

TEST_F(ComicTrackersTest, ScalingAPartScalesItsLineWeightsWithIt)
{
    const ObjectPtr part = panel(0)->frontLayer()->children().value(0);
    const QRectF bounds = asProtocol<GraphicElement>(part)->getBounds();
    const float weight = firstLineWeight(part);
    ASSERT_GT(weight, 0);
    click(bounds.center());
    ASSERT_EQ(view->selection(), ElementList { part });
    view->grab();
    ZDLHandlePtr corner;
    for (const ZDLHandlePtr& handle : view->currentTool()->currentHandles()) {
        if (handle->type() == kScaleHandleType && handle->xFactor() == 1 && handle->yFactor() == 1)
            corner = handle;
    }
    ASSERT_TRUE(corner);
    const QPoint press = at(corner->box().center());
    const QByteArray before = bytes();

    drag(press, QPoint(40, 40));
    ASSERT_EQ(view->selection().size(), 1);
    const ObjectPtr scaled = view->selection().front();
    const double factor = asProtocol<GraphicElement>(scaled)->getBounds().width() / bounds.width();
    EXPECT_GT(factor, 1.2);
    EXPECT_NEAR(firstLineWeight(scaled), weight * factor, 1e-3 * weight) << "the marks scale with the shape";
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Scale Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    // Out and back before the release: the weights are as they were.
    QTest::mousePress(view, Qt::LeftButton, {}, press + QPoint(0, 1));
    QTest::mouseMove(view, press + QPoint(60, 61));
    endOfEvent();
    QTest::mouseMove(view, press + QPoint(0, 1));
    QTest::mouseRelease(view, Qt::LeftButton, {}, press + QPoint(0, 1));
    endOfEvent();
    EXPECT_NEAR(firstLineWeight(view->selection().value(0)), weight, 1e-4 * weight);
}

TEST_F(ComicTrackersTest, CommandClickSelectsEverythingOfTheClickedCharacter)
{
    // The panel holds two parts of one character and a balloon, which has the comic's colours.
    const PanelLayerPtr layer = panel(0)->frontLayer();
    const ObjectPtr part = layer->children().value(0);
    const ObjectPtr twin = asProtocol<GraphicElement>(part)->initByCopying();
    asProtocol<GraphicElement>(twin)->offsetBy(QPointF(30, 0), true);
    const ObjectPtr balloon
        = asProtocol<GraphicElement>(panel(1)->frontLayer()->children().value(0))->initByCopying();
    const auto centre
        = [](const ObjectPtr& element) { return asProtocol<GraphicElement>(element)->getBounds().center(); };
    const QRectF room = panel(0)->bounds();
    asProtocol<GraphicElement>(balloon)->offsetBy(
        QPointF(room.center().x(), room.bottom() - 12) - centre(balloon), true);
    layer->setChildren({ part, balloon, twin });
    click(centre(part), Qt::ControlModifier);
    EXPECT_EQ(view->selection(), (ElementList { part, twin }));
    click(centre(twin), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(view->selection().isEmpty()) << "toggling a selected member deselects the whole character";
    click(centre(balloon), Qt::ControlModifier);
    EXPECT_EQ(view->selection(), ElementList { balloon });
    click(centre(part), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view->selection(), (ElementList { balloon, part, twin }));
}

// Balloons alone show their own grips; with any other element the frame's standard grips instead.
TEST_F(ComicTrackersTest, BalloonGripsGiveWayToTheFrameGripsInAMixedSelection)
{
    const PanelLayerPtr layer = panel(1)->frontLayer();
    const ObjectPtr balloon = layer->children().value(0);
    const ObjectPtr part
        = asProtocol<GraphicElement>(panel(0)->frontLayer()->children().value(0))->initByCopying();
    layer->setChildren({ part, balloon });
    model().setCurrentPanel(panel(1));
    const auto gripTypes = [this](const ElementList& selection) {
        view->setSelection(selection);
        view->grab();
        QSet<QString> types;
        for (const ZDLHandlePtr& handle : view->currentTool()->currentHandles())
            types.insert(handle->type());
        return types;
    };
    const QSet<QString> alone = gripTypes({ balloon });
    EXPECT_TRUE(alone.contains(kBalloonWidthHandleType));
    EXPECT_TRUE(alone.contains(kBalloonPointerBaseHandleType));
    EXPECT_FALSE(alone.contains(kScaleHandleType));
    const QSet<QString> mixed = gripTypes({ balloon, part });
    EXPECT_TRUE(mixed.contains(kScaleHandleType));
    EXPECT_FALSE(mixed.contains(kBalloonWidthHandleType));
    EXPECT_FALSE(mixed.contains(kBalloonPointerBaseHandleType));
}

TEST_F(ComicTrackersTest, AFreeObjectIsMovedOrCopiedAndAClickOpensItsEditor)
{
    ComicPage& page = *model().currentPage();
    const ObjectPtr part = page.children().value(0);
    const QRectF bounds = asProtocol<GraphicElement>(part)->getBounds();
    click(panel(0)->bounds().center());
    const QByteArray before = bytes();
    drag(at(bounds.center()), QPoint(20, -10));
    EXPECT_EQ(asProtocol<GraphicElement>(part)->getBounds(), bounds.translated(10, -5));
    EXPECT_TRUE(view->selection().isEmpty());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Move Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);

    drag(at(bounds.center()), QPoint(0, 16), Qt::AltModifier);
    ASSERT_EQ(page.numChildren(), 3u);
    EXPECT_EQ(asProtocol<GraphicElement>(page.children().last())->getBounds(), bounds.translated(0, 8));
    EXPECT_EQ(asProtocol<GraphicElement>(part)->getBounds(), bounds);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Duplicate Objects"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(document->undoManager()->canUndo());

    click(bounds.center());
    ASSERT_TRUE(document->currentEditor());
    EXPECT_EQ(document->currentEditor()->rootObject(), ObjectPtr(model().currentPage()));
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel
