#pragma once

#include "graphics/CurvePoint.h"
#include "tools/PathPointHandles.h"
#include "tools/ZDLTool.h"

#include <QCursor>
#include <QRectF>
#include <memory>

namespace zandrel {

class Curve;

// The pen of the part editor: a path of quadratic segments built point by point. A click places a
// corner, a click dragged 3 screen points or more makes the clicked point a control point, a click
// on the start point closes the path and a double click ends an open one. A press on an end point of
// a selected open path continues that path instead. The finished curve becomes a new path, one step
// "Create Path", or takes the place of the continued segment, "Extend Path"; leaving the tool drops
// a path in progress.
class QuadPenTool : public ZDLTool {
public:
    QuadPenTool();

    void enterTool() override;
    void exitTool() override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseMovedAt(const QPointF& point, const ZDLEvent& event) override;
    void doubleClickAt(const QPointF& point, const ZDLEvent& event) override;
    // The tracker's release.
    void mouseUpAt(const QPointF& point, const ZDLEvent& event);
    void draw() override;
    bool drawsNothing() const override { return false; }
    QString toolTip() const override;

    // With Shift, the point kept on the horizontal or vertical through the last click.
    QPointF snapPoint(const QPointF& point, const ZDLEvent& event) const;
    void createElement();
    void reset();

    const std::shared_ptr<Curve>& editCurve() const { return m_editCurve; }
    QRectF closePathHandle() const { return m_closePathHandle; }
    // The end point the path in progress continues from, when it continues one.
    const std::optional<PathPointHandleSelection>& startHandle() const { return m_startHandle; }

    // A drag of this many screen points from a click makes its point a control point.
    static constexpr double kControlDrag = 3.0;
    // The side of the close target around the start point, in screen points.
    static constexpr double kCloseTargetSide = 5.0;

private:
    void redisplay();

    QCursor m_penCursor;
    std::shared_ptr<Curve> m_editCurve;
    CurvePointPtr m_movingPoint;
    CurvePointPtr m_previousPoint;
    bool m_buttonDown = false;
    bool m_closing = false;
    float m_scale = 1.0f;
    QPointF m_lastPoint;
    QRectF m_closePathHandle;
    std::optional<PathPointHandleSelection> m_startHandle;
};

} // namespace zandrel
