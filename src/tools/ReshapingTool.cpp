// The reshaping tool: its point selection, presses, cursors, drawing and the transforms of selected
// points. The point edits (insert, cut, delete, flip, nudge) are in ReshapingToolEdits.cpp.
#include "tools/ReshapingTool.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "graphics/Curve.h"
#include "graphics/CurvePoint.h"
#include "graphics/GraphicUtils.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/SelectionTrackers.h"
#include "tools/TransformTrackers.h"
#include "views/ZDLEditingView.h"

#include <algorithm>

namespace zandrel {

namespace {

// The frame of the transform handles lies this many screen points outside the selected points.
constexpr double kTransformFrameMargin = 6.0;
const QColor kTransformFrameColor = QColor::fromRgbF(0.24f, 0.71f, 0.99f, 0.2f);

Path* pathOf(const ObjectPtr& object)
{
    return asProtocol<Path>(object);
}

} // namespace

QString ReshapingTool::toolTip() const
{
    return localized("Reshape\n"
                     "Click a point: select it; Shift-click: add or remove; drag: move the selected points\n"
                     "Click a selected path's dashed outline: add a point (Alt: the other kind)\n"
                     "Alt-click a point: turn a corner point into a curve point or back\n"
                     "Ctrl-click a point: delete it; Ctrl-click the outline: cut the path there\n"
                     "Delete: delete the selected points; arrow keys: nudge them\n"
                     "Drag on empty space: select points by area");
}

ReshapingTool::ReshapingTool()
    : m_addPointCursor(
        appController()->getCursorResource(QStringLiteral("Cur_DirectSelect_AddPoint.tiff"), QPointF(1, 1)))
    , m_addCurveCursor(
          appController()->getCursorResource(QStringLiteral("Cur_DirectSelect_AddCurve.tiff"), QPointF(1, 1)))
    , m_partOriginCursor(
          appController()->getCursorResource(QStringLiteral("Cur_PartOrigin.tiff"), QPointF(8, 9)))
    , m_perspectiveCursor(
          appController()->getCursorResource(QStringLiteral("Cur_DistortPoints.tiff"), QPointF(4, 4)))
    , m_deleteSegmentCursor(
          appController()->getCursorResource(QStringLiteral("Cur_Scissors.tiff"), QPointF(6, 16)))
{
}

// --- Point selection ---

std::optional<PathPointHandleSelection> ReshapingTool::getSelectionFor(
    const PathPointHandleSelection& point) const
{
    for (const PathPointHandleSelection& entry : m_handleSelection) {
        if (entry.matches(point))
            return entry;
    }
    return std::nullopt;
}

void ReshapingTool::redisplay() const
{
    if (view())
        view()->update();
}

void ReshapingTool::select(const PathPointHandleSelection& point, bool deselectingOthers)
{
    if (isSelected(point))
        return;
    if (deselectingOthers) {
        m_handleSelection.clear();
        if (view())
            view()->restoreAutomaticOrigin();
    }
    m_handleSelection.append(point);
    redisplay();
}

void ReshapingTool::deselect(const PathPointHandleSelection& point)
{
    if (m_handleSelection.removeAll(point) == 0)
        return;
    if (m_handleSelection.isEmpty() && view())
        view()->restoreAutomaticOrigin();
    redisplay();
}

void ReshapingTool::toggleSelection(const PathPointHandleSelection& point)
{
    if (isSelected(point))
        deselect(point);
    else
        select(point, false);
}

void ReshapingTool::deselectAll()
{
    m_handleSelection.clear();
    if (view())
        view()->restoreAutomaticOrigin();
    redisplay();
}

void ReshapingTool::validateSelection()
{
    const ZDLView* shown = view();
    // A point whose indices no longer name one goes too: an undo may have shortened its curve.
    m_handleSelection.removeIf([shown](const PathPointHandleSelection& entry) {
        return !shown || !shown->isSelected(entry.path) || !entry.getCurvePoint();
    });
}

void ReshapingTool::setSelection(const PathPointList& points)
{
    m_handleSelection = points;
    if (view())
        view()->restoreAutomaticOrigin();
    redisplay();
}

void ReshapingTool::undoableSetSelection(const PathPointList& points, bool bothWays)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (document) {
        const PathPointList recorded = bothWays ? points : m_handleSelection;
        const std::weak_ptr<ReshapingTool> self = weak_from_this();
        document->undoManager()->registerUndo(this, [self, recorded, bothWays] {
            if (const auto tool = self.lock())
                tool->undoableSetSelection(recorded, bothWays);
        });
    }
    m_handleSelection = points;
    redisplay();
}

