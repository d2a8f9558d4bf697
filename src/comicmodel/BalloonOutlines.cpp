// The outline a balloon draws around its text: one builder per shape, then the style's edge effect.
#include "comicmodel/Balloon.h"
#include "graphics/EdgeEffects.h"
#include "graphics/GraphicUtils.h"
#include "platform/CanvasPath.h"
#include "platform/Geometry.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The standard outline bulges this far beyond the text at its corners, and twice as far at the
// middles of the top and bottom.
constexpr float kStandardBulge = 6.0f;
constexpr float kStandardTopBulge = 12.0f;
// Its side bulge is a quarter of the height, kept within these.
constexpr float kStandardMinSideBulge = 7.0f;
constexpr float kStandardMaxSideBulge = 12.0f;
// The rounding of the top and bottom corners: a tenth of the size, at most this.
constexpr float kStandardMaxCorner = 20.0f;

// The rounded rectangle's corners clear the text's corners by 2: 2 + r(sqrt(2) - 1), in single
// precision.
constexpr float kRoundRectRadius = 10.0f;
constexpr float kRoundRectMargin = 6.1421356f;
constexpr float kNarrationMarginX = 5.0f;
constexpr float kNarrationMarginY = 4.0f;

// The outlines are the builders' own for every body they draw smoothly: one that turns no more
// than 25 degrees within 2 points along it, as the standard outline of a line of lettering does.
// Smaller bodies come to points (the standard outline to a kite around one or two letters and to
// a spiked diamond around an empty balloon of width 0, the ellipse to a needle around a column of
// letters, the fitted outline to a pointed top); those alone are grown, about their centre, and
// only as far as that limit needs.
//
// Narrower than 18.2 the standard outline's top and bottom turn more sharply (81 degrees at 8, 35
// at 15, 25 at 18.1), whatever its height.
constexpr double kMinStandardWidth = 18.2;
// Lower than 8, the sides of the standard and fitted outlines come to points (30 degrees at 7, 39
// at 6, 63 at 4).
constexpr double kMinOutlineHeight = 8.0;
// The wider a low standard outline, the more sharply its sides turn: it keeps within the limit from
// a height of 8.1 at 20 wide, growing by 0.0865 for each point wider (9.7 at 40, 11.5 at 60). A
// body is never grown higher than 12: lower lines, of very small lettering, keep corners of their
// own as long lines do (a line 200 wide and 20 high turns 27 degrees).
constexpr double kStandardHeightAt20 = 8.1;
constexpr double kStandardHeightPerWidth = 0.0865;
constexpr double kMaxStandardHeightGrowth = 12.0;
// The fitted outline's top is made by its first line and its bottom by its last: one of these
// narrower than this comes to a point (67 degrees at width 0, 25 at 5.1).
constexpr double kMinFittedEndWidth = 5.2;
// The ends of the ellipse around a body w wide and h high have a radius of curvature of about
// 0.83 w^2 / h and turn by about 2 / that radius within 2 points: a body taller than wide keeps
// within the limit from w^2 = 5.45 h + 9 on (the 9 for small bodies, whose curvature changes within
// those 2 points). A body wider than high keeps its long ends: the ellipse of a line is as long as
// the line.
constexpr double kEllipseEndsPerHeight = 5.45;
constexpr double kEllipseEndsSmallBody = 9.0;

// The fitted outline keeps this far from the line ends, and this far above and below the text.
constexpr float kFittedSideMargin = 15.0f;
constexpr float kFittedTopMargin = 10.0f;

// The edge effects of the styles, with their parameters.
struct EdgeEffect {
    float step;
    float amp;
};
constexpr EdgeEffect kRoughSpikes { 24.0f, 13.0f };
constexpr EdgeEffect kSpikes { 12.0f, 20.0f };
constexpr EdgeEffect kScallops { 12.0f, 15.0f };
constexpr EdgeEffect kRoughScallops { 20.0f, 5.0f };

CurvePtr withEdgeEffect(const CurvePtr& outline, int style)
{
    switch (BalloonStyle(style)) {
    case BalloonStyle::RoughSpikes:
        return roughSpikePathAroundCurve(*outline, false, kRoughSpikes.step, kRoughSpikes.amp, 0.0f);
    case BalloonStyle::Spikes:
        return spikePathAroundCurve(*outline, false, kSpikes.step, kSpikes.amp, 0.0f);
    case BalloonStyle::Scallops:
        return scallopPathAroundCurve(*outline, kScallops.step, kScallops.amp);
    case BalloonStyle::RoughScallops:
        return roughScallopPathAroundCurve(*outline, kRoughScallops.step, kRoughScallops.amp);
    default:
        return outline;
    }
}

