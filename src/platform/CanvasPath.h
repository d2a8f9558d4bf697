#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <QVector>
#include <algorithm>

namespace zandrel {

// Which points a path encloses when its outline crosses itself or holds nested contours.
enum class WindingRule { NonZero, EvenOdd };

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };

// The path value that path builders return and a Canvas fills, strokes and clips with: the geometry
// together with the winding rule and the stroke attributes that travel with it.
class CanvasPath {
public:
    // A new path fills with the non-zero rule, as the platform's paths do (QPainterPath's own
    // default is even-odd).
    CanvasPath();
    explicit CanvasPath(const QPainterPath& path, WindingRule rule = WindingRule::NonZero);

    static CanvasPath fromRect(const QRectF& rect);
    static CanvasPath fromEllipse(const QRectF& rect);

    // Building. Without a current point, lineTo/quadTo/cubicTo start a contour at (0, 0) as
    // QPainterPath does; close() on an empty path does nothing.
    void moveTo(const QPointF& point);
    void lineTo(const QPointF& point);
    void quadTo(const QPointF& control, const QPointF& end);
    void cubicTo(const QPointF& control1, const QPointF& control2, const QPointF& end);
    void close();
    void addRect(const QRectF& rect);
    void addEllipse(const QRectF& rect);
    // Appends the other path's contours; this path keeps its own rule and stroke attributes.
    void appendPath(const CanvasPath& other);
    void appendPath(const QPainterPath& other);
    void clear();

    bool isEmpty() const;
    QPointF currentPoint() const { return m_path.currentPosition(); }
    // Tight bounds of the curves; controlPointBounds includes the off-curve control points.
    QRectF bounds() const;
    QRectF controlPointBounds() const;
    // Inside the fill according to the winding rule.
    bool contains(const QPointF& point) const;
    // Inside the outline that stroking this path would paint (width, caps, joins, dash).
    bool strokeContains(const QPointF& point) const;
    QPainterPath strokeOutline() const;

    // A copy that shares no geometry with this path. QPainterPath fills its bounds and QPainter's
    // converted form in lazily, on shared data: a canvas drawing on another thread than the path's
    // other users works on a copy of its own.
    CanvasPath detached() const;

    CanvasPath transformed(const QTransform& transform) const;
    void transform(const QTransform& transform);

    int elementCount() const { return m_path.elementCount(); }
    QPainterPath::Element elementAt(int index) const { return m_path.elementAt(index); }

    // The geometry with its fill rule set to this path's winding rule.
    const QPainterPath& painterPath() const { return m_path; }

    WindingRule windingRule() const
    {
        return m_path.fillRule() == Qt::OddEvenFill ? WindingRule::EvenOdd : WindingRule::NonZero;
    }
    void setWindingRule(WindingRule rule);

    // Stroke attributes. Width 0 strokes the thinnest line the device can show (one device pixel).
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double width);
    LineCap lineCap() const { return m_lineCap; }
    void setLineCap(LineCap cap) { m_lineCap = cap; }
    LineJoin lineJoin() const { return m_lineJoin; }
    void setLineJoin(LineJoin join) { m_lineJoin = join; }
    // Miter joins reach out to half the line width times this.
    static constexpr double kDefaultMiterLimit = 10.0;
    double miterLimit() const { return m_miterLimit; }
    void setMiterLimit(double limit);
    // How far beyond its control points a stroke of this path can paint: half the width times the
    // miter limit for joins, and enough for square caps. A hairline paints a device pixel beyond.
    double strokeReach() const { return m_lineWidth / 2 * std::max(m_miterLimit, kSquareCapReach); }

    // Dash lengths (dash, gap, dash, ...) in the path's own units, not in line widths, and the
    // distance into the pattern at which the stroke starts. An empty pattern is a solid line.
    const QVector<double>& dashPattern() const { return m_dashPattern; }
    double dashPhase() const { return m_dashPhase; }
    // Patterns whose lengths are all zero or that hold a negative or non-finite length are treated
    // as solid; a non-finite phase becomes 0.
    void setDash(const QVector<double>& lengths, double phase = 0.0);
    bool isDashed() const { return !m_dashPattern.isEmpty(); }

    bool operator==(const CanvasPath& other) const;
    bool operator!=(const CanvasPath& other) const { return !(*this == other); }

private:
    // A square cap's corner lies half the width times the square root of 2 from the end point.
    static constexpr double kSquareCapReach = 1.5;

    QPainterPath m_path;
    double m_lineWidth = 1.0;
    LineCap m_lineCap = LineCap::Butt;
    LineJoin m_lineJoin = LineJoin::Miter;
    double m_miterLimit = kDefaultMiterLimit;
    QVector<double> m_dashPattern;
    double m_dashPhase = 0.0;
};

} // namespace zandrel
