#include "graphics/GraphicUtils.h"

#include "platform/Random.h"

#include <QTransform>
#include <QtGlobal>
#include <cstdio>
#include <numbers>

namespace zandrel {

namespace {

// Rounds through single precision. GCC 12's SLP vectorizer drops a double-to-float-to-double
// round trip done on two lanes at once (x and y), computing in double; the empty asm makes the
// float a value of its own that the optimiser cannot skip.
inline float toFloat(double v)
{
    float f = float(v);
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__SSE2__))
    asm("" : "+x"(f));
#elif defined(__GNUC__)
    asm("" : "+m"(f));
#endif
    return f;
}

// The process-wide sequence, so that decorations that reseed it repeat their draws.
int processRandom()
{
    return Random::next();
}

// Rotation by -angle after moving a to the origin: maps a to the origin and the direction
// a to b onto the positive x axis. Rotation comes first in call order because each call
// applies before the transform built so far.
QTransform lineFrame(double angle, const QPointF& a)
{
    QTransform t;
    t.rotateRadians(-angle);
    t.translate(-a.x(), -a.y());
    return t;
}

} // namespace

QPointF pointOnQuadCurve(const QPointF& p0, const QPointF& p1, const QPointF& p2, float t)
{
    const double td = t;
    const QPointF q0 = p0 + (p1 - p0) * td;
    const QPointF q1 = p1 + (p2 - p1) * td;
    return q0 + (q1 - q0) * td;
}

QPointF interpolatePoints(const QPointF& a, const QPointF& b, float t)
{
    return a + double(t) * (b - a);
}

QRectF scaleRect(const QRectF& r, float s)
{
    return QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s);
}

QRectF scaleRectAroundPoint(const QRectF& r, const QPointF& c, float sx, float sy)
{
    return QRectF(
        (r.x() - c.x()) * sx + c.x(), (r.y() - c.y()) * sy + c.y(), r.width() * sx, r.height() * sy);
}

QPointF scalePointAroundPoint(const QPointF& p, const QPointF& c, float sx, float sy)
{
    return QPointF((p.x() - c.x()) * sx + c.x(), (p.y() - c.y()) * sy + c.y());
}

QPointF scalePoint(const QPointF& p, float s)
{
    return QPointF(p.x() * s, p.y() * s);
}

QPointF mapPointFromRectToRect(const QPointF& p, const QRectF& from, const QRectF& to)
{
    const float ux = toFloat((p.x() - from.x()) / from.width());
    const float uy = toFloat((p.y() - from.y()) / from.height());
    return QPointF(ux * to.width() + to.x(), uy * to.height() + to.y());
}

QPointF mapPointIntoQuad(const QPointF* quad, const QRectF& r, const QPointF& p)
{
    if (!quad)
        return nanPoint();
    const double u = toFloat((p.x() - r.x()) / r.width());
    const double v = toFloat((p.y() - r.y()) / r.height());
    const QPointF a = quad[0] + (quad[1] - quad[0]) * u;
    const QPointF b = quad[2] + (quad[3] - quad[2]) * u;
    return a + (b - a) * v;
}

QRectF mapRectFromRectToRect(const QRectF& r, const QRectF& from, const QRectF& to)
{
    const float ux = toFloat((r.x() - from.x()) / from.width());
    const float uy = toFloat((r.y() - from.y()) / from.height());
    return QRectF(ux * to.width() + to.x(), uy * to.height() + to.y(),
        r.width() * (to.width() / from.width()), r.height() * (to.height() / from.height()));
}

QPointF rectCenter(const QRectF& r)
{
    return QPointF(r.x() + 0.5 * r.width(), r.y() + 0.5 * r.height());
}

float distanceBetweenPoints(const QPointF& a, const QPointF& b)
{
    return hypotf(toFloat(b.x() - a.x()), toFloat(b.y() - a.y()));
}

float distanceFromPointToSegment(const QPointF& a, const QPointF& b, const QPointF& p)
{
    const float ex = toFloat(a.x() - b.x());
    const float ey = toFloat(a.y() - b.y());
    const float l2 = ex * ex + ey * ey;
    double vx = a.x() - p.x();
    double vy = a.y() - p.y();
    if (l2 != 0.0f) {
        const double dot = (p.x() - a.x()) * (b.x() - a.x()) + (p.y() - a.y()) * (b.y() - a.y());
        const float t = toFloat(dot / l2);
        if (t > 1.0f) {
            vx = b.x() - p.x();
            vy = b.y() - p.y();
        } else if (!(t < 0.0f)) {
            // Also taken for a NaN t, as the comparisons above are false for it.
            vx = a.x() + (b.x() - a.x()) * t - p.x();
            vy = a.y() + (b.y() - a.y()) * t - p.y();
        }
    }
    const float fx = toFloat(vx);
    const float fy = toFloat(vy);
    return sqrtf(fx * fx + fy * fy);
}