QRectF grownAboutCentre(const QRectF& body, double minWidth, double minHeight)
{
    if (body.width() >= minWidth && body.height() >= minHeight)
        return body;
    const double width = std::max(body.width(), minWidth);
    const double height = std::max(body.height(), minHeight);
    const QPointF centre = rectCenter(body);
    return QRectF(centre.x() - width / 2, centre.y() - height / 2, width, height);
}

// A convex walk over the candidates from the first: from each point to the later one at the
// greatest positive angle (the earliest of equal angles), adding each point reached, until the
// last candidate or until no later point qualifies. angle(from, to) gives the angle to compare.
template <class Angle> void addHullWalk(Curve& curve, const QList<QPointF>& candidates, Angle angle)
{
    qsizetype i = 0;
    while (i < candidates.size()) {
        curve.addPoint(candidates[i], false);
        if (i == candidates.size() - 1)
            return;
        qsizetype best = -1;
        float bestAngle = 0.0f;
        for (qsizetype j = i + 1; j < candidates.size(); ++j) {
            const float a = angle(candidates[i], candidates[j]);
            if (a > bestAngle) {
                bestAngle = a;
                best = j;
            }
        }
        if (best < 0)
            return;
        i = best;
    }
}

} // namespace

CurvePtr Balloon::getBalloonPath() const
{
    if (m_outline)
        return m_outline;
    CurvePtr outline;
    switch (BalloonShape(m_shape)) {
    case BalloonShape::Ellipse:
        outline = getEllipseBalloonPath();
        break;
    case BalloonShape::RoundRect:
        outline = getRoundRectBalloonPath();
        break;
    case BalloonShape::Rect:
        outline = getRectBalloonPath();
        break;
    case BalloonShape::Fitted:
        outline = getFittedBalloonPath();
        break;
    default:
        outline = getStandardBalloonPath();
        break;
    }
    m_outline = withEdgeEffect(outline, m_edgeStyle);
    return m_outline;
}

CurvePtr Balloon::getStandardBalloonPath() const
{
    return standardOutline(getVisibleEnclosingRect());
}

CurvePtr Balloon::getEllipseBalloonPath() const
{
    return ellipseOutline(getVisibleLineRects());
}

CurvePtr Balloon::getRoundRectBalloonPath() const
{
    return Curve::initWithRect(
        insetRect(getVisibleEnclosingRect(), -kRoundRectMargin, -kRoundRectMargin), kRoundRectRadius);
}

CurvePtr Balloon::getRectBalloonPath() const
{
    return Curve::initWithRect(
        insetRect(getVisibleEnclosingRect(), -kNarrationMarginX, -kNarrationMarginY), 0.0f);
}

CurvePtr Balloon::getFittedBalloonPath() const
{
    if (numberOfGlyphs() == 0)
        return getStandardBalloonPath();
    return fittedOutline(getVisibleLineRects());
}

CurvePtr Balloon::standardOutline(const QRectF& text)
{
    const double width = std::max(text.width(), kMinStandardWidth);
    const double minHeight = std::clamp(kStandardHeightAt20 + kStandardHeightPerWidth * (width - 20.0),
        kMinOutlineHeight, kMaxStandardHeightGrowth);
    const QRectF body = grownAboutCentre(text, kMinStandardWidth, minHeight);
    const float w = static_cast<float>(body.width());
    const float h = static_cast<float>(body.height());
    const float a = std::min(h / 10.0f, kStandardMaxCorner);
    const float b = std::min(w / 10.0f, kStandardMaxCorner);
    const float c = std::max(std::min(h * 0.25f, kStandardMaxSideBulge), kStandardMinSideBulge);
    const float corner = kStandardBulge;
    const float top = kStandardTopBulge;
    const std::pair<float, float> points[] = {
        { b, -corner },
        { w / 2, -top },
        { w - b, -corner },
        { w + corner, a },
        { w + c, h / 2 },
        { w + corner, h - a },
        { w - b, h + corner },
        { w / 2, h + top },
        { b, h + corner },
        { -corner, h - a },
        { -c, h / 2 },
        { -corner, a },
    };
    auto curve = std::make_shared<Curve>();
    for (const auto& [x, y] : points)
        curve->addPointAtX(x, y, false);
    curve->setClosed(true);
    curve->offsetBy(body.topLeft());
    return curve;
}

