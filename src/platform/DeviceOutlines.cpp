#include "platform/DeviceOutlines.h"

#include <QPainterPathStroker>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <limits>

namespace zandrel {

namespace {

bool isFinite(const QPointF& point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

// A cubic as Qt's raster engine flattens it: halved until its control points lie close enough to
// its chord, nine times at most. The same arithmetic in the same order gives the same points, so
// that an outline fills exactly the pixels Qt's own fill or stroke of the path would.
struct Cubic {
    double x1, y1, x2, y2, x3, y3, x4, y4;

    void split(Cubic& first, Cubic& second) const
    {
        double c = (x2 + x3) * .5;
        first.x2 = (x1 + x2) * .5;
        second.x3 = (x3 + x4) * .5;
        first.x1 = x1;
        second.x4 = x4;
        first.x3 = (first.x2 + c) * .5;
        second.x2 = (second.x3 + c) * .5;
        first.x4 = second.x1 = (first.x3 + second.x2) * .5;
        c = (y2 + y3) / 2;
        first.y2 = (y1 + y2) * .5;
        second.y3 = (y3 + y4) * .5;
        first.y1 = y1;
        second.y4 = y4;
        first.y3 = (first.y2 + c) * .5;
        second.y2 = (second.y3 + c) * .5;
        first.y4 = second.y1 = (first.y3 + second.y2) * .5;
    }

    // Appends the end points of the flat pieces, in order.
    void flatten(double threshold, std::vector<QPointF>& points) const
    {
        constexpr int kLevels = 9;
        Cubic stack[kLevels + 1];
        int levels[kLevels + 1];
        stack[0] = *this;
        levels[0] = kLevels;
        int top = 0;
        while (top >= 0) {
            const Cubic& b = stack[top];
            const double y4y1 = b.y4 - b.y1;
            const double x4x1 = b.x4 - b.x1;
            double l = std::abs(x4x1) + std::abs(y4y1);
            double d = 0;
            if (l > 1.) {
                d = std::abs((x4x1) * (b.y1 - b.y2) - (y4y1) * (b.x1 - b.x2))
                    + std::abs((x4x1) * (b.y1 - b.y3) - (y4y1) * (b.x1 - b.x3));
            } else {
                d = std::abs(b.x1 - b.x2) + std::abs(b.y1 - b.y2) + std::abs(b.x1 - b.x3)
                    + std::abs(b.y1 - b.y3);
                l = 1.;
            }
            if (d < threshold * l || levels[top] == 0) {
                points.emplace_back(b.x4, b.y4);
                --top;
            } else {
                Cubic first;
                Cubic second;
                b.split(first, second);
                stack[top] = second;
                stack[top + 1] = first;
                levels[top + 1] = --levels[top];
                ++top;
            }
        }
    }
};

// QTransform::map for an affine transform, its case chosen once for all the points of a path: the
// same arithmetic for each case, so the same points.
class AffineMap {
public:
    explicit AffineMap(const QTransform& t)
        : m_type(t.type())
        , m_transform(t)
        , m11(t.m11())
        , m12(t.m12())
        , m21(t.m21())
        , m22(t.m22())
        , dx(t.dx())
        , dy(t.dy())
    {
    }

    QPointF map(const QPointF& p) const
    {
        switch (m_type) {
        case QTransform::TxNone:
            return p;
        case QTransform::TxTranslate:
            return QPointF(p.x() + dx, p.y() + dy);
        case QTransform::TxScale:
            return QPointF(m11 * p.x() + dx, m22 * p.y() + dy);
        case QTransform::TxRotate:
        case QTransform::TxShear:
            return QPointF(m11 * p.x() + m21 * p.y() + dx, m12 * p.x() + m22 * p.y() + dy);
        default:
            return m_transform.map(p);
        }
    }

private:
    QTransform::TransformationType m_type;
    QTransform m_transform;
    double m11, m12, m21, m22, dx, dy;
};

// The scale by which the raster engine sets how finely it flattens (a quarter of a device pixel).
double engineScale(const QTransform& t)
{
    if (t.type() <= QTransform::TxTranslate)
        return 1.0;
    if (t.type() == QTransform::TxScale)
        return std::max(std::abs(t.m11()), std::abs(t.m22()));
    const double columnX = t.m11() * t.m11() + t.m21() * t.m21();
    const double columnY = t.m12() * t.m12() + t.m22() * t.m22();
    const double rowX = t.m11() * t.m11() + t.m12() * t.m12();
    const double rowY = t.m21() * t.m21() + t.m22() * t.m22();
    if (std::abs(columnX - columnY) > std::abs(rowX - rowY))
        return std::sqrt(std::max(columnX, columnY));
    return std::sqrt(std::max(rowX, rowY));
}

DeviceOutline flattened(const QPainterPath& path, const QTransform& userToDevice)
{
    DeviceOutline outline;
    outline.rule = path.fillRule();
    std::vector<QPointF>& points = outline.points;
    points.reserve(size_t(path.elementCount()) * 2);
    const double scale = engineScale(userToDevice);
    const double threshold = scale == 0 ? 0.25 : 0.25 / scale;
    // In user space first, as the engine flattens; mapped to the device at the end of each contour.
    const AffineMap toDevice(userToDevice);
    size_t contourStart = 0;
    const auto endContour = [&] {
        if (points.size() == contourStart)
            return;
        std::pair<double, double> rows { std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity() };
        for (size_t i = contourStart; i < points.size(); ++i) {
            points[i] = toDevice.map(points[i]);
            rows.first = std::min(rows.first, points[i].y());
            rows.second = std::max(rows.second, points[i].y());
        }
        outline.contourEnds.push_back(int(points.size()));
        outline.contourRows.push_back(rows);
        contourStart = points.size();
    };
    const int count = path.elementCount();
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element& element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            endContour();
            points.emplace_back(element.x, element.y);
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < count && points.size() > contourStart) {
                const QPainterPath::Element& control2 = path.elementAt(i + 1);
                const QPainterPath::Element& end = path.elementAt(i + 2);
                const QPointF start = points.back();
                Cubic { start.x(), start.y(), element.x, element.y, control2.x, control2.y, end.x, end.y }
                    .flatten(threshold, points);
                i += 2;
                break;
            }
            [[fallthrough]];
        default:
            points.emplace_back(element.x, element.y);
            break;
        }
    }
    endContour();
    for (const QPointF& point : points) {
        if (!isFinite(point))
            return DeviceOutline();
    }
    for (size_t first = 0; first < points.size(); first += DeviceOutline::kChunk) {
        const size_t end = std::min(points.size(), first + DeviceOutline::kChunk);
        std::pair<double, double> rows { points[first].y(), points[first].y() };
        for (size_t i = first + 1; i < end; ++i) {
            rows.first = std::min(rows.first, points[i].y());
            rows.second = std::max(rows.second, points[i].y());
        }
        outline.chunkRows.push_back(rows);
    }
    return outline;
}

