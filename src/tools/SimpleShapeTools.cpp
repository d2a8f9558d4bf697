#include "tools/SimpleShapeTools.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "views/ZDLEditingView.h"

#include <cmath>

namespace zandrel {

namespace {

// A drag this many times longer along one axis than the other keeps to that axis.
constexpr float kAxisRatio = 3.0f;
// The smallest side of a drawn rectangle or ellipse, so that a tiny drag still makes a shape.
constexpr double kMinimumSide = 0.1;

float withSignOf(float length, float sign)
{
    return sign < 0 ? -length : length;
}

} // namespace

// --- SimpleTool ---

void SimpleTool::enterTool()
{
    if (view())
        view()->deselectAll();
}

void SimpleTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!view())
        return;
    m_startPt = point;
    view()->setCurrentTracker(std::make_unique<SimpleTracker>(point, event, this));
    m_tracking = view()->currentTracker() != nullptr;
}

bool SimpleTool::setCursorAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->setCursor(Qt::CrossCursor);
    return true;
}

void SimpleTool::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    m_tracking = false;
}

void SimpleTool::setPendingCurve(const std::shared_ptr<Curve>& curve)
{
    m_pending = curve;
    if (view())
        view()->update();
}

void SimpleTool::draw()
{
    Canvas* canvas = currentCanvas();
    if (!m_pending || !canvas || !view())
        return;
    CanvasPath path = m_pending->createCGPath();
    path.setLineWidth(1.0 / view()->viewScale());
    canvas->strokePath(path, CanvasPaint(QColor::fromRgbF(0, 0, 1)));
}

QPointF SimpleTool::squareTheDragPoint(const QPointF& point) const
{
    const float dx = float(point.x() - m_startPt.x());
    const float dy = float(point.y() - m_startPt.y());
    const float ax = std::abs(dx);
    const float ay = std::abs(dy);
    if (ax > ay)
        return QPointF(point.x(), m_startPt.y() + withSignOf(ax, dy));
    return QPointF(m_startPt.x() + withSignOf(ay, dx), point.y());
}

ObjectPtr commitNewPath(ZDLEditingView& view, const std::shared_ptr<Curve>& curve, const QString& actionName,
    const std::function<void(const ObjectPtr&)>& prepare)
{
    ZDLDocument* document = view.document();
    const auto* root = asProtocol<Parent>(view.rootObject());
    const ObjectPtr element = root && document ? view.createPathWith(curve) : nullptr;
    if (element) {
        if (prepare)
            prepare(element);
        document->undoableSetChildren(root->children() + ElementList { element }, view.rootObject());
        if (EditorContainer* partEditor = document->partEditingView())
            partEditor->checkToAddOrDeleteCurrentPart();
        view.undoableSetSelection({ element }, false);
        document->undoManager()->setActionName(actionName);
    }
    view.setToReshapingTool();
    return element;
}

std::shared_ptr<Curve> curveToExtendFrom(const PathPointHandleSelection& end)
{
    const CurvePtr segment = end.getCurve();
    if (!segment)
        return nullptr;
    CurvePtr copy = Curve::initByCopying(*segment);
    if (end.pointIndex == 0)
        copy->reverse();
    return copy;
}

void commitExtendedPath(ZDLEditingView& view, const PathPointHandleSelection& end, const CurvePtr& extended)
{
    ZDLDocument* document = view.document();
    const auto* path = asProtocol<Path>(end.path);
    if (document && path && extended && end.segmentIndex >= 0
        && end.segmentIndex < qsizetype(path->numSegments())) {
        QList<CurvePtr> segments = path->segments();
        segments[end.segmentIndex] = extended;
        document->undoableSetPropertyFor(end.path, Path::kSegmentsKey, segmentsValue(segments));
        view.undoableSetSelection({ end.path }, false);
        document->undoManager()->setActionName(localized("Extend Path"));
    }
    view.setToReshapingTool();
}

