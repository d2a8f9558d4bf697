#include "tools/ReshapingTool.h"

#include "app/core/ZDLDocument.h"
#include "graphics/Curve.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "tools/ZDLTracker.h"
#include "views/ZDLEditingView.h"

#include <QLineF>
#include <QPointer>
#include <algorithm>

namespace zandrel {

namespace {

using SegmentsRecord = QList<std::pair<ObjectPtr, QList<CurvePtr>>>;

// A curve left with fewer points is no curve: it goes.
constexpr int kFewestPoints = 2;
const QColor kHandleColor = QColor::fromRgbF(0.1f, 0.4f, 1.0f);

CurvePtr curveOf(const PathPointSelection& entry)
{
    const auto* path = asProtocol<Path>(entry.path);
    return path && entry.segmentIndex >= 0 ? path->getSegmentAtIndex(std::size_t(entry.segmentIndex))
                                           : nullptr;
}

CurvePointPtr pointOf(const PathPointSelection& entry)
{
    const CurvePtr curve = curveOf(entry);
    return curve && entry.pointIndex >= 0 && entry.pointIndex < curve->numPoints()
        ? curve->getPointAtIndex(entry.pointIndex)
        : nullptr;
}

QList<CurvePtr> copiesOf(const QList<CurvePtr>& curves)
{
    QList<CurvePtr> copies;
    for (const CurvePtr& curve : curves)
        copies.append(Curve::initByCopying(*curve));
    return copies;
}

Value valueOf(const QList<CurvePtr>& curves)
{
    ValueList values;
    for (const CurvePtr& curve : curves)
        values.append(Value(curve));
    return Value(values);
}

// Drags the selected points once the pointer has moved past the threshold; the release records
// every changed path as one step.
class PathReshapeTracker : public ZDLTracker {
public:
    PathReshapeTracker(const QPointF& point, const ZDLEvent& event, ReshapingTool* tool)
        : ZDLTracker(point, event)
        , m_tool(tool)
        , m_before(tool->segmentsOfSelectedPaths())
        , m_last(point)
    {
    }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override
    {
        if (!movedOverMinimum(event))
            return;
        const QPointF snapped = snapPoint(point, event);
        m_tool->moveSelectedPoints(snapped - m_last);
        m_last = snapped;
        m_moved = true;
    }
    void mouseUpAt(const QPointF&, const ZDLEvent&) override
    {
        if (m_moved)
            m_tool->commitSegments(m_before, localized("Reshape Path"));
    }

private:
    ReshapingTool* m_tool;
    SegmentsRecord m_before;
    QPointF m_last;
    bool m_moved = false;
};

} // namespace

void ReshapingTool::enterTool()
{
    validateSelection();
}

void ReshapingTool::validateSelection()
{
    const ZDLView* shown = view();
    m_points.removeIf([shown](const PathPointSelection& entry) {
        return !shown || !shown->isSelected(entry.path) || !pointOf(entry);
    });
}

std::optional<PathPointSelection> ReshapingTool::pointAt(const QPointF& point) const
{
    if (!view())
        return std::nullopt;
    const double reach = kHitDistance / view()->viewScale();
    // The frontmost path first, its last points first, as they are drawn.
    const ElementList selected = view()->getSelectionSorted();
    for (auto path = selected.crbegin(); path != selected.crend(); ++path) {
        const auto* segments = asProtocol<Path>(*path);
        for (int s = segments ? int(segments->numSegments()) - 1 : -1; s >= 0; --s) {
            const CurvePtr curve = segments->getSegmentAtIndex(std::size_t(s));
            for (int i = curve->numPoints() - 1; i >= 0; --i) {
                if (QLineF(curve->getPointAtIndex(i)->point(), point).length() <= reach)
                    return PathPointSelection { *path, s, i };
            }
        }
    }
    return std::nullopt;
}

void ReshapingTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    validateSelection();
    const std::optional<PathPointSelection> hit = pointAt(point);
    if (!hit || !view()) {
        // Away from the points: whole objects, as the selection tool takes them.
        if (!event.shift())
            m_points.clear();
        SelectionTool::mouseDownAt(point, event);
        return;
    }
    const bool selected = m_points.contains(*hit);
    if (event.shift()) {
        if (selected)
            m_points.removeAll(*hit);
        else
            m_points.append(*hit);
    } else if (!selected) {
        m_points = { *hit };
    }
    view()->update();
    if (m_points.contains(*hit))
        view()->setCurrentTracker(std::make_unique<PathReshapeTracker>(point, event, this));
}

