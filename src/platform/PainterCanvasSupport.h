#pragma once

#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/GaussianBlur.h"

#include <QBrush>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRect>
#include <optional>

namespace zandrel {

enum class CanvasTarget;

// The QPainter translations behind PainterCanvas: paints to brushes, paths to pens, modes to
// QPainter's, and the pixel work QPainter lacks.
namespace canvas_support {

// What a Canvas keeps beside the painter's own state.
struct SurfaceState {
    CompositionMode mode = CompositionMode::SourceOver;
    std::optional<CanvasShadow> shadow;
    // While the painter clips, the clip as a rect of its device's pixels, when it is one (a
    // panel's frame, say): fills under it need not go through Qt's clipping.
    std::optional<QRectF> deviceClip;
};

// A brush plus, for gradients that do not extend past their ends, the user-space area they
// are limited to (empty optional: unlimited).
struct PaintBrush {
    QBrush brush;
    std::optional<QPainterPath> clip;
    bool smooth = true; // pattern tiles are pixel art and stay crisp when magnified
};

bool isFinite(const QRectF& rect);
bool isFinite(const QTransform& transform);

CanvasTarget targetOf(QPainter& painter);
std::optional<CanvasShadow> sanitizedShadow(const std::optional<CanvasShadow>& shadow);

// Stops with finite positions clamped to [0, 1], in order.
QGradientStops sanitizedStops(const QGradientStops& stops);
// Nothing when the paint cannot draw (invalid colour, no stops, null tile, degenerate
// transform). userToBase places patterns in base space; userBounds sizes gradient limits.
std::optional<PaintBrush> brushFor(
    const CanvasPaint& paint, const QTransform& userToBase, const QRectF& userBounds);

// Most dashes one stroke may make; a finer pattern strokes solid rather than stall the dasher.
inline constexpr double kMaxDashesPerStroke = 200000;
// The pen that strokes the path on this painter, as it stands (transform, device, antialiasing).
// The path keeps absolute dash lengths; QPen wants them in the unit Qt will measure them in,
// which depends on how the painter is going to draw the line.
QPen penFor(const CanvasPath& path, const QBrush& brush, const QPainter& painter);

// PlusDarker falls back to Multiply where the destination's pixels cannot be read.
QPainter::CompositionMode qtCompositionMode(CompositionMode mode);
bool supportsMode(QPainter& painter, QPainter::CompositionMode mode);

// Bitmap pixels per device pixel for offscreen work over an area of device pixels: lower for
// high-resolution vector output and for areas beyond the offscreen limit.
double offscreenResolution(const QRect& area, CanvasTarget target, QPainter& painter);
QImage newTransparentImage(const QRect& area, double resolution);

// destination = source plus-darker destination over the source's size at the given position.
// The destination is premultiplied ARGB32 or RGB32.
void blendPlusDarker(QImage& destination, const QPoint& at, const QImage& source);

} // namespace canvas_support
} // namespace zandrel
