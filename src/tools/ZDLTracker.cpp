#include "tools/ZDLTracker.h"

#include "platform/Log.h"
#include "views/ZDLEditingView.h"

#include <cmath>

namespace zandrel {

namespace {

// A move of exactly this many window points is still a click.
constexpr double kDragThreshold = 1.0;

} // namespace

ZDLTracker::ZDLTracker(const QPointF& point, const ZDLEvent& event)
    : m_startInWindow(event.locationInWindow)
    , m_startPt(point)
{
}

void ZDLTracker::setView(ZDLView* view)
{
    m_view = view;
    m_editingView = dynamic_cast<ZDLEditingView*>(view);
}

void ZDLTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (movedOverMinimum(event))
        zdlLog(QStringLiteral("Mouse dragged at %1, %2").arg(point.x()).arg(point.y()));
}

void ZDLTracker::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    if (movedOverMinimum(event))
        zdlLog(QStringLiteral("Mouse up at %1, %2").arg(point.x()).arg(point.y()));
}

QPointF ZDLTracker::snapPoint(const QPointF& point, const ZDLEvent& event)
{
    if (!event.shift()) {
        m_snapDimension = 0;
        return point;
    }
    float dx = std::fabs(static_cast<float>(m_startPt.x() - point.x()));
    float dy = std::fabs(static_cast<float>(m_startPt.y() - point.y()));
    if (m_snapDimension == 1)
        dx += kSnapHysteresis;
    else if (m_snapDimension == 2)
        dy += kSnapHysteresis;
    if (dy > dx) {
        m_snapDimension = 2;
        return QPointF(m_startPt.x(), point.y());
    }
    m_snapDimension = 1;
    return QPointF(point.x(), m_startPt.y());
}

bool ZDLTracker::movedOverMinimum(const ZDLEvent& event)
{
    if (m_movedMinimum)
        return true;
    const QPointF delta = event.locationInWindow - m_startInWindow;
    if (std::fabs(delta.x()) > kDragThreshold || std::fabs(delta.y()) > kDragThreshold)
        m_movedMinimum = true;
    return m_movedMinimum;
}

} // namespace zandrel
