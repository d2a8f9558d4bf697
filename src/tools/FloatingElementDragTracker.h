#pragma once

#include "graphics/ElementProtocols.h"
#include "graphics/GeometryRecord.h"
#include "tools/ZDLTracker.h"

#include <optional>

namespace zandrel {

class ComicPage;

// Moves one free object of a page (an object lying on the page outside every panel), or with
// Option a copy of it, as one undo step on mouse-up ("Move Objects" or "Duplicate Objects"). A
// click without a drag opens the page's free objects in their editor with that object selected.
// The comic view's selection is left alone: the object belongs to no panel's layer.
class FloatingElementDragTracker : public ZDLTracker {
public:
    FloatingElementDragTracker(const QPointF& point, const ZDLEvent& event, const ObjectPtr& element);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    bool m_duplicate = false;
    ObjectPtr m_dragElement;
    QPointF m_lastPoint;
    bool m_started = false;
    std::optional<ElementList> m_oldChildren;
    ObjectPtr m_page;
    // Where the object was before the first step, for an exact undo.
    std::optional<GeometryRecord> m_before;
};

} // namespace zandrel
