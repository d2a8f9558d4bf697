#pragma once

#include "platform/Canvas.h"

#include <QRectF>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QBrush;
class QColor;
class QPen;
class QImage;
class QPainterPath;
class QPainter;
class QPaintDevice;

namespace zandrel {

class OutlineSlot;
struct DeviceOutline;

// The Canvas backend on QPainter, for widgets, QImage, QPdfWriter and QPrinter. The painter's
// transform at construction becomes the base space. Antialiasing is on and images are not
// recompressed lossily in PDF output.
class PainterCanvas : public Canvas {
public:
    // Draws through a painter the caller owns and keeps active while the canvas lives. The
    // target is guessed from the painter's device unless given.
    explicit PainterCanvas(QPainter* painter, std::optional<CanvasTarget> target = std::nullopt);
    // Begins a painter of its own on the device; isActive() says whether that worked.
    explicit PainterCanvas(QPaintDevice* device, std::optional<CanvasTarget> target = std::nullopt);
    ~PainterCanvas() override;
    PainterCanvas(const PainterCanvas&) = delete;
    PainterCanvas& operator=(const PainterCanvas&) = delete;

    bool isActive() const;
    // For a canvas drawing a model that other threads draw at the same time (a band of a large
    // image): every path is copied before the painter sees it, since QPainter fills in caches on
    // a path's shared data. Glyph runs are drawn under fontEngineMutex() on every canvas.
    void setDrawsSharedModel(bool shared) { m_drawsSharedModel = shared; }
    bool drawsSharedModel() const { return m_drawsSharedModel; }
    // Nothing outside these device pixels can show (the device's system clip, a band's rows):
    // clipBounds() and the offscreen work of layers and shadows keep within them.
    void limitToDeviceRect(const QRect& pixels);
    // Dashed strokes wider than a device pixel reach the device as outlines (see DeviceOutline),
    // as the pass and the bands of a large image draw them: Qt's own dashes differ where they
    // meet a clip. Solid fills and wide strokes that fillOutline can paint (see DirectFill) are
    // filled from their outlines too, a pass and its bands alike. Off by default.
    void setDrawsOutlines(bool on) { m_drawsOutlines = on; }
    // The same drawing, where a fill or wide stroke reaching beyond the device rect (a band's
    // rows) is filled from the outline in the slot, made once for all the bands of one image.
    void fillPath(const CanvasPath& path, const CanvasPaint& paint, OutlineSlot* slot);
    void strokePath(const CanvasPath& path, const CanvasPaint& paint, OutlineSlot* slot);
    // Composites open layers, unwinds unbalanced saves and, for an owned painter, ends it.
    // Drawing afterwards does nothing. The destructor calls it.
    void finish();

    void save() override;
    void restore() override;
    int saveDepth() const override;

    QTransform transform() const override;
    void setTransform(const QTransform& transform) override;

    void clipToPath(const CanvasPath& path) override;
    void clipToRect(const QRectF& rect) override;
    QRectF clipBounds() const override;

    void setAlpha(double alpha) override;
    double alpha() const override;
    void setCompositionMode(CompositionMode mode) override;
    CompositionMode compositionMode() const override;
    void setAntialiasing(bool on) override;
    bool antialiasing() const override;
    void setShadow(const std::optional<CanvasShadow>& shadow) override;
    std::optional<CanvasShadow> shadow() const override;

    void fillPath(const CanvasPath& path, const CanvasPaint& paint) override;
    void fillRect(const QRectF& rect, const CanvasPaint& paint) override;
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override;
    void drawImage(const QImage& image, const QRectF& target, const QRectF& source = QRectF(),
        double opacity = 1.0, CompositionMode mode = CompositionMode::SourceOver) override;
    void drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color) override;

