#include "CatalogArt.h"

#include "graphics/ColorFill.h"

#include <QStringList>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace zandrel::catalogart {

namespace {

// A closed curve of control points alone: its outline runs through the points midway between them.
CurvePtr closedFromControls(const QList<QPointF>& controls)
{
    auto made = std::make_shared<Curve>();
    for (const QPointF& control : controls)
        made->addPoint(control, false);
    made->setClosed(true);
    return made;
}

} // namespace

QList<CurvePtr> curves(const QString& shape, bool closed)
{
    QList<CurvePtr> result;
    for (const QString& part : shape.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        auto curve = std::make_shared<Curve>();
        for (QString token : part.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const bool onCurve = token.startsWith(QLatin1Char('@'));
            if (onCurve)
                token.remove(0, 1);
            const QStringList xy = token.split(QLatin1Char(','));
            bool okX = false;
            bool okY = false;
            const double x = xy.value(0).toDouble(&okX);
            const double y = xy.value(1).toDouble(&okY);
            if (xy.size() != 2 || !okX || !okY)
                throw std::invalid_argument("bad point in shape: " + token.toStdString());
            curve->addPoint(QPointF(x, y), onCurve);
        }
        curve->setClosed(closed);
        result.append(curve);
    }
    return result;
}

CurvePtr ellipse(const QPointF& centre, double rx, double ry)
{
    // Control points on a circumscribed octagon put the implied points on the ellipse. The octagon
    // is turned a little, so that a circle too has sides that lie on no axis or diagonal to start
    // from.
    QList<QPointF> controls;
    const double k = 1.0 / std::cos(M_PI / 8);
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 4 * i + M_PI / 8 + 0.2;
        controls.append(centre + QPointF(std::cos(a) * rx * k, std::sin(a) * ry * k));
    }
    return closedFromControls(controls);
}

Paint flat(const ZDLColorPtr& color, float adjust, float blur)
{
    return Paint { color, nullptr, 0, 0, adjust, blur };
}

QString rect(double x, double y, double width, double height)
{
    return QStringLiteral("@%1,%2 @%3,%2 @%3,%4 @%1,%4").arg(x).arg(y).arg(x + width).arg(y + height);
}

PartPathPtr softShadow(
    const ZDLColorPtr& shadow, const QPointF& centre, double rx, double ry, const QPointF& shift, float blur)
{
    QList<CurvePtr> box = curves(rect(centre.x() - rx * 2, centre.y() - ry * 2, rx * 4, ry * 4));
    box.append(ellipse(centre + shift, rx, ry));
    return path(box, flat(shadow, 0, blur));
}

PartPathPtr path(const QList<CurvePtr>& segments, const Paint& paint)
{
    auto shape = std::make_shared<PartPath>();
    shape->setSegments(segments);
    shape->setLineColor(paint.line ? paint.line : ZDLColor::noneColor());
    shape->setLineColorAdjust(paint.lineAdjust);
    shape->setLineWeight(paint.line ? paint.weight : 0.0f);
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(paint.fill ? paint.fill : ZDLColor::noneColor());
    fill->setFillColorAdjust(paint.fillAdjust);
    shape->setFill(fill);
    shape->setBlur(paint.blur);
    return shape;
}

PartPathPtr path(const QString& shape, const Paint& paint)
{
    return path(curves(shape), paint);
}

PartPathPtr withContents(PartPathPtr outline, const ElementList& contents)
{
    outline->setChildren(contents);
    return outline;
}

std::shared_ptr<PartGroup> group(const ElementList& children)
{
    auto made = std::make_shared<PartGroup>();
    made->setChildren(children);
    return made;
}

CharacterModelPtr newModel(const QString& name, int partsKind)
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(name);
    model->setCreator(QStringLiteral("Zandrel"));
    model->setPartsKind(partsKind);
    return model;
}

ZDLColorPtr Sheet::color(const QString& name, const QString& hex)
{
    return color(name, hex, 1.0f);
}

