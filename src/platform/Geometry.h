#pragma once

#include <QPointF>
#include <QRectF>

namespace zandrel {

// Rect and point rules of the platform the model was designed on. They differ from QRectF's own
// (which treats touching rects as intersecting and unites with empty ones), so model code uses these.

// Empty when the width or the height is not positive (NaN included).
inline bool isEmptyRect(const QRectF& r)
{
    return !(r.width() > 0 && r.height() > 0);
}

// Ignores an empty rect; two empty rects give the zero rect.
QRectF unionRect(const QRectF& a, const QRectF& b);
// False for empty rects and for rects that only share an edge.
bool intersectsRect(const QRectF& a, const QRectF& b);
// The overlap, or the zero rect when the rects do not intersect.
QRectF intersectionRect(const QRectF& a, const QRectF& b);
// Half-open: the min edges are inside, the max edges are not.
bool pointInRect(const QPointF& p, const QRectF& r);
// A positive inset shrinks the rect on every side, a negative one grows it.
QRectF insetRect(const QRectF& r, double dx, double dy);
// The smallest rect with whole-number edges that encloses r; an empty rect gives the zero rect.
QRectF integralRect(const QRectF& r);
QRectF offsetRect(const QRectF& r, double dx, double dy);
QPointF centerOfRect(const QRectF& r);
// Exact comparisons (QPointF's and QRectF's operators compare fuzzily).
bool equalPoints(const QPointF& a, const QPointF& b);
bool equalRects(const QRectF& a, const QRectF& b);

} // namespace zandrel
