#include "tools/FloatingElementDragTracker.h"

#include "app/core/ZDLDocument.h"
#include "platform/Localization.h"
#include "views/ComicView.h"

namespace zandrel {

FloatingElementDragTracker::FloatingElementDragTracker(
    const QPointF& point, const ZDLEvent& event, const ObjectPtr& element)
    : ZDLTracker(point, event)
    , m_duplicate(event.option())
    , m_dragElement(element)
    , m_lastPoint(point)
{
    const auto* member = asProtocol<ModelElement>(element);
    auto* page = member ? dynamic_cast<Object*>(member->parent()) : nullptr;
    m_page = page ? page->shared_from_this() : nullptr;
}

void FloatingElementDragTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    auto* page = asProtocol<Parent>(m_page);
    if (!movedOverMinimum(event) || !document || !page)
        return;
    if (m_duplicate && !m_started) {
        m_started = true;
        m_oldChildren = page->children();
        const auto* graphic = asProtocol<GraphicElement>(m_dragElement);
        if (!graphic)
            return;
        m_dragElement = graphic->initByCopying();
        page->setChildren(*m_oldChildren + ElementList { m_dragElement });
    }
    auto* graphic = asProtocol<GraphicElement>(m_dragElement);
    if (!graphic)
        return;
    const QPointF snapped = snapPoint(point, event);
    const QPointF delta = snapped - m_lastPoint;
    const QRectF dirty = graphic->getInvalidationBounds();
    document->updateViewsRect(dirty, false);
    if (!m_before)
        m_before = recordGeometry({ m_dragElement });
    graphic->offsetBy(delta, true);
    document->updateViewsRect(dirty.translated(delta), true);
    m_lastPoint = snapped;
}

void FloatingElementDragTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    auto* page = asProtocol<Parent>(m_page);
    if (!document || !page)
        return;
    if (!movedOverMinimum(event)) {
        // A click looks into the page's free objects.
        if (auto* comicView = dynamic_cast<ComicView*>(editingView()))
            comicView->openFreeObjectsEditor(m_dragElement);
        return;
    }
    if (m_oldChildren) {
        const ElementList current = page->children();
        page->setChildren(*m_oldChildren);
        document->undoableSetChildren(current, m_page);
    }
    if (m_before)
        document->undoableOffsetObjects({ m_dragElement }, *m_before);
    else
        document->undoableOffsetObjects({ m_dragElement }, m_lastPoint - startPt(), true);
    if (m_duplicate)
        document->undoManager()->setActionName(localized("Duplicate Objects"));
}

} // namespace zandrel
