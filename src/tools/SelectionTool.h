#pragma once

#include "tools/ZDLTool.h"

#include <QCursor>

namespace zandrel {

// The arrow tool: a press on a handle starts the transform the handle stands for, a press on an
// element selects it and starts a move (a copy with Option), a press on empty space starts a
// marquee, and a double click opens the element in its editor. With editing off it still selects
// and opens elements, but moves, transforms, nudges and deletes nothing.
class SelectionTool : public ZDLTool {
public:
    SelectionTool();

    virtual std::unique_ptr<ZDLTracker> createDragTrackerAt(
        const QPointF& point, const ZDLEvent& event, const ElementList& selection);
    std::unique_ptr<ZDLTracker> createScaleTrackerAt(const QPointF& point, const ZDLHandlePtr& handle,
        const QPointF& origin, const ZDLEvent& event, const ElementList& selection) override;
    bool customDelete() override { return !m_allowEditing; }
    void nudge(const QPointF& offset) override;
    // Option on a corner handle of a selection holding part content distorts instead of scaling.
    virtual bool usePerspectiveTool(const ZDLEvent& event, const ZDLHandlePtr& handle) const;
    // The rectangle a distortion maps from: the selection's bounds.
    virtual QRectF perspectiveFrame() const;

    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    void doubleClickAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    bool setHandleCursorAt(const QPointF& point, const ZDLEvent& event) override;
    bool setObjectCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    // While a gesture hides a selection, nothing of it is drawn.
    bool drawsNothing() const override;
    QString toolTip() const override;
    HandleList getHandlesFromFrame(const QRectF& frame) override;
    void addVisibleTransformHandlesFromFrame(const QRectF& frame, HandleList& handles) override;

    bool allowEditing() const { return m_allowEditing; }
    void setAllowEditing(bool allow) { m_allowEditing = allow; }

protected:
    // Starts the transform, origin or pivot gesture of a handle of the selection frame.
    void handleMouseDown(const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event);

private:
    bool m_allowEditing = true;
    QCursor m_partOriginCursor;
    QCursor m_perspectiveCursor;
};

} // namespace zandrel
