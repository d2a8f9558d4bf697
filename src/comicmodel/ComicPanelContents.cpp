#include "app/core/ZDLDocument.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/GeometryRecord.h"
#include "platform/Geometry.h"

#include <algorithm>

namespace zandrel {

// What a panel holds and how it places and moves it.

namespace {

QRectF elementBounds(const ObjectPtr& element)
{
    const auto* graphic = asProtocol<GraphicElement>(element);
    return graphic ? graphic->getBounds() : QRectF();
}

// The direct children of the front layer, then of the back layer.
ElementList layerChildren(const PanelLayerPtr& front, const PanelLayerPtr& back)
{
    ElementList all;
    if (front)
        all += front->children();
    if (back)
        all += back->children();
    return all;
}

const Object* modelOf(const ObjectPtr& element)
{
    const auto* comicElement = asProtocol<ComicElement>(element);
    return comicElement ? comicElement->model() : nullptr;
}

// How the interval [low, high] should move to reach into [from, to] by depth, when it misses it
// altogether; zero when the two meet.
double reachBackInto(double low, double high, double from, double to, double depth)
{
    const double reach = std::min({ depth, high - low, to - from });
    if (high <= from)
        return from + reach - high;
    if (low >= to)
        return to - reach - low;
    return 0.0;
}

// How far [low, high] reaches into [from, to].
double overlap(double low, double high, double from, double to)
{
    return std::max(0.0, std::min(high, to) - std::max(low, from));
}

} // namespace

QList<Object*> ComicPanel::characters() const
{
    QList<Object*> found;
    for (const ObjectPtr& element : layerChildren(m_frontLayer, m_backLayer)) {
        auto* model = const_cast<Object*>(modelOf(element));
        if (model && !found.contains(model))
            found.append(model);
    }
    return found;
}

ElementList ComicPanel::toplevelContentsFromCharacter(const Object* character) const
{
    ElementList found;
    for (const ObjectPtr& element : layerChildren(m_frontLayer, m_backLayer)) {
        if (modelOf(element) == character)
            found.append(element);
    }
    return found;
}

ElementList ComicPanel::partsFromCharacter(const Object* character) const
{
    ElementList found;
    for (const PanelLayerPtr& layer : { m_frontLayer, m_backLayer }) {
        if (!layer)
            continue;
        const ElementList parts = ArrayUtils::membersOfOfKindOfClass<Part>(
            ArrayUtils::flattenComicElementsArray(layer->children()));
        for (const ObjectPtr& part : parts) {
            if (modelOf(part) == character)
                found.append(part);
        }
    }
    return found;
}

ElementList ComicPanel::allComicElementsOfClass(const QString& className) const
{
    ElementList found;
    for (const PanelLayerPtr& layer : { m_frontLayer, m_backLayer }) {
        if (layer)
            found += layer->allComicElementsOfClass(className);
    }
    return found;
}

ElementList ComicPanel::overlappingFloatingElements() const
{
    ElementList found;
    const auto* page = dynamic_cast<const PanelPageServices*>(this->page());
    if (!page)
        return found;
    const QRectF area = bounds();
    for (const ObjectPtr& element : page->floatingElements()) {
        if (intersectsRect(elementBounds(element), area))
            found.append(element);
    }
    return found;
}

void ComicPanel::centerObjectsInPanel(const ElementList& elements)
{
    if (elements.isEmpty())
        return;
    const QPointF offset = centerOfRect(getBounds()) - centerOfRect(ArrayUtils::getElementsBounds(elements));
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->offsetBy(offset, true);
    }
}

QPointF ComicPanel::getOffsetToEnsureInPanel(const ObjectPtr& element) const
{
    const QRectF p = getBounds();
    const QRectF e = elementBounds(element);
    if (intersectsRect(p, e))
        return QPointF();
    const auto along = [](double pMin, double pMax, double eMin, double eMax) {
        if (pMin > eMax)
            return pMin - eMin;
        if (eMin > pMax)
            return pMax - eMax;
        return 0.0;
    };
    return QPointF(
        along(p.left(), p.right(), e.left(), e.right()), along(p.top(), p.bottom(), e.top(), e.bottom()));
}

