#include "app/core/ZDLDocument.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/Group.h"
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

// Balloons, and groups of nothing but balloons (merged balloons): placed one by one by the user,
// they move on their own rather than with every other element that shares the comic's palette.
bool isLettering(const ObjectPtr& element)
{
    if (dynamic_cast<const Balloon*>(element.get()))
        return true;
    const auto* group = dynamic_cast<const Group*>(element.get());
    if (!group)
        return false;
    const ElementList members = ArrayUtils::flattenComicElementsArray(group->children());
    return !members.isEmpty() && std::all_of(members.begin(), members.end(), [](const ObjectPtr& member) {
        return dynamic_cast<const Balloon*>(member.get()) != nullptr;
    });
}

// How far r reaches out of frame on each side, 0 where it stays inside.
QMarginsF reachOutside(const QRectF& r, const QRectF& frame)
{
    return QMarginsF(std::max(0.0, frame.left() - r.left()), std::max(0.0, frame.top() - r.top()),
        std::max(0.0, r.right() - frame.right()), std::max(0.0, r.bottom() - frame.bottom()));
}

// The shift that brings [low, high] within [from, to]; none when it is longer than the range.
double shiftInside(double low, double high, double from, double to)
{
    if (high - low > to - from)
        return 0.0;
    if (low < from)
        return from - low;
    if (high > to)
        return to - high;
    return 0.0;
}

// Lettering is not narrowed below this: narrower text would stand a word or less to a line.
constexpr float kNarrowestLettering = 20.0f;

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

std::vector<ComicPanel::ContentBlock> ComicPanel::contentBlocks(const QRectF& frame) const
{
    std::vector<ContentBlock> blocks;
    const auto add = [&](const ElementList& elements) {
        if (elements.isEmpty())
            return;
        const QRectF bounds = ArrayUtils::getElementsBounds(elements);
        blocks.push_back({ elements, bounds, reachOutside(bounds, frame),
            elements.size() == 1 ? std::dynamic_pointer_cast<Balloon>(elements.front()) : nullptr });
    };
    ElementList lettering;
    const auto split = [&](const ElementList& elements) {
        ElementList rest;
        for (const ObjectPtr& element : elements)
            (isLettering(element) ? lettering : rest).append(element);
        return rest;
    };
    for (const Object* character : characters())
        add(split(toplevelContentsFromCharacter(character)));
    for (const ObjectPtr& loose : split(toplevelContentsFromCharacter(nullptr)))
        add({ loose });
    for (const ObjectPtr& element : lettering)
        add({ element });
    return blocks;
}

QPointF ComicPanel::keepBlockInside(
    ZDLDocument& document, const ContentBlock& block, const QPointF& offset, const QRectF& frame)
{
    const QRectF keepIn = frame.marginsAdded(block.reach);
    QRectF moved = block.bounds.translated(offset);
    if (block.balloon && block.balloon->width() > 0 && moved.width() > keepIn.width()) {
        // The outline and the tails keep their reach beyond the text, so the text gives up the excess.
        const double excess = moved.width() - keepIn.width();
        const double visible = block.balloon->getVisibleEnclosingRect().width();
        const float narrower = float(std::min<double>(block.balloon->width(), visible - excess));
        if (narrower >= kNarrowestLettering) {
            document.undoableSetPropertyFor(block.balloon, Balloon::kWidthKey, Value(narrower));
            moved = block.balloon->getBounds().translated(offset);
        }
    }
    return QPointF(shiftInside(moved.left(), moved.right(), keepIn.left(), keepIn.right()),
        shiftInside(moved.top(), moved.bottom(), keepIn.top(), keepIn.bottom()));
}

} // namespace zandrel
