#pragma once

#include "graphics/ElementProtocols.h"
#include "graphics/GeometryRecord.h"
#include "tools/ZDLTracker.h"

#include <QRectF>
#include <optional>

namespace zandrel {

// Moves the selection, or a duplicate of it when Option was held at the press, live while the
// pointer moves, and records the whole move as one undoable step on mouse-up.
class DragTracker : public ZDLTracker {
public:
    DragTracker(const QPointF& point, const ZDLEvent& event, const ElementList& selection);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

protected:
    const ElementList& movedElements() const { return m_selection; }
    bool duplicating() const { return m_duplicate; }

private:
    void makeDuplicates();

    ElementList m_oldSelection;
    ElementList m_selection;
    QPointF m_lastPoint;
    bool m_duplicate = false;
    bool m_started = false;
    ElementList m_oldChildren;
    // Where the moved elements were before the first step of the drag, for an exact undo.
    std::optional<GeometryRecord> m_before;
};

// Selects the visible elements a rubber-band rectangle touches, live while the pointer moves.
// Elements selected before the marquee began are never touched, so a Shift-marquee adds to them.
class MarqueeTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    void setNeedsDisplayMarqueeRect();

    QRectF marqueeRect() const { return m_marqueeRect; }

protected:
    // The rectangle from the press to the point, on device pixels, with the old and new areas
    // redisplayed.
    void updateMarqueeRect(const QPointF& point);

private:
    QRectF m_marqueeRect;
    bool m_started = false;
    ElementList m_initialSelection;
    ElementList m_viewMembers;
};

} // namespace zandrel
