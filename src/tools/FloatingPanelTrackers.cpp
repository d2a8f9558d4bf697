#include "tools/FloatingPanelTrackers.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/FloatingPanelHandles.h"
#include "views/ZDLEditingView.h"

#include <cmath>

namespace zandrel {

namespace {

// Free panels stay this far inside the comic.
constexpr double kComicMargin = 1.0;
// The grips lie within this many screen points outside the panel.
constexpr double kGripReach = 8.0;

QRectF comicBounds(const ComicPanel& panel)
{
    const ComicStructureElement* comic = panel.owner();
    return comic ? comic->bounds() : QRectF();
}

// The panel and its grips, to redraw when the grips appear or go.
void redrawGripBand(ZDLView* view, const ComicPanel& panel)
{
    if (!view)
        return;
    const double reach = kGripReach / view->viewScale();
    view->setNeedsDisplayInRect(insetRect(panel.bounds(), -reach, -reach));
}

} // namespace

// --- Move ---

FloatingPanelDragTracker::FloatingPanelDragTracker(
    const QPointF& point, const ZDLEvent& event, const std::shared_ptr<ComicPanel>& panel)
    : ZDLTracker(point, event)
    , m_panel(panel)
    , m_lastPoint(point)
{
    const QRectF bounds = panel->bounds();
    const QRectF comic = comicBounds(*panel);
    // The pointer positions that keep the panel's box inside the comic, margin included.
    const QRectF limit(comic.topLeft() + (point - bounds.topLeft()), comic.size() - bounds.size());
    m_limitRect = insetRect(limit, kComicMargin, kComicMargin);
}

void FloatingPanelDragTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !view())
        return;
    view()->hideSelectionDuringTracking();
    redrawGripBand(view(), *m_panel);
    const QPointF p = clampPointToRect(snapPoint(point, event), m_limitRect);
    m_panel->offsetBy(p - m_lastPoint);
    m_lastPoint = p;
}

void FloatingPanelDragTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    auto* comicDoc = editingView() ? editingView()->comicDoc() : nullptr;
    if (!movedOverMinimum(event) || !comicDoc)
        return;
    comicDoc->undoableOffsetPanel(m_panel, m_lastPoint - startPt(), true);
    redrawGripBand(view(), *m_panel);
}

// --- Reshaping ---

FloatingPanelReshapeTracker::FloatingPanelReshapeTracker(
    const QPointF& point, const ZDLEvent& event, const std::shared_ptr<ComicPanel>& panel)
    : ZDLTracker(point, event)
    , m_panel(panel)
    , m_lastPoint(point)
    , m_distort(event.command())
{
    m_origCorners = cornersNow();
    m_limitRect = insetRect(comicBounds(*panel), kComicMargin, kComicMargin);
}

QPointF FloatingPanelReshapeTracker::corner(const QString& name) const
{
    return m_panel->valueForKey(name).toPoint();
}

ZDLDocument* FloatingPanelReshapeTracker::document() const
{
    const ComicStructureElement* comic = m_panel->owner();
    return comic ? comic->document() : nullptr;
}

ValueMap FloatingPanelReshapeTracker::cornersNow() const
{
    ValueMap corners;
    for (const QString& name : { ComicStructureElement::kTopLeftKey, ComicStructureElement::kTopRightKey,
             ComicStructureElement::kBottomLeftKey, ComicStructureElement::kBottomRightKey })
        corners.insert(name, Value(corner(name)));
    return corners;
}

bool FloatingPanelReshapeTracker::sameCorners(const ValueMap& a, const ValueMap& b)
{
    for (const QString& name : { ComicStructureElement::kTopLeftKey, ComicStructureElement::kTopRightKey,
             ComicStructureElement::kBottomLeftKey, ComicStructureElement::kBottomRightKey }) {
        if (a.value(name).toPoint() != b.value(name).toPoint())
            return false;
    }
    return true;
}

bool FloatingPanelReshapeTracker::insideLimit(const QPointF& point) const
{
    // Not-a-number (no intersection) fails every comparison.
    return point.x() >= m_limitRect.left() && point.x() < m_limitRect.right()
        && point.y() >= m_limitRect.top() && point.y() < m_limitRect.bottom();
}

void FloatingPanelReshapeTracker::beginStep()
{
    if (!view())
        return;
    view()->hideSelectionDuringTracking();
    redrawGripBand(view(), *m_panel);
}

