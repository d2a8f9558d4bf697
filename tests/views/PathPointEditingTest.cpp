// Editing path points in the part editor of a real character window, with real mouse and key
// events: a table of point operations with the exact paths they leave, each one named undo step
// whose undo gives back the file's bytes; deleting selected points one step each; transforming a
// group of points; and continuing an open path with the pen and the pencil.
#include "CharacterWindowFixture.h"
#include "app/PartEditingView.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/CurveToleranceAdjuster.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "graphics/Gradient.h"
#include "graphics/GradientFill.h"
#include "tools/PencilTool.h"
#include "tools/QuadPenTool.h"
#include "tools/ReshapingTool.h"

#include <QAbstractButton>

namespace zandrel::test {
namespace {

// Curves written as text: "o" before a point on the curve, "x" before a control point, "z" for a
// closed curve, "|" between the curves of one path.
QList<CurvePtr> curvesFrom(const QString& text)
{
    QList<CurvePtr> curves;
    for (const QString& part : text.split(u'|')) {
        auto curve = std::make_shared<Curve>();
        for (const QString& token : part.split(u' ', Qt::SkipEmptyParts)) {
            if (token == QStringLiteral("z")) {
                curve->setClosed(true);
                continue;
            }
            const QStringList xy = token.mid(1).split(u',');
            curve->addPoint(QPointF(xy.at(0).toDouble(), xy.at(1).toDouble()), token.startsWith(u'o'));
        }
        curves.append(curve);
    }
    return curves;
}

QString textOf(const QPointF& point)
{
    return QString::number(point.x()) + u',' + QString::number(point.y());
}

QString textOf(const Path& path)
{
    QStringList curves;
    for (const CurvePtr& curve : path.segments()) {
        QStringList tokens;
        for (const CurvePointPtr& point : curve->points())
            tokens.append(
                (point->onCurve() ? QStringLiteral("o") : QStringLiteral("x")) + textOf(point->point()));
        if (curve->closed())
            tokens.append(QStringLiteral("z"));
        curves.append(tokens.join(u' '));
    }
    return curves.join(QStringLiteral(" | "));
}

class PathPointEditingTest : public PartEditorWindowTest {
protected:
    // Part 0 holds the paths (and, last, a path away from them that keeps the part from emptying),
    // opened in the part editor at 200 per cent with the paths selected and the reshaping tool.
    void editPaths(const QStringList& paths)
    {
        document->edit(nullptr);
        auto* edited = dynamic_cast<Part*>(part(0).get());
        ElementList children;
        for (const QString& text : paths) {
            auto path = polygonPath({}, document->model()->blackColor(), document->model()->blackColor());
            path->setSegments(curvesFrom(text));
            children.append(path);
        }
        ElementList selected = children;
        auto keeper = polygonPath({}, document->model()->blackColor(), document->model()->blackColor());
        keeper->setSegments(curvesFrom(QStringLiteral("o300,300 o320,300 o320,320")));
        children.append(keeper);
        edited->setChildren(children);
        document->undoManager()->removeAllActions();
        view->setSelection({ part(0) });
        choose(kEditObjectAction);
        endOfEvent();
        ASSERT_EQ(document->currentEditor(), editor);
        elements->setViewScale(2.0f);
        elements->scrollToCenterDocPoint(QPointF(80, 90));
        elements->setSelection(selected);
        editor->toolButton(PartEditingView::Reshaping)->click();
        tool = dynamic_cast<ReshapingTool*>(elements->currentTool());
        ASSERT_TRUE(tool);
        elements->repaint();
    }
    // The edited paths as text, the keeper left out.
    QString paths() const
    {
        const ElementList children = asProtocol<Parent>(elements->rootObject())->children();
        QStringList texts;
        for (qsizetype index = 0; index + 1 < children.size(); ++index)
            texts.append(textOf(*asProtocol<Path>(children.at(index))));
        return texts.join(QStringLiteral(" / "));
    }
    QPoint at(const QPointF& point) const { return elements->viewTransform().map(point).toPoint(); }
    // Where the view puts a press aimed at the document point.
    QPointF hit(const QPointF& point) const { return elements->convertFromWidget(QPointF(at(point))); }
    void move(const QPointF& to, Qt::KeyboardModifiers modifiers = {})
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(at(to)), elements->mapToGlobal(QPointF(at(to))),
            Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(elements, &event);
    }
    void clickOn(const QPointF& point, Qt::KeyboardModifiers modifiers = {})
    {
        elements->repaint();
        QTest::mouseClick(elements, Qt::LeftButton, modifiers, at(point));
        endOfEvent();
        elements->repaint();
    }
    void drag(const QPointF& from, const QPointF& to, Qt::KeyboardModifiers modifiers = {})
    {
        elements->repaint();
        QTest::mousePress(elements, Qt::LeftButton, modifiers, at(from));
        for (int step = 1; step <= 4; ++step)
            move(from + (to - from) * step / 4, modifiers);
        elements->repaint();
        QTest::mouseRelease(elements, Qt::LeftButton, modifiers, at(to));
        endOfEvent();
        elements->repaint();
    }

