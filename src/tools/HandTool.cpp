#include "tools/HandTool.h"

#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "views/ZDLView.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

const QString kMagnifyCursor = QStringLiteral("Cur_MagifyingGlass.tiff");

} // namespace

HandTool::HandTool()
    : m_magnifyCursor(appController()->getCursorResource(kMagnifyCursor, QPointF(5, 5)))
{
}

QString HandTool::toolTip() const
{
    return localized("Hand\n"
                     "Drag: scroll; Ctrl-drag: zoom (right: in, left: out)\n"
                     "Hold Space to scroll with any tool");
}

bool HandTool::setCursorAt(const QPointF&, const ZDLEvent& event)
{
    if (view())
        view()->setCursor(event.command() ? m_magnifyCursor : QCursor(Qt::OpenHandCursor));
    return true;
}

void HandTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!view())
        return;
    if (event.command()) {
        view()->setCursor(m_magnifyCursor);
        view()->setCurrentTracker(std::make_unique<ScalingTracker>(point, event));
    } else {
        view()->setCursor(Qt::ClosedHandCursor);
        view()->setCurrentTracker(std::make_unique<ScrollingTracker>(point, event));
    }
}

// --- ScrollingTracker ---

void ScrollingTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    ZDLView* shown = view();
    if (!shown)
        return;
    const QPointF start = startPt();
    shown->scrollRectToVisible(shown->visibleRect().translated(start.x() - point.x(), start.y() - point.y()));
    shown->setNeedsDisplay();
    shown->setCursor(Qt::ClosedHandCursor);
}

void ScrollingTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->exitHandTool();
}

// --- ScalingTracker ---

ScalingTracker::ScalingTracker(const QPointF& point, const ZDLEvent& event)
    : ZDLTracker(point, event)
    , m_windowStartPt(event.locationInWindow)
{
}

void ScalingTracker::mouseDraggedAt(const QPointF&, const ZDLEvent& event)
{
    ZDLView* shown = view();
    if (!shown)
        return;
    if (m_originalScale == 0.0f)
        m_originalScale = shown->viewScale();
    const QPointF fraction = shown->getScrollPointForDocPoint(startPt());
    const float dx = static_cast<float>(event.locationInWindow.x() - m_windowStartPt.x());
    const float scale = std::clamp(
        m_originalScale * std::pow(kZoomPerPoint, dx), ZDLView::minViewScale(), ZDLView::maxViewScale());
    if (scale == shown->viewScale())
        return;
    shown->setViewScale(scale);
    shown->scrollDocPoint(startPt(), fraction);
}

void ScalingTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    if (view())
        view()->exitHandTool();
}

} // namespace zandrel
