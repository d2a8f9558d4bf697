#pragma once

#include "tools/PathPointHandles.h"
#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <QCursor>
#include <QRectF>
#include <QTimer>
#include <memory>
#include <optional>

namespace zandrel {

class Curve;

// The freehand tool of the part editor: every press starts a stroke that a PencilTracker records
// and, on release, fits into a path of quadratic segments, one step "Create Path". A stroke begun on
// an end point of a selected open path continues that path, "Extend Path".
class PencilTool : public ZDLTool {
public:
    PencilTool();
    void enterTool() override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    // The end points that can be continued, while no stroke runs.
    void draw() override;
    bool drawsNothing() const override { return false; }
    QString toolTip() const override;

private:
    QCursor m_pencilCursor;
};

// One pencil stroke: the raw mouse positions as off-curve points, a pause of 0.2 s marking a
// corner, and on release the clean-up, simplification and fitting that make the path. A stroke
// that comes back to its start closes the curve.
class PencilTracker : public ZDLTracker {
public:
    // A stroke from the end point of the start handle continues its segment.
    PencilTracker(const QPointF& point, const ZDLEvent& event,
        const std::optional<PathPointHandleSelection>& startHandle);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    // The pause timer fired: a pointer at rest makes the last point a corner.
    void mousePaused();

    const std::shared_ptr<Curve>& editCurve() const { return m_editCurve; }
    // The curve a stroke makes, cleaned up and fitted at the view scale (exposed for tests).
    // Without a start handle, the whole curve is the stroke. When extending, the points of the
    // segment (the first segmentPoints) are dropped after closing, so that only the drawn points are
    // fitted. The stroke before simplification is left in pencilCurve when one is given, for the
    // tolerance adjuster. False when too little is left to make a curve.
    static bool fitStroke(Curve& curve, const QRectF& closeTarget, float scale, int segmentPoints = 0,
        std::shared_ptr<Curve>* pencilCurve = nullptr);

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
    std::optional<PathPointHandleSelection> m_startHandle;
};

} // namespace zandrel
