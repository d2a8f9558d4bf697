#pragma once

// Plane geometry shared by drawing, hit-testing and editing.
//
// Points and rects are double precision; scale factors, fractions, distances and angles are
// float, and the functions that return a float compute it in single precision on purpose:
// stored documents and callers compare against single-precision results.

#include <QPointF>
#include <QRectF>
#include <QString>
#include <cmath>
#include <limits>

namespace zandrel {

// Both coordinates a quiet NaN: "no intersection". Callers test a coordinate with std::isnan.
inline QPointF nanPoint()
{
    const double n = std::numeric_limits<double>::quiet_NaN();
    return QPointF(n, n);
}

inline bool isNanPoint(const QPointF& p)
{
    return std::isnan(p.x()) || std::isnan(p.y());
}

// Numbers read from files may be NaN or infinite; where a drawing would otherwise spread them
// into bounds, hit tests and layouts, they count as 0.
inline float finiteOrZero(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

// A point as the direction from the origin (radians, as atan2f gives it) and the half-side of
// the origin-centred square on whose border the point lies (max(|x|, |y|)).
struct RectipolarPoint {
    float angle = 0.0f;
    float radius = 0.0f;
};

// Interpolation, scaling and mapping.
QPointF pointOnQuadCurve(const QPointF& p0, const QPointF& p1, const QPointF& p2, float t);
QPointF interpolatePoints(const QPointF& a, const QPointF& b, float t);
QRectF scaleRect(const QRectF& r, float s);
QRectF scaleRectAroundPoint(const QRectF& r, const QPointF& c, float sx, float sy);
QPointF scalePointAroundPoint(const QPointF& p, const QPointF& c, float sx, float sy);
QPointF scalePoint(const QPointF& p, float s);
QPointF mapPointFromRectToRect(const QPointF& p, const QRectF& from, const QRectF& to);
// quad holds the four points that the rect's corners map to, in the order
// (minX, minY), (maxX, minY), (minX, maxY), (maxX, maxY). A null quad gives the NaN point.
QPointF mapPointIntoQuad(const QPointF* quad, const QRectF& r, const QPointF& p);
QRectF mapRectFromRectToRect(const QRectF& r, const QRectF& from, const QRectF& to);
QPointF rectCenter(const QRectF& r);

// Distances, sides and projections.
float distanceBetweenPoints(const QPointF& a, const QPointF& b);
float distanceFromPointToSegment(const QPointF& a, const QPointF& b, const QPointF& p);
bool isPointNearSegment(const QPointF& a, const QPointF& b, const QPointF& p, float lineWeight);
QPointF projectPointOntoLine(const QPointF& a, const QPointF& b, const QPointF& p);
// True when p lies to the right of the direction a to b (y up).
bool isPointRightOfLine(const QPointF& a, const QPointF& b, const QPointF& p);
float parameterOfPointOnSegment(const QPointF& a, const QPointF& b, const QPointF& p);
RectipolarPoint angleOfVector(const QPointF& p);
// A non-finite angle gives the NaN point.
QPointF rectipolarToPoint(RectipolarPoint rp);

// Intersections and constructed points. Both intersections give the NaN point when there is none,
// parallel lines of either direction included. A line a-b of no length counts as the horizontal
// through a; a line c-d of no length meets nothing.
QPointF lineIntersection(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d);
QPointF segmentIntersection(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d);
QPointF pointAtDistanceToward(const QPointF& a, const QPointF& b, float dist);
// From the point at distance along on a-b, distance aside to the left of the direction a to b (y up).
QPointF pointPerpendicularToSegment(const QPointF& a, const QPointF& b, float along, float aside);
// b pushed a further dist away from a.
QPointF pointExtendedFromPoint(const QPointF& a, const QPointF& b, float dist);

// Pixels, clamping, random numbers and descriptions.
QPointF pixelAlignPoint(const QPointF& p);
QPointF pixelCenterAtScale(const QPointF& p, float s);
QPointF pixelCornerAtScale(const QPointF& p, float s);
QRectF pixelAlignRect(const QRectF& r);
QPointF clampPointToRect(const QPointF& p, const QRectF& r);
QRectF keepRectInsideRect(const QRectF& r, const QRectF& bound);
// lo + (hi - lo) x a fraction in [0, 1) on a grid of a millionth, from the process-wide generator.
float randomFloatBetween(float lo, float hi);
QString describeRect(const QRectF& r);
QString describePoint(const QPointF& p);

} // namespace zandrel

#include "graphics/BoundsAccumulator.h"
