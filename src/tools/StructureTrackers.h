#pragma once

#include "comicmodel/ComicStructureElement.h"
#include "platform/UndoManager.h"
#include "platform/Value.h"
#include "tools/ZDLTracker.h"

#include <QPointer>
#include <QString>
#include <memory>

namespace zandrel {

using StructurePtr = std::shared_ptr<ComicStructureElement>;

// The base of the trackers that reshape a page's layout by dragging the boundary two neighbouring
// children of one parent share (two rows of a stack, two panels of a row). Neighbours share their
// corner points exactly, so both are given their corners again at every step; their own layout
// carries rows, panels and panel contents along. A whole gesture is one undo step.
class StructureTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;
    // A gesture dropped without its release (a press that replaced it, a closing view) still closes
    // its undo group, so that later steps do not join it.
    ~StructureTracker() override;

    // The cursor image shown over the boundary; none for the base.
    virtual QString cursorName() const { return QString(); }

    static ValueMap getCornersOf(const ComicStructureElement& element);
    // All four corners in one undoable, laid out change.
    static void applyCorners(const ValueMap& corners, ComicStructureElement& element);

protected:
    // Opens the gesture's undo group in the element's document.
    void beginGesture(const ComicStructureElement& element);
    // Names and closes it.
    void endGesture(const QString& actionName);
    // The comic's gutter, read from the owner of the element's parent.
    static float gutterOf(const ComicStructureElement& element);

private:
    QPointer<UndoManager> m_openGroup;
};

// Drags the whole boundary: both of its ends move along the parent's sides by the same fraction of
// them, measured on a line across the parent fixed at the press. Each neighbour keeps at least
// gutter + 36 units along the parent's sides at both ends.
class StructureEdgeTracker : public StructureTracker {
public:
    // element1 is the earlier neighbour, part its bottom edge (stacked) or right edge (side by side).
    StructureEdgeTracker(const QPointF& point, const ZDLEvent& event, const StructurePtr& element1,
        FramePart part, const StructurePtr& element2);

    QString cursorName() const override;
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    void startTracking();

    StructurePtr m_element1;
    StructurePtr m_element2;
    FramePart m_partForElement1;
    ValueMap m_elem1Corners;
    ValueMap m_elem2Corners;
    QString m_elem1LeadingProp;
    QString m_elem1TrailingProp;
    QString m_elem2LeadingProp;
    QString m_elem2TrailingProp;
    bool m_startedTracking = false;
    QPointF m_rangeLeadingPoint;
    QPointF m_rangeTrailingPoint;
    float m_lastMouseFract = 0.0f;
    QPointF m_parentLeadingEdgeLeadingPoint;
    QPointF m_parentLeadingEdgeTrailingPoint;
    QPointF m_parentTrailingEdgeLeadingPoint;
    QPointF m_parentTrailingEdgeTrailingPoint;
    float m_minMouseFract = 0.0f;
    float m_maxMouseFract = 0.0f;
};

// Drags one end of the boundary along the parent's side, slanting the boundary; the neighbours keep
// at least the gutter along that side.
class StructureCornerTracker : public StructureTracker {
public:
    StructureCornerTracker(const QPointF& point, const ZDLEvent& event, const StructurePtr& element1,
        FramePart part1, const StructurePtr& element2, FramePart part2);

    QString cursorName() const override;
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

    // "topLeft" for the top-left corner and so on; empty for an edge or none.
    static QString getPropertyFromCornerPart(FramePart part);
    // The corner of the parent's children area (a page's area inside its margins).
    static QString getChildrenPropertyFromCornerPart(FramePart part);

private:
    void startTracking();

    ComicStructureElement* m_commonParent = nullptr;
    StructurePtr m_element1;
    StructurePtr m_element2;
    QString m_element1Corner;
    QString m_element2Corner;
    ValueMap m_elem1Corners;
    ValueMap m_elem2Corners;
    QPointF m_parentCorner1;
    QPointF m_parentCorner2;
    float m_lowerLimitFract = 0.0f;
    float m_upperLimitFract = 0.0f;
    bool m_startedTracking = false;
};

} // namespace zandrel