void ReshapingTool::saveSegmentsForUndo()
{
    m_changedPartPaths.emplace();
    for (const PathPointHandleSelection& entry : std::as_const(m_handleSelection)) {
        const bool known = std::any_of(m_changedPartPaths->cbegin(), m_changedPartPaths->cend(),
            [&entry](const auto& item) { return item.first == entry.path; });
        if (const Path* path = pathOf(entry.path); path && !known)
            m_changedPartPaths->append({ entry.path, path->segments() });
    }
}

void ReshapingTool::changeSelectedPoints(const std::function<void(CurvePoint&)>& change)
{
    QList<Path*> touched;
    for (const PathPointHandleSelection& entry : std::as_const(m_handleSelection)) {
        if (const CurvePointPtr point = entry.getCurvePoint()) {
            change(*point);
            entry.getCurve()->flushCache();
            if (Path* path = pathOf(entry.path); path && !touched.contains(path))
                touched.append(path);
        }
    }
    for (Path* path : std::as_const(touched))
        path->flushCache();
    if (editingView() && editingView()->document())
        editingView()->document()->updateViews();
}

void ReshapingTool::moveSelectedPoints(const QPointF& offset)
{
    changeSelectedPoints([&offset](CurvePoint& point) { point.offsetBy(offset); });
}

void ReshapingTool::commitChangedPaths(const QString& actionName)
{
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    if (!document || !m_changedPartPaths)
        return;
    recordSegmentChanges(*document, *m_changedPartPaths);
    editing->undoableSetSelection(editing->selection(), true);
    undoableSetSelection(m_handleSelection, true);
    document->undoManager()->setActionName(actionName);
}

// --- Presses ---

void ReshapingTool::enterTool()
{
    validateSelection();
}

bool ReshapingTool::usePerspectiveTool(const ZDLEvent& event, const ZDLHandlePtr& handle) const
{
    return handle && handle->type() == kScaleHandleType && event.option() && handle->xFactor() != 0
        && handle->yFactor() != 0;
}

QRectF ReshapingTool::perspectiveFrame() const
{
    return m_handlesTransformFrame;
}

void ReshapingTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    validateSelection();
    ZDLView* shown = view();
    if (!shown || !asProtocol<Parent>(shown->rootObject()))
        return;
    // The grips as the selection stands now, whether or not the view has painted since it changed.
    if (shown->numSelected() > 0 && !shown->selectionHiddenWhileTracking()) {
        currentHandles().clear();
        makeHandles(nullptr);
    }
    if (const ZDLHandlePtr handle = getHandleAt(point)) {
        mouseDownOnHandle(handle, point, event);
        return;
    }
    // Command and Option with nothing selected place the pivot of the edited part or image.
    if (event.command() && event.option() && shown->numSelected() == 0
        && asProtocol<ComicGraphicElement>(shown->rootObject())) {
        shown->setCurrentTracker(std::make_unique<PartOriginTracker>(point, event, shown->rootObject()));
        return;
    }
    const std::optional<PathPointHandleSelection> position = getInsertionPositionAt(point);
    if (!position)
        mouseDownAway(point, event);
    else if (event.command())
        cutSegmentAt(*position);
    else
        insertPointAt(*position, point, event);
}

void ReshapingTool::mouseDownOnHandle(const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event)
{
    const auto* pointHandle = dynamic_cast<const PathPointHandle*>(handle.get());
    if (!pointHandle) {
        // The origin handle starts from where the tool drew it, unless the user has placed it.
        if (handle->type() == kOriginHandleType && editingView()
            && !editingView()->transformOriginOverridden())
            editingView()->setTransformOrigin(transformOrigin());
        handleMouseDown(handle, point, event);
        return;
    }
    const PathPointHandleSelection hit = pointHandle->selection();
    if (event.command()) {
        deletePathPoint(hit);
        return;
    }
    if (event.option()) {
        flipPoint(hit);
        return;
    }
    if (event.shift())
        toggleSelection(hit);
    else
        select(hit, true);
    if (isSelected(hit))
        view()->setCurrentTracker(std::make_unique<PathReshapeTracker>(point, event, this));
}

