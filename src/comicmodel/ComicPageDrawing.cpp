#include "comicmodel/ComicPage.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <cmath>

namespace zandrel {

// How a page draws: rows, free panels and free objects, back to front.

namespace {

// The free objects seen through while the panels' backgrounds are edited.
constexpr double kFadedOpacity = 0.15;

void drawElements(const ElementList& elements, ZDLContext& context)
{
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->drawIn(context);
    }
}

} // namespace

void ComicPage::drawIn(ZDLContext& context, const QRectF& dirtyRect)
{
    {
        // The panels do not move while they draw: the insets are measured once for all of them.
        struct Measured {
            std::vector<QRectF>& bounds;
            ~Measured() { bounds.clear(); }
        } measured { m_insetBoundsWhileDrawing };
        for (const auto& inset : m_insetPanels.items())
            measured.bounds.push_back(inset->bounds());
        ComicStack::drawIn(context, dirtyRect);
        // Copies: drawing must not be upset by lists that change underneath.
        for (const auto& panel : freePanels())
            panel->drawIn(context, dirtyRect);
    }
    // Free objects lie above every panel: nothing to do in a view's slice that cannot paint now.
    if (context.paintsNothing())
        return;
    const PanelComicServices* comic = comicServices();
    if (comic && comic->editBackground() && !context.exporting()) {
        drawTransparentInContext(context, dirtyRect);
        return;
    }
    drawElements(floatingElements(), context);
}

void ComicPage::drawTransparentInContext(ZDLContext& context, const QRectF& dirtyRect)
{
    Canvas* canvas = context.canvas();
    const ElementList elements = floatingElements();
    if (!canvas || elements.isEmpty())
        return;
    const QRectF r = intersectionRect(dirtyRect, ArrayUtils::getElementsFilteredBounds(elements));
    if (isEmptyRect(r))
        return;
    const float s = context.scale();
    const QSize pixels(int(std::ceil(s * float(r.width()))), int(std::ceil(s * float(r.height()))));
    if (!OffscreenImage::isAcceptable(pixels))
        return;
    OffscreenImage offscreen(pixels);
    {
        CanvasScope scope(offscreen.canvas());
        ZDLContext faded(s);
        faded.shareWorkOf(context);
        faded.saveState();
        offscreen.canvas()->translate(-r.x() * s, -r.y() * s);
        offscreen.canvas()->scale(s, s);
        drawElements(elements, faded);
        faded.restoreState();
    }
    canvas->drawImage(offscreen.takeImage(), r, QRectF(), kFadedOpacity);
}

void ComicPage::drawPanelShadowsIn(ZDLContext& context, const QSizeF& offset, float blur)
{
    Canvas* canvas = context.canvas();
    if (!canvas)
        return;
    ComicStructureList panels;
    getPanelsInArray(panels);
    canvas->save();
    canvas->setShadow(CanvasShadow { QPointF(offset.width(), offset.height()), blur });
    for (const auto& element : panels) {
        const auto* panel = dynamic_cast<const ComicPanel*>(element.get());
        if (!panel)
            continue;
        CanvasPath path = panel->panelFramePath();
        path.setWindingRule(WindingRule::EvenOdd);
        canvas->fillPath(path, CanvasPaint(Qt::black));
    }
    canvas->restore();
}

} // namespace zandrel
