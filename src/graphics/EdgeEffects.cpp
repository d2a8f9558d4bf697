#include "graphics/EdgeEffects.h"

#include "graphics/CurveIterator.h"
#include "graphics/GraphicUtils.h"
#include "platform/Random.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace zandrel {

namespace {

constexpr int kWalkPrecision = 16;
// The seed of the "around" effects: any fixed value keeps their outlines steady.
constexpr unsigned kAroundSeed = 100;
// How far the hand-drawn effect lets a point stray from the outline, in x and in y.
constexpr float kJitter = 1.75f;

// A fraction in [0, 1) on a grid of a millionth.
float fraction()
{
    return randomFloatBetween(0.0f, 1.0f);
}

// An outline that can be walked: flattened to something, of finite length.
bool walkable(const CurveIterator& it)
{
    return !it.lineCommands().empty() && std::isfinite(it.length());
}

// The point at distance d, leaving the iterator there.
QPointF pointAtDistance(CurveIterator& it, float d)
{
    it.setTraverseDistance(d);
    return it.currentPoint();
}

// The common frame of the four "around" effects. The step callback gets the distance d, the step
// length S, the centre to push from and the iterator, and appends one step's points.
using AroundStep
    = std::function<void(Curve& result, CurveIterator& it, float d, float s, const QPointF& centre)>;

CurvePtr pathAroundCurve(const Curve& curve, float step, const AroundStep& addStep)
{
    Random::seed(kAroundSeed);
    auto result = std::make_shared<Curve>();
    result->setClosed(true);
    CurveIterator it(curve, kWalkPrecision);
    const float length = it.length();
    if (!walkable(it) || !(length > 0.0f) || !(step > 0.0f))
        return result;
    const float count = roundf(length / step);
    // Shorter than half a step: no step fits.
    if (!(count >= 1.0f))
        return result;
    // A tiny step on a long outline would make millions of points and, once d stops growing in
    // single precision, never end: cap the count of steps instead.
    const bool capped = count > float(kEdgeEffectMaxSteps);
    const float s = capped ? length / float(kEdgeEffectMaxSteps) : it.getDivisibleSegmentLengthNear(step);
    // Adding S count times may fall short of the length by more than S/2 in single precision when
    // the count is large; never take more steps than S divides the outline into.
    const int steps = capped ? kEdgeEffectMaxSteps : int(count);
    const QRectF b = it.bounds();
    const QPointF centre(b.x() + b.width() * 0.5, b.y() + b.height() * 0.5);
    if (length - s / 2 > 0.0f) {
        float d = 0.0f;
        int taken = 0;
        do {
            addStep(*result, it, d, s, centre);
            d = d + s;
        } while (length - s / 2 > d && ++taken < steps);
    }
    return result;
}

// p pushed a units further from the centre.
QPointF push(const QPointF& centre, const QPointF& p, float a)
{
    return pointExtendedFromPoint(centre, p, a);
}

float sideSign(bool inward)
{
    static constexpr float kSigns[2] = { -1.0f, 1.0f };
    return kSigns[inward ? 0 : 1];
}

CurvePtr markedPath(const Curve& curve, float step, float amp, bool zigzag)
{
    auto result = std::make_shared<Curve>();
    CurveIterator it(curve, kWalkPrecision);
    const float length = it.length();
    if (!walkable(it)) {
        result->setClosed(curve.closed());
        return result;
    }
    // A zero or tiny step would split the outline into countless parts.
    const float minStep = length / float(kEdgeEffectMaxSteps);
    if (step >= 0.0f && step < minStep)
        step = minStep;
    // The side amplitude alternates from part to part over the whole walk, across marks too.
    float w0 = finiteOrZero(amp);
    for (;;) {
        const float m = it.nextMark();
        float t = it.traverseDistance();
        const float span = m - t;
        if (span > 0.0f) {
            float part = span;
            if (span > step / 2) {
                // An even number of parts per mark-to-mark span, so each span ends on the side it began.
                float n = roundf(span / step);
                if (!(n >= 1.0f))
                    n = 1.0f;
                n = std::min(n, float(kEdgeEffectMaxSteps));
                part = span / n / 2;
            }
            t = it.traverseDistance();
            while (t < m - 0.01f) {
                const QPointF a = pointAtDistance(it, float(double(t) + double(part) * 0.25));
                const QPointF b = pointAtDistance(it, float(double(t) + double(part) * 0.75));
                const float w = -w0 * 0.5f;
                w0 = -w0;
                if (zigzag) {
                    result->addPoint(pointPerpendicularToSegment(a, b, 0.5f, w), true);
                } else {
                    result->addPoint(pointPerpendicularToSegment(a, b, 0.0f, w), false);
                    result->addPoint(pointPerpendicularToSegment(a, b, part / 2, w), false);
                }
                const float next = t + part;
                if (!(next > t))
                    break;
                t = next;
            }
        }
        result->addPoint(pointAtDistance(it, m), true);
        // Written as "not below" so that no value can keep the walk going.
        if (!(m < length))
            break;
    }
    result->setClosed(curve.closed());
    return result;
}

// The next distance of a walk toward m; jumps to m when single precision cannot move d any more.
float advance(float d, float by, float m)
{
    const float next = std::min(m, d + by);
    return next > d ? next : m;
}

// A span whose chord is nearly its length: points on the chord, a random 3 to 60 units apart, each
// moved aside by up to the jitter.
void addStraightSpan(Curve& result, CurveIterator& it, float prev, float m, const QPointF& p0,
    const QPointF& p1, float stretch)
{
    float d = prev;
    for (;;) {
        d = advance(d, (3.0f + 57.0f * fraction()) * stretch, m);
        it.setTraverseDistance(d);
        if (d >= m)
            break;
        result.addPoint(pointPerpendicularToSegment(p0, p1, d - prev, 3.5f * fraction() - kJitter), false);
    }
    result.addPoint(pointAtDistance(it, m), true);
}

// A curved span: jittered points every few units along it, then thinned and refitted into a smooth
// wobbly curve that ends on the source's vertex.
void addCurvedSpan(
    Curve& result, CurveIterator& it, float prev, float m, float span, bool endOnCurve, float stretch)
{
    static constexpr float kSteps[2] = { 7.0f, 4.0f };
    const int first = result.numPoints();
    const float step = kSteps[span < 30.0f ? 1 : 0] * stretch;
    float d = std::min(m, prev + step);
    it.setTraverseDistance(d);
    float jx = 0.0f;
    float jy = 0.0f;
    while (d < m) {
        const float r1 = 10.0f * fraction();
        const float rx = fraction();
        if (r1 <= 3.0f) {
            // About three times in ten a fresh jitter, otherwise a small wander from the last one.
            jx = 3.5f * rx - kJitter;
            jy = 3.5f * fraction() - kJitter;
        } else {
            jx = std::clamp(jx + (rx - 0.5f), -kJitter, kJitter);
            jy = std::clamp(jy + (fraction() - 0.5f), -kJitter, kJitter);
        }
        result.addPoint(it.currentPoint() + QPointF(jx, jy), false);
        d = advance(d, step, m);
        it.setTraverseDistance(d);
    }
    result.addPoint(it.currentPoint(), endOnCurve);
    result.reducePointsFrom(first, result.numPoints() - 2, 0.3f);
    result.moveOffcurvePointsToHitInputPointsFrom(first, result.numPoints() - 2);
}

} // namespace