    ReshapingTool* tool = nullptr;
};

constexpr auto kCommand = Qt::ControlModifier;
constexpr auto kOption = Qt::AltModifier;

TEST_F(PathPointEditingTest, EachPointOperationLeavesItsPathAndUndoesAsOneNamedStep)
{
    const QString line = QStringLiteral("o20,100 o60,100 o100,100 o140,100");
    const QString arch = QStringLiteral("o20,100 x60,60 o100,100");
    const QString box = QStringLiteral("o20,20 o100,20 o100,60 o20,60 z");
    struct Case {
        const char* name;
        QStringList paths;
        QPointF from;
        // Equal to from for a click.
        QPointF to;
        Qt::KeyboardModifiers modifiers;
        // "P" stands for where the press landed, "Q" for where the dragged point ended.
        QString expected;
        QString undoName;
        // Where the dragged point was; none for a point the press inserted.
        std::optional<QPointF> dragged = std::nullopt;
    };
    const QList<Case> cases {
        { "a point on a straight span", { line }, { 40, 100 }, { 40, 100 }, {},
            QStringLiteral("o20,100 oP o60,100 o100,100 o140,100"), QStringLiteral("Reshape Path") },
        { "a control point on a curved span", { arch }, { 40, 80 }, { 40, 80 }, {},
            QStringLiteral("o20,100 xP x60,60 o100,100"), QStringLiteral("Reshape Path") },
        { "Option inverts the kind", { line }, { 40, 100 }, { 40, 100 }, kOption,
            QStringLiteral("o20,100 xP o60,100 o100,100 o140,100"), QStringLiteral("Reshape Path") },
        { "a point inserted and dragged", { line }, { 80, 100 }, { 80, 120 }, {},
            QStringLiteral("o20,100 o60,100 oQ o100,100 o140,100"), QStringLiteral("Reshape Path") },
        // A cut and a flip name no step: the menu offers a plain undo.
        { "a closed curve cut opens there", { box }, { 100, 40 }, { 100, 40 }, kCommand,
            QStringLiteral("o100,60 o20,60 o20,20 o100,20"), QString() },
        { "an open curve cut in two", { line }, { 80, 100 }, { 80, 100 }, kCommand,
            QStringLiteral("o20,100 o60,100 | o100,100 o140,100"), QString() },
        { "a cut of the first span takes the first point", { line }, { 40, 100 }, { 40, 100 }, kCommand,
            QStringLiteral("o60,100 o100,100 o140,100"), QStringLiteral("Delete Path Point") },
        { "a cut of the last span takes the last point", { line }, { 120, 100 }, { 120, 100 }, kCommand,
            QStringLiteral("o20,100 o60,100 o100,100"), QStringLiteral("Delete Path Point") },
        { "Command on a point deletes it", { line }, { 60, 100 }, { 60, 100 }, kCommand,
            QStringLiteral("o20,100 o100,100 o140,100"), QStringLiteral("Delete Path Point") },
        { "a curve of two points goes whole",
            { QStringLiteral("o20,100 o60,100 | o20,140 o60,140 o100,140") }, { 20, 100 }, { 20, 100 },
            kCommand, QStringLiteral("o20,140 o60,140 o100,140"), QStringLiteral("Delete Subpath") },
        { "a path of one such curve goes", { QStringLiteral("o20,100 o60,100"), arch }, { 60, 100 },
            { 60, 100 }, kCommand, arch, QStringLiteral("Delete Path") },
        { "Option turns a point into a control point", { line }, { 60, 100 }, { 60, 100 }, kOption,
            QStringLiteral("o20,100 x60,100 o100,100 o140,100"), QString() },
        { "Option turns a control point into a point", { arch }, { 60, 60 }, { 60, 60 }, kOption,
            QStringLiteral("o20,100 o60,60 o100,100"), QString() },
        { "an end dropped on the other end closes the curve", { arch }, { 20, 100 }, { 100, 100 }, {},
            QStringLiteral("oQ x60,60 o100,100 z"), QStringLiteral("Reshape Path"), QPointF(20, 100) },
        { "an end dragged elsewhere leaves it open", { arch }, { 20, 100 }, { 30, 120 }, {},
            QStringLiteral("oQ x60,60 o100,100"), QStringLiteral("Reshape Path"), QPointF(20, 100) },
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        editPaths(each.paths);
        const QByteArray before = bytes();
        const QPointF pressed = hit(each.from);
        const QPointF moved = each.dragged.value_or(pressed) + hit(each.to) - pressed;
        if (each.from == each.to)
            clickOn(each.from, each.modifiers);
        else
            drag(each.from, each.to, each.modifiers);
        QString expected = each.expected;
        expected.replace(QStringLiteral("P"), textOf(pressed));
        expected.replace(QStringLiteral("Q"), textOf(moved));
        EXPECT_EQ(paths(), expected);
        EXPECT_EQ(undoTitle(),
            each.undoName.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + each.undoName);
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
}

TEST_F(PathPointEditingTest, ACutOfAClosedCurveKeepsTheSelectedPointsUnderTheirNewIndices)
{
    editPaths({ QStringLiteral("o20,20 o100,20 o100,60 o20,60 z") });
    clickOn({ 20, 20 });
    clickOn({ 100, 60 }, Qt::ShiftModifier);
    ASSERT_EQ(tool->numSelected(), 2);
    clickOn({ 100, 40 }, kCommand);
    const ObjectPtr path = elements->selection().value(0);
    // The curve now starts at (100, 60): the old points 0 and 2 are 2 and 0.
    EXPECT_EQ(tool->selection(), (PathPointList { { path, 0, 2 }, { path, 0, 0 } }));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(tool->selection(), (PathPointList { { path, 0, 0 }, { path, 0, 2 } }));
}

TEST_F(PathPointEditingTest, DeletingThreeOfFourSelectedPointsIsThreeStepsEndingWithThePath)
{
    editPaths(
        { QStringLiteral("o20,100 o60,100 o100,100 o140,100"), QStringLiteral("o20,140 o60,140 o100,140") });
    const QByteArray before = bytes();
    clickOn({ 20, 100 });
    clickOn({ 60, 100 }, Qt::ShiftModifier);
    clickOn({ 100, 100 }, Qt::ShiftModifier);
    ASSERT_EQ(tool->numSelected(), 3);
    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(paths(), QStringLiteral("o20,140 o60,140 o100,140"));
    EXPECT_EQ(tool->numSelected(), 0);
    const QStringList steps { QStringLiteral("Undo Delete Path"), QStringLiteral("Undo Delete Path Point"),
        QStringLiteral("Undo Delete Path Point") };
    const QStringList left { QStringLiteral("o100,100 o140,100 / o20,140 o60,140 o100,140"),
        QStringLiteral("o60,100 o100,100 o140,100 / o20,140 o60,140 o100,140"),
        QStringLiteral("o20,100 o60,100 o100,100 o140,100 / o20,140 o60,140 o100,140") };
    for (qsizetype step = 0; step < steps.size(); ++step) {
        EXPECT_EQ(undoTitle(), steps.at(step));
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(paths(), left.at(step));
    }
    EXPECT_EQ(bytes(), before);
}

TEST_F(PathPointEditingTest, AMarqueeSelectsPointsAndTheirFrameScalesThemAsOneStep)
{
    editPaths({ QStringLiteral("o20,100 o60,100 o100,100 o140,100") });
    const QByteArray before = bytes();
    // A Command marquee over the middle points.
    drag({ 50, 90 }, { 110, 110 }, kCommand);
    ASSERT_EQ(tool->numSelected(), 2);
    // Under a real display the window is saved for a person to look at.
    if (qEnvironmentVariableIsSet("ZANDREL_SCREENSHOT")) {
        elements->setViewScale(6.0f);
        elements->scrollToCenterDocPoint(QPointF(80, 100));
        elements->repaint();
        window->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT").replace(".png", "-points.png"));
        elements->setViewScale(2.0f);
        elements->scrollToCenterDocPoint(QPointF(80, 90));
        elements->repaint();
    }
    const QRectF frame = tool->handlesTransformFrame();
    EXPECT_NEAR(frame.left(), 60 - 3.0, 0.5) << "6 screen points around the points";
    EXPECT_NEAR(frame.right(), 100 + 3.0, 0.5);
    // The right-hand grip dragged 20 units to the right: the points spread about the centre.
    ZDLHandlePtr grip;
    for (const ZDLHandlePtr& handle : tool->currentHandles()) {
        if (handle->type() == kScaleHandleType && handle->xFactor() == 1 && handle->yFactor() == 0)
            grip = handle;
    }
    ASSERT_TRUE(grip);
    const QPointF start = grip->box().center();
    drag(start, start + QPointF(20, 0));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Scale Points"));
    const CurvePtr curve = asProtocol<Path>(elements->selection().value(0))->getSegmentAtIndex(0);
    const double centre = frame.center().x();
    const double factor = (hit(start + QPointF(20, 0)).x() - centre) / (hit(start).x() - centre);
    EXPECT_NEAR(curve->getPointAtIndex(1)->point().x(), centre + (60 - centre) * factor, 0.01);
    EXPECT_NEAR(curve->getPointAtIndex(2)->point().x(), centre + (100 - centre) * factor, 0.01);
    EXPECT_EQ(curve->getPointAtIndex(0)->point(), QPointF(20, 100)) << "unselected points stay";
    EXPECT_EQ(curve->getPointAtIndex(3)->point(), QPointF(140, 100));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

// The rotation grip turns a path's gradient with the path, and with a few of its points too.
TEST_F(PathPointEditingTest, RotatingAPathOrSomeOfItsPointsTurnsItsGradient)
{
    for (const bool points : { false, true }) {
        SCOPED_TRACE(points ? "points" : "path");
        editPaths({ QStringLiteral("o20,100 o60,100 o100,140 o140,100") });
        auto* path = dynamic_cast<PartPath*>(elements->selection().value(0).get());
        ASSERT_TRUE(path);
        auto gradient = std::make_shared<GradientFill>();
        gradient->setGradient(std::make_shared<Gradient>());
        path->setFill(gradient);
        const float angle = gradient->linearAngle();
        const QByteArray before = bytes();
        if (points)
            drag({ 50, 90 }, { 110, 150 }, kCommand);
        else
            editor->toolButton(PartEditingView::Selection)->click();
        elements->repaint();
        ZDLHandlePtr grip;
        for (const ZDLHandlePtr& handle : elements->currentTool()->currentHandles()) {
            if (handle->type() == kRotateHandleType)
                grip = handle;
        }
        ASSERT_TRUE(grip);
        const QPointF start = grip->box().center();
        drag(start, start + QPointF(0, 40));
        EXPECT_EQ(undoTitle(),
            points ? QStringLiteral("Undo Rotate Points") : QStringLiteral("Undo Rotate Objects"));
        const auto* turned = dynamic_cast<const GradientFill*>(
            dynamic_cast<PartPath*>(elements->selection().value(0).get())->fill().get());
        ASSERT_TRUE(turned);
        EXPECT_GT(std::fabs(turned->linearAngle() - angle), 10.0f);
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before) << "the gradient exactly as it was";
        choose(kRedoAction);
        endOfEvent();
        EXPECT_EQ(
            dynamic_cast<const GradientFill*>(path->fill().get())->linearAngle(), turned->linearAngle());
    }
}

// The selection tool's scale grip held outside the editor: the view scrolls on under the resting
// pointer and the path keeps growing toward it, as one step.
TEST_F(PathPointEditingTest, AScaleGripHeldOutsideTheViewKeepsScrollingAndScaling)
{
    editPaths({ QStringLiteral("o20,100 o60,100 o100,140 o140,100") });
    editor->toolButton(PartEditingView::Selection)->click();
    elements->setViewScale(4.0f);
    elements->scrollToCenterDocPoint(QPointF(100, 110));
    elements->repaint();
    ZDLHandlePtr grip;
    for (const ZDLHandlePtr& handle : elements->currentTool()->currentHandles()) {
        if (handle->type() == kScaleHandleType && handle->xFactor() == 1 && handle->yFactor() == 0)
            grip = handle;
    }
    ASSERT_TRUE(grip);
    const auto right = [this] {
        return asProtocol<GraphicElement>(asProtocol<Parent>(elements->rootObject())->getChildAtIndex(0))
            ->getBounds()
            .right();
    };
    const QPoint press = at(grip->box().center());
    const QPoint outside(elements->width() + 30, press.y());
    QTest::mousePress(elements, Qt::LeftButton, {}, press);
    move(QPointF(elements->convertFromWidget(QPointF(press + QPoint(10, 0)))));
    move(elements->convertFromWidget(QPointF(outside)));
    const int offset = elements->scrollArea()->scrollOffset().x();
    const double reached = right();
    // The pointer rests outside from here: only the view's own timer can carry the drag on.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return elements->scrollArea()->scrollOffset().x() > offset && right() > reached; }, 30000));
    QTest::mouseRelease(elements, Qt::LeftButton, {}, outside);
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Scale Objects"));
}

// Each grip of the selection frame, dragged with the selection tool: the square it leaves and the
// one named step whose undo gives back the file.
TEST_F(PathPointEditingTest, EachSelectionGripReshapesTheSquareAsOneNamedStep)
{
    struct Case {
        const char* name;
        QString type;
        QPoint factors;
        QPointF by;
        Qt::KeyboardModifiers modifiers;
        QString undoName;
        QList<QPointF> corners; // top-left, top-right, bottom-right, bottom-left after the drag
    };
    const QPointF tl(20, 100), tr(60, 100), br(60, 140), bl(20, 140);
    const Case cases[] = {
        { "corner, by the larger factor", kScaleHandleType, { 1, 1 }, { 20, 0 }, {},
            QStringLiteral("Scale Objects"), { { 0, 80 }, { 80, 80 }, { 80, 160 }, { 0, 160 } } },
        { "corner with command, each axis alone", kScaleHandleType, { 1, 1 }, { 20, 0 }, kCommand,
            QStringLiteral("Scale Objects"), { { 0, 100 }, { 80, 100 }, { 80, 140 }, { 0, 140 } } },
        { "side grip, one axis", kScaleHandleType, { 1, 0 }, { 20, 30 }, {}, QStringLiteral("Scale Objects"),
            { { 0, 100 }, { 80, 100 }, { 80, 140 }, { 0, 140 } } },
        { "corner with option distorts along the longer move", kScaleHandleType, { 1, 1 }, { 20, 4 }, kOption,
            QStringLiteral("Perspective Change"), { tl, tr, { 80, 140 }, bl } },
        { "corner with option and command distorts freely", kScaleHandleType, { 1, 1 }, { 20, 4 },
            kOption | kCommand, QStringLiteral("Perspective Change"), { tl, tr, { 80, 144 }, bl } },
        { "the skew grip below the frame slants it", kSkewHorizHandleType, {}, { 0, 20 }, {},
            QStringLiteral("Skew Objects"), {} },
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        editPaths({ QStringLiteral("o20,100 o60,100 o60,140 o20,140 z") });
        editor->toolButton(PartEditingView::Selection)->click();
        elements->repaint();
        const QByteArray before = bytes();
        ZDLHandlePtr grip;
        for (const ZDLHandlePtr& handle : elements->currentTool()->currentHandles()) {
            if (handle->type() == each.type && handle->xFactor() == each.factors.x()
                && handle->yFactor() == each.factors.y())
                grip = handle;
        }
        ASSERT_TRUE(grip);
        const QPointF start = grip->box().center();
        drag(start, start + each.by, each.modifiers);
        EXPECT_EQ(undoTitle(),
            each.undoName.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + each.undoName);
        const auto* square = asProtocol<Path>(elements->selection().value(0));
        ASSERT_TRUE(square);
        const CurvePtr curve = square->getSegmentAtIndex(0);
        ASSERT_EQ(curve->numPoints(), 4);
        for (int index = 0; index < each.corners.size(); ++index) {
            const QPointF corner = curve->getPointAtIndex(index)->point();
            EXPECT_NEAR(corner.x(), each.corners.at(index).x(), 0.6) << index;
            EXPECT_NEAR(corner.y(), each.corners.at(index).y(), 0.6) << index;
        }
        if (each.corners.isEmpty()) {
            EXPECT_NE(curve->getPointAtIndex(0)->point().x(), tl.x()) << "the top slides sideways";
            EXPECT_EQ(curve->getPointAtIndex(0)->point().y(), tl.y());
        }
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
    }
}

TEST_F(PathPointEditingTest, ThePenContinuesAnOpenPathFromItsFirstPoint)
{
    editPaths({ QStringLiteral("o20,100 o60,100 o100,100") });
    const QByteArray before = bytes();
    editor->toolButton(PartEditingView::Pen)->click();
    ASSERT_EQ(elements->selection().size(), 1) << "an open path stays selected for the pen";
    elements->repaint();
    clickOn({ 20, 100 });
    auto* pen = dynamic_cast<QuadPenTool*>(elements->currentTool());
    ASSERT_TRUE(pen && pen->startHandle());
    clickOn({ 20, 140 });
    doubleClick(elements, at({ 60, 140 }));
    endOfEvent();
    EXPECT_EQ(paths(),
        QStringLiteral("o100,100 o60,100 o20,100 o") + textOf(hit({ 20, 140 })) + QStringLiteral(" o")
            + textOf(hit({ 60, 140 })));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Extend Path"));
    EXPECT_EQ(editor->currentTool(), PartEditingView::Reshaping);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

TEST_F(PathPointEditingTest, APencilStrokeFromAnEndToTheOtherClosesTheSegment)
{
    editPaths({ QStringLiteral("o20,100 o60,60 o100,100") });
    const QByteArray before = bytes();
    editor->toolButton(PartEditingView::Pencil)->click();
    elements->repaint();
    QTest::mousePress(elements, Qt::LeftButton, {}, at({ 100, 100 }));
    // An arch below the path, back to its first point.
    for (int x = 96; x >= 20; x -= 4)
        move(QPointF(x, 100 + (x - 20) * (100 - x) / 40.0));
    QTest::mouseRelease(elements, Qt::LeftButton, {}, at({ 20, 100 }));
    endOfEvent();
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Extend Path"));
    const Path* path = asProtocol<Path>(elements->selection().value(0));
    ASSERT_TRUE(path);
    const CurvePtr curve = path->getSegmentAtIndex(0);
    EXPECT_TRUE(curve->closed());
    // The segment's own points first, the drawn ones after, fewer than were drawn.
    EXPECT_EQ(curve->getPointAtIndex(0)->point(), QPointF(20, 100));
    EXPECT_EQ(curve->getPointAtIndex(1)->point(), QPointF(60, 60));
    EXPECT_EQ(curve->getPointAtIndex(2)->point(), QPointF(100, 100));
    EXPECT_GT(curve->numPoints(), 3);
    EXPECT_LT(curve->numPoints(), 12);
    ASSERT_TRUE(document->toleranceAdjuster());
    EXPECT_EQ(document->toleranceAdjuster()->segmentIndex(), 0u);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel::test