bool isPointNearSegment(const QPointF& a, const QPointF& b, const QPointF& p, float lineWeight)
{
    return lineWeight * 0.5f >= distanceFromPointToSegment(a, b, p);
}

QPointF projectPointOntoLine(const QPointF& a, const QPointF& b, const QPointF& p)
{
    const float angle = atan2f(toFloat(b.y() - a.y()), toFloat(b.x() - a.x()));
    const QTransform t = lineFrame(angle, a);
    const QPointF q = t.map(p);
    // A rotation with a translation is always invertible.
    return t.inverted().map(QPointF(q.x(), 0.0));
}

bool isPointRightOfLine(const QPointF& a, const QPointF& b, const QPointF& p)
{
    return (p.y() - a.y()) * (b.x() - a.x()) - (p.x() - a.x()) * (b.y() - a.y()) < 0.0;
}

float parameterOfPointOnSegment(const QPointF& a, const QPointF& b, const QPointF& p)
{
    const float length = distanceBetweenPoints(a, b);
    if (length == 0.0f)
        return 0.0f;
    const QPointF foot = projectPointOntoLine(a, b, p);
    const float d1 = distanceBetweenPoints(foot, a);
    const float d2 = distanceBetweenPoints(foot, b);
    // One per cent of slack so that rounding does not push a foot on the segment off it.
    if (d1 + d2 <= 1.01f * length)
        return d1 / length;
    return d1 < d2 ? 0.0f : 1.0f;
}

RectipolarPoint angleOfVector(const QPointF& p)
{
    const float x = toFloat(p.x());
    const float y = toFloat(p.y());
    return RectipolarPoint { atan2f(y, x), fmaxf(fabsf(x), fabsf(y)) };
}

QPointF rectipolarToPoint(RectipolarPoint rp)
{
    if (!std::isfinite(rp.angle)) {
        qWarning("rectipolarToPoint in GraphicUtils: non-finite angle");
        return nanPoint();
    }
    float s = 0.0f;
    float c = 0.0f;
    sincosf(rp.angle, &s, &c);

    constexpr double pi = std::numbers::pi;
    constexpr double twoPi = 2.0 * pi;
    float a = toFloat(double(rp.angle) - pi / 4.0);
    // Stepping by 2 pi cannot move a float this large; reduce it first so the loops end.
    if (fabsf(a) > 1.0e4f)
        a = toFloat(std::fmod(double(a), twoPi));
    while (a < 0.0f)
        a = toFloat(a + twoPi);
    while (a > twoPi)
        a = toFloat(a - twoPi);

    const int side = int(floorf(toFloat(a / (pi / 2.0))));
    const float r = rp.radius;
    switch (side) {
    case 0:
    case 4: // a exactly 2 pi
        return QPointF(r * c / s, r);
    case 1:
        return QPointF(-r, r * s / -c);
    case 2:
        return QPointF(r * c / -s, -r);
    case 3:
        return QPointF(r, r * s / c);
    default:
        qWarning("rectipolarToPoint in GraphicUtils: angle out of range");
        return nanPoint();
    }
}

QPointF lineIntersection(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    const double t1 = std::atan2(b.y() - a.y(), b.x() - a.x());
    const double t2 = std::atan2(d.y() - c.y(), d.x() - c.x());
    if (t1 == t2)
        return nanPoint();
    // Parallel lines of opposite direction have no intersection either; without this test the
    // division below would give an infinite point that an isnan test lets through. A line a-b
    // without direction is not parallel to anything: it stands for the horizontal through a, as
    // its angle of 0 says, and meets c-d where that crosses it.
    const QPointF ab = b - a;
    const QPointF cd = d - c;
    const bool directed = !(ab.x() == 0.0 && ab.y() == 0.0) && !(cd.x() == 0.0 && cd.y() == 0.0);
    if (directed && ab.x() * cd.y() - ab.y() * cd.x() == 0.0)
        return nanPoint();

    const QTransform t = lineFrame(t1, a);
    const QPointF c1 = t.map(c);
    const QPointF d1 = t.map(d);
    const double denominator = c1.y() - d1.y();
    if (denominator == 0.0)
        return nanPoint();
    const double x = (d1.x() - c1.x()) * c1.y() / denominator + c1.x();
    const QPointF result = t.inverted().map(QPointF(x, 0.0));
    if (!std::isfinite(result.x()) || !std::isfinite(result.y()))
        return nanPoint();
    return result;
}