void FloatingPanelReshapeTracker::applyStep(const ValueMap& corners)
{
    ZDLDocument* doc = document();
    if (!doc)
        return;
    if (sameCorners(corners, cornersNow()))
        return;
    UndoManager* undo = doc->undoManager();
    // The previous step of this gesture goes, so that the gesture stays one step. Only a step that
    // changed the corners is on the stack: a step back to the start recorded nothing, and undoing
    // after it would take back the user's previous action instead.
    if (m_changedOnce && undo->canUndo())
        undo->undo();
    m_changedOnce = false;
    if (sameCorners(corners, m_origCorners)) {
        redrawGripBand(view(), *m_panel);
        return;
    }
    m_changedOnce = true;
    m_panel->setTopLeftTopRightBottomLeftBottomRight(
        corners.value(ComicStructureElement::kTopLeftKey).toPoint(),
        corners.value(ComicStructureElement::kTopRightKey).toPoint(),
        corners.value(ComicStructureElement::kBottomLeftKey).toPoint(),
        corners.value(ComicStructureElement::kBottomRightKey).toPoint());
    undo->setActionName(m_distort ? localized("Distort Floating Panel") : localized("Resize Floating Panel"));
    redrawGripBand(view(), *m_panel);
}

FloatingPanelCornerTracker::FloatingPanelCornerTracker(const QPointF& point, const ZDLEvent& event,
    const std::shared_ptr<FloatingPanelCornerHandle>& handle, const std::shared_ptr<ComicPanel>& panel)
    : FloatingPanelReshapeTracker(point, event, panel)
    , m_handle(handle)
    , m_mouseLimit(m_limitRect.translated(point - corner(handle->directCornerProp())))
{
}

void FloatingPanelCornerTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event))
        return;
    beginStep();
    const QPointF p = clampPointToRect(snapPoint(point, event), m_mouseLimit);
    const QPointF delta = p - m_lastPoint;
    const QString& direct = m_handle->directCornerProp();
    const QPointF moved = corner(direct) + delta;
    ValueMap corners = m_origCorners;
    corners.insert(direct, Value(moved));
    if (!m_distort) {
        const QPointF anchor = corner(m_handle->anchorCornerProp());
        for (const QString& name : { m_handle->indirectCorner1Prop(), m_handle->indirectCorner2Prop() }) {
            // The edge through the anchor keeps its line; the edge from the grabbed corner moves
            // parallel to itself with the pointer.
            const QPointF indirect = corner(name);
            const QPointF slid = lineIntersection(anchor, indirect, moved, indirect + delta);
            if (!insideLimit(slid))
                return;
            corners.insert(name, Value(slid));
        }
    }
    if (!ComicPanel::cornerValuesOK(corners))
        return;
    applyStep(corners);
    m_lastPoint = p;
}

FloatingPanelSideTracker::FloatingPanelSideTracker(const QPointF& point, const ZDLEvent& event,
    const std::shared_ptr<FloatingPanelSideHandle>& handle, const std::shared_ptr<ComicPanel>& panel)
    : FloatingPanelReshapeTracker(point, event, panel)
    , m_handle(handle)
{
}

void FloatingPanelSideTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event))
        return;
    beginStep();
    // Neither snapped nor held back: a step that leaves the comic is refused.
    const QPointF delta = point - m_lastPoint;
    const QString& name1 = m_handle->directCorner1Prop();
    const QString& name2 = m_handle->directCorner2Prop();
    const QPointF direct1 = corner(name1);
    const QPointF direct2 = corner(name2);
    QPointF new1 = direct1 + delta;
    QPointF new2 = direct2 + delta;
    if (!m_distort) {
        new1 = lineIntersection(new1, new2, corner(m_handle->anchorCorner1Prop()), direct1);
        new2 = lineIntersection(new1, new2, corner(m_handle->anchorCorner2Prop()), direct2);
    }
    if (!insideLimit(new1) || !insideLimit(new2))
        return;
    ValueMap corners = m_origCorners;
    corners.insert(name1, Value(new1));
    corners.insert(name2, Value(new2));
    if (!ComicPanel::cornerValuesOK(corners))
        return;
    applyStep(corners);
    m_lastPoint = point;
}

} // namespace zandrel
