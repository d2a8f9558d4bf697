#include "tools/PencilTool.h"

#include "app/core/ZDLAppController.h"
#include "graphics/Curve.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "tools/SimpleShapeTools.h"
#include "views/ZDLEditingView.h"

#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

const QColor kStrokeColor = QColor::fromRgbF(0, 0, 1);
// A corner that turns less than this is smoothed away.
constexpr double kSoftCornerAngle = std::numbers::pi / 6;

double distance(const CurvePoint& a, const CurvePoint& b)
{
    return a.distanceTo(b);
}

// Off-curve points crowding a corner (a pause or the press point) go: the corner stays sharp.
void removeCrowdingPoints(Curve& curve, double crowding)
{
    const int n = curve.numPoints();
    if (n <= 2)
        return;
    for (int i = n - 2; i >= 1; --i) {
        if (!curve.getPointAtIndex(i)->onCurve())
            continue;
        while (curve.numPoints() > i + 2 && !curve.getPointAtIndex(i + 1)->onCurve()
            && distance(*curve.getPointAtIndex(i + 1), *curve.getPointAtIndex(i)) < crowding)
            curve.deletePointAtIndex(i + 1);
        if (i >= 3) {
            while (i > 2 && !curve.getPointAtIndex(i - 1)->onCurve()
                && distance(*curve.getPointAtIndex(i - 1), *curve.getPointAtIndex(i)) < crowding) {
                curve.deletePointAtIndex(i - 1);
                --i;
            }
        }
    }
}

// Corners where the stroke turns by less than 30 degrees become smooth.
void softenCorners(Curve& curve)
{
    constexpr double halfPi = std::numbers::pi / 2;
    constexpr double twoPi = 2 * std::numbers::pi;
    for (int i = 1; i < curve.numPoints() - 1; ++i) {
        const CurvePointPtr p = curve.getPointAtIndex(i);
        if (!p->onCurve())
            continue;
        const QPointF a = curve.getPointAtIndex(i - 1)->point();
        const QPointF b = curve.getPointAtIndex(i + 1)->point();
        float a1 = std::atan2(float(a.y() - p->point().y()), float(a.x() - p->point().x()));
        float a2 = std::atan2(float(p->point().y() - b.y()), float(p->point().x() - b.x()));
        if (a2 > halfPi && a1 < -halfPi)
            a1 = float(a1 + twoPi);
        else if (a1 > halfPi && a2 < -halfPi)
            a2 = float(a2 + twoPi);
        if (std::abs(double(a1) - double(a2)) < kSoftCornerAngle)
            p->setOnCurve(false);
    }
}

} // namespace

// --- PencilTool ---

void PencilTool::enterTool()
{
    // Continuing an open path from its end is not offered yet: every stroke starts a new path.
    if (view())
        view()->deselectAll();
}

bool PencilTool::setCursorAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->setCursor(Qt::CrossCursor);
    return true;
}

void PencilTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (view())
        view()->setCurrentTracker(std::make_unique<PencilTracker>(point, event));
}

// --- PencilTracker ---

PencilTracker::PencilTracker(const QPointF& point, const ZDLEvent& event)
    : ZDLTracker(point, event)
    , m_editCurve(std::make_shared<Curve>())
    , m_lastPoint(point)
{
    m_editCurve->addPoint(point, true);
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(kPauseMilliseconds);
    QObject::connect(&m_pauseTimer, &QTimer::timeout, [this] { mousePaused(); });
}

float PencilTracker::scale() const
{
    return view() ? view()->viewScale() : 1.0f;
}

QRectF PencilTracker::handleRectAt(const QPointF& point, double side) const
{
    const double s = scale();
    QRectF rect(point - QPointF(side, side) / (2 * s), QSizeF(side, side) / s);
    if (view())
        rect = view()->centerScanRect(rect);
    const double grow = 0.5 / s;
    return rect.adjusted(-grow, -grow, grow, grow);
}

void PencilTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    if (m_firstMove) {
        m_closePathHandle = handleRectAt(m_editCurve->getPointAtIndex(0)->point(), kCloseTargetSide);
        m_firstMove = false;
    }
    if (point == m_lastPoint)
        return;
    m_lastPoint = point;
    // Restarted on every move: it fires only once the pointer rests.
    m_pauseTimer.start();
    m_editCurve->addPoint(point, false);
    m_inCloseTarget = m_closePathHandle.contains(point);
    if (!m_inCloseTarget)
        m_exitedCloseTarget = true;
    if (view())
        view()->update();
}

void PencilTracker::mousePaused()
{
    const QPointF mouse = view() ? view()->getMouseDocPoint() : m_lastPoint;
    if (mouse == m_lastPoint && !m_closePathHandle.contains(mouse)) {
        m_editCurve->lastPoint()->setOnCurve(true);
        m_editCurve->flushCache();
        if (view())
            view()->update();
        return;
    }
    m_pauseTimer.start();
}

void PencilTracker::fitStroke(Curve& curve, const QRectF& closeTarget, float scale)
{
    while (curve.numPoints() > 1 && closeTarget.contains(curve.lastPoint()->point())) {
        curve.setClosed(true);
        curve.deletePointAtIndex(curve.numPoints() - 1);
    }
    if (curve.numPoints() < 2)
        return;
    if (curve.closed()) {
        const int n = curve.numPoints();
        curve.getPointAtIndex(n - 1)->setOnCurve(false);
        if (distance(*curve.getPointAtIndex(n - 1), *curve.getPointAtIndex(n - 2)) < kClosingJoin / scale)
            curve.getPointAtIndex(n - 2)->setOnCurve(false);
    }
    removeCrowdingPoints(curve, kCornerCrowding / scale);
    softenCorners(curve);
    curve.reducePointsWithTolerance(kTolerance / scale);
    curve.moveOffcurvePointsToHitInputPoints();
    curve.flushCache();
}

void PencilTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    m_pauseTimer.stop();
    fitStroke(*m_editCurve, m_closePathHandle, scale());
    // A click, or a stroke that never left its start, draws nothing and the pencil stays.
    if (m_editCurve->numPoints() < 2 || !editingView())
        return;
    commitNewPath(*editingView(), m_editCurve, localized("Create Path"));
}

void PencilTracker::draw()
{
    Canvas* canvas = currentCanvas();
    if (!canvas || !view())
        return;
    const double width = 1.0 / scale();
    CanvasPath stroke = m_editCurve->createCGPath();
    stroke.setLineWidth(width);
    canvas->strokePath(stroke, CanvasPaint(kStrokeColor));
    if (m_editCurve->lastPoint()->onCurve() && m_editCurve->numPoints() > 1) {
        CanvasPath corner
            = CanvasPath::fromRect(handleRectAt(m_editCurve->lastPoint()->point(), kCloseTargetSide));
        corner.setLineWidth(width);
        canvas->fillPath(corner, CanvasPaint(kStrokeColor));
        canvas->strokePath(corner, CanvasPaint(kStrokeColor));
    }
    if (m_firstMove)
        return;
    const ZDLAppController* controller = appController();
    const QColor target = m_inCloseTarget && m_exitedCloseTarget ? controller->closedTargetColor()
                                                                 : controller->openTargetColor();
    CanvasPath square = CanvasPath::fromRect(m_closePathHandle);
    square.setLineWidth(width);
    canvas->fillPath(square, CanvasPaint(target));
    canvas->strokePath(square, CanvasPaint(target));
}

} // namespace zandrel
