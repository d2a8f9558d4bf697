// The point edits of the reshaping tool: inserting a point on a control polygon, cutting a curve,
// deleting points, segments and paths, turning points into control points and back, and nudging.
// Each is one undoable step that records the path's "segments" and the point selection, whose
// entries are renumbered wherever the indices of the points they name change.
#include "app/core/EditorContainer.h"
#include "app/core/ZDLDocument.h"
#include "graphics/Curve.h"
#include "graphics/CurvePoint.h"
#include "graphics/GraphicUtils.h"
#include "graphics/Path.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "tools/ReshapingTool.h"
#include "views/ZDLEditingView.h"

namespace zandrel {

namespace {

// A curve needs two points; deleting one of a curve with fewer than three takes the whole curve.
constexpr int kFewestPointsToKeep = 3;

ObjectPtr parentObjectOf(const ObjectPtr& element)
{
    const auto* link = asProtocol<ModelElement>(element);
    auto* parent = link ? dynamic_cast<Object*>(link->parent()) : nullptr;
    return parent ? parent->shared_from_this() : nullptr;
}

bool samePathAndSegment(const PathPointHandleSelection& a, const PathPointHandleSelection& b)
{
    return a.path == b.path && a.segmentIndex == b.segmentIndex;
}

} // namespace

// --- Where a point goes ---

std::optional<PathPointHandleSelection> ReshapingTool::getInsertionPositionAt(const QPointF& point) const
{
    if (!view())
        return std::nullopt;
    const double tolerance = kInsertionTolerance / view()->viewScale();
    for (const ObjectPtr& object : view()->selection()) {
        const auto* path = asProtocol<Path>(object);
        for (std::size_t segment = 0; path && segment < path->numSegments(); ++segment) {
            const CurvePtr curve = path->getSegmentAtIndex(segment);
            const int n = curve->numPoints();
            // The closing span first, then the spans in order; each named by its second point.
            QList<std::pair<int, int>> spans;
            if (curve->closed() && n > 1)
                spans.append({ n - 1, 0 });
            for (int index = 1; index < n; ++index)
                spans.append({ index - 1, index });
            for (const auto& [from, to] : spans) {
                const float distance = distanceFromPointToSegment(
                    curve->getPointAtIndex(from)->point(), curve->getPointAtIndex(to)->point(), point);
                if (distance <= tolerance / 2)
                    return PathPointHandleSelection { object, int(segment), to };
            }
        }
    }
    return std::nullopt;
}

bool ReshapingTool::shouldAddOnCurve(const PathPointHandleSelection& position, const ZDLEvent& event) const
{
    const CurvePtr curve = position.getCurve();
    if (!curve || curve->numPoints() == 0)
        return !event.option();
    const int n = curve->numPoints();
    const int before = position.pointIndex == 0 ? n - 1 : position.pointIndex - 1;
    const int at = std::min(position.pointIndex, n - 1);
    const bool straight = curve->getPointAtIndex(before)->onCurve() && curve->getPointAtIndex(at)->onCurve();
    return straight != event.option();
}

// --- Inserting and cutting ---

void ReshapingTool::insertPointAt(
    const PathPointHandleSelection& position, const QPointF& point, const ZDLEvent& event)
{
    Path* path = asProtocol<Path>(position.path);
    const CurvePtr curve = position.getCurve();
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!path || !curve || !document || !view())
        return;
    const QList<CurvePtr> oldSegments = path->segments();
    const PathPointList oldSelection = m_handleSelection;
    curve->insertPointAtIndex(
        position.pointIndex, float(point.x()), float(point.y()), shouldAddOnCurve(position, event));
    path->flushCache();
    deselectAll();
    select(position, true);
    // The insertion, with any drag that follows, is one step.
    if (auto tracker = PathReshapeTracker::afterInsertion(oldSegments, oldSelection, point, event, this))
        view()->setCurrentTracker(std::move(tracker));
    document->updateViews();
}

void ReshapingTool::cutSegmentAt(const PathPointHandleSelection& position)
{
    const Path* path = asProtocol<Path>(position.path);
    const CurvePtr curve = position.getCurve();
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!path || !curve || !document)
        return;
    const int k = position.pointIndex;
    const int n = curve->numPoints();
    QList<CurvePtr> segments = path->segments();
    const qsizetype s = position.segmentIndex;
    if (curve->closed()) {
        // Opened at the span, the point after it comes first.
        segments[s]->setClosed(false);
        segments[s]->setFirstPoint(k);
        document->undoableSetPropertyFor(position.path, Path::kSegmentsKey, segmentsValue(segments));
        PathPointList renumbered = m_handleSelection;
        for (PathPointHandleSelection& entry : renumbered) {
            if (samePathAndSegment(entry, position))
                entry.pointIndex = entry.pointIndex >= k ? entry.pointIndex - k : entry.pointIndex - k + n;
        }
        undoableSetSelection(renumbered, false);
    } else if (k == 1) {
        // The first span: the first point goes, and with it a curve of two points.
        deletePathPoint(PathPointHandleSelection { position.path, position.segmentIndex, 0 });
        return;
    } else if (k == n - 1) {
        deletePathPoint(position);
        return;
    } else {
        const CurvePtr before = Curve::initByCopying(*segments[s]);
        before->deletePointsInRange(k, n - k);
        segments[s]->deletePointsInRange(0, k);
        segments.insert(s, before);
        document->undoableSetPropertyFor(position.path, Path::kSegmentsKey, segmentsValue(segments));
        undoableSetSelection({}, false);
    }
    // A cut names no step of its own: the Edit menu offers a plain undo.
    document->updateViews();
}

