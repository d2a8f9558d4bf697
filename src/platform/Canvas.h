#pragma once

#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"

#include <QColor>
#include <QGlyphRun>
#include <QImage>
#include <QRectF>
#include <QTransform>
#include <mutex>
#include <optional>

namespace zandrel {

// Held around every use of Qt's font engines for drawing (shaping a line into glyph runs, drawing
// them): their glyph caches and font faces are shared by every thread and unguarded, and the
// bands of a large image draw text on several threads at once.
std::recursive_mutex& fontEngineMutex();

// What a canvas draws on; the model picks bitmap resolutions and output detail from it.
enum class CanvasTarget { Screen, Bitmap, Pdf, Printer };

// The drawing surface the model, views and exports draw through. Its shape follows a platform
// graphics context so that drawing code never touches a particular backend (QPainter first).
//
// Coordinates: every canvas has a base space (view points on screen, page units in a PDF, the
// logical size of an offscreen bitmap) in which y grows down unless the target was made y-up.
// The current transform maps user space to base space; deviceScale() says how many device pixels
// one base unit covers. All graphics state below (transform, clip, alpha, compositing mode,
// shadow, antialiasing) is saved and restored together.
class Canvas {
public:
    virtual ~Canvas() = default;

    // State. restore() without a matching save() does nothing.
    virtual void save() = 0;
    virtual void restore() = 0;
    virtual int saveDepth() const = 0;

    // Transform. concatenate() applies the given transform before the current one, so that it
    // acts in the current user space (translate then draw moves the drawing).
    virtual QTransform transform() const = 0;
    virtual void setTransform(const QTransform& transform) = 0;
    void concatenate(const QTransform& transform) { setTransform(transform * this->transform()); }
    void translate(double dx, double dy) { concatenate(QTransform::fromTranslate(dx, dy)); }
    void scale(double sx, double sy) { concatenate(QTransform::fromScale(sx, sy)); }
    void rotate(double degrees) { concatenate(QTransform().rotate(degrees)); }
    // User space to device pixels.
    QTransform deviceTransform() const { return transform() * baseToDevice(); }

    // Clip, always intersected with the current one. clipBounds() is in user space; it is
    // empty when nothing can be drawn.
    virtual void clipToPath(const CanvasPath& path) = 0;
    virtual void clipToRect(const QRectF& rect) = 0;
    virtual QRectF clipBounds() const = 0;

    // Global alpha multiplied into everything drawn, clamped to [0, 1].
    virtual void setAlpha(double alpha) = 0;
    virtual double alpha() const = 0;
    virtual void setCompositionMode(CompositionMode mode) = 0;
    virtual CompositionMode compositionMode() const = 0;
    virtual void setAntialiasing(bool on) = 0;
    virtual bool antialiasing() const = 0;
    // A shadow cast by every later fill, stroke and image until cleared or restored.
    virtual void setShadow(const std::optional<CanvasShadow>& shadow) = 0;
    virtual std::optional<CanvasShadow> shadow() const = 0;

    // Painting. A path fills with its winding rule and strokes with its own width, dash, caps
    // and joins.
    virtual void fillPath(const CanvasPath& path, const CanvasPaint& paint) = 0;
    virtual void fillRect(const QRectF& rect, const CanvasPaint& paint) = 0;
    virtual void strokePath(const CanvasPath& path, const CanvasPaint& paint) = 0;
    void fillEllipse(const QRectF& rect, const CanvasPaint& paint)
    {
        fillPath(CanvasPath::fromEllipse(rect), paint);
    }
    void strokeRect(const QRectF& rect, const CanvasPaint& paint, double width);
    void strokeEllipse(const QRectF& rect, const CanvasPaint& paint, double width);
    void strokeLine(const QPointF& from, const QPointF& to, const CanvasPaint& paint, double width);

    // Draws the source rect of the image (empty: the whole image) into the target rect, its
    // first row at the target's smallest y in user space. The opacity multiplies the global
    // alpha; the mode applies to this image only.
    virtual void drawImage(const QImage& image, const QRectF& target, const QRectF& source = QRectF(),
        double opacity = 1.0, CompositionMode mode = CompositionMode::SourceOver)
        = 0;

    // Glyphs placed by a text layout, drawn with the layout's origin at the point (the run's
    // glyph positions are relative to it, baselines included).
    virtual void drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color) = 0;

    // Transparency layer: drawing until the matching end goes to an offscreen layer that starts
    // transparent, with the current transform and clip but alpha 1, source-over and no shadow.
    // The layer is then composited with its alpha times the alpha, and with the mode and shadow,
    // current at begin. Layers nest; a layer left open is composited when the canvas finishes.
    // bounds (user space, optional) limits the layer's size. On vector output (PDF, printing) a
    // layer at full alpha with source-over and no shadow may draw straight through, to keep the
    // vectors; composition modes used inside it then act on what lies below.
    virtual void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) = 0;
    virtual void endTransparencyLayer() = 0;

    virtual CanvasTarget target() const = 0;
    // True for raster destinations (windows and bitmaps), false for PDF and printing.
    bool isDrawingToScreen() const
    {
        return target() == CanvasTarget::Screen || target() == CanvasTarget::Bitmap;
    }
    bool isPrinting() const { return target() == CanvasTarget::Printer; }
    // Device pixels per base unit (2 on a high-density screen, the scale of an offscreen bitmap).
    virtual double deviceScale() const = 0;
    // Base space to device pixels (the device scale, and the flip of a y-up bitmap).
    virtual QTransform baseToDevice() const = 0;
};

} // namespace zandrel