    void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) override;
    void endTransparencyLayer() override;

    CanvasTarget target() const override { return m_target; }
    double deviceScale() const override;
    QTransform baseToDevice() const override;

    // Largest offscreen bitmap (layers, shadows, blended images) the canvas makes, in pixels.
    // Beyond it, the bitmap is made at a lower resolution.
    static constexpr qint64 kMaxOffscreenPixels = 64LL * 1024 * 1024;

private:
    struct Surface;
    // Paints one primitive on a painter whose world transform maps user space to its pixels;
    // deviceToPainter maps the root device pixels to that painter's coordinates.
    using DrawFn = std::function<void(QPainter& painter, const QTransform& deviceToPainter)>;

    void start(QPainter* painter, std::optional<CanvasTarget> target);
    Surface& top() const;
    QPainter* painter() const;
    // The part of the root device (in its pixels) that drawing can still reach.
    QRectF visibleDeviceRect() const;
    QRectF userToDeviceBounds(const QRectF& userRect) const;
    // Draws with the current shadow, alpha and the given mode; deviceBounds (root device
    // pixels) bounds what fn paints, for the offscreen work that shadows and blending need.
    void draw(const QRectF& deviceBounds, const DrawFn& fn, CompositionMode mode, double opacity = 1.0);
    void drawShadow(const QRectF& deviceBounds, const DrawFn& fn, double opacity);
    void drawDirect(const DrawFn& fn, CompositionMode mode, double opacity);
    bool drawPlusDarker(const QRectF& deviceBounds, const DrawFn& fn, double opacity);
    void fillWith(
        const QRectF& userBounds, const CanvasPaint& paint, const std::function<void(QPainter&)>& shape);
    void endLayer();
    // Whether the path (filled, or stroked with the pen) was drawn as an outline; the painter's
    // state is its caller's to save.
    bool drawOutline(QPainter& p, const QPainterPath& path, const QPen* pen, OutlineSlot* slot);
    // A solid fill under a rect clip, source-over and antialiased, on a premultiplied bitmap is
    // filled from its outline straight into the pixels (fillOutline): the bitmap, the clip in its
    // pixels, and the colour at the painter's opacity, premultiplied.
    struct DirectFill {
        QImage* image;
        QRectF clip;
        unsigned int color;
    };
    std::optional<DirectFill> directFill(QPainter& painter, const QBrush& brush) const;
    std::optional<DirectFill> directFill(QPainter& painter, const QColor& color) const;
    // Fills the path (or with the pen, its stroke) in the paint straight from its outline when
    // the paint is a colour and directFill applies; false when it takes the general route.
    bool fillStraight(const CanvasPath& path, const CanvasPaint& paint, const QPen* pen, OutlineSlot* slot);
    // Whether the painter's fills (with a pen, its strokes) can go through device outlines.
    static bool drawsAsOutline(const QPainter& painter, const QPen* pen);
    // The outline of the path (with a pen, of its stroke) in the painter's device pixels: the
    // slot's, shared by the bands, when drawing on the root surface; otherwise one of its own.
    std::shared_ptr<const DeviceOutline> outlineOf(
        const QPainter& painter, const QPainterPath& path, const QPen* pen, OutlineSlot* slot) const;
    // Keeps the clip's rect in device pixels while the clips are rects (see SurfaceState).
    void noteClip(const std::optional<QRectF>& userRect, bool clippedBefore);
    // Whether what paints in the device pixels (antialiasing aside) reaches beyond the device rect.
    bool reachesBeyondDevice(const QRectF& deviceBounds) const;

    std::unique_ptr<QPainter> m_ownedPainter;
    CanvasTarget m_target = CanvasTarget::Bitmap;
    QTransform m_base; // base space to the root painter's logical coordinates
    double m_devicePixelRatio = 1.0;
    std::vector<std::unique_ptr<Surface>> m_surfaces;
    bool m_drawsSharedModel = false;
    bool m_copyingPath = false; // the path at hand is the canvas's own copy
    bool m_drawsOutlines = false;
};

} // namespace zandrel
