#include "charmodel/CurveToleranceAdjuster.h"

#include "app/core/ZDLDocument.h"
#include "graphics/Path.h"
#include "platform/Localization.h"

#include <cmath>

namespace zandrel {

std::shared_ptr<CurveToleranceAdjuster> CurveToleranceAdjuster::initForNewPath(
    const PartPathPtr& path, const CurvePtr& pencilCurve, double tolerance, ZDLDocument* document)
{
    return initForAddedCurveIn(path, 0, pencilCurve, nullptr, tolerance, document);
}

std::shared_ptr<CurveToleranceAdjuster> CurveToleranceAdjuster::initForAddedCurveIn(const PartPathPtr& path,
    std::size_t segmentIndex, const CurvePtr& pencilCurve, const CurvePtr& addedToCurve, double tolerance,
    ZDLDocument* document)
{
    auto adjuster = std::make_shared<CurveToleranceAdjuster>();
    adjuster->m_editObject = path;
    adjuster->m_segmentIndex = segmentIndex;
    // Copies: the tool may reuse or edit its curves, and every re-fit must start from the stroke
    // as it was drawn.
    adjuster->m_addedCurve = pencilCurve ? Curve::initByCopying(*pencilCurve) : nullptr;
    adjuster->m_initialCurve = addedToCurve ? Curve::initByCopying(*addedToCurve) : nullptr;
    adjuster->m_tolerance = tolerance;
    adjuster->m_document = document;
    return adjuster;
}

void CurveToleranceAdjuster::applyTolerance(double t)
{
    // A stroke of fewer than two points has no shape to thin and would only add an invalid curve.
    if (!m_editObject || !m_addedCurve || m_addedCurve->numPoints() < 2 || !std::isfinite(t))
        return;
    if (!m_initialSegments)
        m_initialSegments = m_editObject->segments();

    CurvePtr fitted = Curve::initByCopying(*m_addedCurve);
    fitted->reducePointsWithTolerance(t);
    fitted->moveOffcurvePointsToHitInputPoints();
    CurvePtr result = fitted;
    if (m_initialCurve) {
        result = Curve::initByCopying(*m_initialCurve);
        result->appendPointsFrom(*fitted);
    }

    QList<CurvePtr> segments = m_editObject->segments();
    // The path may have lost curves since the stroke (or a new path starts empty): the stroke then
    // goes at the end, and later re-fits replace it there instead of appending it again.
    if (m_segmentIndex < static_cast<std::size_t>(segments.size())) {
        segments[static_cast<qsizetype>(m_segmentIndex)] = result;
    } else {
        m_segmentIndex = static_cast<std::size_t>(segments.size());
        segments.append(result);
    }
    m_editObject->setSegments(segments);

    if (m_document)
        m_document->updateViews();
    m_tolerance = t;
}

void CurveToleranceAdjuster::commit()
{
    if (m_initialSegments && m_document && m_editObject) {
        ValueList current;
        for (const CurvePtr& curve : m_editObject->segments())
            current.append(Value(curve));
        ValueList initial;
        for (const CurvePtr& curve : *m_initialSegments)
            initial.append(Value(curve));
        m_document->undoableSetPropertyFor(m_editObject, Path::kSegmentsKey, Value(current), Value(initial));
        m_document->undoManager()->setActionName(localized("Set Tolerance"));
    }
    m_initialSegments.reset();
}

} // namespace zandrel
