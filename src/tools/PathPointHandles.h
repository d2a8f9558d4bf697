#pragma once

#include "platform/Value.h"
#include "tools/SelectionTrackers.h"
#include "tools/ZDLHandle.h"
#include "tools/ZDLTracker.h"

#include <QList>
#include <memory>
#include <optional>

namespace zandrel {

class Curve;
class CurvePoint;
class ReshapingTool;
class ZDLDocument;

// One curve point named by its path and indices rather than held: a path's points are replaced
// whenever its segments are set, and its indices move when points come and go, so every edit that
// renumbers points rewrites the entries it affects.
struct PathPointHandleSelection {
    ObjectPtr path;
    int segmentIndex = 0;
    int pointIndex = 0;

    // The same path object and the same indices.
    bool matches(const PathPointHandleSelection& other) const { return *this == other; }
    bool operator==(const PathPointHandleSelection& other) const = default;
    // The live curve and point, null when the indices no longer name one.
    std::shared_ptr<Curve> getCurve() const;
    std::shared_ptr<CurvePoint> getCurvePoint() const;
};

using PathPointList = QList<PathPointHandleSelection>;

// Curves as the value of a path's "segments" property.
Value segmentsValue(const QList<std::shared_ptr<Curve>>& curves);

// Paths changed live and their segments from before the change.
using SegmentsRecord = QList<std::pair<ObjectPtr, QList<std::shared_ptr<Curve>>>>;
// Records each path's present segments as one change from its old ones (put back first), so that
// undo returns to them.
void recordSegmentChanges(ZDLDocument& document, const SegmentsRecord& before);

// The grip on one curve point of a selected path: a square for a point on the curve, a circle for
// a control point, filled when the reshaping tool has the point selected. Its cursor tells what a
// click will do: Command deletes, Option turns the point into the other kind.
class PathPointHandle : public ZDLHandle {
public:
    // The reshaping tool colours its selected points; the drawing tools make handles without one.
    PathPointHandle(const QPointF& point, const ZDLView& view, const ReshapingTool* tool,
        const PathPointHandleSelection& name);

    static inline const QString kHandleType = QStringLiteral("pathpoint");
    // The side of the grip, in screen points.
    static constexpr double kSide = 5.0;

    const PathPointHandleSelection& selection() const { return m_name; }
    std::shared_ptr<CurvePoint> getCurvePoint() const { return m_name.getCurvePoint(); }
    void drawOn(Canvas& canvas) const override;
    QCursor getCursorFor(const ZDLEvent& event) const override;

private:
    const ReshapingTool* m_tool;
    PathPointHandleSelection m_name;
    QCursor m_deleteCursor;
    QCursor m_toPointCursor;
    QCursor m_toCurveCursor;
};

// Drags the selected curve points. An end point of an open curve dropped on the other end closes
// the curve (it closes and opens again live as the pointer enters and leaves the target). The
// release records every changed path as one "Reshape Path" step; a click that never moved records
// nothing, unless it inserted the point.
class PathReshapeTracker : public ZDLTracker {
public:
    PathReshapeTracker(const QPointF& point, const ZDLEvent& event, ReshapingTool* tool);
    // After an insertion: the tool's single selected point was just inserted into a path whose
    // segments were the given ones, and the selection before it was the given one. Null unless
    // exactly one point is selected.
    static std::unique_ptr<PathReshapeTracker> afterInsertion(
        const QList<std::shared_ptr<Curve>>& oldSegments, const PathPointList& oldSelection,
        const QPointF& point, const ZDLEvent& event, ReshapingTool* tool);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }

    bool okToClose() const { return m_okToClose; }
    QRectF closePathTarget() const { return m_closePathTarget; }

private:
    ReshapingTool* m_tool;
    PathPointList m_handleSelection;
    std::optional<SegmentsRecord> m_changedPartPaths;
    QPointF m_lastPoint;
    std::optional<PathPointList> m_oldHandleSelection;
    bool m_okToClose = false;
    PathPointHandleSelection m_closingPoint;
    std::shared_ptr<Curve> m_segmentToClose;
    QRectF m_closePathTarget;
};

// Selects curve points with a rubber band: the points under it are selected, those it leaves are
// deselected again, and the points selected before it began stay selected. A click without a drag
// deselects the objects.
class ReshapingMarqueeTracker : public MarqueeTracker {
public:
    ReshapingMarqueeTracker(const QPointF& point, const ZDLEvent& event, ReshapingTool* tool);

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    ReshapingTool* m_tool;
    std::optional<PathPointList> m_initialSelection;
    HandleList m_viewMembers;
};

} // namespace zandrel
