#include "platform/DryRunCanvas.h"

#include <cmath>

namespace zandrel {

DryRunCanvas::DryRunCanvas(const QTransform& baseToDevice)
    : m_baseToDevice(baseToDevice)
{
}

void DryRunCanvas::save()
{
    m_states.push_back(m_states.back());
}

void DryRunCanvas::restore()
{
    if (m_states.size() > 1)
        m_states.pop_back();
}

void DryRunCanvas::clipToPath(const CanvasPath& path)
{
    settle(path);
}

QRectF DryRunCanvas::clipBounds() const
{
    // Far beyond any drawing, yet finite for the arithmetic of those who ask.
    constexpr double kFar = 1e12;
    return QRectF(-kFar, -kFar, 2 * kFar, 2 * kFar);
}

void DryRunCanvas::fillPath(const CanvasPath& path, const CanvasPaint&)
{
    settle(path);
}

void DryRunCanvas::strokePath(const CanvasPath& path, const CanvasPaint&)
{
    settle(path);
}

void DryRunCanvas::settle(const CanvasPath& path)
{
    ++m_paths;
    path.bounds();
    path.controlPointBounds();
}

void DryRunCanvas::beginTransparencyLayer(double, const QRectF&)
{
    // A layer starts at alpha 1, source-over and no shadow, with the transform and clip in force.
    m_layers.push_back(m_states.size());
    State layer;
    layer.transform = m_states.back().transform;
    m_states.push_back(layer);
}

void DryRunCanvas::endTransparencyLayer()
{
    if (m_layers.empty())
        return;
    m_states.resize(m_layers.back() > 0 ? m_layers.back() : 1);
    m_layers.pop_back();
}

double DryRunCanvas::deviceScale() const
{
    return std::sqrt(std::abs(m_baseToDevice.determinant()));
}

} // namespace zandrel
