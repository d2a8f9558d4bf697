#pragma once

#include "graphics/DrawingWork.h"

#include <QRectF>
#include <QTransform>
#include <memory>
#include <optional>

namespace zandrel {

class Canvas;
class DrawingSplit;
class ZDLViewInterface;

// The state of one drawing pass, handed to every drawIn: the canvas to draw into, the scale at which
// the drawing is seen, the threshold below which costly blurs are skipped, and whether the pass is
// for the screen or for an export, print, thumbnail or pasteboard image. Made for one pass and
// dropped afterwards; it neither owns the canvas nor the view.
class ZDLContext {
public:
    // No canvas and no view; every field at its default.
    ZDLContext();
    // Draws into the current canvas at the given scale: make the context after the destination has
    // been made current. Without a current canvas the context has none.
    explicit ZDLContext(float scale);
    // For a view's redraw: the current canvas at the view's scale, answering the view questions
    // through the view. Make it while the canvas maps the view's coordinates, before any transform
    // of the content's own.
    explicit ZDLContext(ZDLViewInterface& view);

    // Around changes of clip, transform or compositing; nothing happens without a canvas.
    void saveState();
    void restoreState();

    // Whether a blur of this radius would show: radius times scale times the smaller part scale (a
    // part scale that is not a number is ignored) must be above the blur threshold.
    bool showBlur(float radius) const;
    // Without a view every rectangle needs drawing. The rectangle is in the view's coordinates.
    bool needsToDrawRect(const QRectF& rect) const;
    // Whether anything inside these bounds (user space, as drawn) can reach the canvas: they meet
    // its clip, widened by two device pixels for antialiasing, and the view's dirty area. Elements
    // ask it before building anything, so that a redraw or a band costs what it touches. Bounds
    // that are no numbers answer true; no canvas answers false.
    bool canShow(const QRectF& bounds) const;
    bool scalingViewInteractively() const;
    bool isInMainWindow() const;

    // Drawing for an export, print, thumbnail or pasteboard image: screen-only decorations and
    // bitmap caches are skipped.
    bool exporting() const { return m_exporting; }
    void setExporting(bool exporting) { m_exporting = exporting; }
    // Whether the frame of the comic's current panel is drawn (on screen only).
    bool showCurrentPanelFrame() const { return m_showCurrentPanelFrame; }
    void setShowCurrentPanelFrame(bool show) { m_showCurrentPanelFrame = show; }
    // Device units per document unit: the zoom of a view or the resolution factor of an export.
    float scale() const { return m_scale; }
    void setScale(float scale) { m_scale = scale; }
    float partScaleX() const { return m_partScaleX; }
    void setPartScaleX(float scale) { m_partScaleX = scale; }
    float partScaleY() const { return m_partScaleY; }
    void setPartScaleY(float scale) { m_partScaleY = scale; }
    // A blur whose radius in device units is not above this is not drawn; 0 draws every blur.
    float blurThreshold() const { return m_blurThreshold; }
    void setBlurThreshold(float threshold) { m_blurThreshold = threshold; }
    // Opacity of bitmap images and cached renderings.
    float imageAlpha() const { return m_imageAlpha; }
    void setImageAlpha(float alpha) { m_imageAlpha = alpha; }
    Canvas* canvas() const { return m_canvas; }
    void setCanvas(Canvas* canvas) { m_canvas = canvas; }
    ZDLViewInterface* updatingView() const { return m_updatingView; }
    void setUpdatingView(ZDLViewInterface* view) { m_updatingView = view; }

    // A view's pass that draws one slice of its content in depth order; null draws it whole.
    DrawingSplit* split() const { return m_split; }
    void setSplit(DrawingSplit* split) { m_split = split; }
    // Nothing drawn now would show (the slice's gate is shut): containers skip their work.
    bool paintsNothing() const;

    // The blurring and lettering the pass may still do. A context made to draw part of a pass
    // into a bitmap of its own shares the pass's.
    DrawingWork& work() const { return *m_work; }
    void shareWorkOf(const ZDLContext& pass) { m_work = pass.m_work; }

    static constexpr float kDefaultBlurThreshold = 0.8f;

private:
    bool m_exporting = false;
    bool m_showCurrentPanelFrame = true;
    float m_scale = 1.0f;
    float m_partScaleX = 1.0f;
    float m_partScaleY = 1.0f;
    float m_blurThreshold = kDefaultBlurThreshold;
    float m_imageAlpha = 1.0f;
    Canvas* m_canvas = nullptr;
    ZDLViewInterface* m_updatingView = nullptr;
    // The canvas's transform to the device when the context was made for a view: the view's own
    // coordinates, against which whatever an element draws under (a shift, a scale) is undone
    // before the view is asked about a rectangle.
    std::optional<QTransform> m_viewToDevice;
    DrawingSplit* m_split = nullptr;
    std::shared_ptr<DrawingWork> m_work = std::make_shared<DrawingWork>();
};

} // namespace zandrel
