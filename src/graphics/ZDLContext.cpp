#include "graphics/ZDLContext.h"

#include "graphics/ZDLViewInterface.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"

#include <cmath>

namespace zandrel {

ZDLContext::ZDLContext() = default;

ZDLContext::ZDLContext(float scale)
    : m_scale(scale)
    , m_canvas(currentCanvas())
{
}

ZDLContext::ZDLContext(ZDLViewInterface& view)
    : ZDLContext(view.viewScale())
{
    m_updatingView = &view;
}

void ZDLContext::saveState()
{
    if (m_canvas)
        m_canvas->save();
}

void ZDLContext::restoreState()
{
    if (m_canvas)
        m_canvas->restore();
}

bool ZDLContext::showBlur(float radius) const
{
    // Single precision throughout, so that a radius right at the threshold stays undrawn.
    const float partScale = std::fmin(m_partScaleX, m_partScaleY);
    const float deviceRadius = radius * m_scale * partScale;
    return deviceRadius > m_blurThreshold;
}

bool ZDLContext::needsToDrawRect(const QRectF& rect) const
{
    return !m_updatingView || m_updatingView->needsToDrawRect(rect);
}

bool ZDLContext::scalingViewInteractively() const
{
    return m_updatingView && m_updatingView->scalingViewInteractively();
}

bool ZDLContext::isInMainWindow() const
{
    return m_updatingView && m_updatingView->isInMainWindow();
}

} // namespace zandrel
