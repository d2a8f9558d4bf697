#include "platform/GatedCanvas.h"

namespace zandrel {

GatedCanvas::GatedCanvas(Canvas& target, bool open)
    : m_target(target)
    , m_open(open)
{
}

bool GatedCanvas::passes()
{
    if (!m_open || m_skippedLayers > 0)
        return false;
    m_painted = true;
    return true;
}

void GatedCanvas::fillPath(const CanvasPath& path, const CanvasPaint& paint)
{
    if (passes())
        m_target.fillPath(path, paint);
}

void GatedCanvas::fillRect(const QRectF& rect, const CanvasPaint& paint)
{
    if (passes())
        m_target.fillRect(rect, paint);
}

void GatedCanvas::strokePath(const CanvasPath& path, const CanvasPaint& paint)
{
    if (passes())
        m_target.strokePath(path, paint);
}

void GatedCanvas::drawImage(
    const QImage& image, const QRectF& target, const QRectF& source, double opacity, CompositionMode mode)
{
    if (passes())
        m_target.drawImage(image, target, source, opacity, mode);
}

void GatedCanvas::drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color)
{
    if (passes())
        m_target.drawGlyphRun(position, run, color);
}

void GatedCanvas::beginTransparencyLayer(double alpha, const QRectF& bounds)
{
    if (!m_open || m_skippedLayers > 0) {
        ++m_skippedLayers;
        return;
    }
    m_target.beginTransparencyLayer(alpha, bounds);
}

void GatedCanvas::endTransparencyLayer()
{
    if (m_skippedLayers > 0) {
        --m_skippedLayers;
        return;
    }
    m_target.endTransparencyLayer();
}

} // namespace zandrel