void ReshapingTool::mouseDownAway(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    const ObjectPtr child = shown->childAt(point);
    if (!child || event.command()) {
        if (!event.shift())
            deselectAll();
        shown->setCurrentTracker(std::make_unique<ReshapingMarqueeTracker>(point, event, this));
        return;
    }
    if (event.shift())
        shown->toggleSelect(child);
    else
        shown->select(child, true);
    validateSelection();
    if (shown->isSelected(child))
        shown->setCurrentTracker(createDragTrackerAt(point, event, shown->selection()));
}

void ReshapingTool::doubleClickAt(const QPointF& point, const ZDLEvent&)
{
    ZDLView* shown = view();
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!shown || !document)
        return;
    const ObjectPtr child = shown->childAt(point);
    const auto* container = asProtocol<Parent>(child);
    if (container && container->canEditContents())
        document->edit(child);
}

// --- Cursors ---

bool ReshapingTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    if (!shown)
        return false;
    if (usePerspectiveTool(event, getHandleAt(point))) {
        shown->setCursor(m_perspectiveCursor);
        return true;
    }
    if (setHandleCursorAt(point, event))
        return true;
    if (const auto position = getInsertionPositionAt(point)) {
        if (event.command())
            shown->setCursor(m_deleteSegmentCursor);
        else
            shown->setCursor(shouldAddOnCurve(*position, event) ? m_addPointCursor : m_addCurveCursor);
        return true;
    }
    if (event.command() && !event.option()) {
        shown->setCursor(appController()->marqueeCursor());
        return true;
    }
    return setObjectCursorAt(point, event);
}

bool ReshapingTool::setObjectCursorAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    const ObjectPtr root = shown ? shown->rootObject() : nullptr;
    if (shown && event.command() && event.option() && shown->numSelected() == 0
        && (dynamic_cast<const Part*>(root.get()) || dynamic_cast<const ImageElement*>(root.get()))) {
        shown->setCursor(m_partOriginCursor);
        return true;
    }
    return SelectionTool::setObjectCursorAt(point, event);
}

// --- Drawing ---

void ReshapingTool::draw()
{
    ZDLView* shown = view();
    Canvas* canvas = currentCanvas();
    if (!shown || !canvas)
        return;
    if (shown->numSelected() == 0 || shown->selectionHiddenWhileTracking()) {
        drawRootPartTransformOriginHandle();
        return;
    }
    makeHandles(canvas);
}

