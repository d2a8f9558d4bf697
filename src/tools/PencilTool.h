#pragma once

#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <QRectF>
#include <QTimer>
#include <memory>

namespace zandrel {

class Curve;

// The freehand tool of the part editor: every press starts a stroke that a PencilTracker records
// and, on release, fits into a path of quadratic segments, one step "Create Path".
class PencilTool : public ZDLTool {
public:
    void enterTool() override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
};

// One pencil stroke: the raw mouse positions as off-curve points, a pause of 0.2 s marking a
// corner, and on release the clean-up, simplification and fitting that make the path. A stroke
// that comes back to its start closes the curve.
class PencilTracker : public ZDLTracker {
public:
    PencilTracker(const QPointF& point, const ZDLEvent& event);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    // The pause timer fired: a pointer at rest makes the last point a corner.
    void mousePaused();

    const std::shared_ptr<Curve>& editCurve() const { return m_editCurve; }
    // The curve a stroke makes, cleaned up and fitted at the view scale (exposed for tests).
    static void fitStroke(Curve& curve, const QRectF& closeTarget, float scale);

    static constexpr int kPauseMilliseconds = 200;
    // Lengths in screen points: the close target, corner crowding, the smooth closing join and the
    // fitting tolerance.
    static constexpr double kCloseTargetSide = 5.0;
    static constexpr double kCornerCrowding = 3.0;
    static constexpr double kClosingJoin = 4.0;
    static constexpr double kTolerance = 3.0;

private:
    QRectF handleRectAt(const QPointF& point, double side) const;
    float scale() const;

    bool m_firstMove = true;
    QTimer m_pauseTimer;
    std::shared_ptr<Curve> m_editCurve;
    QPointF m_lastPoint;
    bool m_exitedCloseTarget = false;
    bool m_inCloseTarget = true;
    QRectF m_closePathHandle;
};

} // namespace zandrel
