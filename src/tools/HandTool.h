#pragma once

#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <QCursor>

namespace zandrel {

// Pans and zooms instead of editing: a plain drag scrolls the document under the pointer, a
// Command-drag zooms around the press point. Every view has one and uses it while the space bar is
// held; both trackers end that override on mouse-up.
class HandTool : public ZDLTool {
public:
    HandTool();

    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    QString toolTip() const override;

private:
    QCursor m_magnifyCursor;
};

// Keeps the pressed document point under the pointer.
class ScrollingTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;

    bool wantsAutoScroll() const override { return false; }
    bool editingDocument() const override { return false; }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
};

// Zooms by 0.7 per cent for every screen point the pointer moves right of the press (out to the
// left), keeping the pressed point fixed on the screen.
class ScalingTracker : public ZDLTracker {
public:
    ScalingTracker(const QPointF& point, const ZDLEvent& event);

    bool wantsAutoScroll() const override { return false; }
    bool editingDocument() const override { return false; }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

    static constexpr float kZoomPerPoint = 1.007f;

private:
    QPointF m_windowStartPt;
    float m_originalScale = 0.0f;
};

} // namespace zandrel
