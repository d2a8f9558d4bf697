// The outline a balloon draws around its text: one builder per shape, then the style's edge effect.
#include "comicmodel/Balloon.h"
#include "graphics/EdgeEffects.h"
#include "graphics/GraphicUtils.h"
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

// Around a body narrower or lower than these the outlines come to points: the standard outline
// to a kite around one or two letters or a spiked diamond around an empty balloon of width 0, the
// ellipse to a needle around one letter, the fitted outline to a pointed top and bottom. Such a
// small body is grown to them about its centre first; lettering of ordinary length and size is
// larger and keeps its outline. A small ellipse body is made as wide as it is high, up to the
// standard minimum width: a circle around a letter, an oval around a column of short lines.
constexpr double kMinStandardWidth = 40.0;
constexpr double kMinFittedWidth = 25.0;
constexpr double kMinBodyHeight = 12.0;

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

QRectF grownToMinimum(const QRectF& body, double minWidth)
{
    if (body.width() >= minWidth && body.height() >= kMinBodyHeight)
        return body;
    const double width = std::max(body.width(), minWidth);
    const double height = std::max(body.height(), kMinBodyHeight);
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
    const QRectF body = grownToMinimum(text, kMinStandardWidth);
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
    // A small body's ellipse is the one through the corners of the body grown to the minimum; a
    // larger one keeps its own aspect, however tall.
    const QRectF grown
        = grownToMinimum(body, std::min(std::max(body.height(), kMinBodyHeight), kMinStandardWidth));
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
    // Lines narrower than the minimum all over span the grown body instead.
    QRectF body;
    for (const QRectF& line : textLines)
        body = unionRect(body, line);
    QList<QRectF> lines = textLines;
    if (body.width() < kMinFittedWidth) {
        const QRectF grown = grownToMinimum(body, kMinFittedWidth);
        for (QRectF& line : lines)
            line = QRectF(grown.left(), line.top(), grown.width(), line.height());
    }
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

} // namespace zandrel
