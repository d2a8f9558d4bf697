#pragma once

#include "graphics/ElementProtocols.h"
#include "tools/ZDLHandle.h"
#include "tools/ZDLTracker.h"

#include <QRectF>
#include <QTransform>
#include <array>
#include <memory>

namespace zandrel {

class GradientFillsManipulator;
class ZDLTool;

// The trackers started from the handles of the selection frame. The transform trackers compute a
// transform from the pointer and hand it to the tool's live transform, which applies it at once and
// records the whole gesture as one undoable step on mouse-up.
class TransformTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;

protected:
    // The tool of the editing view, which started the tracker.
    ZDLTool* tool() const;
    // Nothing happens until the pointer has left the press; the first real drag hides the frames.
    bool beginStep(const ZDLEvent& event);
    // A transform about the origin: move the origin to (0, 0), apply, move back.
    static QTransform about(const QPointF& origin, const QTransform& transform);
};

// Scales the selection about the origin; a corner keeps the proportions unless Command is held.
class ScaleTracker : public TransformTracker {
public:
    ScaleTracker(
        const QPointF& point, const ZDLHandlePtr& handle, const QPointF& origin, const ZDLEvent& event);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

protected:
    // After each applied step, with the factors relative to the start of the gesture.
    virtual void scaledBy(float sx, float sy) { }

private:
    ZDLHandlePtr m_handle;
    QPointF m_origin;
};

// Turns the selection about the origin; gradient fills turn with their shapes.
class RotateTracker : public TransformTracker {
public:
    RotateTracker(
        const QPointF& point, const QPointF& origin, const ZDLEvent& event, const ElementList& selection);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    ElementList m_selection;
    QPointF m_origin;
    float m_origAngle;
    float m_lastAngle;
    // The gradient fills of the selection before the first turn, for an exact undo.
    std::shared_ptr<GradientFillsManipulator> m_fillsBefore;
};

// Skews the selection horizontally (the handle under the frame) or vertically (right of it).
class SkewTracker : public TransformTracker {
public:
    SkewTracker(const QPointF& point, const QPointF& origin, const ZDLEvent& event,
        const ElementList& selection, const QString& skewType);

    bool wantsAutoScroll() const override { return false; }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    // The skew by the angle about the origin.
    QTransform applySkewTo(float radians) const;

private:
    ElementList m_selection;
    QPointF m_origin;
    bool m_horizontal;
    float m_mouseAdjust;
    float m_origAngle;
};

// Drags one corner of the selection's bounds, distorting the part content into the new quadrilateral.
class PerspectiveTracker : public TransformTracker {
public:
    PerspectiveTracker(
        const QPointF& point, const ZDLHandlePtr& handle, const ZDLEvent& event, const QRectF& bounds);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    void setNeedsDisplayFrame();

private:
    QRectF m_startingBounds;
    // Top-left, top-right, bottom-left, bottom-right.
    std::array<QPointF, 4> m_corners;
    int m_dragCorner;
    QPointF m_dragCornerStartPt;
};

// Moves the view's transform origin: view state, not a change of the document.
class OriginTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;

    void setView(ZDLView* view) override;
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF&, const ZDLEvent&) override { }

private:
    QPointF m_initialOrigin;
};

// Moves the pivot point of the edited part or image, one undoable "Set Part Pivot Point" step.
class PartOriginTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;
    // Command-Option-click on an empty canvas: the pivot jumps to the click, then follows the pointer.
    PartOriginTracker(const QPointF& point, const ZDLEvent& event, const ObjectPtr& forcingEditForElement);

    void setView(ZDLView* view) override;
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    void moveOrigin(const QPointF& origin);

    ObjectPtr m_element;
    bool m_forced = false;
    QPointF m_initialNewOrigin;
    QPointF m_initialOrigin;
    bool m_initialHasOrigin = false;
};

} // namespace zandrel