bool sameShape(const QPen& a, const QPen& b)
{
    return a.widthF() == b.widthF() && a.capStyle() == b.capStyle() && a.joinStyle() == b.joinStyle()
        && a.miterLimit() == b.miterLimit() && a.style() == b.style() && a.dashPattern() == b.dashPattern()
        && a.dashOffset() == b.dashOffset();
}

// A rotation and a uniform scale, mirrored or not: a circle stays a circle.
bool keepsAngles(const QTransform& t)
{
    const auto equal = [&](double a, double b) {
        return std::abs(a - b) <= 1e-9 * std::max({ std::abs(t.m11()), std::abs(t.m12()), 1e-300 });
    };
    return (equal(t.m11(), t.m22()) && equal(t.m12(), -t.m21()))
        || (equal(t.m11(), -t.m22()) && equal(t.m12(), t.m21()));
}

} // namespace

DeviceOutline DeviceOutline::of(const QPainterPath& path, const QTransform& userToDevice, const QPen* pen)
{
    if (!pen)
        return flattened(path, userToDevice);
    if (pen->style() == Qt::SolidLine) {
        // The raster engine fills this same outline for such a pen (in user space, then
        // transformed).
        return flattened(QPainterPathStroker(*pen).createStroke(path), userToDevice);
    }
    // Dashes are laid along the curves flattened to half a unit of the space they are laid in:
    // in device pixels, as the raster engine lays them, not in user units, which may be several
    // pixels. The transform keeps angles, so a pen scaled with it strokes the same outline.
    const double scale = std::sqrt(std::abs(userToDevice.determinant()));
    QPen devicePen = *pen;
    devicePen.setWidthF(pen->widthF() * scale);
    return flattened(QPainterPathStroker(devicePen).createStroke(userToDevice.map(path)), QTransform());
}

