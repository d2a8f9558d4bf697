// The shape of a balloon's tail (a wedge, a text-block line or thought bubbles), its bounds, hit
// test and drawing passes.
#include "comicmodel/Balloon.h"
#include "comicmodel/BalloonPointer.h"
#include "graphics/BoundsAccumulator.h"
#include "graphics/CurveIterator.h"
#include "graphics/EdgeEffects.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"

#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

// A text-block tail starts where it leaves the text grown by this much.
constexpr double kTextBlockMargin = 2.0;
// The zigzag and wavy tails of styles 2 to 4.
constexpr float kMarkedStep = 12.0f;
constexpr float kMarkedAmp = 3.0f;
constexpr float kMarkedOpenStep = 15.0f;
constexpr float kMarkedOpenAmp = 10.0f;
// Thought bubbles: where the first one sits, how much they shrink toward the tip, how small they
// end and how far apart they are, for text blocks and for other shapes.
struct BubbleRow {
    float firstDistance;
    float sizeRange;
    float endSize;
    float spacing;
};
constexpr BubbleRow kTextBlockBubbles { 15.0f, 7.0f, 6.0f, 1.5f };
constexpr BubbleRow kBalloonBubbles { 0.0f, 14.0f, 10.0f, 1.1f };
// A bubble is an oval 0.8 times as high as wide.
constexpr float kBubbleAspect = 0.8f;
constexpr float kGeometryMargin = 0.5f;
constexpr double kInvalidationMargin = 1.0;

constexpr int kStyleRoughSpikes = int(BalloonStyle::RoughSpikes);
constexpr int kStyleSpikes = int(BalloonStyle::Spikes);
constexpr int kStyleScallops = int(BalloonStyle::Scallops);
constexpr int kStyleRoughScallops = int(BalloonStyle::RoughScallops);

// (0, h) turned by the angle, as an affine rotation does it.
QPointF rotatedHalfWidth(float h, float angle)
{
    return QPointF(-h * std::sin(double(angle)), h * std::cos(double(angle)));
}

CurvePtr openCurveThrough(const QList<QPointF>& points, bool onCurve)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& point : points)
        curve->addPoint(point, onCurve);
    return curve;
}

} // namespace

bool BalloonPointer::ownerIsTextBlock() const
{
    return m_owner && m_owner->isTextBlock();
}

int BalloonPointer::ownerStyle() const
{
    return m_owner ? m_owner->style() : int(BalloonStyle::Plain);
}

QPointF BalloonPointer::pointerOffset() const
{
    const QRectF body = m_owner ? m_owner->getVisibleEnclosingRect() : QRectF();
    return QPointF(body.x() + m_xPos * body.width(), body.y() + m_yPos * body.height());
}

QList<QPointF> BalloonPointer::textBlockTail() const
{
    const QList<QPointF> points = pointValues();
    const QPointF offset = pointerOffset();
    const QRectF body = m_owner ? m_owner->getVisibleEnclosingRect() : QRectF();
    const QRectF box
        = insetRect(offsetRect(body, -offset.x(), -offset.y()), -kTextBlockMargin, -kTextBlockMargin);
    if (pointInRect(points.last(), box))
        return {};
    const QPointF edges[4][2] = {
        { box.topLeft(), box.topRight() },
        { box.topRight(), box.bottomRight() },
        { box.bottomLeft(), box.bottomRight() },
        { box.topLeft(), box.bottomLeft() },
    };
    QList<QPointF> tail { points.last() };
    // Walk back from the tip; the tail begins where it first crosses the box.
    for (qsizetype i = points.size() - 2; i >= 0; --i) {
        const QPointF& from = points[i + 1];
        const QPointF& to = points[i];
        QPointF best = nanPoint();
        float bestDistance = 0.0f;
        for (const auto& edge : edges) {
            const QPointF crossing = segmentIntersection(from, to, edge[0], edge[1]);
            if (isNanPoint(crossing))
                continue;
            const float distance = distanceBetweenPoints(from, crossing);
            if (isNanPoint(best) || distance < bestDistance) {
                best = crossing;
                bestDistance = distance;
            }
        }
        if (!isNanPoint(best)) {
            tail.prepend(best);
            break;
        }
        tail.prepend(to);
    }
    return tail;
}