CurvePtr spikePathAroundCurve(const Curve& curve, bool inward, float step, float amp, float offset)
{
    const float s = sideSign(inward);
    amp = finiteOrZero(amp);
    offset = finiteOrZero(offset);
    return pathAroundCurve(
        curve, step, [&](Curve& result, CurveIterator& it, float d, float len, const QPointF& c) {
            const float base = (3.0f * fraction() - 1.0f + offset) * s;
            result.addPoint(push(c, pointAtDistance(it, d), base), true);
            const float tip = (amp / 2 + fraction() * amp / 2 + offset) * s;
            result.addPoint(push(c, pointAtDistance(it, d + len / 2), tip), true);
        });
}

CurvePtr scallopPathAroundCurve(const Curve& curve, float step, float amp)
{
    amp = finiteOrZero(amp);
    // The control point lies between step - 3 and step units inside the outline: the requested step,
    // not the adjusted one, sets how deep the arcs bow.
    return pathAroundCurve(
        curve, step, [&](Curve& result, CurveIterator& it, float d, float len, const QPointF& c) {
            result.addPoint(push(c, pointAtDistance(it, d), -step + 3.0f * fraction()), false);
            const float tip = amp / 2 + fraction() * amp / 2;
            result.addPoint(push(c, pointAtDistance(it, d + len / 2), tip), true);
        });
}