void ComicPanel::ensureObjectsInPanel(const ElementList& elements)
{
    for (const ObjectPtr& element : elements) {
        const QPointF offset = getOffsetToEnsureInPanel(element);
        auto* graphic = asProtocol<GraphicElement>(element);
        if (graphic && !equalPoints(offset, QPointF()))
            graphic->offsetBy(offset, true);
    }
}

void ComicPanel::adjustPastedObjects(const ElementList& elements)
{
    const QRectF area = getBounds();
    for (const ObjectPtr& element : elements) {
        if (!intersectsRect(elementBounds(element), area)) {
            centerObjectsInPanel(elements);
            ensureObjectsInPanel(elements);
            return;
        }
    }
}

void ComicPanel::changePlacement(const std::function<void()>& change)
{
    ZDLDocument* document = owner()->document();
    if (document)
        document->updateViewsRect(getInvalidationBounds(), false);
    change();
    if (document)
        document->updateViewsRect(getInvalidationBounds(), true);
}

void ComicPanel::offsetBy(const QPointF& offset)
{
    changePlacement([&] {
        setTopLeft(topLeft() + offset);
        setTopRight(topRight() + offset);
        setBottomLeft(bottomLeft() + offset);
        setBottomRight(bottomRight() + offset);
        for (const ObjectPtr& element : layerChildren(m_frontLayer, m_backLayer)) {
            if (auto* graphic = asProtocol<GraphicElement>(element))
                graphic->offsetBy(offset, true);
        }
    });
}

GeometryRecord ComicPanel::recordPlacement() const
{
    GeometryRecord record;
    for (const QPointF& corner : { topLeft(), topRight(), bottomLeft(), bottomRight() })
        record.addPoint(corner);
    recordMembers(graphicsOf(layerChildren(m_frontLayer, m_backLayer)), record);
    return record;
}

void ComicPanel::restorePlacement(const GeometryRecord& placement)
{
    GeometryReader reader(placement);
    // Read in the order written: a braced list is evaluated left to right.
    const std::array<std::optional<QPointF>, 4> corners { reader.readPoint(), reader.readPoint(),
        reader.readPoint(), reader.readPoint() };
    if (!corners.back())
        return;
    changePlacement([&] {
        setTopLeft(*corners[0]);
        setTopRight(*corners[1]);
        setBottomLeft(*corners[2]);
        setBottomRight(*corners[3]);
        restoreMembers(graphicsOf(layerChildren(m_frontLayer, m_backLayer)), reader);
    });
}

void ComicPanel::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    for (const PanelLayerPtr& layer : { m_backLayer, m_frontLayer }) {
        if (!layer)
            continue;
        for (const ObjectPtr& element : layer->children()) {
            if (auto* graphic = asProtocol<GraphicElement>(element))
                graphic->notifyAllGraphicsOf(notice, object);
        }
    }
}

std::vector<ElementList> ComicPanel::contentBlocks() const
{
    std::vector<ElementList> blocks;
    for (const Object* character : characters())
        blocks.push_back(toplevelContentsFromCharacter(character));
    for (const ObjectPtr& loose : toplevelContentsFromCharacter(nullptr))
        blocks.push_back({ loose });
    return blocks;
}

QPointF ComicPanel::keepBlockShowing(
    const QRectF& block, const QPointF& offset, const QRectF& oldFrame, const QRectF& newFrame)
{
    const QRectF moved = block.translated(offset);
    // Only what showed and would no longer: a block the user left outside stays where it goes.
    if (!intersectsRect(block, oldFrame) || intersectsRect(moved, newFrame) || isEmptyRect(newFrame))
        return QPointF();
    return QPointF(reachBackInto(moved.left(), moved.right(), newFrame.left(), newFrame.right(),
                       overlap(block.left(), block.right(), oldFrame.left(), oldFrame.right())),
        reachBackInto(moved.top(), moved.bottom(), newFrame.top(), newFrame.bottom(),
            overlap(block.top(), block.bottom(), oldFrame.top(), oldFrame.bottom())));
}

} // namespace zandrel
