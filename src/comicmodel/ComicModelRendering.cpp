// What the comic model finds across the comic, and how it draws and renders pages and panels.
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicModel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BandedRendering.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <cmath>

namespace zandrel {

namespace {

// The veil over the rest of the page while one panel has the focus.
const QColor& hatchLight()
{
    static const QColor color = QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.6f);
    return color;
}

const QColor& hatchDark()
{
    static const QColor color = QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.6f);
    return color;
}

} // namespace

ElementList ComicModel::allComicElementsOfClass(const QString& className) const
{
    ElementList found;
    ComicStructureList panels;
    getPanelsInArray(panels);
    for (const auto& element : panels) {
        if (const auto* panel = dynamic_cast<const ComicPanel*>(element.get()))
            found += panel->allComicElementsOfClass(className);
    }
    for (const auto& element : contents()) {
        if (const auto* page = dynamic_cast<const ComicPage*>(element.get()))
            found += page->allComicElementsOfClass(className);
    }
    return found;
}

ElementList ComicModel::allImageElementsUsingImage(const ZDLImage* image) const
{
    ElementList found = allComicElementsOfClass(ImageElement::kClassName);
    for (const ObjectPtr& part : allComicElementsOfClass(Part::kClassName)) {
        const auto* container = asProtocol<Parent>(part);
        if (container)
            found += ArrayUtils::membersOfOfKindOfClass<ImageElement>(
                ArrayUtils::flattenPartElementsArray(container->children()));
    }
    for (qsizetype i = found.size() - 1; i >= 0; --i) {
        const auto* element = dynamic_cast<const ImageElement*>(found.at(i).get());
        if (!element || element->image().get() != image)
            found.removeAt(i);
    }
    return found;
}

QImage ComicModel::renderRect(
    const QRectF& rect, float scale, const std::function<void(ZDLContext&)>& draw) const
{
    // Large images (pages and panels at print resolution) are drawn in bands on every core.
    return BandedRendering::render(rect, scale, [&](ZDLContext& context, const QRectF&) { draw(context); });
}

QImage ComicModel::getImageOfPage(qsizetype index, float scale) const
{
    const auto page = pageAtIndex(index);
    if (!page)
        return QImage();
    const QRectF r = bounds();
    return renderRect(r, scale, [&](ZDLContext& context) { page->drawIn(context, r); });
}

QImage ComicModel::getImageOfPanel(
    const std::shared_ptr<ComicPanel>& panel, bool withFloaters, float scale) const
{
    if (!panel)
        return QImage();
    const ElementList floaters = withFloaters ? panel->overlappingFloatingElements() : ElementList();
    const QRectF r = panelImageRect(*panel, floaters);
    return renderRect(r, scale, [&](ZDLContext& context) {
        panel->drawIn(context, r);
        for (const ObjectPtr& element : floaters) {
            if (auto* graphic = asProtocol<GraphicElement>(element))
                graphic->drawIn(context);
        }
    });
}

QRectF ComicModel::panelImageRect(const ComicPanel& panel, const ElementList& floaters)
{
    const double grow = -0.5 * panel.weight();
    QRectF r = insetRect(panel.getBounds(), grow, grow);
    if (!floaters.isEmpty())
        r = unionRect(r, ArrayUtils::getElementsFilteredBounds(floaters));
    return r;
}

void ComicModel::drawIn(ZDLContext& context, const QRectF& dirtyRect)
{
    if (!m_currentPage)
        return;
    Canvas* canvas = context.canvas();
    if (m_focusOnPanel && !context.exporting()) {
        m_drawingCurrentPanel = false;
        m_currentPage->drawIn(context, dirtyRect);
        if (canvas) {
            canvas->save();
            fillRectWithHatchPattern(canvas, hatchLight(), hatchDark(), dirtyRect);
            canvas->restore();
        }
        m_drawingCurrentPanel = true;
        if (m_currentPanel) {
            m_currentPanel->drawCurrentPanelFrameIn(context, dirtyRect);
            m_currentPanel->drawIn(context, dirtyRect);
        }
        return;
    }
    if (m_currentPanel && !m_currentPanel->isFree())
        m_currentPanel->drawCurrentPanelFrameIn(context, dirtyRect);
    m_currentPage->drawIn(context, dirtyRect);
}

} // namespace zandrel
