#include "tools/PencilTool.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CurveToleranceAdjuster.h"
#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
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

PencilTool::PencilTool()
    : m_pencilCursor(appController()->getCursorResource(QStringLiteral("Cur_Pencil.tiff"), QPointF(0, 17)))
{
}

QString PencilTool::toolTip() const
{
    return localized("Pencil\n"
                     "Drag: draw freehand; pause: make a corner\n"
                     "End where the stroke began: close the path\n"
                     "Start on an end point of a selected open path: continue it");
}

void PencilTool::enterTool()
{
    // Paths with an open end stay selected, so that their end points can be continued.
    deselectNonExtendableParts();
}

bool PencilTool::setCursorAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->setCursor(m_pencilCursor);
    return true;
}

void PencilTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!view())
        return;
    std::optional<PathPointHandleSelection> start;
    if (const auto* end = dynamic_cast<const PathPointHandle*>(getHandleAt(point).get()))
        start = end->selection();
    view()->setCurrentTracker(std::make_unique<PencilTracker>(point, event, start));
}

void PencilTool::draw()
{
    if (view() && !view()->currentTracker())
        drawEndpointHandles();
}

// --- PencilTracker ---

PencilTracker::PencilTracker(
    const QPointF& point, const ZDLEvent& event, const std::optional<PathPointHandleSelection>& startHandle)
    : ZDLTracker(point, event)
    , m_lastPoint(point)
{
    if (startHandle)
        m_editCurve = curveToExtendFrom(*startHandle);
    if (m_editCurve && m_editCurve->numPoints() > 0) {
        m_startHandle = startHandle;
        m_lastPoint = m_editCurve->lastPoint()->point();
    } else {
        m_editCurve = std::make_shared<Curve>();
        m_editCurve->addPoint(point, true);
    }
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
    m_inCloseTarget = pointInRect(point, m_closePathHandle);
    if (!m_inCloseTarget)
        m_exitedCloseTarget = true;
    if (view())
        view()->update();
}

void PencilTracker::mousePaused()
{
    const QPointF mouse = view() ? view()->getMouseDocPoint() : m_lastPoint;
    if (mouse == m_lastPoint && !pointInRect(mouse, m_closePathHandle)) {
        m_editCurve->lastPoint()->setOnCurve(true);
        m_editCurve->flushCache();
        if (view())
            view()->update();
        return;
    }
    m_pauseTimer.start();
}

bool PencilTracker::fitStroke(Curve& curve, const QRectF& closeTarget, float scale, int segmentPoints,
    std::shared_ptr<Curve>* pencilCurve)
{
    while (curve.numPoints() > 1 && pointInRect(curve.lastPoint()->point(), closeTarget)) {
        curve.setClosed(true);
        curve.deletePointAtIndex(curve.numPoints() - 1);
    }
    if (curve.numPoints() < 2)
        return false;
    if (curve.closed()) {
        const int n = curve.numPoints();
        curve.getPointAtIndex(n - 1)->setOnCurve(false);
        if (distance(*curve.getPointAtIndex(n - 1), *curve.getPointAtIndex(n - 2)) < kClosingJoin / scale)
            curve.getPointAtIndex(n - 2)->setOnCurve(false);
    }
    // When extending, only the drawn points are fitted; the segment keeps its own.
    if (segmentPoints > 0)
        curve.deletePointsInRange(0, segmentPoints);
    removeCrowdingPoints(curve, kCornerCrowding / scale);
    softenCorners(curve);
    if (pencilCurve)
        *pencilCurve = Curve::initByCopying(curve);
    if (curve.numPoints() >= 2) {
        curve.reducePointsWithTolerance(kTolerance / scale);
        curve.moveOffcurvePointsToHitInputPoints();
    }
    curve.flushCache();
    return true;
}

void PencilTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    m_pauseTimer.stop();
    ZDLEditingView* editing = editingView();
    ZDLDocument* document = editing ? editing->document() : nullptr;
    const float s = scale();
    const double tolerance = kTolerance / s;
    // The segment as it is now: the stroke is appended to a fresh copy of it.
    const CurvePtr segment = m_startHandle ? curveToExtendFrom(*m_startHandle) : nullptr;
    CurvePtr pencil;
    // A click, or a stroke that never left its start, draws nothing and the pencil stays.
    if (!fitStroke(*m_editCurve, m_closePathHandle, s, segment ? segment->numPoints() : 0, &pencil)
        || !editing)
        return;
    std::shared_ptr<CurveToleranceAdjuster> adjuster;
    // Both commits switch the view to the reshaping tool, which ends this tracker: nothing of it is
    // used afterwards.
    if (segment) {
        const PathPointHandleSelection start = *m_startHandle;
        if (const auto path = std::dynamic_pointer_cast<PartPath>(start.path))
            adjuster = CurveToleranceAdjuster::initForAddedCurveIn(path, std::size_t(start.segmentIndex),
                pencil, Curve::initByCopying(*segment), tolerance, document);
        segment->appendPointsFrom(*m_editCurve);
        segment->setClosed(m_editCurve->closed());
        commitExtendedPath(*editing, start, segment);
    } else {
        const ObjectPtr element = commitNewPath(*editing, m_editCurve, localized("Create Path"));
        if (const auto path = std::dynamic_pointer_cast<PartPath>(element))
            adjuster = CurveToleranceAdjuster::initForNewPath(path, pencil, tolerance, document);
    }
    if (adjuster && document)
        document->setToleranceAdjuster(adjuster);
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
