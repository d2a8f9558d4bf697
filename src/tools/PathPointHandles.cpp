#include "tools/PathPointHandles.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "graphics/Curve.h"
#include "graphics/CurvePoint.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/ReshapingTool.h"
#include "views/ZDLEditingView.h"

#include <algorithm>

namespace zandrel {

namespace {

QCursor cursorNamed(const char* name)
{
    return appController()->getCursorResource(QString::fromLatin1(name), QPointF(1, 1));
}

// A square of the handle's side around the point, grown by half a screen point: the grip's box.
QRectF gripBox(const QPointF& point, const ZDLView& view)
{
    const double side = PathPointHandle::kSide / view.viewScale();
    const double half = 0.5 / view.viewScale();
    const QRectF square(point.x() - side / 2, point.y() - side / 2, side, side);
    return insetRect(view.centerScanRect(square), -half, -half);
}

} // namespace

Value segmentsValue(const QList<CurvePtr>& curves)
{
    ValueList values;
    for (const CurvePtr& curve : curves)
        values.append(Value(curve));
    return Value(values);
}

void recordSegmentChanges(ZDLDocument& document, const SegmentsRecord& before)
{
    for (const auto& [object, old] : before) {
        auto* path = asProtocol<Path>(object);
        if (!path)
            continue;
        const QList<CurvePtr> now = path->segments();
        path->setSegments(old);
        document.undoableSetPropertyFor(object, Path::kSegmentsKey, segmentsValue(now));
    }
}

// --- PathPointHandleSelection ---

CurvePtr PathPointHandleSelection::getCurve() const
{
    const auto* segments = asProtocol<Path>(path);
    return segments && segmentIndex >= 0 ? segments->getSegmentAtIndex(std::size_t(segmentIndex)) : nullptr;
}

CurvePointPtr PathPointHandleSelection::getCurvePoint() const
{
    const CurvePtr curve = getCurve();
    return curve && pointIndex >= 0 && pointIndex < curve->numPoints() ? curve->getPointAtIndex(pointIndex)
                                                                       : nullptr;
}

// --- PathPointHandle ---

PathPointHandle::PathPointHandle(const QPointF& point, const ZDLView& view, const ReshapingTool* tool,
    const PathPointHandleSelection& name)
    : m_tool(tool)
    , m_name(name)
    , m_deleteCursor(cursorNamed("Cur_DirectSelect_Del.tiff"))
    , m_toPointCursor(cursorNamed("Cur_DirectSelect_ToPoint.tiff"))
    , m_toCurveCursor(cursorNamed("Cur_DirectSelect_ToCurve.tiff"))
{
    setType(kHandleType);
    setScale(view.viewScale());
    setBox(gripBox(point, view));
    setCursor(cursorNamed("Cur_DirectSelect.tiff"));
}

void PathPointHandle::drawOn(Canvas& canvas) const
{
    const CurvePointPtr point = getCurvePoint();
    const QColor& color = appController()->reshapeSelectionColor();
    const bool chosen = m_tool && m_tool->isSelected(m_name);
    CanvasPath shape
        = !point || point->onCurve() ? CanvasPath::fromRect(box()) : CanvasPath::fromEllipse(box());
    shape.setWindingRule(WindingRule::EvenOdd);
    shape.setLineWidth(scale() > 0 ? 1.0 / scale() : 1.0);
    canvas.fillPath(shape, CanvasPaint(chosen ? color : QColor(Qt::white)));
    canvas.strokePath(shape, CanvasPaint(color));
}

QCursor PathPointHandle::getCursorFor(const ZDLEvent& event) const
{
    if (event.command())
        return m_deleteCursor;
    if (event.option()) {
        const CurvePointPtr point = getCurvePoint();
        // The cursor names what a click turns the point into.
        return point && point->onCurve() ? m_toCurveCursor : m_toPointCursor;
    }
    return cursor();
}

// --- PathReshapeTracker ---

PathReshapeTracker::PathReshapeTracker(const QPointF& point, const ZDLEvent& event, ReshapingTool* tool)
    : ZDLTracker(point, event)
    , m_tool(tool)
    , m_handleSelection(tool->selection())
    , m_lastPoint(point)
{
    const auto* handle = dynamic_cast<const PathPointHandle*>(tool->getHandleAt(point).get());
    const CurvePtr curve = handle ? handle->selection().getCurve() : nullptr;
    if (!curve || curve->closed() || curve->numPoints() < 2 || !tool->view())
        return;
    const int n = curve->numPoints();
    const int index = handle->selection().pointIndex;
    if (index != 0 && index != n - 1)
        return;
    PathPointHandleSelection other = handle->selection();
    other.pointIndex = index == 0 ? n - 1 : 0;
    // Both ends dragged together can never meet.
    if (tool->isSelected(other))
        return;
    m_okToClose = true;
    m_closingPoint = handle->selection();
    m_segmentToClose = curve;
    m_closePathTarget = gripBox(curve->getPointAtIndex(other.pointIndex)->point(), *tool->view());
}

std::unique_ptr<PathReshapeTracker> PathReshapeTracker::afterInsertion(const QList<CurvePtr>& oldSegments,
    const PathPointList& oldSelection, const QPointF& point, const ZDLEvent& event, ReshapingTool* tool)
{
    if (tool->numSelected() != 1)
        return nullptr;
    auto tracker = std::make_unique<PathReshapeTracker>(point, event, tool);
    tracker->setMovedMinimum();
    tracker->m_changedPartPaths = SegmentsRecord { { tool->selection().first().path, oldSegments } };
    tracker->m_oldHandleSelection = oldSelection;
    return tracker;
}

void PathReshapeTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !view())
        return;
    view()->hideSelectionDuringTracking();
    if (!m_changedPartPaths)
        m_changedPartPaths.emplace();
    for (const PathPointHandleSelection& entry : std::as_const(m_handleSelection)) {
        const bool known = std::any_of(m_changedPartPaths->cbegin(), m_changedPartPaths->cend(),
            [&entry](const auto& item) { return item.first == entry.path; });
        if (const auto* path = asProtocol<Path>(entry.path); path && !known)
            m_changedPartPaths->append({ entry.path, path->segments() });
    }
    const QPointF snapped = snapPoint(point, event);
    m_tool->moveSelectedPoints(snapped - m_lastPoint);
    if (m_okToClose && m_segmentToClose) {
        const CurvePointPtr end = m_closingPoint.getCurvePoint();
        if (view())
            view()->setNeedsDisplayInRect(m_closePathTarget);
        m_segmentToClose->setClosed(end && pointInRect(end->point(), m_closePathTarget));
        if (auto* path = asProtocol<Path>(m_closingPoint.path))
            path->flushCache();
    }
    m_lastPoint = snapped;
}

void PathReshapeTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    if (!m_changedPartPaths || !document)
        return;
    recordSegmentChanges(*document, *m_changedPartPaths);
    editing->undoableSetSelection(editing->selection(), true);
    if (m_oldHandleSelection) {
        // Undo returns to the points selected before the insertion.
        m_tool->setSelection(*m_oldHandleSelection);
        m_tool->undoableSetSelection(m_handleSelection, false);
    } else {
        m_tool->undoableSetSelection(m_handleSelection, true);
    }
    document->undoManager()->setActionName(localized("Reshape Path"));
}

void PathReshapeTracker::draw()
{
    Canvas* canvas = currentCanvas();
    if (!m_okToClose || !m_changedPartPaths || !m_segmentToClose || !canvas || !view())
        return;
    const QColor& color = m_segmentToClose->closed() ? appController()->closedTargetColor()
                                                     : appController()->openTargetColor();
    canvas->fillRect(m_closePathTarget, CanvasPaint(color));
    canvas->strokeRect(m_closePathTarget, CanvasPaint(color), 1.0 / view()->viewScale());
}

// --- ReshapingMarqueeTracker ---

ReshapingMarqueeTracker::ReshapingMarqueeTracker(
    const QPointF& point, const ZDLEvent& event, ReshapingTool* tool)
    : MarqueeTracker(point, event)
    , m_tool(tool)
{
}

void ReshapingMarqueeTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    if (!view())
        return;
    if (!m_initialSelection) {
        m_initialSelection = m_tool->selection();
        m_viewMembers = m_tool->currentHandles();
    }
    updateMarqueeRect(point);
    for (const ZDLHandlePtr& member : std::as_const(m_viewMembers)) {
        const auto* handle = dynamic_cast<const PathPointHandle*>(member.get());
        if (!handle || m_initialSelection->contains(handle->selection()))
            continue;
        if (intersectsRect(handle->box(), marqueeRect()))
            m_tool->select(handle->selection(), false);
        else
            m_tool->deselect(handle->selection());
    }
}

void ReshapingMarqueeTracker::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    if (!m_initialSelection) {
        if (view())
            view()->deselectAll();
        return;
    }
    MarqueeTracker::mouseUpAt(point, event);
}

} // namespace zandrel
