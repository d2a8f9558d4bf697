#pragma once

#include "graphics/ElementProtocols.h"
#include "tools/ZDLHandle.h"
#include "views/ZDLEvent.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <array>
#include <memory>
#include <optional>

class QAbstractButton;

namespace zandrel {

class Canvas;
class ZDLEditingView;
class ZDLTracker;
class ZDLView;

// The base of every mouse tool of the editing views. The view hands its tool every press,
// double click and move in document coordinates; the tool answers a press by hit-testing its
// handles and the elements, changing the selection and installing a tracker that does the dragging.
// The base holds what selection-like tools share: the handles rebuilt on every draw (hit-tested the
// last drawn first), the drawing of selection frames, cursors, nudging, and the two pairs of
// operations through which trackers transform the selection live and then commit the whole gesture
// as one undoable step.
class ZDLTool {
public:
    ZDLTool() = default;
    explicit ZDLTool(QAbstractButton* button);
    virtual ~ZDLTool();
    ZDLTool(const ZDLTool&) = delete;
    ZDLTool& operator=(const ZDLTool&) = delete;

    virtual void enterTool() { }
    // Forgets the handles.
    virtual void exitTool();

    ZDLView* view() const { return m_view; }
    virtual void setView(ZDLView* view);
    // The view when it edits a document; all undoable work goes through it.
    ZDLEditingView* editingView() const { return m_editingView; }

    virtual std::unique_ptr<ZDLTracker> createScaleTrackerAt(const QPointF& point, const ZDLHandlePtr& handle,
        const QPointF& origin, const ZDLEvent& event, const ElementList& selection);
    // Selects the element and every child of the root that overlaps it, directly or through a chain
    // of overlaps; toggling deselects the chain when the element was selected.
    virtual bool selectSpecial(const ObjectPtr& element, bool toggling);
    // What a selecting press does with the element under it: shift toggles, command selects
    // specially, a plain press selects it alone; a press on nothing starts a marquee (shift keeps
    // the selection). Answers whether an element was hit.
    bool selectOnPress(const ObjectPtr& element, const QPointF& point, const ZDLEvent& event);

    // --- Events from the view (document coordinates) ---
    virtual void mouseDownAt(const QPointF& point, const ZDLEvent& event);
    virtual void doubleClickAt(const QPointF& point, const ZDLEvent& event);
    virtual void mouseMovedAt(const QPointF& point, const ZDLEvent& event);
    virtual bool setCursorAt(const QPointF& point, const ZDLEvent& event);
    virtual bool setHandleCursorAt(const QPointF& point, const ZDLEvent& event);
    virtual bool setObjectCursorAt(const QPointF& point, const ZDLEvent& event);
    // Moves the selection by the offset in document units, one undoable "Nudge Objects" step.
    virtual void nudge(const QPointF& offset);
    // True when the tool deleted something of its own (path points); the view then deletes nothing.
    virtual bool customDelete() { return false; }
    // Draws the tool's marks into the current canvas, rebuilding the handles as it draws them.
    virtual void draw() { }
    // Whether draw() would draw nothing now, so that a view may skip the pass over its content
    // altogether. A tool that overrides draw() answers this too.
    virtual bool drawsNothing() const { return true; }

    // --- Selection frame ---
    // Eight scale handles (those that make sense for a flat frame) and the origin handle last.
    virtual HandleList getHandlesFromFrame(const QRectF& frame);
    // Strokes the frame grown by half a screen pixel with the path's line width and dash; a flat frame
    // is one line.
    void drawBoundsFrame(
        const QRectF& frame, Canvas& canvas, const CanvasPath& stylePath, const QColor& color) const;
    // Draws the three stalks of the rotate and skew handles and appends those handles.
    virtual void addVisibleTransformHandlesFromFrame(const QRectF& frame, HandleList& handles);
    void drawRootPartTransformOriginHandle();
    void drawStandardGraphicsSelection(bool groupFrame, bool handles);
    // Keeps only the selected paths that have an open segment to extend.
    void deselectNonExtendableParts();
    // The grips of the end points of the selected paths' open segments, from which the pen and the
    // pencil continue a path.
    void drawEndpointHandles();
    // The handle under the point, the last added first.
    ZDLHandlePtr getHandleAt(const QPointF& point) const;

    // --- Live transforms ---
    // Leaves the selection transformed by the transform relative to where the gesture began. With the
    // copy flag, the first call puts transformed copies in place of the selected children, so that
    // the commit records one swap of the children rather than a transform.
    virtual void applyInteractiveTransform(const QTransform& transform, bool undoingWithCopy);
    // Records the gesture as one undoable step named from the template ("Scale %1") and "Objects".
    virtual void commitInteractiveTransform(const QString& actionTemplate);
    virtual void applyPerspectiveTransform(const QRectF& from, const std::array<QPointF, 4>& to);
    virtual void commitPerspectiveTransform();

    HandleList& currentHandles() { return m_currentHandles; }
    const HandleList& currentHandles() const { return m_currentHandles; }
    QPointF transformOrigin() const { return m_transformOrigin; }
    void setTransformOrigin(const QPointF& origin) { m_transformOrigin = origin; }
    QAbstractButton* toolButton() const { return m_toolButton; }
    // Keeps the button that chooses the tool and gives it the tool's tip.
    void setToolButton(QAbstractButton* button);
    // The tool's name and the gestures it knows, with this platform's modifier keys, for the pointer
    // resting on its button: what the cursors alone never tell. Empty for tools without a button.
    virtual QString toolTip() const { return {}; }
    bool partsViewSpecialColoring() const { return m_partsViewSpecialColoring; }
    void setPartsViewSpecialColoring(bool special) { m_partsViewSpecialColoring = special; }

protected:
    // The root object's children, empty without a root.
    ElementList rootChildren() const;

private:
    std::optional<QTransform> m_appliedTransform;
    ZDLView* m_view = nullptr;
    // Set while a copying or perspective gesture keeps the originals aside.
    bool m_savedOriginals = false;
    ElementList m_savedChildren;
    ElementList m_savedSelection;
    bool m_partsViewSpecialColoring = false;
    ZDLEditingView* m_editingView = nullptr;
    HandleList m_currentHandles;
    QAbstractButton* m_toolButton = nullptr;
    QPointF m_transformOrigin;
};

} // namespace zandrel