SegmentsRecord ReshapingTool::segmentsOfSelectedPaths() const
{
    SegmentsRecord record;
    for (const PathPointSelection& entry : m_points) {
        const bool known = std::any_of(
            record.cbegin(), record.cend(), [&entry](const auto& item) { return item.first == entry.path; });
        if (const auto* path = asProtocol<Path>(entry.path); path && !known)
            record.append({ entry.path, copiesOf(path->segments()) });
    }
    return record;
}

void ReshapingTool::moveSelectedPoints(const QPointF& offset)
{
    for (const PathPointSelection& entry : std::as_const(m_points)) {
        if (const CurvePointPtr point = pointOf(entry)) {
            point->setPoint(point->point() + offset);
            curveOf(entry)->flushCache();
        }
    }
    // The paths' own caches follow their curves once their segments are set again.
    for (const auto& [object, before] : segmentsOfSelectedPaths()) {
        if (auto* path = asProtocol<Path>(object))
            path->setSegments(path->segments());
    }
    if (editingView() && editingView()->document())
        editingView()->document()->updateViews();
}

void ReshapingTool::commitSegments(const SegmentsRecord& before, const QString& actionName)
{
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    if (!document)
        return;
    for (const auto& [object, old] : before) {
        auto* path = asProtocol<Path>(object);
        if (!path)
            continue;
        const QList<CurvePtr> now = copiesOf(path->segments());
        path->setSegments(old);
        document->undoableSetPropertyFor(object, Path::kSegmentsKey, valueOf(now));
    }
    editing->undoableSetSelection(editing->selection(), true);
    document->undoManager()->setActionName(actionName);
}

void ReshapingTool::nudge(const QPointF& offset)
{
    validateSelection();
    if (m_points.isEmpty()) {
        SelectionTool::nudge(offset);
        return;
    }
    const SegmentsRecord before = segmentsOfSelectedPaths();
    moveSelectedPoints(offset);
    commitSegments(before, localized("Nudge Path Points"));
}

bool ReshapingTool::customDelete()
{
    validateSelection();
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    const auto* root = asProtocol<Parent>(editing ? editing->rootObject() : nullptr);
    if (m_points.isEmpty() || !document || !root)
        return false;
    ElementList children = root->children();
    ElementList selection = editing->selection();
    for (const auto& [object, segments] : segmentsOfSelectedPaths()) {
        QList<CurvePtr> kept;
        for (int s = 0; s < segments.size(); ++s) {
            const CurvePtr curve = segments.at(s);
            // From the last index down, so that the indices still to delete stay right.
            for (int i = curve->numPoints() - 1; i >= 0; --i) {
                if (m_points.contains(PathPointSelection { object, s, i }))
                    curve->deletePointAtIndex(i);
            }
            if (curve->numPoints() >= kFewestPoints)
                kept.append(curve);
        }
        if (kept.isEmpty()) {
            children.removeAll(object);
            selection.removeAll(object);
        } else {
            document->undoableSetPropertyFor(object, Path::kSegmentsKey, valueOf(kept));
        }
    }
    m_points.clear();
    if (children.size() != qsizetype(root->numChildren())) {
        editing->undoableSetChildren(children, editing->rootObject(), selection, editing->selection());
        document->objectsDeletedByUserInParent(editing->rootObject());
    }
    document->undoManager()->setActionName(localized("Delete Path Point"));
    return true;
}

void ReshapingTool::draw()
{
    SelectionTool::draw();
    Canvas* canvas = currentCanvas();
    if (!canvas || !view())
        return;
    const double side = kHandleSide / view()->viewScale();
    for (const ObjectPtr& object : view()->getSelectionSorted()) {
        const auto* path = asProtocol<Path>(object);
        for (std::size_t s = 0; path && s < path->numSegments(); ++s) {
            const CurvePtr curve = path->getSegmentAtIndex(s);
            for (int i = 0; i < curve->numPoints(); ++i) {
                const CurvePointPtr point = curve->getPointAtIndex(i);
                const QRectF box(point->point() - QPointF(side, side) / 2, QSizeF(side, side));
                CanvasPath shape
                    = point->onCurve() ? CanvasPath::fromRect(box) : CanvasPath::fromEllipse(box);
                shape.setLineWidth(1.0 / view()->viewScale());
                const bool chosen = m_points.contains(PathPointSelection { object, int(s), i });
                canvas->fillPath(shape, CanvasPaint(chosen ? kHandleColor : QColor(Qt::white)));
                canvas->strokePath(shape, CanvasPaint(kHandleColor));
            }
        }
    }
}

} // namespace zandrel
