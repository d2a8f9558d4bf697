#include "tools/BalloonTrackers.h"

#include "app/core/ZDLDocument.h"
#include "comicmodel/Balloon.h"
#include "platform/Localization.h"
#include "platform/PropertyTable.h"
#include "tools/BalloonHandles.h"
#include "views/ZDLEditingView.h"

#include <algorithm>

namespace zandrel {

namespace {

// A balloon's text area is never narrower than this.
constexpr float kMinimumBalloonWidth = 30.0f;

ZDLDocument* documentOf(const ZDLEditingView* view)
{
    return view ? view->document() : nullptr;
}

// Records what the gesture changed with the selection as it is on both sides, named.
void finishStep(ZDLEditingView* view, const QString& actionName)
{
    view->undoableSetSelection(view->selection(), true);
    view->document()->undoManager()->setActionName(actionName);
}

} // namespace

// --- Width ---

BalloonWidthTracker::BalloonWidthTracker(
    const QPointF& point, const ZDLEvent& event, const BalloonWidthHandle& handle)
    : ZDLTracker(point, event)
    , m_balloon(handle.balloon())
    , m_atOrigin(handle.atOrigin())
    , m_initialOrigin(m_balloon->origin())
    , m_initialWidth(m_balloon->width())
{
}

void BalloonWidthTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document)
        return;
    const float dx = float(point.x() - startPt().x());
    document->updateViewsRect(m_balloon->getGeometryBounds(), false, { m_balloon });
    if (m_atOrigin) {
        m_balloon->setWidth(std::max(m_initialWidth - dx, kMinimumBalloonWidth));
        m_balloon->setOrigin(
            QPointF(m_initialOrigin.x() + m_initialWidth - m_balloon->width(), m_initialOrigin.y()));
    } else {
        m_balloon->setWidth(std::max(m_initialWidth + dx, kMinimumBalloonWidth));
    }
    document->updateViewsRect(m_balloon->getGeometryBounds(), true, { m_balloon });
}

void BalloonWidthTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document || m_balloon->width() == m_initialWidth)
        return;
    document->undoableSetPropertyFor(
        m_balloon, Balloon::kWidthKey, Value(m_balloon->width()), Value(m_initialWidth));
    if (m_atOrigin)
        document->undoableSetPropertyFor(
            m_balloon, Balloon::kOriginKey, Value(m_balloon->origin()), Value(m_initialOrigin));
    finishStep(editingView(), localized("Resize Balloon"));
}

// --- Tail base ---

BalloonPointerBaseTracker::BalloonPointerBaseTracker(
    const QPointF& point, const ZDLEvent& event, const BalloonPointerHandle& handle)
    : ZDLTracker(point, event)
    , m_balloon(handle.balloon())
    , m_pointer(m_balloon->pointers().at(handle.pointerIndex()))
    , m_initialXPos(m_pointer->xPos())
    , m_initialYPos(m_pointer->yPos())
    , m_balloonBox(m_balloon->getVisibleEnclosingRect().translated(m_balloon->origin()))
{
}

void BalloonPointerBaseTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document)
        return;
    document->updateViewsRect(m_balloon->getInvalidationBounds(), false, { m_balloon });
    const float x = float((point.x() - m_balloonBox.x()) / m_balloonBox.width());
    const float y = float((point.y() - m_balloonBox.y()) / m_balloonBox.height());
    m_pointer->setXPos(std::max(std::min(x, 1.0f), 0.0f));
    m_pointer->setYPos(std::max(std::min(y, 1.0f), 0.0f));
    document->updateViewsRect(m_balloon->getInvalidationBounds(), true, { m_balloon });
}

void BalloonPointerBaseTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document)
        return;
    document->undoableSetPropertyFor(
        m_pointer, BalloonPointer::kXPosKey, Value(m_pointer->xPos()), Value(m_initialXPos));
    document->undoableSetPropertyFor(
        m_pointer, BalloonPointer::kYPosKey, Value(m_pointer->yPos()), Value(m_initialYPos));
    finishStep(editingView(), localized("Move Balloon Pointer"));
}

// --- Tail points ---

BalloonPointList BalloonPointerPointTracker::deepCopy(const BalloonPointList& points)
{
    BalloonPointList copies;
    copies.reserve(points.size());
    for (const BalloonPointPtr& point : points)
        copies.push_back(point->copy());
    return copies;
}

BalloonPointerPointTracker::BalloonPointerPointTracker(const QPointF& point, const ZDLEvent& event,
    const BalloonPointerPtr& pointer, qsizetype pointIndex,
    const std::optional<BalloonPointList>& originalPoints)
    : ZDLTracker(point, event)
    , m_pointer(pointer)
    , m_pointIndex(pointIndex)
    , m_editPoints(deepCopy(pointer->points()))
{
    if (originalPoints) {
        m_initialPoints = *originalPoints;
        setMovedMinimum();
    } else {
        m_initialPoints = m_editPoints;
    }
}

void BalloonPointerPointTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    Balloon* balloon = m_pointer->owner();
    if (!movedOverMinimum(event) || !document || !balloon || m_pointIndex >= qsizetype(m_editPoints.size()))
        return;
    document->updateViewsRect(balloon->getInvalidationBounds(), false, { balloon->shared_from_this() });
    BalloonPointList points = deepCopy(m_editPoints);
    points[std::size_t(m_pointIndex)] = BalloonPoint::balloonPointWithPoint(
        m_editPoints[std::size_t(m_pointIndex)]->pointValue() + point - startPt());
    m_pointer->setPoints(points);
    document->updateViewsRect(balloon->getInvalidationBounds(), true, { balloon->shared_from_this() });
}

void BalloonPointerPointTracker::mouseUpAt(const QPointF&, const ZDLEvent& event)
{
    ZDLDocument* document = documentOf(editingView());
    if (!movedOverMinimum(event) || !document)
        return;
    document->undoableSetPropertyFor(m_pointer, BalloonPointer::kPointsKey,
        detail::toValue(m_pointer->points()), detail::toValue(m_initialPoints));
    finishStep(editingView(), localized("Reshape Balloon Pointer"));
}

} // namespace zandrel
