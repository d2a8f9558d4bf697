#include "graphics/ZDLContext.h"

#include "graphics/DrawingSplit.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"

#include <QTransform>
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
    if (m_canvas)
        m_viewToDevice = m_canvas->deviceTransform();
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

bool ZDLContext::canShow(const QRectF& bounds) const
{
    if (!m_canvas)
        return false;
    if (!(std::isfinite(bounds.x()) && std::isfinite(bounds.y()) && std::isfinite(bounds.width())
            && std::isfinite(bounds.height())))
        return true;
    const QRectF visible = m_canvas->clipBounds();
    if (visible.isEmpty())
        return false;
    const QTransform toDevice = m_canvas->deviceTransform();
    const double pixels = std::sqrt(std::abs(toDevice.determinant()));
    const double margin = pixels > 0 ? 2.0 / pixels : 0.0;
    const QRectF r = bounds.normalized();
    // Inclusive, so that a line of no width or a point still counts where it lies.
    if (r.left() > visible.right() + margin || r.right() < visible.left() - margin
        || r.top() > visible.bottom() + margin || r.bottom() < visible.top() - margin)
        return false;
    QRectF inView = r.adjusted(-margin, -margin, margin, margin);
    // An element drawn elsewhere than where it lies (a part shown on a sheet of one type) asks in
    // its own coordinates; the view answers in its own.
    if (m_viewToDevice && *m_viewToDevice != toDevice) {
        bool invertible = false;
        const QTransform deviceToView = m_viewToDevice->inverted(&invertible);
        if (!invertible)
            return true;
        inView = (toDevice * deviceToView).mapRect(inView);
    }
    return needsToDrawRect(inView);
}

bool ZDLContext::paintsNothing() const
{
    return m_split && !m_split->isOpen();
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
