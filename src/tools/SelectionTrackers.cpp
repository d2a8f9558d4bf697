#include "tools/SelectionTrackers.h"

#include "app/core/ZDLDocument.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BoundsAccumulator.h"
#include "graphics/GeometryRecord.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "views/ZDLEditingView.h"

namespace zandrel {

namespace {

Parent* rootOf(const ZDLView* view)
{
    return view ? asProtocol<Parent>(view->rootObject()) : nullptr;
}

ZDLDocument* documentOf(const ZDLEditingView* view)
{
    return view ? view->document() : nullptr;
}

} // namespace

// --- DragTracker ---

DragTracker::DragTracker(const QPointF& point, const ZDLEvent& event, const ElementList& selection)
    : ZDLTracker(point, event)
    , m_oldSelection(selection)
    , m_selection(selection)
    , m_lastPoint(point)
    , m_duplicate(event.option())
{
}

void DragTracker::makeDuplicates()
{
    Parent* root = rootOf(view());
    if (!root)
        return;
    m_started = true;
    m_oldChildren = root->children();
    // The copies go on top of everything, in the order of their originals.
    ElementList children = m_oldChildren;
    ElementList copies;
    for (const ObjectPtr& child : std::as_const(m_oldChildren)) {
        const auto* graphic = asProtocol<GraphicElement>(child);
        if (graphic && view()->isSelected(child))
            copies.append(graphic->initByCopying());
    }
    children += copies;
    view()->deselectAll();
    root->setChildren(children);
    for (const ObjectPtr& copy : std::as_const(copies))
        view()->select(copy, false);
    m_selection = view()->selection();
}

void DragTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document)
        return;
    view()->hideSelectionDuringTracking();
    if (m_duplicate && !m_started)
        makeDuplicates();
    const QPointF snapped = snapPoint(point, event);
    const QPointF delta = snapped - m_lastPoint;
    if (!m_before)
        m_before = recordGeometry(m_selection);
    document->moveElementsLive(m_selection, delta);
    m_lastPoint = snapped;
}

void DragTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    Parent* root = rootOf(view());
    // A click leaves only the selection the press made.
    if (!movedOverMinimum(event) || !document || !root)
        return;
    const QPointF offset = m_lastPoint - startPt();
    if (!m_started && offset.isNull())
        return;
    if (m_started) {
        // The copies are added again, undoably: one undo takes them away and reselects the originals.
        const ElementList current = root->children();
        root->setChildren(m_oldChildren);
        view()->setSelection(m_oldSelection);
        document->undoableSetChildren(current, view()->rootObject());
    }
    if (m_before)
        document->undoableOffsetObjects(m_selection, *m_before);
    else
        document->undoableOffsetObjects(m_selection, offset, true);
    if (m_started)
        document->undoManager()->setActionName(localized("Duplicate Objects"));
    editingView()->undoableSetSelection(m_selection, !m_started);
}

// --- MarqueeTracker ---

void MarqueeTracker::setNeedsDisplayMarqueeRect()
{
    if (!view())
        return;
    const double grow = 1.0 / view()->viewScale();
    view()->setNeedsDisplayInRect(insetRect(m_marqueeRect, -grow, -grow));
}

void MarqueeTracker::updateMarqueeRect(const QPointF& point)
{
    setNeedsDisplayMarqueeRect();
    BoundsAccumulator accumulator;
    boundsAccumulatorInit(&accumulator);
    boundsAccumulatorAddPoint(&accumulator, startPt());
    boundsAccumulatorAddPoint(&accumulator, point);
    const double half = 0.5 / view()->viewScale();
    m_marqueeRect = insetRect(view()->centerScanRect(boundsAccumulatorRect(&accumulator)), -half, -half);
    setNeedsDisplayMarqueeRect();
}

void MarqueeTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    Parent* root = rootOf(view());
    if (!root)
        return;
    if (!m_started) {
        m_started = true;
        m_initialSelection = view()->selection();
        m_viewMembers = root->children();
    }
    updateMarqueeRect(point);
    for (const ObjectPtr& member : std::as_const(m_viewMembers)) {
        const auto* graphic = asProtocol<GraphicElement>(member);
        if (!graphic || !graphic->visible() || m_initialSelection.contains(member))
            continue;
        if (intersectsRect(graphic->getVisualBounds(), m_marqueeRect))
            view()->select(member, false);
        else
            view()->deselect(member);
    }
}

void MarqueeTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    setNeedsDisplayMarqueeRect();
}

void MarqueeTracker::draw()
{
    Canvas* canvas = currentCanvas();
    if (!canvas || !view() || isEmptyRect(m_marqueeRect))
        return;
    canvas->fillRect(m_marqueeRect, CanvasPaint(QColor::fromRgbF(0, 0, 0, 0.2f)));
    canvas->strokeRect(m_marqueeRect, CanvasPaint(Qt::black), 1.0 / view()->viewScale());
}

} // namespace zandrel
