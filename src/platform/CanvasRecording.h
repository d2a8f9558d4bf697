#pragma once

#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/DeviceOutlines.h"
#include "platform/DryRunCanvas.h"

#include <QGlyphRun>
#include <QImage>
#include <atomic>
#include <deque>
#include <variant>
#include <vector>

namespace zandrel {

class PainterCanvas;

// A dry run that also keeps what was drawn, to draw it again into any part of the device: the
// bands of a large image each replay the one recording into their rows instead of walking the
// model again. Each operation keeps the device pixels it can touch, so that a band skips what
// lies outside it, and whole saved states and layers that hold nothing for it; fills and strokes
// keep a slot for their outline, made once for all the bands.
//
// Replaying on several threads at once is safe: the recording is only read then (what it holds
// was settled while recording, paths' lazily computed bounds included), and the outline slots
// guard themselves. The canvases replaying must copy paths before Qt sees them (drawsSharedModel)
// and draw outlines (setDrawsOutlines).
class CanvasRecording : public DryRunCanvas {
public:
    explicit CanvasRecording(const QTransform& baseToDevice = QTransform());
    ~CanvasRecording() override;

    void save() override;
    void restore() override;
    void setTransform(const QTransform& transform) override;
    void clipToPath(const CanvasPath& path) override;
    void clipToRect(const QRectF& rect) override;
    void setAlpha(double alpha) override;
    void setCompositionMode(CompositionMode mode) override;
    void setAntialiasing(bool on) override;
    void setShadow(const std::optional<CanvasShadow>& shadow) override;
    void fillPath(const CanvasPath& path, const CanvasPaint& paint) override;
    void fillRect(const QRectF& rect, const CanvasPaint& paint) override;
    void strokePath(const CanvasPath& path, const CanvasPaint& paint) override;
    void drawImage(const QImage& image, const QRectF& target, const QRectF& source = QRectF(),
        double opacity = 1.0, CompositionMode mode = CompositionMode::SourceOver) override;
    void drawGlyphRun(const QPointF& position, const QGlyphRun& run, const QColor& color) override;
    void beginTransparencyLayer(double alpha = 1.0, const QRectF& bounds = QRectF()) override;
    void endTransparencyLayer() override;

    // Draws everything that can touch the device pixels of the rect, in order, onto a canvas of
    // the same device (its transform at the start is the one the recording started with).
    void replay(PainterCanvas& canvas, const QRect& deviceRect) const;

    size_t operationCount() const { return m_operations.size(); }

    // Makes the outlines of the solid fills and wide strokes that can show in the device rect,
    // each once, taking them in turn from the counter that the threads calling it share; the
    // bands replaying afterwards (or meanwhile) find them made. Thread-safe.
    void makeOutlines(std::atomic<size_t>& next, const QRect& deviceRect) const;

private:
    struct PathDrawing {
        CanvasPath path;
        CanvasPaint paint;
        OutlineSlot* slot;
        QTransform toDevice; // as the bands' painters will have it
    };
    struct RectFill {
        QRectF rect;
        CanvasPaint paint;
    };
    struct ImageDrawing {
        QImage image;
        QRectF target;
        QRectF source;
        double opacity;
        CompositionMode mode;
    };
    struct GlyphDrawing {
        QPointF position;
        QGlyphRun run;
        QColor color;
    };
    struct Layer {
        double alpha;
        QRectF bounds;
    };
    enum class Kind {
        Save,
        Restore,
        SetTransform,
        ClipToPath,
        ClipToRect,
        SetAlpha,
        SetMode,
        SetAntialiasing,
        SetShadow,
        FillPath,
        FillRect,
        StrokePath,
        DrawImage,
        DrawGlyphs,
        BeginLayer,
        EndLayer,
    };
    using Payload = std::variant<std::monostate, QTransform, CanvasPath, QRectF, double, CompositionMode,
        bool, std::optional<CanvasShadow>, PathDrawing, RectFill, ImageDrawing, GlyphDrawing, Layer>;
    struct Operation {
        Kind kind;
        Payload payload;
        // Drawing: the device pixels it can touch. A save or a layer: those of everything up to
        // its end, which is the index of the matching restore or layer end (-1 while open, or
        // when it has none: it is then never skipped).
        QRectF device;
        bool reachesAnywhere = false; // a shadow or the like: never skipped
        int end = -1;
    };

    void add(Kind kind, Payload payload = std::monostate());
    void addDrawing(Kind kind, Payload payload, const QRectF& userBounds, double devicePadding = 0);
    void closeBlock(Kind opener);
    void noteOutline(const CanvasPaint& paint);

    std::vector<Operation> m_operations;
    std::deque<OutlineSlot> m_slots;
    // The fills and strokes whose outlines can be made ahead (see makeOutlines).
    std::vector<int> m_outlineMakers;
    // Indices of the saves and layers still open, innermost last.
    std::vector<int> m_open;
};

} // namespace zandrel