void ReshapingTool::flipPoint(const PathPointHandleSelection& point)
{
    Path* path = asProtocol<Path>(point.path);
    const CurvePointPtr live = point.getCurvePoint();
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!path || !live || !document)
        return;
    const QList<CurvePtr> old = path->segments();
    live->setOnCurve(!live->onCurve());
    point.getCurve()->flushCache();
    path->flushCache();
    document->undoableSetPropertyFor(
        point.path, Path::kSegmentsKey, segmentsValue(path->segments()), segmentsValue(old));
    // Like a cut, a flip names no step of its own.
}

// --- Deleting ---

void ReshapingTool::deletePathPoint(const PathPointHandleSelection& point)
{
    Path* path = asProtocol<Path>(point.path);
    const CurvePtr curve = point.getCurve();
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    if (!path || !curve || !document)
        return;
    PathPointList remaining = m_handleSelection;
    if (curve->numPoints() < kFewestPointsToKeep && path->numSegments() == 1) {
        const ObjectPtr parent = parentObjectOf(point.path);
        const auto* container = asProtocol<Parent>(parent);
        if (!container)
            return;
        ElementList children = container->children();
        children.removeAll(point.path);
        document->undoableSetChildren(children, parent);
        if (EditorContainer* partEditor = document->partEditingView())
            partEditor->checkToAddOrDeleteCurrentPart();
        ElementList selection = editing->selection();
        selection.removeAll(point.path);
        editing->undoableSetSelection(selection, false);
        remaining.removeIf(
            [&point](const PathPointHandleSelection& entry) { return entry.path == point.path; });
        undoableSetSelection(remaining, false);
        document->undoManager()->setActionName(localized("Delete Path"));
        return;
    }
    if (curve->numPoints() < kFewestPointsToKeep) {
        QList<CurvePtr> segments = path->segments();
        segments.removeAt(point.segmentIndex);
        document->undoableSetPropertyFor(point.path, Path::kSegmentsKey, segmentsValue(segments));
        editing->undoableSetSelection(editing->selection(), true);
        remaining.removeIf(
            [&point](const PathPointHandleSelection& entry) { return samePathAndSegment(entry, point); });
        for (PathPointHandleSelection& entry : remaining) {
            if (entry.path == point.path && entry.segmentIndex > point.segmentIndex)
                --entry.segmentIndex;
        }
        undoableSetSelection(remaining, false);
        document->undoManager()->setActionName(localized("Delete Subpath"));
        return;
    }
    const QList<CurvePtr> old = path->segments();
    path->deleteCurvePoint(std::size_t(point.pointIndex), std::size_t(point.segmentIndex));
    document->undoableSetPropertyFor(
        point.path, Path::kSegmentsKey, segmentsValue(path->segments()), segmentsValue(old));
    remaining.removeAll(point);
    for (PathPointHandleSelection& entry : remaining) {
        if (samePathAndSegment(entry, point) && entry.pointIndex > point.pointIndex)
            --entry.pointIndex;
    }
    undoableSetSelection(remaining, false);
    document->undoManager()->setActionName(localized("Delete Path Point"));
    document->updateViews();
}

bool ReshapingTool::customDelete()
{
    validateSelection();
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (m_handleSelection.isEmpty() || !document)
        return false;
    // One step each, so that the user can take the deletions back one by one.
    UndoManager* undo = document->undoManager();
    while (!m_handleSelection.isEmpty()) {
        const qsizetype before = m_handleSelection.size();
        undo->beginUndoGrouping();
        deletePathPoint(m_handleSelection.first());
        undo->endUndoGrouping();
        // A point that could not be deleted is let go, so that the loop ends.
        if (m_handleSelection.size() >= before)
            m_handleSelection.removeFirst();
    }
    return true;
}

void ReshapingTool::nudge(const QPointF& offset)
{
    validateSelection();
    if (m_handleSelection.isEmpty()) {
        SelectionTool::nudge(offset);
        return;
    }
    saveSegmentsForUndo();
    moveSelectedPoints(offset);
    commitChangedPaths(localized("Nudge Path Points"));
    m_changedPartPaths.reset();
}

} // namespace zandrel
