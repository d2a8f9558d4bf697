#pragma once

#include "views/ZDLEvent.h"

#include <QPointF>

namespace zandrel {

class ZDLEditingView;
class ZDLView;

// The base of every mouse-gesture tracker. A tool makes a tracker on mouse-down and installs it as
// its view's current tracker; until mouse-up the view hands it every drag, lets it draw its feedback
// over the view and finally hands it the release and drops it. A tracker edits the model live while
// the mouse moves and commits one undoable change on mouse-up. The base keeps the press point, the
// one-point drag threshold and the Shift constraint to a horizontal or vertical line.
class ZDLTracker {
public:
    ZDLTracker(const QPointF& point, const ZDLEvent& event);
    virtual ~ZDLTracker() = default;
    ZDLTracker(const ZDLTracker&) = delete;
    ZDLTracker& operator=(const ZDLTracker&) = delete;

    ZDLView* view() const { return m_view; }
    // Called by the view when it installs the tracker.
    virtual void setView(ZDLView* view);
    // The view when it edits a document, else null.
    ZDLEditingView* editingView() const { return m_editingView; }
    QPointF startPt() const { return m_startPt; }

    // Whether the view scrolls toward the pointer while the tracker runs.
    virtual bool wantsAutoScroll() const { return true; }
    // While true, the view never shrinks under the pointer when it recomputes its size.
    virtual bool editingDocument() const { return true; }

    virtual void mouseDraggedAt(const QPointF& point, const ZDLEvent& event);
    virtual void mouseUpAt(const QPointF& point, const ZDLEvent& event);
    // Gesture feedback, drawn over the view in document coordinates into the current canvas.
    virtual void draw() { }
    // Whether draw() would draw nothing now, so that a view may skip the pass over its content
    // altogether. A tracker that overrides draw() answers this too.
    virtual bool drawsNothing() const { return true; }

    // With Shift, the point held on the horizontal or vertical line through the press point: the axis
    // chosen last stays until the other displacement exceeds it by more than 20 document units.
    QPointF snapPoint(const QPointF& point, const ZDLEvent& event);
    // True once the pointer has left the press by more than one window point on either axis; it
    // stays true for the rest of the gesture.
    bool movedOverMinimum(const ZDLEvent& event);

    // How far the other axis must overtake the chosen one before the Shift constraint switches.
    static constexpr float kSnapHysteresis = 20.0f;

protected:
    // For gestures that count as a drag from their start.
    void setMovedMinimum() { m_movedMinimum = true; }

private:
    bool m_movedMinimum = false;
    ZDLView* m_view = nullptr;
    QPointF m_startInWindow;
    // 0 none, 1 horizontal, 2 vertical.
    int m_snapDimension = 0;
    ZDLEditingView* m_editingView = nullptr;
    QPointF m_startPt;
};

} // namespace zandrel