CurvePtr Balloon::ellipseOutline(const QList<QRectF>& lines)
{
    QRectF body;
    for (const QRectF& line : lines)
        body = unionRect(body, line);
    // A body without area has no aspect ratio to keep (an empty balloon of width 0).
    if (isEmptyRect(body))
        return standardOutline(body);
    // A body that had to grow is outlined through the corners of its grown rect.
    QRectF grown = grownAboutCentre(body, 0.0, kMinOutlineHeight);
    if (grown.width() < grown.height()) {
        const double ends = std::sqrt(kEllipseEndsPerHeight * grown.height() + kEllipseEndsSmallBody);
        grown = grownAboutCentre(grown, std::min(ends, grown.height()), 0.0);
    }
    const QList<QRectF> corners = grown == body ? lines : QList<QRectF> { grown };
    const QPointF centre = rectCenter(grown);
    const float k = static_cast<float>(grown.width()) / static_cast<float>(grown.height());
    float m = 0.0f;
    for (const QRectF& line : corners) {
        for (const QPointF& p : { line.topLeft(), line.topRight(), line.bottomLeft(), line.bottomRight() })
            m = std::max(m,
                std::hypot(
                    static_cast<float>(p.x() - centre.x()), static_cast<float>(p.y() - centre.y()) * k));
    }
    return Curve::initWithEllipseIn(QRectF(centre.x() - m, centre.y() - m / k, 2 * m, 2 * m / k));
}

CurvePtr Balloon::fittedOutline(const QList<QRectF>& textLines)
{
    if (textLines.isEmpty())
        return standardOutline(QRectF());
    // The lines that make the top and the bottom are grown to the least size that keeps them round.
    QList<QRectF> lines = textLines;
    lines.first() = grownAboutCentre(lines.first(), kMinFittedEndWidth, kMinOutlineHeight);
    lines.last() = grownAboutCentre(lines.last(), kMinFittedEndWidth, kMinOutlineHeight);
    const QRectF& first = lines.first();
    const QRectF& last = lines.last();
    auto curve = std::make_shared<Curve>();
    curve->addPoint(QPointF(first.left(), first.top() - kFittedTopMargin), false);

    // Down the left side, keeping to the outermost line starts.
    QList<QPointF> candidates;
    for (const QRectF& line : lines) {
        candidates.append(QPointF(line.left() - kFittedSideMargin, line.top()));
        candidates.append(QPointF(line.left() - kFittedSideMargin, line.bottom()));
    }
    addHullWalk(*curve, candidates, [](const QPointF& from, const QPointF& to) {
        return std::atan2(static_cast<float>(to.y() - from.y()), static_cast<float>(to.x() - from.x()));
    });

    curve->addPoint(QPointF(last.left(), last.bottom() + kFittedTopMargin), false);
    curve->addPoint(QPointF(last.right(), last.bottom() + kFittedTopMargin), false);

    // Up the right side, keeping to the outermost line ends.
    candidates.clear();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        candidates.append(QPointF(it->right() + kFittedSideMargin, it->bottom()));
        candidates.append(QPointF(it->right() + kFittedSideMargin, it->top()));
    }
    addHullWalk(*curve, candidates, [](const QPointF& from, const QPointF& to) {
        return std::atan2(static_cast<float>(from.y() - to.y()), static_cast<float>(from.x() - to.x()));
    });

    curve->addPoint(QPointF(first.right(), first.top() - kFittedTopMargin), false);
    curve->setClosed(true);
    return curve;
}

float Balloon::tailBaseHalfWidth(
    const QPointF& centre, const QPointF& across, float wanted, float margin) const
{
    const CurvePtr outline = getBalloonPath();
    if (!outline || isTextBlock() || !(wanted > 0.0f))
        return wanted;
    CanvasPath filled = outline->createCGPath();
    filled.setWindingRule(WindingRule::EvenOdd);
    // The stroke's end reaches a line weight either side of the base's end: it lies inside when the
    // end is at least that (and the margin) from the outline. Distances are measured to the outline
    // flattened at a sixteenth of the usual tolerance, close enough to keep a base that fits.
    constexpr double kFineScale = 16.0;
    const QList<QPolygonF> edges
        = filled.painterPath().toSubpathPolygons(QTransform::fromScale(kFineScale, kFineScale));
    const double room = (std::max(0.0f, lineWeight()) + std::max(0.0f, margin)) * kFineScale;
    auto farEnoughIn = [&](const QPointF& point) {
        const QPointF fine = point * kFineScale;
        for (const QPolygonF& polygon : edges) {
            for (qsizetype i = 0; i + 1 < polygon.size(); ++i) {
                if (distanceFromPointToSegment(polygon[i], polygon[i + 1], fine) < room)
                    return false;
            }
        }
        return filled.contains(point);
    };
    auto holds = [&](float half) {
        return farEnoughIn(centre + across * double(half)) && farEnoughIn(centre - across * double(half));
    };
    if (holds(wanted))
        return wanted;
    // Holding is not monotonic in general (a scalloped edge), but near enough: the widest base
    // found by halving, to a hundredth of a point.
    float low = 0.0f;
    float high = wanted;
    while (high - low > 0.01f) {
        const float middle = (low + high) / 2;
        (holds(middle) ? low : high) = middle;
    }
    return low;
}

void Balloon::styleFieldChanged(const StyleFieldInfo& field)
{
    if (&field == &stylefields::lineWeight) {
        for (const BalloonPointerPtr& pointer : m_pointers.items())
            pointer->flushCache();
    }
}

} // namespace zandrel
