#pragma once

#include "tools/SelectionTool.h"

#include <QList>
#include <memory>

namespace zandrel {

class Curve;

// One selected curve point, named by its path and indices rather than held: the indices are
// checked against the path whenever they are used.
struct PathPointSelection {
    ObjectPtr path;
    int segmentIndex = 0;
    int pointIndex = 0;
    bool operator==(const PathPointSelection& other) const = default;
};

// The direct-selection tool of the part editor, in a first form: it shows the points of the
// selected paths, selects them (Shift adds or removes), drags them ("Reshape Path"), nudges them
// with the arrow keys ("Nudge Path Points") and deletes them ("Delete Path Point"; a curve left with
// fewer than two points goes, and a path left without curves). Away from the points it selects,
// moves and transforms whole objects as the selection tool does. Inserting and cutting points,
// flipping them and transforming a group of points come later.
class ReshapingTool : public SelectionTool {
public:
    void enterTool() override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    bool customDelete() override;
    void nudge(const QPointF& offset) override;
    void draw() override;

    const QList<PathPointSelection>& pointSelection() const { return m_points; }
    // The point of a selected path under the document point, within a few screen points.
    std::optional<PathPointSelection> pointAt(const QPointF& point) const;
    // Drops points of paths no longer selected in the view or no longer there.
    void validateSelection();
    // Moves the selected points live; the geometry before is the caller's to record.
    void moveSelectedPoints(const QPointF& offset);
    // Records the paths' present segments as one step after a live change from the old ones.
    void commitSegments(
        const QList<std::pair<ObjectPtr, QList<std::shared_ptr<Curve>>>>& before, const QString& actionName);
    QList<std::pair<ObjectPtr, QList<std::shared_ptr<Curve>>>> segmentsOfSelectedPaths() const;

    // The reach of a point handle and its drawn side, in screen points.
    static constexpr double kHitDistance = 4.0;
    static constexpr double kHandleSide = 5.0;

private:
    QList<PathPointSelection> m_points;
};

} // namespace zandrel