void ReshapingTool::makeHandles(Canvas* canvas)
{
    ZDLView* shown = view();
    const double s = shown->viewScale();
    const QColor& color = appController()->reshapeSelectionColor();
    CanvasPath dashed;
    dashed.setLineWidth(1.0 / s);
    dashed.setDash({ 2.0 / s, 2.0 / s }, 0.5 / s);
    HandleList points;
    if (canvas)
        canvas->save();
    for (const ObjectPtr& object : shown->selection()) {
        if (const auto* group = dynamic_cast<const PartGroup*>(object.get())) {
            CanvasPath frame = dashed;
            const double half = 0.5 / s;
            frame.addRect(insetRect(shown->centerScanRect(group->getBounds()), -half, -half));
            if (canvas)
                canvas->strokePath(frame, CanvasPaint(color));
            continue;
        }
        const Path* path = pathOf(object);
        for (std::size_t segment = 0; path && segment < path->numSegments(); ++segment) {
            const CurvePtr curve = path->getSegmentAtIndex(segment);
            CanvasPath polygon = dashed;
            for (int index = 0; index < curve->numPoints(); ++index) {
                const QPointF at = curve->getPointAtIndex(index)->point();
                if (index == 0)
                    polygon.moveTo(at);
                else
                    polygon.lineTo(at);
                points.append(std::make_shared<PathPointHandle>(
                    at, *shown, this, PathPointHandleSelection { object, int(segment), index }));
            }
            if (curve->closed())
                polygon.close();
            if (canvas)
                canvas->strokePath(polygon, CanvasPaint(color));
        }
    }
    if (canvas)
        canvas->restore();
    for (const ZDLHandlePtr& handle : std::as_const(points)) {
        if (canvas)
            handle->drawOn(*canvas);
        currentHandles().append(handle);
    }
    if (m_handleSelection.size() < 2)
        return;
    // The points' positions may line up, so their bounds can be flat: no rect union, which drops
    // empty rects.
    std::optional<QRectF> bounds;
    for (const PathPointHandleSelection& entry : std::as_const(m_handleSelection)) {
        if (const CurvePointPtr point = entry.getCurvePoint()) {
            const QPointF p = point->point();
            bounds = bounds ? QRectF(QPointF(std::min(bounds->left(), p.x()), std::min(bounds->top(), p.y())),
                         QPointF(std::max(bounds->right(), p.x()), std::max(bounds->bottom(), p.y())))
                            : QRectF(p, QSizeF(0, 0));
        }
    }
    if (!bounds)
        return;
    const double margin = kTransformFrameMargin / s;
    m_handlesTransformFrame = insetRect(*bounds, -margin, -margin);
    setTransformOrigin(editingView() && editingView()->transformOriginOverridden()
            ? editingView()->transformOrigin()
            : m_handlesTransformFrame.center());
    HandleList made = getHandlesFromFrame(m_handlesTransformFrame);
    addVisibleTransformHandlesFromFrame(m_handlesTransformFrame, made);
    CanvasPath style;
    style.setLineWidth(1.0 / s);
    if (canvas)
        drawBoundsFrame(m_handlesTransformFrame, *canvas, style, kTransformFrameColor);
    for (const ZDLHandlePtr& handle : std::as_const(made)) {
        if (canvas)
            handle->drawOn(*canvas);
        currentHandles().append(handle);
    }
}

// --- Transforms of the selected points ---

void ReshapingTool::applyInteractiveTransform(const QTransform& transform, bool undoingWithCopy)
{
    if (m_handleSelection.isEmpty()) {
        SelectionTool::applyInteractiveTransform(transform, undoingWithCopy);
        return;
    }
    QTransform step = transform;
    if (!m_changedPartPaths) {
        saveSegmentsForUndo();
    } else if (m_appliedPointTransform) {
        bool invertible = false;
        const QTransform undoPrevious = m_appliedPointTransform->inverted(&invertible);
        // A flattened transform cannot be taken back; the gesture waits for the next usable one.
        if (!invertible)
            return;
        step = undoPrevious * transform;
    }
    changeSelectedPoints([&step](CurvePoint& point) { point.transformBy(step); });
    m_appliedPointTransform = transform;
}

void ReshapingTool::commitInteractiveTransform(const QString& actionTemplate)
{
    if (!m_changedPartPaths) {
        SelectionTool::commitInteractiveTransform(actionTemplate);
        return;
    }
    if (m_appliedPointTransform)
        commitChangedPaths(actionTemplate.arg(localized("Points")));
    m_appliedPointTransform.reset();
    m_changedPartPaths.reset();
}

void ReshapingTool::restoreSavedSegments()
{
    for (const auto& [object, old] : std::as_const(*m_changedPartPaths)) {
        if (Path* path = pathOf(object))
            path->setSegments(old);
    }
}

void ReshapingTool::applyPerspectiveTransform(const QRectF& from, const std::array<QPointF, 4>& to)
{
    if (m_handleSelection.isEmpty()) {
        SelectionTool::applyPerspectiveTransform(from, to);
        return;
    }
    // Every step starts again from the points as they were, so that rounding never accumulates.
    if (m_changedPartPaths)
        restoreSavedSegments();
    else
        saveSegmentsForUndo();
    changeSelectedPoints(
        [&from, &to](CurvePoint& point) { point.perspectiveTransformFrom(from, to.data()); });
}

void ReshapingTool::commitPerspectiveTransform()
{
    if (!m_changedPartPaths) {
        SelectionTool::commitPerspectiveTransform();
        return;
    }
    commitChangedPaths(localized("Perspective Change"));
    m_changedPartPaths.reset();
}

} // namespace zandrel
