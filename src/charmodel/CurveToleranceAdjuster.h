#pragma once

#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "platform/Object.h"

#include <QList>
#include <cstddef>
#include <memory>
#include <optional>

namespace zandrel {

class ZDLDocument;

// Thins the same raw pencil stroke again at another tolerance after the stroke has ended: each
// applyTolerance shows its result at once without undo (a slider being dragged), and commit records
// the whole change, from before the first re-fit, as one undoable step "Set Tolerance". The stroke
// either made a new path or extended one curve of an existing path; in the second case the points of
// the curve it extended are kept as they were and only the appended stroke is re-fitted.
//
// The pencil tool that ends the stroke passes the raw stroke (one point per recorded mouse position,
// before any thinning) and the path it drew into; the adjuster keeps copies, so every re-fit starts
// from the same input.
class CurveToleranceAdjuster : public Object {
public:
    // Empty: no path, no stroke, segment index 0, tolerance 0. Re-fits and commits do nothing.
    CurveToleranceAdjuster() = default;

    // A stroke that made a new path; its curve is segment 0.
    static std::shared_ptr<CurveToleranceAdjuster> initForNewPath(
        const PartPathPtr& path, const CurvePtr& pencilCurve, double tolerance, ZDLDocument* document);
    // A stroke appended to the curve at segmentIndex of the path; addedToCurve is that curve as it
    // was before the stroke (null behaves as a new path's stroke would).
    static std::shared_ptr<CurveToleranceAdjuster> initForAddedCurveIn(const PartPathPtr& path,
        std::size_t segmentIndex, const CurvePtr& pencilCurve, const CurvePtr& addedToCurve, double tolerance,
        ZDLDocument* document);

    // Re-fits the stroke at t and shows the result, registering no undo. The path's curves before the
    // first re-fit since the last commit are remembered for commit. A tolerance that is not a finite
    // number, or a stroke of fewer than two points, changes nothing.
    void applyTolerance(double t);
    // Records the change since the first re-fit as one undoable "segments" change named "Set
    // Tolerance"; without a re-fit since the last commit it records nothing.
    void commit();

    double tolerance() const { return m_tolerance; }
    const PartPathPtr& editObject() const { return m_editObject; }
    std::size_t segmentIndex() const { return m_segmentIndex; }
    // True between the first re-fit and the commit.
    bool isAdjusting() const { return m_initialSegments.has_value(); }

private:
    PartPathPtr m_editObject;
    std::size_t m_segmentIndex = 0;
    CurvePtr m_initialCurve;
    CurvePtr m_addedCurve;
    std::optional<QList<CurvePtr>> m_initialSegments;
    ZDLDocument* m_document = nullptr;
    double m_tolerance = 0.0;
};

using CurveToleranceAdjusterPtr = std::shared_ptr<CurveToleranceAdjuster>;

} // namespace zandrel