QPointF segmentIntersection(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    const QPointF x = lineIntersection(a, b, c, d);
    if (std::isnan(x.x()))
        return nanPoint();
    // The tolerance admits crossings that rounding puts just beyond a segment's end.
    if (!(distanceFromPointToSegment(a, b, x) <= 0.25f))
        return nanPoint();
    if (!(distanceFromPointToSegment(c, d, x) <= 0.25f))
        return nanPoint();
    return x;
}

QPointF pointAtDistanceToward(const QPointF& a, const QPointF& b, float dist)
{
    const float length = distanceBetweenPoints(a, b);
    if (length == 0.0f)
        return a;
    const float f = dist / length;
    return a + (b - a) * double(f);
}

QPointF pointPerpendicularToSegment(const QPointF& a, const QPointF& b, float along, float aside)
{
    const float length = distanceBetweenPoints(a, b);
    if (length == 0.0f)
        return a;
    const QPointF onSegment = a + (b - a) * double(along / length);
    const double side = aside / length;
    return onSegment + QPointF(-(b.y() - a.y()), b.x() - a.x()) * side;
}

QPointF pointExtendedFromPoint(const QPointF& a, const QPointF& b, float dist)
{
    const float length = distanceBetweenPoints(a, b);
    if (length == 0.0f)
        return a;
    const float f = (dist + length) / length;
    return a + (b - a) * double(f);
}

QPointF pixelAlignPoint(const QPointF& p)
{
    return QPointF(floorf(toFloat(p.x())) + 0.5f, floorf(toFloat(p.y())) + 0.5f);
}

QPointF pixelCenterAtScale(const QPointF& p, float s)
{
    return QPointF((floorf(toFloat(p.x() * s)) + 0.5f) / s, (floorf(toFloat(p.y() * s)) + 0.5f) / s);
}

QPointF pixelCornerAtScale(const QPointF& p, float s)
{
    return QPointF(floorf(toFloat(p.x() * s)) / s, floorf(toFloat(p.y() * s)) / s);
}

QRectF pixelAlignRect(const QRectF& r)
{
    const float minX = floorf(toFloat(r.x())) + 0.5f;
    const float minY = floorf(toFloat(r.y())) + 0.5f;
    const float maxX = floorf(toFloat(r.x() + r.width())) + 0.5f;
    const float maxY = floorf(toFloat(r.y() + r.height())) + 0.5f;
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

QPointF clampPointToRect(const QPointF& p, const QRectF& r)
{
    // fmaxf prefers the number to a NaN, so a NaN coordinate lands on the rect's origin.
    const float x = fminf(fmaxf(toFloat(p.x()), toFloat(r.x())), toFloat(r.x() + r.width()));
    const float y = fminf(fmaxf(toFloat(p.y()), toFloat(r.y())), toFloat(r.y() + r.height()));
    return QPointF(x, y);
}

QRectF keepRectInsideRect(const QRectF& r, const QRectF& bound)
{
    const double rMinX = r.x(), rMaxX = r.x() + r.width();
    const double rMinY = r.y(), rMaxY = r.y() + r.height();
    const double bMinX = bound.x(), bMaxX = bound.x() + bound.width();
    const double bMinY = bound.y(), bMaxY = bound.y() + bound.height();
    float dx = 0.0f;
    float dy = 0.0f;
    if (rMinX < bMinX)
        dx = toFloat(bMinX - rMinX);
    else if (rMaxX > bMaxX)
        dx = toFloat(bMaxX - rMaxX);
    if (rMinY < bMinY)
        dy = toFloat(bMinY - rMinY);
    else if (rMaxY > bMaxY)
        dy = toFloat(bMaxY - rMaxY);
    return r.translated(dx, dy);
}

float randomFloatBetween(float lo, float hi)
{
    const float fraction = toFloat((processRandom() % 1000000) / 1e6);
    return lo + (hi - lo) * fraction;
}

// The C library's formatting: it rounds the exact binary value (1.25 gives "1.2"), as the
// platform's string formatting does, where QString::asprintf rounds half away from zero.
QString describeRect(const QRectF& r)
{
    char text[256];
    std::snprintf(
        text, sizeof text, "Origin: %.1f, %.1f  Size: %.1f, %.1f", r.x(), r.y(), r.width(), r.height());
    return QString::fromLatin1(text);
}

QString describePoint(const QPointF& p)
{
    char text[128];
    std::snprintf(text, sizeof text, "X: %.2f, Y: %.2f", p.x(), p.y());
    return QString::fromLatin1(text);
}

} // namespace zandrel