// A wedge from a base 2 x kWedgeHalfWidth wide across the first segment, narrowing linearly along
// the polyline to the tip. It is left open: its base lies inside the balloon's body, narrowed where
// the body is too small to hold it whole.
CurvePtr BalloonPointer::wedgePath(const QList<QPointF>& p) const
{
    const qsizetype n = p.size();
    const int style = ownerStyle();
    const bool sharp = style == kStyleSpikes || style == kStyleScallops;
    float previousAngle = std::atan2(float(p[0].y() - p[1].y()), float(p[0].x() - p[1].x()));
    // A wavy wedge starts up to its amplitude away from the base's ends.
    const float margin = style == kStyleRoughScallops ? kMarkedAmp : 0.0f;
    const float baseHalfWidth = m_owner ? m_owner->tailBaseHalfWidth(p[0] + pointerOffset(),
                                    rotatedHalfWidth(1.0f, previousAngle), kWedgeHalfWidth, margin)
                                        : kWedgeHalfWidth;
    const QPointF baseHalf = rotatedHalfWidth(baseHalfWidth, previousAngle);

    float total = 0.0f;
    for (qsizetype i = 0; i + 1 < n; ++i)
        total += distanceBetweenPoints(p[i], p[i + 1]);

    // Each inner point gets a point either side, across the bisector of its two segments. Built as
    // two lists rather than by insertion, so that long tails cost linear time.
    QList<QPointF> leftSide;
    QList<QPointF> rightSide;
    float covered = 0.0f;
    for (qsizetype i = 1; i + 1 < n; ++i) {
        covered += distanceBetweenPoints(p[i - 1], p[i]);
        float angle = std::atan2(float(p[i].y() - p[i + 1].y()), float(p[i].x() - p[i + 1].x()));
        const float pi = std::numbers::pi_v<float>;
        while (angle - previousAngle > pi)
            angle -= 2 * pi;
        while (previousAngle - angle > pi)
            previousAngle -= 2 * pi;
        const float half = total > 0.0f ? (total - covered) * baseHalfWidth / total : 0.0f;
        const QPointF across = rotatedHalfWidth(half, (previousAngle + angle) * 0.5f);
        leftSide.append(p[i] + across);
        rightSide.prepend(p[i] - across);
        previousAngle = angle;
    }

    auto curve = std::make_shared<Curve>();
    curve->addPoint(p[0] + baseHalf, true);
    for (const QPointF& point : leftSide)
        curve->addPoint(point, sharp);
    curve->addPoint(p[n - 1], true);
    for (const QPointF& point : rightSide)
        curve->addPoint(point, sharp);
    curve->addPoint(p[0] - baseHalf, true);
    if (style == kStyleRoughScallops)
        return markedPathAlongCurve(*curve, kMarkedStep, kMarkedAmp);
    return curve;
}

CurvePtr BalloonPointer::buildPath() const
{
    QList<QPointF> points = pointValues();
    const bool textBlock = ownerIsTextBlock();
    if (textBlock)
        points = textBlockTail();
    if (points.size() < 2)
        return nullptr;
    const int style = ownerStyle();
    if (style == kStyleRoughSpikes)
        return openCurveThrough(points, false);
    if (!textBlock)
        return wedgePath(points);
    CurvePtr line = openCurveThrough(points, style == kStyleSpikes);
    if (style == kStyleRoughScallops)
        return markedPathAlongCurve(*line, kMarkedStep, kMarkedAmp);
    if (style == kStyleSpikes || style == kStyleScallops)
        return markedPathAlongCurveOpen(*line, kMarkedOpenStep, kMarkedOpenAmp);
    return line;
}

CurvePtr BalloonPointer::pointerPath() const
{
    // A text-block tail inside its text has no path, and is asked again next time.
    if (!m_path)
        m_path = buildPath();
    return m_path;
}

std::optional<QList<QRectF>> BalloonPointer::bubbleRects() const
{
    if (m_bubbles)
        return m_bubbles;
    const CurvePtr path = pointerPath();
    if (!path)
        return std::nullopt;
    const CurveIterator walk(*path, CurveIterator::kDefaultPrecision);
    const float length = walk.length();
    const BubbleRow& row = ownerIsTextBlock() ? kTextBlockBubbles : kBalloonBubbles;
    QList<QRectF> bubbles;
    if (std::isfinite(length)) {
        for (float d = row.firstDistance; length > d && bubbles.size() < kMaxBubbles;) {
            const float size = ((length - d) / length) * row.sizeRange + row.endSize;
            const QPointF p = walk.pointAt(d);
            bubbles.append(
                QRectF(p.x() - 0.5f * size, p.y() - 0.5f * kBubbleAspect * size, size, kBubbleAspect * size));
            d += size * row.spacing;
        }
    }
    m_bubbles = bubbles;
    return m_bubbles;
}

// --- Bounds and hit testing ---

QRectF BalloonPointer::getBounds() const
{
    const QPointF origin = (m_owner ? m_owner->origin() : QPointF()) + pointerOffset();
    QRectF bounds;
    if (drawsAsBubbles()) {
        for (const QRectF& bubble : bubbleRects().value_or(QList<QRectF>()))
            bounds = unionRect(bounds, bubble);
    } else if (const CurvePtr path = pointerPath()) {
        bounds = path->getBounds();
    }
    return offsetRect(bounds, origin.x(), origin.y());
}

