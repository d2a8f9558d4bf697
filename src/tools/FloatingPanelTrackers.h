#pragma once

#include "platform/Value.h"
#include "tools/ZDLTracker.h"

#include <QRectF>
#include <memory>

namespace zandrel {

class ComicPanel;
class FloatingPanelCornerHandle;
class FloatingPanelSideHandle;
class ZDLDocument;

// Moves a free panel with everything in it, live and without undo while the pointer moves, and
// records the whole move once on mouse-up ("Move Floating Panel"). The pointer is held where the
// panel's bounding box stays 1 unit inside the comic; Shift keeps the move horizontal or vertical.
class FloatingPanelDragTracker : public ZDLTracker {
public:
    FloatingPanelDragTracker(
        const QPointF& point, const ZDLEvent& event, const std::shared_ptr<ComicPanel>& panel);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    std::shared_ptr<ComicPanel> m_panel;
    QPointF m_lastPoint;
    QRectF m_limitRect;
};

// What the two reshaping trackers share: the panel's corners at the press, the comic's bounds inset
// by 1 that every moved corner must stay in, and the rule that each accepted step takes the previous
// step of the gesture back first, so that the gesture leaves exactly one undo step.
class FloatingPanelReshapeTracker : public ZDLTracker {
public:
    FloatingPanelReshapeTracker(
        const QPointF& point, const ZDLEvent& event, const std::shared_ptr<ComicPanel>& panel);

    // The step was already recorded as it was made.
    void mouseUpAt(const QPointF&, const ZDLEvent&) override { }

protected:
    QPointF corner(const QString& name) const;
    // The panel's four corners by name, as they are now.
    ValueMap cornersNow() const;
    static bool sameCorners(const ValueMap& a, const ValueMap& b);
    // Applies the corners as the gesture's one undo step, replacing the step before.
    void applyStep(const ValueMap& corners);
    // Inside the limit: the minimum edges included, the maximum edges not.
    bool insideLimit(const QPointF& point) const;
    // Hides the selection and the grips and redraws the band where the grips were.
    void beginStep();

    std::shared_ptr<ComicPanel> m_panel;
    QPointF m_lastPoint;
    bool m_distort = false;
    ValueMap m_origCorners;
    QRectF m_limitRect;

private:
    ZDLDocument* document() const;

    bool m_changedOnce = false;
};

// Drags a corner of a free panel. Resizing, the two neighbouring corners slide along the edges that
// meet at the opposite corner and every edge keeps its direction; distorting (Command at the press),
// only the grabbed corner moves. The grabbed corner stops 1 unit inside the comic.
class FloatingPanelCornerTracker : public FloatingPanelReshapeTracker {
public:
    FloatingPanelCornerTracker(const QPointF& point, const ZDLEvent& event,
        const std::shared_ptr<FloatingPanelCornerHandle>& handle, const std::shared_ptr<ComicPanel>& panel);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;

private:
    std::shared_ptr<FloatingPanelCornerHandle> m_handle;
    QRectF m_mouseLimit;
};

// Drags a side of a free panel: parallel to itself, its corners sliding along the adjacent edges,
// or, distorting, both corners by the full pointer offset. A step that would put a corner outside
// the comic is refused rather than held back.
class FloatingPanelSideTracker : public FloatingPanelReshapeTracker {
public:
    FloatingPanelSideTracker(const QPointF& point, const ZDLEvent& event,
        const std::shared_ptr<FloatingPanelSideHandle>& handle, const std::shared_ptr<ComicPanel>& panel);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;

private:
    std::shared_ptr<FloatingPanelSideHandle> m_handle;
};

} // namespace zandrel
