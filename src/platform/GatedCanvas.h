#pragma once

#include "platform/Canvas.h"

namespace zandrel {

// A canvas that passes everything on to another, its painting only while the gate is open: the
// state (transform, clip, alpha, modes, shadow) always follows, so that drawing reopened halfway
// through a pass paints exactly where and how it would have. A view draws one pass of its page
// through it to keep what lies below or above a selection apart.
class GatedCanvas : public Canvas {
public:
    explicit GatedCanvas(Canvas& target, bool open = true);

    bool isOpen() const { return m_open; }
    void setOpen(bool open) { m_open = open; }
    // Off, clips set while the gate is shut are not passed on: what is painted while it is open is
    // clipped by its own clips only, not by those of the containers around it.
    void setClipsWhileShut(bool clips) { m_clipsWhileShut = clips; }
    // Whether anything was painted while the gate was open.
    bool painted() const { return m_painted; }

    void save() override { m_target.save(); }
    void restore() override { m_target.restore(); }
    int saveDepth() const override { return m_target.saveDepth(); }
    QTransform transform() const override { return m_target.transform(); }
    void setTransform(const QTransform& transform) override { m_target.setTransform(transform); }
    void clipToPath(const CanvasPath& path) override
    {
        if (m_open || m_clipsWhileShut)
            m_target.clipToPath(path);
    }
    void clipToRect(const QRectF& rect) override
    {
        if (m_open || m_clipsWhileShut)
            m_target.clipToRect(rect);
    }
    QRectF clipBounds() const override { return m_target.clipBounds(); }
    void setAlpha(double alpha) override { m_target.setAlpha(alpha); }
    double alpha() const override { return m_target.alpha(); }
    void setCompositionMode(CompositionMode mode) override { m_target.setCompositionMode(mode); }
    CompositionMode compositionMode() const override { return m_target.compositionMode(); }
    void setAntialiasing(bool on) override { m_target.setAntialiasing(on); }
    bool antialiasing() const override { return m_target.antialiasing(); }
    void setShadow(const std::optional<CanvasShadow>& shadow) override { m_target.setShadow(shadow); }
    std::optional<CanvasShadow> shadow() const override { return m_target.shadow(); }

    void fillPath(const CanvasPath& path, const CanvasPaint& paint) override;
    void fillRect(const QRectF& rect, const CanvasPaint& paint) override;
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override;
    void drawImage(const QImage& image, const QRectF& target, const QRectF& source = QRectF(),
        double opacity = 1.0, CompositionMode mode = CompositionMode::SourceOver) override;
    void drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color) override;
    // A layer begun while the gate is shut is skipped whole, with everything drawn into it.
    void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) override;
    void endTransparencyLayer() override;

    CanvasTarget target() const override { return m_target.target(); }
    double deviceScale() const override { return m_target.deviceScale(); }
    QTransform baseToDevice() const override { return m_target.baseToDevice(); }

private:
    bool passes();

    Canvas& m_target;
    bool m_open;
    bool m_painted = false;
    bool m_clipsWhileShut = true;
    // Layers begun while shut, not passed on.
    int m_skippedLayers = 0;
};

} // namespace zandrel
