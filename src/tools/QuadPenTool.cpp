#include "tools/QuadPenTool.h"

#include "app/core/ZDLAppController.h"
#include "graphics/Curve.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/SimpleShapeTools.h"
#include "tools/ZDLTracker.h"
#include "views/ZDLEditingView.h"

#include <QLineF>

namespace zandrel {

namespace {

// The side of the marker on the point fixed by the click, in screen points.
constexpr double kMarkerSide = 6.0;
const QColor kPenColor = QColor::fromRgbF(0, 0, 1);

// Carries the drag and the release of each click to the pen.
class QuadPenTracker : public ZDLTracker {
public:
    QuadPenTracker(const QPointF& point, const ZDLEvent& event, QuadPenTool* tool)
        : ZDLTracker(point, event)
        , m_tool(tool)
    {
    }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override
    {
        m_tool->mouseMovedAt(point, event);
    }
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override { m_tool->mouseUpAt(point, event); }

private:
    QuadPenTool* m_tool;
};

} // namespace

QuadPenTool::QuadPenTool()
    : m_penCursor(appController()->getCursorResource(QStringLiteral("Cur_Pen.tiff"), QPointF(0, 17)))
{
}

QString QuadPenTool::toolTip() const
{
    return localized("Pen\n"
                     "Click: a corner point; click and drag: a curve point\n"
                     "Shift: line up with the last point\n"
                     "Click the first point: close the path; double-click: end an open path\n"
                     "Start on an end point of a selected open path: continue it");
}

void QuadPenTool::enterTool()
{
    // Paths with an open end stay selected, so that their end points can be continued.
    deselectNonExtendableParts();
}

void QuadPenTool::exitTool()
{
    ZDLTool::exitTool();
    reset();
}

bool QuadPenTool::setCursorAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->setCursor(m_penCursor);
    return true;
}

QPointF QuadPenTool::snapPoint(const QPointF& point, const ZDLEvent& event) const
{
    if (!event.shift())
        return point;
    const float dx = std::abs(float(point.x() - m_lastPoint.x()));
    const float dy = std::abs(float(point.y() - m_lastPoint.y()));
    return dy > dx ? QPointF(m_lastPoint.x(), point.y()) : QPointF(point.x(), m_lastPoint.y());
}

void QuadPenTool::redisplay()
{
    if (m_editCurve)
        m_editCurve->flushCache();
    if (view())
        view()->update();
}

void QuadPenTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!view())
        return;
    m_scale = view()->viewScale();
    QPointF click = point;
    if (m_editCurve) {
        click = snapPoint(point, event);
        m_previousPoint = m_movingPoint;
        if (m_movingPoint)
            m_movingPoint->setPoint(click);
        if (pointInRect(click, m_closePathHandle)) {
            m_closing = true;
            m_editCurve->setClosed(true);
            m_editCurve->deletePointAtIndex(m_editCurve->numPoints() - 1);
            m_movingPoint.reset();
            m_previousPoint = m_editCurve->getPointAtIndex(0);
        } else {
            m_movingPoint = m_editCurve->addPoint(click, true);
        }
    } else {
        const auto* end = dynamic_cast<const PathPointHandle*>(getHandleAt(point).get());
        m_editCurve = end ? curveToExtendFrom(end->selection()) : nullptr;
        QPointF target = point;
        if (m_editCurve) {
            // The pressed end comes last; the other end closes the segment.
            m_startHandle = end->selection();
            m_previousPoint = m_editCurve->lastPoint();
            target = m_editCurve->getPointAtIndex(0)->point();
        } else {
            m_editCurve = std::make_shared<Curve>();
            m_previousPoint = m_editCurve->addPoint(point, true);
        }
        m_movingPoint = m_editCurve->addPoint(point, true);
        const double side = kCloseTargetSide / m_scale;
        const QRectF square
            = view()->centerScanRect(QRectF(target - QPointF(side, side) / 2, QSizeF(side, side)));
        const double grow = 0.5 / m_scale;
        m_closePathHandle = square.adjusted(-grow, -grow, grow, grow);
        m_closing = false;
    }
    m_lastPoint = click;
    m_buttonDown = true;
    redisplay();
    view()->setCurrentTracker(std::make_unique<QuadPenTracker>(point, event, this));
}

void QuadPenTool::mouseMovedAt(const QPointF& point, const ZDLEvent& event)
{
    setCursorAt(point, event);
    if (!m_editCurve)
        return;
    const QPointF p = snapPoint(point, event);
    if (m_movingPoint)
        m_movingPoint->setPoint(p);
    if (m_buttonDown && m_previousPoint)
        m_previousPoint->setOnCurve(QLineF(m_previousPoint->point(), p).length() < kControlDrag / m_scale);
    redisplay();
}

void QuadPenTool::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    m_buttonDown = false;
    if (m_closing)
        createElement();
}

void QuadPenTool::doubleClickAt(const QPointF&, const ZDLEvent&)
{
    if (!m_editCurve)
        return;
    // The rubber band and the point the second click fixed.
    for (int i = 0; i < 2 && m_editCurve->numPoints() > 0; ++i)
        m_editCurve->deletePointAtIndex(m_editCurve->numPoints() - 1);
    createElement();
}

void QuadPenTool::createElement()
{
    if (m_editCurve && m_editCurve->numPoints() >= 2 && editingView()) {
        if (m_startHandle)
            commitExtendedPath(*editingView(), *m_startHandle, m_editCurve);
        else
            commitNewPath(*editingView(), m_editCurve, localized("Create Path"));
    }
    reset();
}

void QuadPenTool::reset()
{
    m_closing = false;
    m_buttonDown = false;
    m_editCurve.reset();
    m_movingPoint.reset();
    m_previousPoint.reset();
    m_startHandle.reset();
    if (view())
        view()->update();
}

void QuadPenTool::draw()
{
    Canvas* canvas = currentCanvas();
    if (!canvas || !view())
        return;
    if (!m_editCurve) {
        drawEndpointHandles();
        return;
    }
    const double width = 1.0 / m_scale;
    CanvasPath curve = m_editCurve->createCGPath();
    curve.setLineWidth(width);
    canvas->strokePath(curve, CanvasPaint(kPenColor));
    QColor target = kPenColor;
    if (!m_closing) {
        const ZDLAppController* controller = appController();
        const CurvePointPtr last = m_editCurve->lastPoint();
        const bool onTarget = last && pointInRect(last->point(), m_closePathHandle);
        target = onTarget ? controller->closedTargetColor() : controller->openTargetColor();
        CanvasPath square = CanvasPath::fromRect(m_closePathHandle);
        square.setLineWidth(width);
        if (onTarget)
            canvas->fillPath(square, CanvasPaint(target));
        canvas->strokePath(square, CanvasPaint(target));
    }
    if (m_buttonDown && m_previousPoint) {
        const double side = kMarkerSide / m_scale;
        const QRectF marker = view()->centerScanRect(
            QRectF(m_previousPoint->point() - QPointF(side, side) / 2, QSizeF(side, side)));
        const CanvasPath shape
            = m_previousPoint->onCurve() ? CanvasPath::fromRect(marker) : CanvasPath::fromEllipse(marker);
        canvas->fillPath(shape, CanvasPaint(target));
    }
}

} // namespace zandrel
