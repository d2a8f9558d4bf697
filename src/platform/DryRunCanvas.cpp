#include "platform/DryRunCanvas.h"

#include <QGlyphRun>
#include <algorithm>
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
    addCost(path.controlPointBounds(), kElementCost * path.elementCount());
}

void DryRunCanvas::strokePath(const CanvasPath& path, const CanvasPaint&)
{
    settle(path);
    if (m_costSteps.empty())
        return;
    const double reach = path.strokeReach();
    addCost(path.controlPointBounds().adjusted(-reach, -reach, reach, reach),
        kElementCost * path.elementCount() * (path.isDashed() ? 2 : 1));
}

void DryRunCanvas::fillRect(const QRectF& rect, const CanvasPaint&)
{
    addCost(rect.normalized(), kElementCost);
}

void DryRunCanvas::drawImage(const QImage&, const QRectF& target, const QRectF&, double, CompositionMode)
{
    addCost(target.normalized(), kElementCost);
}

void DryRunCanvas::drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor&)
{
    if (!m_costSteps.empty())
        addCost(run.boundingRect().translated(position), kElementCost * run.glyphIndexes().size());
}

void DryRunCanvas::estimateRowCosts(int rows)
{
    m_costSteps.assign(size_t(std::max(rows, 0)) + 1, 0.0);
    m_edgeCostSteps = m_costSteps;
}

namespace {

std::vector<double> accumulated(const std::vector<double>& steps)
{
    std::vector<double> values;
    if (steps.empty())
        return values;
    values.reserve(steps.size() - 1);
    double value = 0;
    for (size_t row = 0; row + 1 < steps.size(); ++row) {
        value += steps[row];
        values.push_back(std::max(value, 0.0));
    }
    return values;
}

} // namespace

std::vector<double> DryRunCanvas::rowCosts() const
{
    return accumulated(m_costSteps);
}

std::vector<double> DryRunCanvas::edgeCosts() const
{
    return accumulated(m_edgeCostSteps);
}

void DryRunCanvas::addCost(const QRectF& userBounds, double fixedCost)
{
    if (m_costSteps.empty())
        return;
    const QRectF device = deviceTransform().mapRect(userBounds);
    const double rows = double(m_costSteps.size() - 1);
    const double top = std::clamp(std::floor(device.top()), 0.0, rows);
    const double bottom = std::clamp(std::ceil(device.bottom()), 0.0, rows);
    // Not a number fails every comparison: such a rect costs nothing rather than everything.
    if (!(bottom > top) || !std::isfinite(device.width()))
        return;
    const double cost = fixedCost + std::min(device.width(), 1e9) * (bottom - top);
    const double perRow = cost / (bottom - top);
    m_costSteps[size_t(top)] += perRow;
    m_costSteps[size_t(bottom)] -= perRow;
    if (bottom - top > 1) {
        m_edgeCostSteps[size_t(top) + 1] += fixedCost;
        m_edgeCostSteps[size_t(bottom)] -= fixedCost;
    }
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
