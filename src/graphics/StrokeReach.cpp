#include "graphics/StrokeReach.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace zandrel {

namespace {

std::optional<QPointF> unit(const QPointF& v)
{
    const double length = std::hypot(v.x(), v.y());
    if (!(length > 0) || !std::isfinite(length))
        return std::nullopt;
    return v / length;
}

// A segment as a join sees it: the directions it leaves its start and reaches its end in.
struct Segment {
    QPointF end;
    QPointF startDirection;
    QPointF endDirection;
};

std::optional<Segment> segment(const QPointF& start, const QPointF* control, const QPointF& end)
{
    const auto chord = unit(end - start);
    if (!control)
        return chord ? std::optional<Segment>(Segment { end, *chord, *chord }) : std::nullopt;
    // A quadratic leaves towards its control point and arrives from it; a control point on an
    // end leaves the chord's direction there.
    const auto out = unit(*control - start);
    const auto in = unit(end - *control);
    if (!out && !in)
        return std::nullopt;
    return Segment { end, out ? *out : *in, in ? *in : *out };
}

// The miter of a stroke arriving in direction a and leaving in direction b (unit vectors): its tip
// lies along a - b, the bisector of the outside of the turn, at half the width over cos(turn / 2),
// which is (a - b) / |a x b| for a half width of 1.
void addJoin(
    std::vector<MiterTip>& tips, const QPointF& corner, const QPointF& a, const QPointF& b, double miterLimit)
{
    const double cross = std::abs(a.x() * b.y() - a.y() * b.x());
    if (!(cross > 1e-9))
        return; // straight on (no corner) or turning straight back (bevelled)
    const QPointF reach = (a - b) / cross;
    if (reach.x() * reach.x() + reach.y() * reach.y() > miterLimit * miterLimit)
        return; // bevelled: nothing beyond half the width
    if (std::abs(reach.x()) > 1.0 || std::abs(reach.y()) > 1.0)
        tips.push_back({ corner, reach });
}

// Grows bounds to hold points, and a quadratic's extremes between its ends.
class ExactBounds {
public:
    void add(const QPointF& p)
    {
        if (m_empty) {
            m_min = m_max = p;
            m_empty = false;
            return;
        }
        m_min = QPointF(std::min(m_min.x(), p.x()), std::min(m_min.y(), p.y()));
        m_max = QPointF(std::max(m_max.x(), p.x()), std::max(m_max.y(), p.y()));
    }
    void addQuadratic(const QPointF& start, const QPointF& control, const QPointF& end)
    {
        add(end);
        // Each coordinate of the curve turns where its derivative, linear in t, is zero.
        for (const double t :
            { extremeAt(start.x(), control.x(), end.x()), extremeAt(start.y(), control.y(), end.y()) }) {
            if (t > 0 && t < 1)
                add(start * ((1 - t) * (1 - t)) + control * (2 * t * (1 - t)) + end * (t * t));
        }
    }
    QRectF rect() const { return m_empty ? QRectF() : QRectF(m_min, m_max); }

private:
    static double extremeAt(double a, double b, double c)
    {
        const double denominator = a - 2 * b + c;
        return denominator != 0 ? (a - b) / denominator : -1;
    }

    QPointF m_min;
    QPointF m_max;
    bool m_empty = true;
};

} // namespace

StrokeOutline strokeOutlineOf(const DrawCommandList& commands, double miterLimit)
{
    std::vector<MiterTip> tips;
    ExactBounds bounds;
    QPointF start;
    QPointF current;
    std::optional<Segment> first;
    std::optional<Segment> previous;
    auto endSubpath = [&](bool closed) {
        if (previous && first && (closed || current == start))
            addJoin(tips, start, previous->endDirection, first->startDirection, miterLimit);
        first.reset();
        previous.reset();
    };
    auto add = [&](const std::optional<Segment>& next) {
        if (!next)
            return;
        if (previous)
            addJoin(tips, current, previous->endDirection, next->startDirection, miterLimit);
        else
            first = next;
        previous = next;
        current = next->end;
    };
    for (const DrawCommand& command : commands) {
        switch (command.command()) {
        case DrawCommandMove:
            endSubpath(false);
            start = current = command.point1();
            bounds.add(start);
            break;
        case DrawCommandLine:
            bounds.add(command.point1());
            add(segment(current, nullptr, command.point1()));
            break;
        case DrawCommandQuadCurve: {
            const QPointF control = command.point1();
            bounds.addQuadratic(current, control, command.point2());
            add(segment(current, &control, command.point2()));
            break;
        }
        case DrawCommandClose:
            add(segment(current, nullptr, start));
            endSubpath(true);
            current = start;
            break;
        default:
            break;
        }
    }
    endSubpath(false);
    return { bounds.rect(), std::move(tips) };
}

QRectF strokeBounds(const StrokeOutline& outline, double lineWidth)
{
    if (!(lineWidth > 0))
        return outline.bounds;
    const double half = lineWidth / 2;
    double left = outline.bounds.left() - half;
    double top = outline.bounds.top() - half;
    double right = outline.bounds.right() + half;
    double bottom = outline.bounds.bottom() + half;
    for (const MiterTip& tip : outline.tips) {
        const QPointF at = tip.corner + tip.reach * half;
        left = std::min(left, at.x());
        right = std::max(right, at.x());
        top = std::min(top, at.y());
        bottom = std::max(bottom, at.y());
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

} // namespace zandrel
