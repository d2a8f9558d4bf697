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
    void fillRect(const QRectF&, const CanvasPaint&) override { }
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override;
    void drawImage(const QImage&, const QRectF&, const QRectF& = QRectF(), double = 1.0,
        CompositionMode = CompositionMode::SourceOver) override
    {
    }
    void drawGlyphRun(const QPointF&, const QGlyphRun&, const QColor&) override { }

    void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) override;
    void endTransparencyLayer() override;

    CanvasTarget target() const override { return CanvasTarget::Bitmap; }
    double deviceScale() const override;
    QTransform baseToDevice() const override { return m_baseToDevice; }

    // How many paths were offered: tests see that a dry run walked the model.
    qint64 pathCount() const { return m_paths; }

private:
    struct State {
        QTransform transform;
        double alpha = 1.0;
        CompositionMode mode = CompositionMode::SourceOver;
        bool antialiasing = true;
        std::optional<CanvasShadow> shadow;
    };
    void settle(const CanvasPath& path);

    QTransform m_baseToDevice;
    std::vector<State> m_states { State {} };
    std::vector<size_t> m_layers; // state depth at each open layer
    qint64 m_paths = 0;
};

} // namespace zandrel