ZDLColorPtr Sheet::color(const QString& name, const QString& hex, float alpha)
{
    if (ZDLColorPtr existing = m_model->getColorNamed(name))
        return existing;
    ZDLColorPtr made = ZDLColor::colorFromHexWithAlphaNamed(hex, alpha, name);
    m_model->addColor(made);
    return made;
}

PartPtr Sheet::add(PartType type, const ElementList& drawing, const QPointF& at, std::optional<QPointF> pivot)
{
    return place(type, drawing, at, pivot, false);
}

PartPtr Sheet::addMirrored(
    PartType type, const ElementList& drawing, const QPointF& at, std::optional<QPointF> pivot)
{
    return place(type, drawing, at, pivot, true);
}

PartPtr Sheet::place(
    PartType type, const ElementList& drawing, const QPointF& at, std::optional<QPointF> pivot, bool mirror)
{
    auto part = std::make_shared<Part>();
    part->setChildren(drawing);
    part->setPartType(type);
    if (pivot)
        part->setOrigin(*pivot);
    if (mirror)
        part->transformBy(QTransform::fromScale(-1, 1));
    part->offsetBy(at, true);
    part->setModel(m_model);
    m_model->addPart(part);
    return part;
}

void Sheet::startRow(const QPointF& at)
{
    m_rowLeft = at.x();
    m_next = at.x();
    m_rowTop = at.y();
    m_rowHeight = 0;
}

void Sheet::flow(const PartPtr& part, double gap)
{
    const QRectF bounds = part->getBounds();
    if (m_next > m_rowLeft)
        m_next += gap;
    part->offsetBy(QPointF(m_next - bounds.left(), m_rowTop - bounds.top()), true);
    m_next += bounds.width();
    m_rowHeight = std::max(m_rowHeight, bounds.height());
}

void Sheet::nextRow(double gap)
{
    startRow(QPointF(m_rowLeft, m_rowTop + m_rowHeight + gap));
}

void Sheet::frameThumbnail(const QRectF& rect)
{
    const double scale = std::min(280.0 / rect.width(), 200.0 / rect.height());
    const QSizeF shown(280.0 / scale, 200.0 / scale);
    m_model->setThumbnailScale(float(scale));
    m_model->setThumbnailOrigin(rect.center() - QPointF(shown.width() / 2, shown.height() / 2));
}

CurvePtr smooth(const QList<QPointF>& controls)
{
    return closedFromControls(controls);
}

CurvePtr curve(const QList<QPointF>& points, const QList<bool>& onCurve)
{
    // A corner sharper than this is cut off short: an outline's mitred join would stick out of it as
    // a long spike.
    constexpr double kSharpest = 40.0 * M_PI / 180.0;
    constexpr double kCut = 0.8;
    auto made = std::make_shared<Curve>();
    const int n = int(points.size());
    for (int i = 0; i < n; ++i) {
        const bool on = onCurve.value(i, false);
        const QPointF p = points[i];
        const QPointF back = points[(i + n - 1) % n] - p;
        const QPointF ahead = points[(i + 1) % n] - p;
        const double backLength = std::hypot(back.x(), back.y());
        const double aheadLength = std::hypot(ahead.x(), ahead.y());
        if (on && backLength > kCut * 2 && aheadLength > kCut * 2) {
            const double cosine = (back.x() * ahead.x() + back.y() * ahead.y()) / (backLength * aheadLength);
            if (std::acos(std::clamp(cosine, -1.0, 1.0)) < kSharpest) {
                made->addPoint(p + back / backLength * kCut, true);
                made->addPoint(p + ahead / aheadLength * kCut, true);
                continue;
            }
        }
        made->addPoint(p, on);
    }
    made->setClosed(true);
    return made;
}

