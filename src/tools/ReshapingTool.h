#pragma once

#include "tools/PathPointHandles.h"
#include "tools/SelectionTool.h"

#include <QCursor>
#include <QList>
#include <functional>
#include <memory>
#include <optional>

namespace zandrel {

class Curve;
class CurvePoint;

// The direct-selection tool of the part and image editors. It shows every point of the selected
// paths, keeps its own selection of points, and edits them: a press on a point selects it and drags
// the selected points ("Reshape Path"), a press on a path's control polygon inserts a point there
// and drags it, Command cuts the polygon there, Command on a point deletes it, Option on a point
// turns it from a point on the curve into a control point or back, the arrow keys nudge, Delete
// deletes the selected points one step each, and two or more selected points get transform handles
// that scale, rotate, skew and distort them ("Scale Points"...). Away from the points it selects,
// drags and marquee-selects whole objects, so the user can change paths without changing tools.
// Every point edit is recorded as a change of the path's "segments".
class ReshapingTool : public SelectionTool, public std::enable_shared_from_this<ReshapingTool> {
public:
    ReshapingTool();

    // --- The point selection (redisplays the view; only undoableSetSelection records) ---
    std::optional<PathPointHandleSelection> getSelectionFor(const PathPointHandleSelection& point) const;
    bool isSelected(const PathPointHandleSelection& point) const
    {
        return getSelectionFor(point).has_value();
    }
    qsizetype numSelected() const { return m_handleSelection.size(); }
    void select(const PathPointHandleSelection& point, bool deselectingOthers);
    void deselect(const PathPointHandleSelection& point);
    void toggleSelection(const PathPointHandleSelection& point);
    void deselectAll();
    // Drops the points of paths the view no longer has selected, and points no longer there.
    void validateSelection();
    const PathPointList& selection() const { return m_handleSelection; }
    void setSelection(const PathPointList& points);
    // With bothWays false undo returns to the present points; with it, undo and redo both land on
    // the given ones (after an edit that renumbered the points).
    void undoableSetSelection(const PathPointList& points, bool bothWays);
    // The paths of the selected points and copies of their segments, for a transform to commit.
    void saveSegmentsForUndo();

    // --- Editing ---
    // The place on a selected path's control polygon within 2 screen points of the point: the
    // path, segment and the index a new point would take. Closing spans come first.
    std::optional<PathPointHandleSelection> getInsertionPositionAt(const QPointF& point) const;
    // A straight span gets a point on the curve, a curved one a control point; Option inverts.
    bool shouldAddOnCurve(const PathPointHandleSelection& position, const ZDLEvent& event) const;
    // Option on a corner of the points' transform frame distorts the points.
    bool usePerspectiveTool(const ZDLEvent& event, const ZDLHandlePtr& handle) const override;
    QRectF perspectiveFrame() const override;
    // Deletes the point, one step: a segment of fewer than three points goes whole ("Delete
    // Subpath"), and a path of one such segment goes ("Delete Path"); else "Delete Path Point".
    void deletePathPoint(const PathPointHandleSelection& point);
    // Inserts a point at the position and drags it as one "Reshape Path" step.
    void insertPointAt(const PathPointHandleSelection& position, const QPointF& point, const ZDLEvent& event);
    // Cuts the control polygon before the position's point: a closed curve opens there, an open one
    // is split in two (or loses its end point on its first or last span).
    void cutSegmentAt(const PathPointHandleSelection& position);
    // Turns the point into a control point, or a control point into a point on the curve.
    void flipPoint(const PathPointHandleSelection& point);

    // --- Overrides of the tool ---
    void enterTool() override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    void doubleClickAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    bool setObjectCursorAt(const QPointF& point, const ZDLEvent& event) override;
    bool customDelete() override;
    void nudge(const QPointF& offset) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
    QString toolTip() const override;
    void applyInteractiveTransform(const QTransform& transform, bool undoingWithCopy) override;
    void commitInteractiveTransform(const QString& actionTemplate) override;
    void applyPerspectiveTransform(const QRectF& from, const std::array<QPointF, 4>& to) override;
    void commitPerspectiveTransform() override;

    QRectF handlesTransformFrame() const { return m_handlesTransformFrame; }
    // Moves the selected points on the live curves and redraws; recording is the caller's.
    void moveSelectedPoints(const QPointF& offset);

    // The chord tolerance for insertion, in screen points (to either side, half of it).
    static constexpr double kInsertionTolerance = 4.0;

private:
    void mouseDownOnHandle(const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event);
    void mouseDownAway(const QPointF& point, const ZDLEvent& event);
    // Records every changed path's present segments against the saved ones, re-registers both
    // selections both ways and names the step.
    void commitChangedPaths(const QString& actionName);
    void redisplay() const;
    // Applies the change to each selected live point and flushes the curves and paths it touched.
    void changeSelectedPoints(const std::function<void(CurvePoint&)>& change);
    // The point grips of the selected paths and, for two or more selected points, the transform
    // grips of their frame; painted too when there is a canvas.
    void makeHandles(Canvas* canvas);
    // Puts the old segments back in every path a perspective gesture changed.
    void restoreSavedSegments();

    PathPointList m_handleSelection;
    QCursor m_addPointCursor;
    QCursor m_addCurveCursor;
    QCursor m_partOriginCursor;
    QCursor m_perspectiveCursor;
    QCursor m_deleteSegmentCursor;
    // Set during a point transform: each touched path and its segments before the gesture.
    std::optional<SegmentsRecord> m_changedPartPaths;
    std::optional<QTransform> m_appliedPointTransform;
    QRectF m_handlesTransformFrame;
};

} // namespace zandrel