CurvePtr roughSpikePathAroundCurve(const Curve& curve, bool inward, float step, float amp, float offset)
{
    const float s = sideSign(inward);
    amp = finiteOrZero(amp);
    offset = finiteOrZero(offset);
    return pathAroundCurve(
        curve, step, [&](Curve& result, CurveIterator& it, float d, float len, const QPointF& c) {
            const float base = (3.0f * fraction() - 1.0f + offset) * s;
            result.addPoint(push(c, pointAtDistance(it, d), base), true);
            // Both control points of the tip at one height: a rounded bump.
            const float a = (0.6f * amp + 0.4f * amp * fraction() + offset) * s;
            result.addPoint(push(c, pointAtDistance(it, d + len / 6), a), false);
            result.addPoint(push(c, pointAtDistance(it, d + 5 * len / 6), a), false);
        });
}

CurvePtr roughScallopPathAroundCurve(const Curve& curve, float step, float amp)
{
    amp = finiteOrZero(amp);
    return pathAroundCurve(
        curve, step, [&](Curve& result, CurveIterator& it, float d, float len, const QPointF& c) {
            result.addPoint(push(c, pointAtDistance(it, d), 3.0f * fraction() - 4.0f), false);
            result.addPoint(push(c, pointAtDistance(it, d + len / 4), 3.0f * fraction() - 4.0f), false);
            const float a = 0.6f * amp + 0.4f * amp * fraction();
            result.addPoint(push(c, pointAtDistance(it, d + len / 2), a), false);
            result.addPoint(push(c, pointAtDistance(it, d + 3 * len / 4), a), false);
        });
}

CurvePtr markedPathAlongCurve(const Curve& curve, float step, float amp)
{
    return markedPath(curve, step, amp, false);
}

CurvePtr markedPathAlongCurveOpen(const Curve& curve, float step, float amp)
{
    return markedPath(curve, step, amp, true);
}

CurvePtr handDrawnPathFromCurve(const Curve& curve)
{
    // The walk must start on the curve so that every span ends on a source vertex: a closed curve
    // that starts off the curve is walked from its first on-curve point, on a copy.
    const Curve* working = &curve;
    CurvePtr rotated;
    bool endOnCurve = true;
    if (curve.closed() && curve.numPoints() > 0 && !curve.points()[0]->onCurve()) {
        const CurvePointList& points = curve.points();
        const auto on = std::find_if(
            points.begin() + 1, points.end(), [](const CurvePointPtr& p) { return p->onCurve(); });
        if (on != points.end()) {
            rotated = Curve::initByCopying(curve);
            rotated->setFirstPoint(int(on - points.begin()));
            working = rotated.get();
        } else {
            // Nothing to end a span on: all of it stays off the curve.
            endOnCurve = false;
        }
    }

    auto result = std::make_shared<Curve>();
    CurveIterator it(*working, kWalkPrecision);
    const float length = it.length();
    if (!walkable(it)) {
        result->setClosed(working->closed());
        return result;
    }
    // Outlines of the same whole length get the same draws.
    Random::seed(unsigned(std::min(double(length), 4294967295.0)));
    const float stretch = std::max(1.0f, length / kHandDrawnMaxPlainLength);

    // A closed curve gets its start point last, as the end of its final span.
    if (!working->closed())
        result->addPoint(it.currentPoint(), true);
    float prev = 0.0f;
    for (;;) {
        const float m = it.nextMark();
        const QPointF p0 = it.currentPoint();
        const QPointF p1 = it.pointAt(m);
        const float span = m - prev;
        const float chord = distanceBetweenPoints(p0, p1);
        if (1.05f * chord > span)
            addStraightSpan(*result, it, prev, m, p0, p1, stretch);
        else
            addCurvedSpan(*result, it, prev, m, span, endOnCurve, stretch);
        prev = m;
        if (!(m < length))
            break;
    }
    result->setClosed(working->closed());
    return result;
}

} // namespace zandrel