bool DeviceOutline::strokesAsOutline(const QPen& pen, const QTransform& userToDevice)
{
    if (pen.isCosmetic() || !(pen.widthF() > 0) || !userToDevice.isAffine())
        return false;
    if (pen.style() != Qt::SolidLine && (pen.style() != Qt::CustomDashLine || !keepsAngles(userToDevice)))
        return false;
    // Qt draws a pen at most a device pixel wide as a hairline, by a scale of the transform read
    // by columns or by rows; the smaller reading keeps clear of that route whichever it takes.
    const QTransform& t = userToDevice;
    const double columns
        = std::max(t.m11() * t.m11() + t.m21() * t.m21(), t.m12() * t.m12() + t.m22() * t.m22());
    const double rows
        = std::max(t.m11() * t.m11() + t.m12() * t.m12(), t.m21() * t.m21() + t.m22() * t.m22());
    const double scale = std::sqrt(std::min(columns, rows));
    return std::isfinite(scale) && pen.widthF() * scale > 1.01;
}

QPainterPath DeviceOutline::pathForRows(double top, double bottom) const
{
    QPainterPath path;
    path.setFillRule(rule);
    // A segment paints the rows its end points span.
    const double above = top - 1;
    const double below = bottom + 1;
    const auto side = [&](double y) { return y < above ? -1 : y > below ? 1 : 0; };
    QPolygonF kept;
    int start = 0;
    for (size_t contour = 0; contour < contourEnds.size(); ++contour) {
        const int end = contourEnds[contour];
        const int count = end - start;
        // Wholly within the rows: every point stays. Wholly on one side: nothing does.
        const auto& [contourTop, contourBottom] = contourRows[contour];
        if (contourTop >= above && contourBottom <= below) {
            kept.resize(count);
            std::copy(points.begin() + start, points.begin() + end, kept.begin());
            path.addPolygon(kept);
            start = end;
            continue;
        }
        if ((contourTop > below || contourBottom < above) && count > 2) {
            start = end;
            continue;
        }
        // A point whose neighbours (the contour is closed) lie on its side of the rows only
        // joins segments that paint nothing there: the chord between the neighbours, on that
        // side too, takes their place.
        const auto keeps = [&](int index) {
            const int here = side(points[size_t(index)].y());
            if (here == 0 || count <= 2)
                return true;
            const int before = index == start ? end - 1 : index - 1;
            const int after = index + 1 == end ? start : index + 1;
            return side(points[size_t(before)].y()) != here || side(points[size_t(after)].y()) != here;
        };
        kept.clear();
        for (int index = start; index < end; ++index) {
            // The inner points of a run wholly on one side have their neighbours there too.
            if (index % kChunk == 0 && index + kChunk <= end) {
                const auto& [lowest, highest] = chunkRows[size_t(index / kChunk)];
                if (lowest > below || highest < above) {
                    if (keeps(index))
                        kept.append(points[size_t(index)]);
                    index += kChunk - 1;
                }
            }
            if (keeps(index))
                kept.append(points[size_t(index)]);
        }
        if (!kept.isEmpty())
            path.addPolygon(kept);
        start = end;
    }
    return path;
}

QPainterPath DeviceOutline::path() const
{
    constexpr double kFar = 1e300;
    return pathForRows(-kFar, kFar);
}

std::shared_ptr<const DeviceOutline> OutlineSlot::outline(
    const QPainterPath& path, const QTransform& userToDevice, const QPen* pen)
{
    std::call_once(m_made, [&] {
        m_transform = userToDevice;
        if (pen)
            m_pen = *pen;
        m_outline = std::make_shared<const DeviceOutline>(DeviceOutline::of(path, userToDevice, pen));
        m_ready.store(true, std::memory_order_release);
    });
    const bool samePen = pen ? m_pen && sameShape(*pen, *m_pen) : !m_pen;
    if (samePen && m_transform == userToDevice)
        return m_outline;
    return std::make_shared<const DeviceOutline>(DeviceOutline::of(path, userToDevice, pen));
}

} // namespace zandrel
