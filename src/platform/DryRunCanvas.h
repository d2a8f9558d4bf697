#pragma once

#include "platform/Canvas.h"

#include <vector>

namespace zandrel {

// A canvas that paints nothing and clips nothing: drawing a model through it once runs every
// lazy step of drawing (blur groups and their bitmaps, outlines, text layout, path bounds) on the
// calling thread, so that bands drawn afterwards on several threads find the model settled. It
// keeps the transform and state a real canvas would, and answers as a bitmap of the given base
// to device transform, so that the model makes the same choices as for the real target.
class DryRunCanvas : public Canvas {
public:
    explicit DryRunCanvas(const QTransform& baseToDevice = QTransform());

    void save() override;
    void restore() override;
    int saveDepth() const override { return int(m_states.size()) - 1; }

    QTransform transform() const override { return m_states.back().transform; }
    void setTransform(const QTransform& transform) override { m_states.back().transform = transform; }

    // Clipping is recorded nowhere: everything stays visible, so that nothing is culled.
    void clipToPath(const CanvasPath& path) override;
    void clipToRect(const QRectF&) override { }
    QRectF clipBounds() const override;

    void setAlpha(double alpha) override { m_states.back().alpha = alpha; }
    double alpha() const override { return m_states.back().alpha; }
    void setCompositionMode(CompositionMode mode) override { m_states.back().mode = mode; }
    CompositionMode compositionMode() const override { return m_states.back().mode; }
    void setAntialiasing(bool on) override { m_states.back().antialiasing = on; }
    bool antialiasing() const override { return m_states.back().antialiasing; }
    void setShadow(const std::optional<CanvasShadow>& shadow) override { m_states.back().shadow = shadow; }
    std::optional<CanvasShadow> shadow() const override { return m_states.back().shadow; }

    // Paths get their lazily computed bounds filled in, so that later readers on other threads
    // only read them.
    void fillPath(const CanvasPath& path, const CanvasPaint& paint) override;
    void fillRect(const QRectF& rect, const CanvasPaint&) override;
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override;
    void drawImage(const QImage&, const QRectF& target, const QRectF& = QRectF(), double = 1.0,
        CompositionMode = CompositionMode::SourceOver) override;
    void drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor&) override;

    void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) override;
    void endTransparencyLayer() override;

    CanvasTarget target() const override { return CanvasTarget::Bitmap; }
    double deviceScale() const override;
    QTransform baseToDevice() const override { return m_baseToDevice; }

    // How many paths were offered: tests see that a dry run walked the model.
    qint64 pathCount() const { return m_paths; }

    // Keeps an estimate of the work that painting would take on each device row of a bitmap so
    // many rows high, so that bands can be cut to take equal shares. An operation costs a fixed
    // amount for each path element (stroking, flattening, the edges of antialiasing) and one unit
    // for each device pixel it covers (filling inside is cheap), spread evenly over its rows;
    // clips are not known here, so what they hide counts too.
    void estimateRowCosts(int rows);
    std::vector<double> rowCosts() const;
    // For each row, the fixed costs of the operations that a band edge above it would cut in two:
    // both bands pay them.
    std::vector<double> edgeCosts() const;
    // The work of one path element in pixels covered, measured on pages of characters.
    static constexpr double kElementCost = 20000;

private:
    struct State {
        QTransform transform;
        double alpha = 1.0;
        CompositionMode mode = CompositionMode::SourceOver;
        bool antialiasing = true;
        std::optional<CanvasShadow> shadow;
    };
    void settle(const CanvasPath& path);
    void addCost(const QRectF& userBounds, double fixedCost);

    QTransform m_baseToDevice;
    std::vector<State> m_states { State {} };
    std::vector<size_t> m_layers; // state depth at each open layer
    qint64 m_paths = 0;
    // Cost per row added at a band's top row and taken away below its bottom one.
    std::vector<double> m_costSteps;
    std::vector<double> m_edgeCostSteps;
};

} // namespace zandrel