ObjectPtr SimpleTool::createPathWith(const std::shared_ptr<Curve>& curve)
{
    if (!editingView())
        return nullptr;
    return commitNewPath(*editingView(), curve, localized("Create Line"),
        [this](const ObjectPtr& element) { prepareElement(element); });
}

// --- SimpleTracker ---

SimpleTracker::SimpleTracker(const QPointF& point, const ZDLEvent& event, SimpleTool* tool)
    : ZDLTracker(point, event)
    , m_tool(tool)
{
}

void SimpleTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    m_tool->mouseMovedAt(point, event);
}

void SimpleTracker::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    m_tool->mouseUpAt(point, event);
}

// --- LineTool ---

QString LineTool::toolTip() const
{
    return localized("Line\n"
                     "Drag: draw a line; Shift: horizontal, vertical or diagonal");
}

QString RectTool::toolTip() const
{
    return localized("Rectangle\n"
                     "Drag: draw a rectangle; Shift: a square");
}

QString EllipseTool::toolTip() const
{
    return localized("Ellipse\n"
                     "Drag: draw an ellipse; Shift: a circle");
}

QPointF LineTool::endPoint(const QPointF& point, bool shift) const
{
    if (!shift)
        return point;
    const QPointF start = startPt();
    const float dx = float(point.x() - start.x());
    const float dy = float(point.y() - start.y());
    const float ax = std::abs(dx);
    const float ay = std::abs(dy);
    if (ay > kAxisRatio * ax)
        return QPointF(start.x(), point.y());
    if (ax > kAxisRatio * ay)
        return QPointF(point.x(), start.y());
    if (ax > ay)
        return QPointF(point.x(), start.y() + withSignOf(ax, dy));
    return QPointF(start.x() + withSignOf(ay, dx), point.y());
}

void LineTool::mouseMovedAt(const QPointF& point, const ZDLEvent& event)
{
    setCursorAt(point, event);
    if (!tracking())
        return;
    const QPointF end = endPoint(point, event.shift());
    auto line = std::make_shared<Curve>();
    line->addPoint(QPointF(float(startPt().x()), float(startPt().y())), true);
    line->addPoint(QPointF(float(end.x()), float(end.y())), true);
    setPendingCurve(line);
}

void LineTool::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    SimpleTool::mouseUpAt(point, event);
    const std::shared_ptr<Curve> line = pendingCurve();
    setPendingCurve(nullptr);
    if (line)
        createPathWith(line);
}

void LineTool::prepareElement(const ObjectPtr& element)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    const auto character = document ? document->currentCharacter() : nullptr;
    auto* path = dynamic_cast<PartPath*>(element.get());
    if (!path || !character)
        return;
    // A line is always visible and never filled.
    path->setFillColor(character->noneColor());
    if (path->lineColor() == character->noneColor())
        path->setLineColor(character->blackColor());
}

// --- RectTool and EllipseTool ---

std::shared_ptr<Curve> RectTool::shapeIn(const QRectF& bounds) const
{
    return Curve::initWithRect(bounds, 0);
}

std::shared_ptr<Curve> EllipseTool::shapeIn(const QRectF& bounds) const
{
    return Curve::initWithEllipseIn(bounds);
}

void RectTool::mouseMovedAt(const QPointF& point, const ZDLEvent& event)
{
    setCursorAt(point, event);
    if (!tracking())
        return;
    const QPointF corner = event.shift() ? squareTheDragPoint(point) : point;
    QRectF bounds = QRectF(startPt(), corner).normalized();
    bounds.setWidth(std::max(bounds.width(), kMinimumSide));
    bounds.setHeight(std::max(bounds.height(), kMinimumSide));
    setPendingCurve(shapeIn(bounds));
}

void RectTool::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    SimpleTool::mouseUpAt(point, event);
    const std::shared_ptr<Curve> shape = pendingCurve();
    setPendingCurve(nullptr);
    if (shape)
        createPathWith(shape);
}

} // namespace zandrel
