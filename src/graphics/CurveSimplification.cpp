// Freehand simplification of Curve: dense mouse input thinned to a light spline.

#include "graphics/Curve.h"
#include "graphics/GraphicUtils.h"

#include <algorithm>
#include <utility>

namespace zandrel {

std::vector<int> Curve::douglasPeuckerReduceSection(
    const CurvePointList& points, int first, int last, double tolerance)
{
    std::vector<int> kept;
    const int n = static_cast<int>(points.size());
    if (first < 0 || last >= n || first >= last)
        return kept;
    // An explicit stack instead of recursion, so that long straight-ish input cannot overflow the
    // call stack; popping (first, index) before (index, last) keeps the recursive order.
    std::vector<std::pair<int, int>> sections { { first, last } };
    while (!sections.empty()) {
        const auto [from, to] = sections.back();
        sections.pop_back();
        if (from >= to)
            continue;
        const QPointF& a = points[from]->point();
        const QPointF& b = points[to]->point();
        float farthest = 0.0f;
        int index = -1;
        for (int i = from; i < to; ++i) {
            // Only a strictly greater distance replaces: the first farthest point wins.
            const float d = distanceFromPointToSegment(a, b, points[i]->point());
            if (d > farthest) {
                farthest = d;
                index = i;
            }
        }
        if (index >= 0 && farthest > tolerance) {
            kept.push_back(index);
            sections.emplace_back(index, to);
            sections.emplace_back(from, index);
        }
    }
    return kept;
}

std::vector<int> Curve::douglasPeuckerReduction(const CurvePointList& points, double tolerance) const
{
    const int n = static_cast<int>(points.size());
    if (n <= 2)
        return {};
    // Trailing points equal to the first (a closed stroke) give no chord; the section ends at the
    // last point that differs, and that point is kept as well so that the loop keeps its far corner.
    int lastDiffering = n - 1;
    while (lastDiffering > 0 && points[lastDiffering]->point() == points[0]->point())
        --lastDiffering;
    std::vector<int> kept { 0, n - 1 };
    if (lastDiffering > 0) {
        kept.push_back(lastDiffering);
        const std::vector<int> section = douglasPeuckerReduceSection(points, 0, lastDiffering, tolerance);
        kept.insert(kept.end(), section.begin(), section.end());
    }
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    return kept;
}

void Curve::reducePointsWithTolerance(double tolerance)
{
    const int n = numPoints();
    if (n == 0)
        return;
    std::vector<int> kept { 0 };
    int start = 0;
    for (int j = 1; j < n; ++j) {
        if (!m_points[j]->onCurve() && j != n - 1)
            continue;
        kept.push_back(j);
        const std::vector<int> section = douglasPeuckerReduceSection(m_points, start, j, tolerance);
        kept.insert(kept.end(), section.begin(), section.end());
        start = j;
    }
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    CurvePointList points;
    points.reserve(kept.size());
    for (int index : kept)
        points.push_back(m_points[index]);
    m_points = std::move(points);
    flushCache();
}

void Curve::reducePointsDrawnAtScale(float scale)
{
    // Points closer than this many screen points to the simplified line may go.
    constexpr float kScreenTolerance = 8.0f;
    reducePointsWithTolerance(kScreenTolerance / scale);
}

void Curve::reducePointsFrom(int from, int to, float tolerance)
{
    const int n = numPoints();
    from = std::max(from, 0);
    to = std::min(to, n - 1);
    if (from > to)
        return;
    std::vector<int> kept = douglasPeuckerReduceSection(m_points, from, to, tolerance);
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    CurvePointList points(m_points.begin(), m_points.begin() + from);
    points.reserve(n);
    for (int index : kept)
        points.push_back(m_points[index]);
    points.insert(points.end(), m_points.begin() + to + 1, m_points.end());
    m_points = std::move(points);
    flushCache();
}

void Curve::cleanUpMouseInput()
{
    const int n = numPoints();
    for (int i = 1; i + 1 < n; ++i) {
        CurvePoint& p = *m_points[i];
        if (!p.onCurve())
            continue;
        const QPointF& a = m_points[i - 1]->point();
        const QPointF& b = m_points[i + 1]->point();
        // Within a fifth of the chord from the chord between its neighbours: no real corner.
        if (5.0 * distanceFromPointToSegment(a, b, p.point()) < distanceBetweenPoints(a, b))
            p.setOnCurve(false);
    }
    flushCache();
}

void Curve::moveOffcurvePointsToHitInputPoints()
{
    moveOffcurvePointsToHitInputPointsFrom(1, numPoints() - 2);
}

void Curve::moveOffcurvePointsToHitInputPointsFrom(int from, int to)
{
    const int n = numPoints();
    const int start = std::max(from, 1);
    const int end = std::min(to, n - 2);
    if (start > end)
        return;
    // Every move reads the neighbours' drawn positions, not positions already moved.
    std::vector<std::pair<QPointF, bool>> input;
    input.reserve(n);
    for (const CurvePointPtr& p : m_points)
        input.emplace_back(p->point(), p->onCurve());
    for (int i = start; i <= end; ++i) {
        if (input[i].second)
            continue;
        const QPointF& p = input[i].first;
        auto implied = [&](int j) {
            return input[j].second ? input[j].first : interpolatePoints(input[j].first, p, 0.5f);
        };
        const QPointF a = implied(i - 1);
        const QPointF b = implied(i + 1);
        // Reflect the segment's middle through the drawn position, pulling the spline toward it.
        const QPointF middle = pointOnQuadCurve(a, p, b, 0.5f);
        m_points[i]->setPoint(interpolatePoints(middle, p, 2.0f));
    }
    flushCache();
}

} // namespace zandrel
