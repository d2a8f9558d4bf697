#include "platform/Geometry.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

QRectF unionRect(const QRectF& a, const QRectF& b)
{
    const bool aEmpty = isEmptyRect(a);
    const bool bEmpty = isEmptyRect(b);
    if (aEmpty && bEmpty)
        return QRectF();
    if (aEmpty)
        return b;
    if (bEmpty)
        return a;
    const double left = std::min(a.left(), b.left());
    const double top = std::min(a.top(), b.top());
    const double right = std::max(a.right(), b.right());
    const double bottom = std::max(a.bottom(), b.bottom());
    return QRectF(left, top, right - left, bottom - top);
}

bool intersectsRect(const QRectF& a, const QRectF& b)
{
    // Written as positive comparisons so that NaN coordinates never count as overlapping.
    return !isEmptyRect(a) && !isEmptyRect(b) && a.left() < b.right() && b.left() < a.right()
        && a.top() < b.bottom() && b.top() < a.bottom();
}

QRectF intersectionRect(const QRectF& a, const QRectF& b)
{
    if (!intersectsRect(a, b))
        return QRectF();
    const double left = std::max(a.left(), b.left());
    const double top = std::max(a.top(), b.top());
    const double right = std::min(a.right(), b.right());
    const double bottom = std::min(a.bottom(), b.bottom());
    return QRectF(left, top, right - left, bottom - top);
}

bool pointInRect(const QPointF& p, const QRectF& r)
{
    return p.x() >= r.left() && p.x() < r.left() + r.width() && p.y() >= r.top()
        && p.y() < r.top() + r.height();
}

QRectF insetRect(const QRectF& r, double dx, double dy)
{
    return QRectF(r.x() + dx, r.y() + dy, r.width() - 2 * dx, r.height() - 2 * dy);
}

QRectF integralRect(const QRectF& r)
{
    if (isEmptyRect(r))
        return QRectF();
    const double left = std::floor(r.left());
    const double top = std::floor(r.top());
    return QRectF(left, top, std::ceil(r.left() + r.width()) - left, std::ceil(r.top() + r.height()) - top);
}

QRectF offsetRect(const QRectF& r, double dx, double dy)
{
    return QRectF(r.x() + dx, r.y() + dy, r.width(), r.height());
}

QPointF centerOfRect(const QRectF& r)
{
    return QPointF(r.x() + r.width() / 2, r.y() + r.height() / 2);
}

bool equalPoints(const QPointF& a, const QPointF& b)
{
    return a.x() == b.x() && a.y() == b.y();
}

bool equalRects(const QRectF& a, const QRectF& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

} // namespace zandrel
