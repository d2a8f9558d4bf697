// How a balloon measures, hit-tests and draws itself: bounds in its parent's coordinates, and the
// three passes (outline, fill, text) that balloon groups interleave.
#include "app/core/ZDLAppController.h"
#include "comicmodel/Balloon.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"

namespace zandrel {

namespace {

// Style 1 keeps close to its outline; the other styles may reach well beyond it. The stroke of
// style 1's curved outline and bubbles strays a little past its line weight where it is smoothed.
constexpr double kRoughSpikesVisualGrowth = 1.0;
constexpr double kRoughSpikesSmoothing = 0.5;
constexpr double kOtherStylesVisualGrowth = 10.0;
// Around the top edge of the text container, where the text editor draws its caret.
constexpr double kTopEdgeHeight = 1.0;
constexpr double kTopEdgeMargin = 4.0;
// Path rectangles are grown so that touching pieces count as overlapping.
constexpr double kPathBoundsMargin = 0.5;

QRectF grown(const QRectF& rect, double by)
{
    return insetRect(rect, -by, -by);
}

} // namespace

// --- Hit testing and bounds ---

bool Balloon::containsPt(const QPointF& point, float /*viewScale*/) const
{
    const QPointF local = point - m_origin;
    if (const CurvePtr outline = getBalloonPath()) {
        CanvasPath path = outline->createCGPath();
        path.setWindingRule(WindingRule::EvenOdd);
        if (path.contains(local))
            return true;
    }
    for (const BalloonPointerPtr& pointer : m_pointers.items()) {
        if (pointer->containsPt(local))
            return true;
    }
    return false;
}

QRectF Balloon::outlineBounds() const
{
    const CurvePtr outline = getBalloonPath();
    return outline ? offsetRect(outline->getBounds(), m_origin.x(), m_origin.y()) : QRectF();
}

QRectF Balloon::outlineAndPointerBounds(QRectF (BalloonPointer::*pointerBounds)() const) const
{
    QRectF bounds = outlineBounds();
    for (const BalloonPointerPtr& pointer : m_pointers.items())
        bounds = unionRect(bounds, (*pointer.*pointerBounds)());
    return bounds;
}

QRectF Balloon::getBoundsIgnoringVisibility() const
{
    return outlineAndPointerBounds(&BalloonPointer::getBounds);
}

QRectF Balloon::getGeometryBounds() const
{
    return outlineAndPointerBounds(&BalloonPointer::getGeometryBounds);
}

// A hidden balloon answers the empty rectangle here too, rather than a rectangle about the zero
// point that would widen every union it takes part in.
QRectF Balloon::getVisualBounds() const
{
    const QRectF bounds = getBounds();
    if (isEmptyRect(bounds))
        return QRectF();
    if (m_edgeStyle == int(BalloonStyle::RoughSpikes))
        return grown(bounds, kRoughSpikesVisualGrowth * lineWeight() + kRoughSpikesSmoothing);
    return grown(bounds, kOtherStylesVisualGrowth * lineWeight());
}

QRectF Balloon::getInvalidationBounds() const
{
    const QRectF topEdge(m_origin, QSizeF(m_width, kTopEdgeHeight));
    return unionRect(unionRect(getVisualBounds(), getGeometryBounds()), grown(topEdge, kTopEdgeMargin));
}

QList<QRectF> Balloon::getBoundsOfPaths() const
{
    QList<QRectF> rects { grown(outlineBounds(), kPathBoundsMargin) };
    for (const BalloonPointerPtr& pointer : m_pointers.items())
        rects.append(grown(pointer->getBounds(), kPathBoundsMargin));
    return rects;
}

// --- Drawing ---

void Balloon::drawIn(ZDLContext& context)
{
    if (!visible())
        return;
    // Laying lettering out and drawing it are a balloon's costly work. A balloon past the pass's
    // allowance is left out, before its bounds would lay it out; one laid out already costs only
    // where it shows. One shown as a box without its lettering costs what a shape does.
    const bool lettered = showsLettering();
    const bool laidOut = m_layout.isLaidOut();
    if (lettered && !laidOut && !context.work().takeLettering(formattedText()))
        return;
    if (!context.canShow(getInvalidationBounds()))
        return;
    if (lettered && laidOut && !context.work().takeLettering(formattedText()))
        return;
    drawOutlineIn(context);
    drawFillIn(context);
    drawTextIn(context);
}

std::optional<BalloonLook> Balloon::look() const
{
    BalloonLook look;
    look.visible = visible();
    look.editing = m_editing;
    look.shape = m_shape;
    look.outline = getBalloonPath();
    for (const BalloonPointerPtr& pointer : m_pointers.items())
        look.tails.push_back(
            { pointer, pointer->pointerPath(), pointer->bubbleRects(), pointer->pointerOffset() });
    if (lineColor() && !lineColor()->isNone()) {
        const BalloonLine line = outlineLine();
        look.lineColor = line.color;
        look.lineWidth = line.width;
        look.dash = line.dash;
        look.dashPhase = line.dashPhase;
    }
    // Lettering is blended by the font engine differently over opaque and over transparent pixels,
    // so only a balloon whose text lies on its own opaque fill looks the same drawn elsewhere first.
    const auto* colorFill = dynamic_cast<const ColorFill*>(fill().get());
    if (!colorFill || isTextBlock() || !look.outline)
        return std::nullopt;
    look.fillColor = colorFill->opaqueColor().toQColor();
    const QRectF body = look.outline->getBounds();
    for (const QRectF& line : getVisibleLineRects()) {
        if (!body.contains(line))
            return std::nullopt;
    }
    look.text = formattedText();
    look.lettered = showsLettering();
    look.width = m_width;
    look.fields = drawnValuesOf(fields(), *this);
    return look;
}

BalloonLine Balloon::outlineLine() const
{
    BalloonLine line;
    if (lineColor())
        line.color = lineColor()->getOpaqueColorUsingAdjustment(lineColorAdjust()).toQColor();
    // The fill drawn next covers the inner half: the outline shows lineWeight wide outside.
    line.width = 2.0 * lineWeight();
    if (lineDash() != 0) {
        // The dash's lengths are in line weights.
        const QList<double> lengths
            = appController()->getDashAtIndex(lineDash()).lengthsForWidth(lineWeight());
        line.dash = QVector<double>(lengths.begin(), lengths.end());
    }
    return line;
}

void Balloon::drawOutlineIn(ZDLContext& context) const
{
    Canvas* canvas = context.canvas();
    if (!visible() || !canvas || !lineColor() || lineColor()->isNone())
        return;
    const BalloonLine line = outlineLine();
    canvas->save();
    canvas->translate(m_origin.x(), m_origin.y());
    for (const BalloonPointerPtr& pointer : m_pointers.items())
        pointer->drawOutlineIn(context, line);
    const CurvePtr outline = getBalloonPath();
    if (!isTextBlock() && outline) {
        CanvasPath path = outline->createCGPath();
        line.applyTo(path);
        canvas->strokePath(path, CanvasPaint(line.color));
    }
    canvas->restore();
}

void Balloon::drawFillIn(ZDLContext& context) const
{
    Canvas* canvas = context.canvas();
    if (!visible() || !canvas || !fill())
        return;
    // Gradients paint into the current canvas.
    CanvasScope scope(canvas);
    canvas->save();
    canvas->translate(m_origin.x(), m_origin.y());
    const CurvePtr outline = getBalloonPath();
    if (const auto* colorFill = dynamic_cast<const ColorFill*>(fill().get())) {
        const QColor color = colorFill->opaqueColor().toQColor();
        if (color.isValid()) {
            if (!isTextBlock() && outline)
                canvas->fillPath(outline->createCGPath(), CanvasPaint(color));
            for (const BalloonPointerPtr& pointer : m_pointers.items())
                pointer->drawFillIn(context, color);
        }
    } else if (const auto* gradient = dynamic_cast<const GradientFill*>(fill().get())) {
        // One gradient spans the balloon and its tails.
        const QRectF local = offsetRect(getBounds(), -m_origin.x(), -m_origin.y());
        if (!isTextBlock() && outline) {
            canvas->save();
            canvas->clipToPath(outline->createNSBezierPath());
            gradient->opaqueFillRect(local);
            canvas->restore();
        }
        for (const BalloonPointerPtr& pointer : m_pointers.items())
            pointer->drawFillIn(context, *gradient, local);
    }
    canvas->restore();
}

void Balloon::drawTextIn(ZDLContext& context) const
{
    Canvas* canvas = context.canvas();
    // The text editor shows the text while it edits it.
    const TextLayoutManager* laid = visible() && canvas && !m_editing ? lettering() : nullptr;
    if (!laid)
        return;
    context.saveState();
    canvas->clipToRect(QRectF(m_origin, QSizeF(m_width, kContainerHeight)));
    laid->drawGlyphs(laid->glyphRangeForTextContainer(), m_origin, *canvas);
    context.restoreState();
}

} // namespace zandrel
