#include "tools/TransformTrackers.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/ComicGraphicElementState.h"
#include "graphics/ArrayUtils.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/GradientRotationManipulator.h"
#include "tools/ZDLTool.h"
#include "views/ZDLEditingView.h"

#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

float radiansToDegrees(float radians)
{
    return static_cast<float>(radians * 180.0 / std::numbers::pi);
}

QPointF originOf(const ObjectPtr& element)
{
    const auto* pivoted = asProtocol<ComicGraphicElement>(element);
    return pivoted ? pivoted->origin() : QPointF();
}

} // namespace

// --- TransformTracker ---

ZDLTool* TransformTracker::tool() const
{
    return editingView() ? editingView()->currentTool() : nullptr;
}

bool TransformTracker::beginStep(const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !tool() || !view())
        return false;
    view()->hideSelectionDuringTracking();
    return true;
}

QTransform TransformTracker::about(const QPointF& origin, const QTransform& transform)
{
    return QTransform::fromTranslate(-origin.x(), -origin.y()) * transform
        * QTransform::fromTranslate(origin.x(), origin.y());
}

// --- ScaleTracker ---

ScaleTracker::ScaleTracker(
    const QPointF& point, const ZDLHandlePtr& handle, const QPointF& origin, const ZDLEvent& event)
    : TransformTracker(point, event)
    , m_handle(handle)
    , m_origin(origin)
{
}

void ScaleTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!m_handle || !beginStep(event))
        return;
    const QPointF start = startPt();
    float sx = 1.0f;
    float sy = 1.0f;
    if (m_handle->xFactor() != 0)
        sx = static_cast<float>((point.x() - m_origin.x()) / (start.x() - m_origin.x()));
    if (m_handle->yFactor() != 0)
        sy = static_cast<float>((point.y() - m_origin.y()) / (start.y() - m_origin.y()));
    if (m_handle->xFactor() != 0 && m_handle->yFactor() != 0 && !event.command()) {
        // Proportional: the larger factor for both; one that is not a number gives way.
        const float larger = std::isnan(sx) ? sy : std::isnan(sy) ? sx : std::max(sx, sy);
        sx = sy = larger;
    }
    // A grip dragged onto the origin, or pressed on it, gives no usable factor.
    if (sx == 0 || sy == 0 || !std::isfinite(sx) || !std::isfinite(sy))
        return;
    tool()->applyInteractiveTransform(about(m_origin, QTransform::fromScale(sx, sy)), true);
    scaledBy(sx, sy);
}

void ScaleTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    if (movedOverMinimum(event) && tool())
        tool()->commitInteractiveTransform(localized("Scale %1"));
}

// --- RotateTracker ---

RotateTracker::RotateTracker(
    const QPointF& point, const QPointF& origin, const ZDLEvent& event, const ElementList& selection)
    : TransformTracker(point, event)
    , m_selection(selection)
    , m_origin(origin)
    , m_origAngle(static_cast<float>(std::atan2(point.y() - origin.y(), point.x() - origin.x())))
    , m_lastAngle(m_origAngle)
{
}

void RotateTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!beginStep(event))
        return;
    const float angle = static_cast<float>(std::atan2(point.y() - m_origin.y(), point.x() - m_origin.x()));
    tool()->applyInteractiveTransform(
        about(m_origin, QTransform().rotateRadians(angle - m_origAngle)), false);
    // The gradients of the selected elements turn with them, also when only some of their points
    // turn.
    if (!m_fillsBefore) {
        m_fillsBefore = std::make_shared<GradientFillsManipulator>();
        m_fillsBefore->record(m_selection);
    }
    GradientRotationManipulator step(radiansToDegrees(angle - m_lastAngle));
    for (const ObjectPtr& element : std::as_const(m_selection)) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, &step);
    }
    m_lastAngle = angle;
}

void RotateTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !tool() || !editingView() || !editingView()->document())
        return;
    // The gradients' turn and the shapes' turn land in one step; undo and redo put back the fills
    // as they were before and after.
    if (m_fillsBefore) {
        auto after = std::make_shared<GradientFillsManipulator>();
        after->record(m_selection);
        editingView()->document()->undoableManipulateGraphics(m_selection, after, m_fillsBefore, true);
    }
    tool()->commitInteractiveTransform(localized("Rotate %1"));
}

// --- SkewTracker ---

SkewTracker::SkewTracker(const QPointF& point, const QPointF& origin, const ZDLEvent& event,
    const ElementList& selection, const QString& skewType)
    : TransformTracker(point, event)
    , m_selection(selection)
    , m_origin(origin)
    , m_horizontal(skewType == kSkewHorizHandleType)
{
    if (m_horizontal) {
        m_mouseAdjust = static_cast<float>(origin.x() - point.x());
        m_origAngle = static_cast<float>(std::atan2(point.y() - origin.y(), 0.0));
    } else {
        m_mouseAdjust = static_cast<float>(origin.y() - point.y());
        m_origAngle = static_cast<float>(std::atan2(0.0, point.x() - origin.x()));
    }
}

QTransform SkewTracker::applySkewTo(float radians) const
{
    const double m12 = m_horizontal ? 0.0 : std::tan(radians);
    const double m21 = m_horizontal ? std::tan(-radians) : 0.0;
    return about(m_origin, QTransform(1, m12, m21, 1, 0, 0));
}

void SkewTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!beginStep(event))
        return;
    const double angle = m_horizontal
        ? std::atan2(point.y() - m_origin.y(), point.x() + m_mouseAdjust - m_origin.x())
        : std::atan2(point.y() + m_mouseAdjust - m_origin.y(), point.x() - m_origin.x());
    const float step = static_cast<float>(angle - m_origAngle);
    tool()->applyInteractiveTransform(applySkewTo(step), false);
}

void SkewTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    if (movedOverMinimum(event) && tool())
        tool()->commitInteractiveTransform(localized("Skew %1"));
}

// --- PerspectiveTracker ---

PerspectiveTracker::PerspectiveTracker(
    const QPointF& point, const ZDLHandlePtr& handle, const ZDLEvent& event, const QRectF& bounds)
    : TransformTracker(point, event)
    , m_startingBounds(bounds)
    , m_corners { bounds.topLeft(), bounds.topRight(), bounds.bottomLeft(), bounds.bottomRight() }
    , m_dragCorner((handle && handle->xFactor() == 1 ? 1 : 0) + (handle && handle->yFactor() == 1 ? 2 : 0))
    , m_dragCornerStartPt(m_corners[std::size_t(m_dragCorner)])
{
}

void PerspectiveTracker::setNeedsDisplayFrame()
{
    if (!view())
        return;
    QRectF frame(m_corners[0], m_corners[0]);
    for (const QPointF& corner : m_corners)
        frame = frame.united(QRectF(corner, corner));
    const double grow = 1.0 / view()->viewScale();
    view()->setNeedsDisplayInRect(insetRect(frame.normalized(), -grow, -grow));
}

void PerspectiveTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!document || !beginStep(event))
        return;
    setNeedsDisplayFrame();
    document->updateViewsRect(ArrayUtils::getElementsInvalidationBounds(view()->selection()), false);
    const QPointF delta = point - startPt();
    QPointF& corner = m_corners[std::size_t(m_dragCorner)];
    corner = m_dragCornerStartPt;
    if (event.command())
        corner += delta;
    else if (std::fabs(delta.y()) > std::fabs(delta.x()))
        corner.ry() += delta.y();
    else
        corner.rx() += delta.x();
    tool()->applyPerspectiveTransform(m_startingBounds, m_corners);
    setNeedsDisplayFrame();
}

void PerspectiveTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !tool())
        return;
    setNeedsDisplayFrame();
    tool()->commitPerspectiveTransform();
}

void PerspectiveTracker::draw()
{
    Canvas* canvas = currentCanvas();
    if (!canvas || !view())
        return;
    CanvasPath quad;
    quad.moveTo(m_corners[0]);
    quad.lineTo(m_corners[1]);
    quad.lineTo(m_corners[3]);
    quad.lineTo(m_corners[2]);
    quad.close();
    quad.setLineWidth(1.0 / view()->viewScale());
    canvas->strokePath(quad, CanvasPaint(QColor::fromRgbF(0, 0, 1)));
}

// --- OriginTracker ---

void OriginTracker::setView(ZDLView* view)
{
    ZDLTracker::setView(view);
    if (view)
        m_initialOrigin = view->transformOrigin();
}

void OriginTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !view())
        return;
    view()->setNeedsDisplayOrigin();
    view()->setTransformOrigin(m_initialOrigin + (point - startPt()));
    view()->setNeedsDisplayOrigin();
}

// --- PartOriginTracker ---

PartOriginTracker::PartOriginTracker(const QPointF& point, const ZDLEvent& event, const ObjectPtr& element)
    : ZDLTracker(originOf(element), event)
    , m_element(element)
    , m_forced(true)
    , m_initialNewOrigin(point)
{
    setMovedMinimum();
}

void PartOriginTracker::setView(ZDLView* view)
{
    ZDLTracker::setView(view);
    if (!view)
        return;
    if (!m_forced && asProtocol<ComicGraphicElement>(view->rootObject()))
        m_element = view->rootObject();
    const auto* pivoted = asProtocol<ComicGraphicElement>(m_element);
    if (!pivoted)
        return;
    m_initialOrigin = pivoted->origin();
    m_initialHasOrigin = pivoted->hasOrigin();
    if (m_forced)
        moveOrigin(m_initialNewOrigin);
}

void PartOriginTracker::moveOrigin(const QPointF& origin)
{
    auto* pivoted = asProtocol<ComicGraphicElement>(m_element);
    if (!pivoted || !view())
        return;
    view()->setNeedsDisplaySelection();
    pivoted->setOrigin(origin);
    view()->setNeedsDisplaySelection();
}

void PartOriginTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (movedOverMinimum(event))
        moveOrigin(m_initialOrigin + (point - startPt()));
}

void PartOriginTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    const auto* pivoted = asProtocol<ComicGraphicElement>(m_element);
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!movedOverMinimum(event) || !pivoted || !document)
        return;
    document->undoableSetPropertyFor(
        m_element, ComicGraphicElementState::kHasOriginKey, Value(true), Value(m_initialHasOrigin));
    document->undoableSetPropertyFor(
        m_element, ComicGraphicElementState::kOriginKey, Value(pivoted->origin()), Value(m_initialOrigin));
    document->undoManager()->setActionName(localized("Set Part Pivot Point"));
}

} // namespace zandrel
