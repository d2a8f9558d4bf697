#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/Dash.h"
#include "graphics/DrawingSplit.h"
#include "graphics/EdgeEffects.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <cmath>

namespace zandrel {

namespace {

constexpr double kFadedOpacity = 0.15;
// The highlight band of the current panel: twice as wide as it shows (the frame clips its inner
// half), wider for a free panel, dashed while backgrounds are edited.
constexpr double kFreeBandWidth = 9.0;
constexpr double kFixedBandWidth = 7.0;
constexpr double kBackgroundBandDash = 6.0;
constexpr double kBackgroundBandGap = 2.0;
constexpr double kBackgroundBandDashPhase = 2.0;

// Two-colour stripes one point high, the highlight of a current free panel.
CanvasPaint stripes(const QColor& first, const QColor& second)
{
    QImage tile(2, 2, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 2; ++x) {
        tile.setPixelColor(x, 0, first);
        tile.setPixelColor(x, 1, second);
    }
    return CanvasPaint(CanvasPattern { tile, QSizeF(2, 2), QPointF() });
}

const CanvasPaint& frontStripes()
{
    static const CanvasPaint paint
        = stripes(QColor::fromRgbF(0.0f, 0.674f, 1.0f), QColor::fromRgbF(0.703f, 0.893f, 0.985f));
    return paint;
}

const CanvasPaint& backStripes()
{
    static const CanvasPaint paint
        = stripes(QColor::fromRgbF(0.0f, 0.757f, 0.045f), QColor::fromRgbF(0.561f, 1.0f, 0.587f));
    return paint;
}

// The curve with the panel's edge effect, spikes turned inward: how an inset's hole shows in the
// panel beneath.
CurvePtr cutOutCurve(const Curve& curve, int shape)
{
    const CurvePtr shaped = ComicPanel::outlineWithEdgeEffect(curve, shape, true);
    return shaped ? shaped : Curve::initByCopying(curve);
}

bool holdsElements(const PanelLayerPtr& layer)
{
    return layer && layer->numChildren() > 0;
}

void drawChildren(const PanelLayerPtr& layer, ZDLContext& context)
{
    if (layer)
        layer->drawElementsIn(context);
}

// The border or a cut-out outline takes the panel's dash at its weight, or a plain line.
void setLine(CanvasPath& path, qint64 lineStyle, float weight)
{
    if (lineStyle != 0)
        ZDLAppController::appController()->getDashAtIndex(lineStyle).setDashOnContext(
            path, weight, weight / 2.0f);
    else
        path.setLineWidth(weight);
}

} // namespace

void ComicPanel::drawIn(ZDLContext& context, const QRectF& dirtyRect)
{
    Canvas* canvas = context.canvas();
    if (!canvas)
        return;
    // Fills paint into the current canvas; make it this context's.
    CanvasScope scope(canvas);
    const PanelComicServices* comic = comicServices();
    const bool isCurrent = comic && comic->currentPanel().get() == this;
    if (isCurrent && isFree())
        drawCurrentPanelFrameIn(context, dirtyRect);

    const bool focus = owner()->focusOnPanel() && !context.exporting();
    // Asked before anything is built, so that a panel outside the dirty rect or the canvas's clip
    // costs two rect tests.
    if (!focus) {
        const QRectF drawn = drawnBounds();
        if (!intersectsRect(unionRect(getInvalidationBounds(), drawn), dirtyRect) || !context.canShow(drawn))
            return;
    }
    // A view's slice that cannot paint here: only the panel that draws the held layer may open it.
    if (context.paintsNothing() && !context.split()->drawsHeldLayer(*this))
        return;
    const bool editingBack = comic && comic->editBackground() && !context.exporting();
    const bool drawingCurrent = comic && comic->drawingCurrentPanel();
    if (focus && drawingCurrent != isCurrent) {
        return;
    }

    canvas->save(); // A
    std::vector<CanvasPath> cutOuts;
    if (!isFloating()) {
        const auto* page = dynamic_cast<const PanelPageServices*>(this->page());
        const QRectF pageBounds = this->page() ? this->page()->bounds() : QRectF();
        for (const auto& inset : page ? page->getInsetPanelsAffecting(*this) : std::vector<ComicPanelPtr>()) {
            // Thousands of overlapping insets would cut millions of holes, each clipping the page.
            if (!context.work().takeCutOut())
                break;
            const CurvePtr outset = inset ? inset->outsetFrame() : nullptr;
            // Past the pass's allowance of edge steps, holes are cut plain.
            const int holeShape = outset && context.work().takeCutOutEdge(edgeEffectSteps(*outset, m_shape))
                ? m_shape
                : int(PanelShapePlain);
            const CurvePtr shaped = outset ? cutOutCurve(*outset, holeShape) : nullptr;
            if (!shaped)
                continue;
            CanvasPath hole = shaped->createNSBezierPath();
            hole.setWindingRule(WindingRule::EvenOdd);
            cutOuts.push_back(hole);
            hole.addRect(pageBounds);
            canvas->clipToPath(hole);
        }
    }

    // A copy: drawing the elements must not be able to drop the path from under us.
    const CanvasPath frame = panelFramePath();
    const auto paintFill = [&] {
        if (!m_fill)
            return;
        canvas->save();
        canvas->setAlpha(canvas->alpha() * m_fillAlpha);
        m_fill->fillCGPath(frame);
        canvas->restore();
    };

    canvas->save(); // B
    canvas->fillPath(frame, CanvasPaint(Qt::white));
    if (m_fillLayer == PanelFillBelowBackLayer)
        paintFill();

    canvas->save(); // C
    if (!focus || !isCurrent) {
        // The clip costs as much as the fill of the frame; a panel with nothing inside it to clip,
        // as a page of thousands has, goes without.
        if (holdsElements(m_backLayer) || holdsElements(m_frontLayer)
            || (m_fill && m_fillLayer == PanelFillBetweenLayers) || (m_weight > 0.0f && !cutOuts.empty()))
            canvas->clipToPath(frame);
        drawChildren(m_backLayer, context);
        if (editingBack) {
            drawTransparent(m_frontLayer ? m_frontLayer->children() : ElementList(), context, dirtyRect);
        } else {
            if (m_fillLayer == PanelFillBetweenLayers)
                paintFill();
            drawChildren(m_frontLayer, context);
        }
    } else if (editingBack) {
        drawChildren(m_backLayer, context);
        canvas->clipToPath(frame);
        drawTransparent(m_frontLayer ? m_frontLayer->children() : ElementList(), context, dirtyRect);
    } else {
        canvas->save();
        canvas->clipToPath(frame);
        drawChildren(m_backLayer, context);
        canvas->restore();
        if (m_fillLayer == PanelFillBetweenLayers)
            paintFill();
        // The elements being edited show whole, beyond the frame.
        drawChildren(m_frontLayer, context);
    }

    if (m_weight > 0.0f) {
        // Stroked at twice the weight: the half inside the hole is clipped away.
        for (CanvasPath& hole : cutOuts) {
            setLine(hole, m_lineStyle, m_weight);
            hole.setLineWidth(2.0 * m_weight);
            canvas->strokePath(hole, CanvasPaint(Qt::black));
        }
    }
    canvas->restore(); // C

    CanvasPath border = frame;
    setLine(border, m_lineStyle, m_weight);
    canvas->strokePath(border, CanvasPaint(Qt::black));
    canvas->restore(); // B
    canvas->restore(); // A
}

void ComicPanel::drawCurrentPanelFrameIn(ZDLContext& context, const QRectF& dirtyRect) const
{
    Canvas* canvas = context.canvas();
    const PanelComicServices* comic = comicServices();
    if (!canvas || context.paintsNothing() || !context.showCurrentPanelFrame() || context.exporting()
        || !comic || comic->currentPanel().get() != this
        || !intersectsRect(getInvalidationBounds(), dirtyRect))
        return;
    const CurvePtr frame = panelFrame();
    if (!frame)
        return;
    context.saveState();
    CanvasPath outline = frame->createNSBezierPath();
    // Only the part of the band outside the frame and inside the page shows.
    CanvasPath clip = outline;
    clip.setWindingRule(WindingRule::EvenOdd);
    clip.addRect(page() ? page()->bounds() : QRectF());
    canvas->clipToPath(clip);
    const bool free = isFree();
    outline.setLineJoin(LineJoin::Round);
    outline.setLineWidth(free ? kFreeBandWidth : kFixedBandWidth);
    const bool back = comic->editBackground();
    if (back)
        outline.setDash({ kBackgroundBandDash, kBackgroundBandGap }, kBackgroundBandDashPhase);
    CanvasPaint paint;
    if (free)
        paint = back ? backStripes() : frontStripes();
    else
        paint = back ? CanvasPaint(QColor::fromRgbF(0.2f, 0.7f, 0.2f))
                     : CanvasPaint(QColor::fromRgbF(0.24f, 0.71f, 0.99f));
    canvas->strokePath(outline, paint);
    context.restoreState();
}

void ComicPanel::drawTransparent(
    const ElementList& elements, ZDLContext& context, const QRectF& dirtyRect) const
{
    Canvas* canvas = context.canvas();
    if (!canvas || elements.isEmpty() || context.paintsNothing())
        return;
    const QRectF r = intersectionRect(
        intersectionRect(ArrayUtils::getElementsFilteredBounds(elements), getBounds()), dirtyRect);
    if (isEmptyRect(r))
        return;
    const float scale = context.scale();
    const QSize pixels(int(std::ceil(scale * float(r.width()))), int(std::ceil(scale * float(r.height()))));
    if (!OffscreenImage::isAcceptable(pixels))
        return;
    OffscreenImage offscreen(pixels);
    {
        CanvasScope scope(offscreen.canvas());
        ZDLContext faded(scale);
        faded.shareWorkOf(context);
        faded.saveState();
        offscreen.canvas()->translate(-r.x() * scale, -r.y() * scale);
        offscreen.canvas()->scale(scale, scale);
        for (const ObjectPtr& element : elements) {
            if (auto* graphic = asProtocol<GraphicElement>(element))
                graphic->drawIn(faded);
        }
        faded.restoreState();
    }
    canvas->drawImage(offscreen.takeImage(), r, QRectF(), kFadedOpacity);
}

} // namespace zandrel
