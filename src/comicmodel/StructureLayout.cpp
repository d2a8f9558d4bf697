#include "comicmodel/StructureLayout.h"

#include "graphics/GraphicUtils.h"

#include <cmath>

namespace zandrel {

namespace {

// The child's extent along the first and the second side (left and right for a stack, top and
// bottom for a row).
std::pair<float, float> sideLengths(const ComicStructureElement& child, bool stacked)
{
    if (stacked)
        return { distanceBetweenPoints(child.topLeft(), child.bottomLeft()),
            distanceBetweenPoints(child.topRight(), child.bottomRight()) };
    return { distanceBetweenPoints(child.topLeft(), child.topRight()),
        distanceBetweenPoints(child.bottomLeft(), child.bottomRight()) };
}

// A child's share of a side; children that have all collapsed to a line (or a total that
// overflowed) share the side equally instead of dividing by zero.
float share(float length, float total, std::size_t count)
{
    if (total > 0.0f && std::isfinite(total) && std::isfinite(length))
        return length / total;
    return 1.0f / float(count);
}

} // namespace

void distributeChildren(const ComicStructureList& children, ContentArrangement arrangement,
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    if (children.empty())
        return;
    const bool stacked = arrangement == ContentArrangement::StackedTopToBottom;
    // The first side runs from firstStart to firstEnd, the second from secondStart to secondEnd.
    const QPointF firstStart = topLeft;
    const QPointF firstEnd = stacked ? bottomLeft : topRight;
    const QPointF secondStart = stacked ? topRight : bottomLeft;
    const QPointF secondEnd = bottomRight;

    float totalFirst = 0.0f;
    float totalSecond = 0.0f;
    for (const auto& child : children) {
        const auto [first, second] = sideLengths(*child, stacked);
        totalFirst += first;
        totalSecond += second;
    }

    // A copy: a child's layout must not disturb the walk.
    const ComicStructureList walk = children;
    float fFirst = 0.0f;
    float fSecond = 0.0f;
    for (const auto& child : walk) {
        const QPointF firstFrom = interpolatePoints(firstStart, firstEnd, fFirst);
        const QPointF secondFrom = interpolatePoints(secondStart, secondEnd, fSecond);
        const auto [first, second] = sideLengths(*child, stacked);
        fFirst += share(first, totalFirst, walk.size());
        fSecond += share(second, totalSecond, walk.size());
        const QPointF firstTo = interpolatePoints(firstStart, firstEnd, fFirst);
        const QPointF secondTo = interpolatePoints(secondStart, secondEnd, fSecond);
        if (stacked)
            child->setTopLeftTopRightBottomLeftBottomRight(firstFrom, secondFrom, firstTo, secondTo);
        else
            child->setTopLeftTopRightBottomLeftBottomRight(firstFrom, firstTo, secondFrom, secondTo);
    }
}

} // namespace zandrel