QRectF BalloonPointer::getInvalidationBounds() const
{
    return insetRect(getBounds(), -kInvalidationMargin, -kInvalidationMargin);
}

// Anchored at the text container's width and text height rather than at the visible body, as
// files and tools have always measured it.
QRectF BalloonPointer::getGeometryBounds() const
{
    BoundsAccumulator accumulator;
    boundsAccumulatorInit(&accumulator);
    for (const BalloonPointPtr& point : m_points)
        boundsAccumulatorAddPoint(&accumulator, point->pointValue());
    QPointF anchor;
    if (m_owner)
        anchor = QPointF(m_owner->origin().x() + m_owner->width() * m_xPos,
            m_owner->origin().y() + m_owner->textHeight() * m_yPos);
    const QRectF grown = insetRect(boundsAccumulatorRect(&accumulator), -kGeometryMargin, -kGeometryMargin);
    return offsetRect(grown, anchor.x(), anchor.y());
}

bool BalloonPointer::containsPt(const QPointF& point) const
{
    const QPointF local = point - pointerOffset();
    if (drawsAsBubbles()) {
        for (const QRectF& bubble : bubbleRects().value_or(QList<QRectF>())) {
            if (!pointInRect(local, bubble))
                continue;
            const float hx = float(bubble.width()) / 2;
            const float hy = float(bubble.height()) / 2;
            const float dx = (float(local.x()) - float(bubble.center().x())) / hx;
            const float dy = (float(local.y()) - float(bubble.center().y())) / hy;
            if (dx * dx + dy * dy <= 1.0f)
                return true;
        }
        return false;
    }
    const CurvePtr path = pointerPath();
    if (!path)
        return false;
    CanvasPath outline = path->createCGPath();
    outline.setWindingRule(WindingRule::EvenOdd);
    return outline.contains(local);
}

// --- Drawing ---

void BalloonPointer::drawOutlineIn(ZDLContext& context, const BalloonLine& line) const
{
    Canvas* canvas = context.canvas();
    if (!canvas)
        return;
    BalloonLine stroke = line;
    // A text block's tail is a single-weight line: nothing covers half of it.
    if (ownerIsTextBlock() && !drawsAsBubbles() && m_owner)
        stroke.width = m_owner->lineWeight();
    const QPointF offset = pointerOffset();
    canvas->save();
    canvas->translate(offset.x(), offset.y());
    if (drawsAsBubbles()) {
        for (const QRectF& bubble : bubbleRects().value_or(QList<QRectF>())) {
            CanvasPath oval = CanvasPath::fromEllipse(bubble);
            stroke.applyTo(oval);
            canvas->strokePath(oval, CanvasPaint(stroke.color));
        }
    } else if (const CurvePtr path = pointerPath()) {
        CanvasPath outline = path->createCGPath();
        stroke.applyTo(outline);
        // A wedge's sides meet at its tip at a sharp angle, where a mitred stroke would run on
        // several line weights past the tip the user placed and out of the pointer's bounds.
        if (!ownerIsTextBlock())
            outline.setLineJoin(LineJoin::Round);
        canvas->strokePath(outline, CanvasPaint(stroke.color));
    }
    canvas->restore();
}

void BalloonPointer::drawFillIn(ZDLContext& context, const QColor& color) const
{
    Canvas* canvas = context.canvas();
    if (!canvas || (ownerIsTextBlock() && !drawsAsBubbles()))
        return;
    const QPointF offset = pointerOffset();
    canvas->save();
    canvas->translate(offset.x(), offset.y());
    if (drawsAsBubbles()) {
        for (const QRectF& bubble : bubbleRects().value_or(QList<QRectF>()))
            canvas->fillEllipse(bubble, CanvasPaint(color));
    } else if (const CurvePtr path = pointerPath()) {
        canvas->fillPath(path->createCGPath(), CanvasPaint(color));
    }
    canvas->restore();
}

void BalloonPointer::drawFillIn(ZDLContext& context, const GradientFill& gradient, const QRectF& rect) const
{
    Canvas* canvas = context.canvas();
    if (!canvas || (ownerIsTextBlock() && !drawsAsBubbles()))
        return;
    // The gradient paints into the current canvas.
    CanvasScope scope(canvas);
    const QPointF offset = pointerOffset();
    const QRectF moved = offsetRect(rect, -offset.x(), -offset.y());
    canvas->save();
    canvas->translate(offset.x(), offset.y());
    if (drawsAsBubbles()) {
        for (const QRectF& bubble : bubbleRects().value_or(QList<QRectF>())) {
            canvas->save();
            canvas->clipToPath(CanvasPath::fromEllipse(bubble));
            gradient.opaqueFillRect(moved);
            canvas->restore();
        }
    } else if (const CurvePtr path = pointerPath()) {
        canvas->clipToPath(path->createNSBezierPath());
        gradient.opaqueFillRect(moved);
    }
    canvas->restore();
}

} // namespace zandrel
