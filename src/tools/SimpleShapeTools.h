#pragma once

#include "tools/PathPointHandles.h"
#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

#include <functional>
#include <memory>

namespace zandrel {

class Curve;

// The base of the press-drag-release tools that draw a shape: the drag shows the shape pending,
// the release turns it into a new path of the edited part, one step "Create Line", selected alone.
class PartPath;
class ZDLEditingView;

// The commit of the drawing tools: the path the editing view makes of the curve (prepared by the
// caller) appended to its root, a new part inserted with it, selected alone, one step of the given
// name; then the view goes on with the reshaping tool. Null, and nothing recorded, when the view
// makes no element.
ObjectPtr commitNewPath(ZDLEditingView& view, const std::shared_ptr<Curve>& curve, const QString& actionName,
    const std::function<void(const ObjectPtr&)>& prepare = {});

// A copy of the open segment whose end point is named, turned so that the pressed end comes last:
// the pen and the pencil continue the path from there. Null when the point names no segment.
std::shared_ptr<Curve> curveToExtendFrom(const PathPointHandleSelection& end);
// The extended segment in place of the one the end point names, one step "Extend Path" with the
// path selected alone; then the view goes on with the reshaping tool.
void commitExtendedPath(
    ZDLEditingView& view, const PathPointHandleSelection& end, const std::shared_ptr<Curve>& extended);

class SimpleTool : public ZDLTool {
public:
    void enterTool() override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    // The tracker's release.
    virtual void mouseUpAt(const QPointF& point, const ZDLEvent& event);
    // The drag point made square to the press point, the longer side ruling.
    QPointF squareTheDragPoint(const QPointF& point) const;

    bool tracking() const { return m_tracking; }
    QPointF startPt() const { return m_startPt; }
    const std::shared_ptr<Curve>& pendingCurve() const { return m_pending; }

protected:
    // Adds the path the editing view makes of the curve to its root; null when it makes none.
    ObjectPtr createPathWith(const std::shared_ptr<Curve>& curve);
    // The new element before it is added: a tool may change the attributes the view gave it.
    virtual void prepareElement(const ObjectPtr& element) { }
    void setPendingCurve(const std::shared_ptr<Curve>& curve);

private:
    bool m_tracking = false;
    QPointF m_startPt;
    std::shared_ptr<Curve> m_pending;
};

// Forwards the drag and the release of a simple tool's gesture to the tool.
class SimpleTracker : public ZDLTracker {
public:
    SimpleTracker(const QPointF& point, const ZDLEvent& event, SimpleTool* tool);
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    SimpleTool* m_tool;
};

// A two-point line; with Shift held it keeps to an axis or the diagonal. Lines are never filled.
class LineTool : public SimpleTool {
public:
    void mouseMovedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    // The end of the line for the mouse point, Shift constraint applied.
    QPointF endPoint(const QPointF& point, bool shift) const;
    QString toolTip() const override;

protected:
    void prepareElement(const ObjectPtr& element) override;
};

// A rectangle or an ellipse in the dragged bounds; with Shift, a square or a circle.
class RectTool : public SimpleTool {
public:
    void mouseMovedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    QString toolTip() const override;

protected:
    virtual std::shared_ptr<Curve> shapeIn(const QRectF& bounds) const;
};

class EllipseTool : public RectTool {
public:
    QString toolTip() const override;

protected:
    std::shared_ptr<Curve> shapeIn(const QRectF& bounds) const override;
};

} // namespace zandrel