namespace {

// Points along the quadratic spline of the control points (ends on the line), eight a segment.
QList<QPointF> sampleLine(const QList<QPointF>& line)
{
    QList<QPointF> samples;
    const int n = int(line.size());
    if (n < 2)
        throw std::invalid_argument("a line needs two points");
    if (n == 2) {
        for (int s = 0; s <= 8; ++s)
            samples.append(line[0] + (line[1] - line[0]) * (s / 8.0));
        return samples;
    }
    QList<QPointF> ends { line[0] };
    for (int i = 1; i < n - 2; ++i)
        ends.append((line[i] + line[i + 1]) / 2);
    ends.append(line[n - 1]);
    for (int seg = 0; seg + 1 < ends.size(); ++seg) {
        const QPointF a = ends[seg];
        const QPointF c = line[seg + 1];
        const QPointF b = ends[seg + 1];
        for (int s = seg == 0 ? 0 : 1; s <= 8; ++s) {
            const double t = s / 8.0;
            samples.append(a * (1 - t) * (1 - t) + c * 2 * t * (1 - t) + b * t * t);
        }
    }
    return samples;
}

QPointF normalAt(const QList<QPointF>& samples, int i)
{
    const int m = int(samples.size());
    QPointF tangent = samples[std::min(m - 1, i + 1)] - samples[std::max(0, i - 1)];
    const double length = std::hypot(tangent.x(), tangent.y());
    if (length > 0)
        tangent /= length;
    return QPointF(-tangent.y(), tangent.x());
}

// The points of a centre line and, either side of each, half the width there (t from 0 to 1).
struct Sides {
    QList<QPointF> middle, left, right;
};

Sides sidesAlong(const QList<QPointF>& line, const std::function<double(double)>& widthAt)
{
    Sides sides;
    sides.middle = sampleLine(line);
    const int m = int(sides.middle.size());
    for (int i = 0; i < m; ++i) {
        const double half = widthAt(double(i) / (m - 1)) / 2;
        const QPointF normal = normalAt(sides.middle, i);
        sides.left.append(sides.middle[i] + normal * half);
        sides.right.append(sides.middle[i] - normal * half);
    }
    return sides;
}

} // namespace

CurvePtr taperedStroke(const QList<QPointF>& line, double width)
{
    const Sides sides = sidesAlong(line, [&](double t) { return width * std::pow(std::sin(M_PI * t), 0.6); });
    const int m = int(sides.middle.size());
    // Every other sample as a control point keeps the outline smooth and the file small.
    auto made = std::make_shared<Curve>();
    made->addPoint(sides.middle.first(), true);
    for (int i = 1; i < m - 1; ++i)
        made->addPoint(sides.left[i], i % 2 == 0);
    made->addPoint(sides.middle.last(), true);
    for (int i = m - 2; i >= 1; --i)
        made->addPoint(sides.right[i], i % 2 == 0);
    made->setClosed(true);
    return made;
}

CurvePtr tube(const QList<QPointF>& line, double startWidth, double endWidth)
{
    const Sides sides = sidesAlong(line, [&](double t) { return startWidth + (endWidth - startWidth) * t; });
    const QList<QPointF>& samples = sides.middle;
    const QList<QPointF>& left = sides.left;
    const QList<QPointF>& right = sides.right;
    const int m = int(samples.size());
    // Round caps: one control point beyond each end, on the line's direction.
    auto beyond = [&](int at, int inner, double half) {
        QPointF d = samples[at] - samples[inner];
        const double length = std::hypot(d.x(), d.y());
        return length > 0 ? samples[at] + d / length * half * 1.2 : samples[at];
    };
    auto made = std::make_shared<Curve>();
    made->addPoint(left.first(), true);
    for (int i = 1; i < m - 1; i += 2)
        made->addPoint(left[i], false);
    made->addPoint(left.last(), true);
    made->addPoint(beyond(m - 1, m - 2, endWidth / 2) + (left.last() - samples.last()), false);
    made->addPoint(beyond(m - 1, m - 2, endWidth / 2) + (right.last() - samples.last()), false);
    made->addPoint(right.last(), true);
    for (int i = m - 2; i >= 1; --i) {
        if (i % 2 == 1)
            made->addPoint(right[i], false);
    }
    made->addPoint(right.first(), true);
    made->addPoint(beyond(0, 1, startWidth / 2) + (right.first() - samples.first()), false);
    made->addPoint(beyond(0, 1, startWidth / 2) + (left.first() - samples.first()), false);
    made->setClosed(true);
    return made;
}

} // namespace zandrel::catalogart
