#pragma once

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <variant>

namespace zandrel {

// How drawn pixels combine with what is already there. PlusDarker adds darkness: over opaque
// pixels the result is max(0, source + destination - 1), so white vanishes and dark lines show.
enum class CompositionMode {
    SourceOver,
    PlusDarker,
    PlusLighter,
    Multiply,
    Screen,
    Overlay,
    Darken,
    Lighten,
    ColorDodge,
    ColorBurn,
    HardLight,
    SoftLight,
    Difference,
    Exclusion,
    Copy,
    Clear,
    SourceIn,
    SourceOut,
    SourceAtop,
    DestinationOver,
    DestinationIn,
    DestinationOut,
    DestinationAtop,
    Xor,
};

// A colour ramp along a line. Positions outside [start, end] take the end colours unless the
// extension on that side is turned off, in which case nothing is drawn there.
struct LinearGradient {
    QGradientStops stops;
    QPointF start;
    QPointF end;
    bool extendStart = true;
    bool extendEnd = true;

    // The ramp across a rect at an angle in degrees measured in the current user space (0 runs
    // left to right, 90 runs towards growing y), spanning the rect so that the first colour
    // touches one corner and the last colour the opposite one.
    static LinearGradient acrossRect(const QRectF& rect, double angleDegrees, const QGradientStops& stops);
};

// A colour ramp between two circles (the start circle usually a point inside the end circle).
struct RadialGradient {
    QGradientStops stops;
    QPointF startCenter;
    double startRadius = 0.0;
    QPointF endCenter;
    double endRadius = 0.0;
    bool extendStart = true;
    bool extendEnd = true;

    // The ramp from a centre placed relative to the rect ((0, 0) its centre, -1 and 1 its
    // edges) out to a circle around that centre that reaches the rect's farthest corner.
    static RadialGradient inRect(
        const QRectF& rect, const QPointF& relativeCenter, const QGradientStops& stops);
};

// A tile repeated over the plane. The tile lies in the canvas's base space, not in the current
// user space, so that a hatch looks the same at every zoom; tileSize is the size of one tile in
// base units (empty: the image's pixel size), which lets a tile be rendered at device
// resolution. Repetition starts at origin.
struct CanvasPattern {
    QImage tile;
    QSizeF tileSize;
    QPointF origin;
};

// What a fill or a stroke paints with: a solid colour, a gradient or a pattern.
class CanvasPaint {
public:
    using Variant = std::variant<QColor, LinearGradient, RadialGradient, CanvasPattern>;

    CanvasPaint()
        : m_value(QColor(Qt::black))
    {
    }
    CanvasPaint(const QColor& color)
        : m_value(color)
    {
    }
    CanvasPaint(Qt::GlobalColor color)
        : m_value(QColor(color))
    {
    }
    CanvasPaint(const LinearGradient& gradient)
        : m_value(gradient)
    {
    }
    CanvasPaint(const RadialGradient& gradient)
        : m_value(gradient)
    {
    }
    CanvasPaint(const CanvasPattern& pattern)
        : m_value(pattern)
    {
    }

    const Variant& value() const { return m_value; }
    bool isColor() const { return std::holds_alternative<QColor>(m_value); }
    // The colour of a solid paint; invalid for the other kinds.
    QColor color() const { return isColor() ? std::get<QColor>(m_value) : QColor(); }

private:
    Variant m_value;
};

// A drop shadow cast by everything drawn while it is set. The offset is in the canvas's base
// space (y grows down on screen) and does not follow the current transform; the blur radius, in
// base units, is the reach of the soft edge: the shadow is a Gaussian of sigma radius / 2.
struct CanvasShadow {
    QPointF offset;
    double blurRadius = 0.0;
    QColor color = QColor(0, 0, 0, 85);
};

} // namespace zandrel
